#pragma once
// The timer pool: many software timers driven by one window timer, and the
// application-wide services object that owns the program's pool.
#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/Handles.h"
#include "framework/WindowProcedure.h"

namespace lumek {

class TTimerPool;
class TTimerItem;

using TTimerList = std::vector<TTimerItem*>;
using TTimerPoolEvent = std::function<void(TObject* sender, uint16_t ident, int32_t counter)>;

// One pool timer. Owned by its pool; it does not add itself to the list but
// leaves it when destroyed.
class TTimerItem : public TObject {
 public:
  // Raises EInvalidOperation without a pool or a list.
  TTimerItem(TTimerPool* pool, TTimerList* list, uint16_t ident);
  ~TTimerItem() override;

  int32_t CallCount() const { return callCount_; }
  void SetCallCount(int32_t callCount);
  int32_t Counter() const { return counter_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  uint16_t Ident() const { return ident_; }
  uint16_t Interval() const { return interval_; }
  void SetInterval(uint16_t interval);
  int32_t PeriodCount() const { return periodCount_; }

  // Called with the pool as Sender; without it the pool's OnTimer is called.
  TNotifyEvent OnTimer;

  // One tick: counts, disables itself at CallCount, raises the event.
  void Timer();

 private:
  int32_t callCount_ = -1;
  int32_t counter_ = 0;
  bool enabled_ = true;
  uint16_t ident_;
  uint16_t interval_ = 1000;
  int32_t periodCount_;
  TTimerList* list_;
  TTimerPool* pool_;
};

class TTimerPool : public TCustomComponent {
 public:
  explicit TTimerPool(TComponent* owner);
  TTimerPool(TComponent* owner, uint16_t minInterval);
  ~TTimerPool() override;

  uint16_t MinInterval() const { return minInterval_; }
  // Taken only while loading or designing; ignored at run time.
  void SetMinInterval(uint16_t minInterval);
  TTimerPoolEvent OnTimer;

  // Position of the new item. Raises Exception for an identifier already in
  // the pool or an interval that is not a multiple of MinInterval, and
  // EOutOfResources when the window timer cannot be set (the item stays).
  int32_t AddTimer(uint16_t ident, uint16_t interval, TNotifyEvent handler);
  int32_t AddTimerExt(uint16_t ident, uint16_t interval, int32_t callCount, bool enabled, TNotifyEvent handler);
  void RemoveTimer(uint16_t ident);
  void ClearTimers();
  TTimerItem* GetTimer(uint16_t ident) const;
  int32_t IndexOf(uint16_t ident) const;
  int32_t GetCount() const { return static_cast<int32_t>(items_.size()); }
  int32_t GetActiveTimers() const;
  bool HasTimerProc() const { return static_cast<bool>(OnTimer); }

  // Whether the window timer runs.
  bool Active() const { return active_; }
  HWND WindowHandle() const { return window_.Handle(); }

  // Kills the window timer and, when `start` holds and an item is enabled, sets it anew.
  void UpdateMainTimer(bool start);
  // One pass over the items.
  void HandleTimers();

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;

 private:
  void WndProc(HWND window, TMessage& message);

  uint16_t minInterval_ = 1000;
  bool active_ = false;
  bool inPass_ = false;
  UtilWindow window_;
  int32_t passCounter_ = 0;
  TTimerList items_;
  bool updating_ = false;
};

// The settings-control object the services create; nothing in Lumek uses it.
class TIniCtrl : public TComponent {
 public:
  using TComponent::TComponent;
};

class TAppServices {
 public:
  static constexpr uint16_t kFirstIdent = 0xFD01;
  static constexpr size_t kIdentSlots = 250;
  static constexpr int kCursorIndex = -255;
  static constexpr int kCursorResource = 16548;

  TAppServices();
  ~TAppServices();
  TAppServices(const TAppServices&) = delete;
  TAppServices& operator=(const TAppServices&) = delete;

  // The lowest free slot (1..250), 0 when all are in use.
  int GetTimerIdent() const;
  // An identifier 0xFD01..0xFDFA, or 0 when none is free; the pool's exceptions pass through.
  uint16_t AddTimer(uint16_t interval, TNotifyEvent handler);
  uint16_t AddTimerExt(uint16_t interval, int32_t callCount, bool enabled, TNotifyEvent handler);
  // Identifiers outside 0xFD01..0xFDFA are ignored.
  void RemoveTimer(uint16_t id);
  TTimerItem* GetTimer(uint16_t id);
  double GetTimerFrequency() const { return frequency_; }
  TTimerPool* Pool() { return pool_.get(); }
  // Whether another instance had made the executable's named mutex first.
  bool MutexAlreadyExisted() const { return mutexExisted_; }

 private:
  uint16_t TakeSlot(int slot, int32_t position);

  std::unique_ptr<TIniCtrl> iniCtrl_;
  UniqueKernelHandle mutex_;
  bool mutexExisted_ = false;
  std::unique_ptr<TTimerPool> pool_;
  double frequency_ = 0;
  std::array<bool, kIdentSlots> slotInUse_{};
};

// Created by its unit's start-up (after the application object), freed at shut-down.
extern TAppServices* AppServices;

}  // namespace lumek
