#pragma once
// The component model: objects, components with owners, events and the
// small shared value types.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumek {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// A window message as the framework hands it around.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

enum class TMouseButton : uint8_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// Bit set in the framework's order: Shift, Alt, Ctrl, left, right, middle, double-click.
struct TShiftState {
  static constexpr uint8_t ssShift = 0x01;
  static constexpr uint8_t ssAlt = 0x02;
  static constexpr uint8_t ssCtrl = 0x04;
  static constexpr uint8_t ssLeft = 0x08;
  static constexpr uint8_t ssRight = 0x10;
  static constexpr uint8_t ssMiddle = 0x20;
  static constexpr uint8_t ssDouble = 0x40;
  uint8_t bits = 0;
  bool Contains(uint8_t member) const { return (bits & member) != 0; }
  friend bool operator==(TShiftState a, TShiftState b) { return a.bits == b.bits; }
};

enum class TThreadPriority : uint8_t { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
int PlatformThreadPriority(TThreadPriority priority);

enum class TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };

using TNotifyEvent = std::function<void(TObject* sender)>;
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

// The framework's colour: 0x00BBGGRR, or a system colour index in the low byte when negative.
using TColor = int32_t;
constexpr TColor clRed = 0x000000FF;
constexpr TColor clBlack = 0x00000000;
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index)); }
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
COLORREF ColorToRGB(TColor color);

enum class TOperation : uint8_t { opInsert, opRemove };

struct StoredValue;
class StoredContext;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  // Destroys the owned components last-created first, each detached from
  // this owner before its own destructor runs, then leaves its own owner.
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  size_t ComponentCount() const { return components_.size(); }
  TComponent* Component(size_t index) const { return components_[index]; }
  TComponent* FindComponent(const std::string& name) const;

  bool IsLoading() const { return (state_ & kLoading) != 0; }
  bool IsDesigning() const { return (state_ & kDesigning) != 0; }
  bool IsDestroying() const { return (state_ & kDestroying) != 0; }
  void SetLoading(bool loading);
  void SetDesigning(bool designing);
  // Marks this component and everything it owns as being destroyed.
  void MarkDestroying();
  // Destroys the owned components, last-created first.
  void DestroyComponents();

  // `other` is told (Notification with opRemove) when this component goes away.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

  // Called by the stored-description reader once the whole description is read.
  virtual void Loaded();
  virtual void Notification(TComponent* component, TOperation operation);
  // Applies one stored property; unknown names raise EStoredFormError.
  virtual void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context);
  // A component nested inside this one in a stored description (menu items).
  virtual void AddStoredChild(TComponent* child);

 protected:
  static constexpr uint8_t kLoading = 1;
  static constexpr uint8_t kDesigning = 2;
  static constexpr uint8_t kDestroying = 4;

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  uint8_t state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};

// The base of the non-visual components: a stored About text and a change event.
class TCustomComponent : public TComponent {
 public:
  using TComponent::TComponent;

  std::wstring About;
  TNotifyEvent OnChange;

  void Change();
  void BeginUpdate() { updating_ = true; }
  void EndUpdate(bool change);
  void GetChange(TObject* sender);
  bool IsUpdating() const { return updating_; }

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;

 private:
  bool updating_ = false;
};

}  // namespace lumek
