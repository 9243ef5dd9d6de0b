#pragma once
// Popup menus: items with check marks and submenus, the platform menus built
// from them, and the process-wide list of popup menus whose hidden window
// owns every tracked menu and turns its choices into OnClick events.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Handles.h"
#include "framework/WindowProcedure.h"

namespace lumek {

class TMenu;

// One entry of a menu level as the caption rules see it.
struct AccessKeyEntry {
  std::wstring caption;
  bool visible = true;
};

// The captions of one menu level after the automatic access keys are given:
// keys already marked keep their pool character if no earlier entry has it,
// the others get the first free character of their caption, or (under a
// Japanese face, for a caption with wide characters) a bracketed "(&K)" key.
// Same length as `entries`.
std::vector<std::wstring> DeriveAccessKeys(const std::vector<AccessKeyEntry>& entries, bool japaneseFace);

struct LineEntry {
  bool separator = false;
  bool visible = true;
};

// Which visible separators of one menu level to leave out: those before the
// first and after the last visible item, and all but the last of a run.
std::vector<bool> RedundantSeparators(const std::vector<LineEntry>& entries);

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  // Detaches from the parent, then destroys the child items.
  ~TMenuItem() override;

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(std::wstring caption);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool IsSeparator() const { return caption_ == L"-"; }

  bool RadioItem = false;
  bool AutoCheck = false;
  uint8_t GroupIndex = 0;
  TNotifyEvent OnClick;

  uint16_t Command() const { return command_; }

  size_t Count() const { return items_.size(); }
  TMenuItem* Item(size_t index) const { return items_[index]; }
  // Takes ownership of `item` as the last child.
  void Add(TMenuItem* item);
  // Gives `item` back without destroying it.
  void Remove(TMenuItem* item);
  TMenuItem* Parent() const { return parent_; }
  // The menu this item belongs to, through its parents; null if none.
  TMenu* Menu() const;

  // Not enabled: nothing. AutoCheck toggles the mark first, then OnClick runs.
  virtual void Click();

  // The platform menu of the children, created and filled on first need.
  HMENU Handle();
  bool HandleAllocated() const { return static_cast<bool>(handle_); }
  // Removes every platform entry and appends them again from the children.
  void Rebuild();
  // Re-derives the children's access keys and leaves out redundant
  // separators, as the menu's settings ask; true when either changed something.
  bool ReviseChildren();
  // Revises the children and rebuilds the platform menu if that or an
  // earlier change to a child makes the entries stale.
  void RefreshSubmenu();

  // This item or a descendant with the command identifier / submenu handle.
  TMenuItem* FindByCommand(uint16_t command);
  TMenuItem* FindBySubmenu(HMENU submenu);

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;
  void AddStoredChild(TComponent* child) override;

 private:
  friend class TMenu;
  void ChildChanged() { stale_ = true; }
  void AppendEntries();
  void RemoveEntries();
  bool MenuIsLoading() const;

  std::wstring caption_;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  // Left out of the platform menu by the separator reduction.
  bool redundantLine_ = false;
  bool stale_ = false;
  uint16_t command_ = 0;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item only
  std::vector<TMenuItem*> items_;
  UniqueMenu handle_;
};

enum class TMenuAutoFlag : uint8_t { maAutomatic, maManual };

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  TMenuItem* Items() const { return items_.get(); }
  HMENU Handle() { return items_->Handle(); }

  TMenuAutoFlag AutoHotkeys = TMenuAutoFlag::maAutomatic;
  TMenuAutoFlag AutoLineReduction = TMenuAutoFlag::maAutomatic;
  // The menu reads right to left (mirrors the alignment of a popup).
  bool RightToLeft = false;

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;
  void AddStoredChild(TComponent* child) override;

 private:
  std::unique_ptr<TMenuItem> items_;
};

enum class TPopupAlignment : uint8_t { paLeft, paRight, paCenter };
enum class TTrackButton : uint8_t { tbRightButton, tbLeftButton };

// The animation set in its bit order; shifted left by 10 these are the
// TPM_*ANIMATION flags.
struct TMenuAnimation {
  static constexpr uint8_t maLeftToRight = 0x01;
  static constexpr uint8_t maRightToLeft = 0x02;
  static constexpr uint8_t maTopToBottom = 0x04;
  static constexpr uint8_t maBottomToTop = 0x08;
  static constexpr uint8_t maNone = 0x10;
  uint8_t bits = 0;
};

// The TrackPopupMenu flags of a popup menu with these settings.
UINT PopupMenuFlags(TPopupAlignment alignment, bool rightToLeft, TTrackButton button, TMenuAnimation animation);

class TPopupMenu : public TMenu {
 public:
  // A popup menu joins the process-wide popup list while it lives.
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  TPopupAlignment Alignment = TPopupAlignment::paLeft;
  TTrackButton TrackButton = TTrackButton::tbRightButton;
  TMenuAnimation MenuAnimation;
  bool AutoPopup = true;
  TNotifyEvent OnPopup;

  // The component the menu was last opened for; cleared when that goes away.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* component);
  POINT PopupPoint() const { return popupPoint_; }

  // Shows the menu with its reference point at screen point (x, y); returns
  // when the menu has closed. A choice arrives later as a command message.
  virtual void PopupAt(int x, int y);

  void Notification(TComponent* component, TOperation operation) override;
  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;

 private:
  TComponent* popupComponent_ = nullptr;
  POINT popupPoint_{0, 0};
};

// All popup menus of the process, and the hidden window that owns the
// tracked menus: it lives from the first popup menu to the last.
class TPopupList {
 public:
  TPopupList() = default;
  TPopupList(const TPopupList&) = delete;
  TPopupList& operator=(const TPopupList&) = delete;

  void Add(TPopupMenu* menu);
  void Remove(TPopupMenu* menu);
  size_t Count() const { return menus_.size(); }
  HWND Window() const { return window_.Handle(); }

 private:
  void WindowMessage(HWND window, TMessage& message);
  void CommandMessage(uint16_t command);
  void InitMenuPopupMessage(HMENU submenu);

  std::vector<TPopupMenu*> menus_;
  UtilWindow window_;
};

TPopupList& PopupList();

// Makes the menu classes known to the stored-description reader.
void RegisterMenuClasses();

}  // namespace lumek
