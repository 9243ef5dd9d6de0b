#include "timers/TimerPool.h"

#include <algorithm>
#include <climits>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "framework/Platform.h"
#include "framework/Strings.h"
#include "framework/TextRules.h"
#include "framework/Units.h"

namespace lumek {

TAppServices* AppServices = nullptr;

namespace {

constexpr UINT_PTR kWindowTimerId = 1;

// A base period of 0 would divide every item's interval by nothing. The
// platform raises window-timer periods below its minimum anyway, so such a
// pool is taken as a pool of 1 ms.
uint16_t UsableBasePeriod(uint16_t period) { return period == 0 ? 1 : period; }

int32_t NextCount(int32_t count) { return count == INT32_MAX ? 0 : count + 1; }

// Clears the flag on every way out, exceptions included.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

void InitializeAppServicesUnit() {
  if (!AppServices) AppServices = new TAppServices();
}

void FinalizeAppServicesUnit() {
  delete AppServices;
  AppServices = nullptr;
}

// After the application object (10) and the screen (9), whose cursor table it fills.
const UnitRegistration kAppServicesUnit(20, InitializeAppServicesUnit, FinalizeAppServicesUnit);

}  // namespace

TTimerItem::TTimerItem(TTimerPool* pool, TTimerList* list, uint16_t ident) : ident_(ident), list_(list), pool_(pool) {
  if (!pool || !list) throw EInvalidOperation(FormatMessageId(IDS_INVALID_OWNER_OR_LIST, L"TTimerItem"));
  periodCount_ = interval_ / pool->MinInterval();
}

TTimerItem::~TTimerItem() {
  enabled_ = false;
  OnTimer = nullptr;
  list_->erase(std::remove(list_->begin(), list_->end(), this), list_->end());
}

void TTimerItem::SetCallCount(int32_t callCount) {
  if (callCount == callCount_) return;
  callCount_ = std::max(callCount, -1);
  if (callCount_ == 0) enabled_ = false;
}

void TTimerItem::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  if (enabled && callCount_ == 0) return;
  enabled_ = enabled;
  counter_ = 0;
}

void TTimerItem::SetInterval(uint16_t interval) {
  if (interval == interval_) return;
  uint16_t base = pool_->MinInterval();
  if (interval % base != 0) return;
  if (interval == 0) interval = base;
  periodCount_ = interval / base;
  interval_ = interval;
  counter_ = 0;
}

void TTimerItem::Timer() {
  if (!enabled_) return;
  counter_ = NextCount(counter_);
  if (counter_ == callCount_) enabled_ = false;
  // Copies, and nothing of this item is touched after the call: a handler may remove its own item.
  TTimerPool* pool = pool_;
  if (TNotifyEvent handler = OnTimer) {
    handler(pool);
  } else if (TTimerPoolEvent poolHandler = pool->OnTimer) {
    poolHandler(pool, ident_, counter_);
  }
}

TTimerPool::TTimerPool(TComponent* owner) : TCustomComponent(owner) {}

TTimerPool::TTimerPool(TComponent* owner, uint16_t minInterval) : TCustomComponent(owner) {
  minInterval_ = UsableBasePeriod(minInterval);
}

TTimerPool::~TTimerPool() {
  ClearTimers();
  window_.Destroy();
}

void TTimerPool::SetMinInterval(uint16_t minInterval) {
  if (!IsLoading() && !IsDesigning()) return;
  minInterval = UsableBasePeriod(minInterval);
  if (minInterval == minInterval_) return;
  minInterval_ = minInterval;
}

int32_t TTimerPool::AddTimer(uint16_t ident, uint16_t interval, TNotifyEvent handler) {
  if (!items_.empty() && IndexOf(ident) >= 0) throw Exception(FormatMessageId(IDS_TIMER_IDENT_IN_USE, ident));
  if (interval % minInterval_ != 0 || interval < minInterval_) {
    throw Exception(LoadMessage(IDS_INTERVAL_NOT_COMPATIBLE));
  }
  auto item = std::make_unique<TTimerItem>(this, &items_, ident);
  items_.push_back(item.get());
  TTimerItem* added = item.release();
  auto position = static_cast<int32_t>(items_.size() - 1);
  added->SetInterval(interval);
  added->OnTimer = std::move(handler);
  UpdateMainTimer(true);
  return position;
}

int32_t TTimerPool::AddTimerExt(uint16_t ident, uint16_t interval, int32_t callCount, bool enabled,
                                TNotifyEvent handler) {
  int32_t position = AddTimer(ident, interval, std::move(handler));
  TTimerItem* added = items_[static_cast<size_t>(position)];
  added->SetCallCount(callCount);
  added->SetEnabled(enabled);
  return position;
}

void TTimerPool::RemoveTimer(uint16_t ident) {
  FlagScope update(updating_);
  int32_t position = IndexOf(ident);
  if (position < 0) return;
  TTimerItem* item = items_[static_cast<size_t>(position)];
  item->SetEnabled(false);
  item->OnTimer = nullptr;
  delete item;
  if (items_.empty()) UpdateMainTimer(false);
}

void TTimerPool::ClearTimers() {
  UpdateMainTimer(false);
  while (!items_.empty()) delete items_.back();
}

TTimerItem* TTimerPool::GetTimer(uint16_t ident) const {
  int32_t position = IndexOf(ident);
  return position < 0 ? nullptr : items_[static_cast<size_t>(position)];
}

int32_t TTimerPool::IndexOf(uint16_t ident) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Ident() == ident) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t TTimerPool::GetActiveTimers() const {
  return static_cast<int32_t>(
      std::count_if(items_.begin(), items_.end(), [](const TTimerItem* item) { return item->Enabled(); }));
}

void TTimerPool::UpdateMainTimer(bool start) {
  if (IsDesigning()) return;
  if (!window_) window_ = UtilWindow([this](HWND window, TMessage& message) { WndProc(window, message); });
  active_ = false;
  Platform().KillTimer(window_.Handle(), kWindowTimerId);
  if (start && GetActiveTimers() > 0) {
    if (!Platform().SetTimer(window_.Handle(), kWindowTimerId, minInterval_, nullptr)) {
      throw EOutOfResources(LoadMessage(IDS_TIMER_UNAVAILABLE));
    }
    passCounter_ = 1;
    active_ = true;
  }
}

void TTimerPool::HandleTimers() {
  if (updating_) return;
  // The count is read anew at every step: a handler may add or remove items.
  for (size_t i = 0; i < items_.size(); ++i) {
    TTimerItem* item = items_[i];
    if (item->Enabled() && item->PeriodCount() > 0 && passCounter_ % item->PeriodCount() == 0) item->Timer();
  }
  passCounter_ = NextCount(passCounter_);
}

void TTimerPool::WndProc(HWND window, TMessage& message) {
  if (message.Msg == WM_TIMER) {
    // A handler that pumps messages must not start a pass inside its own.
    // An exception leaves the guard set: this pool then drops its ticks for good.
    if (inPass_) return;
    inPass_ = true;
    HandleTimers();
    inPass_ = false;
    return;
  }
  DefaultHandling(window, message);
}

void TTimerPool::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "MinInterval") {
    SetMinInterval(static_cast<uint16_t>(value.AsInt()));
    return;
  }
  TCustomComponent::SetStoredProperty(name, value, context);
}

TAppServices::TAppServices() {
  iniCtrl_ = std::make_unique<TIniCtrl>(nullptr);
  // A cut-off path would name the mutex after a file that is not this
  // executable; no mutex then, silently, as nothing in Lumek reads it.
  bool complete = false;
  std::wstring modulePath = ModuleFileName(&complete);
  if (complete) {
    mutex_.reset(Platform().CreateMutexW(nullptr, FALSE, ExtractFileName(modulePath).c_str()));
    mutexExisted_ = mutex_ && ::GetLastError() == ERROR_ALREADY_EXISTS;
  }
  pool_ = std::make_unique<TTimerPool>(nullptr, 50);
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  frequency_ = static_cast<double>(frequency.QuadPart);
  HCURSOR cursor = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kCursorResource));
  if (Screen) Screen->SetCursor(kCursorIndex, cursor);
}

TAppServices::~TAppServices() {
  iniCtrl_.reset();
  pool_.reset();
  mutex_.reset();
}

int TAppServices::GetTimerIdent() const {
  for (size_t i = 0; i < kIdentSlots; ++i) {
    if (!slotInUse_[i]) return static_cast<int>(i) + 1;
  }
  return 0;
}

uint16_t TAppServices::TakeSlot(int slot, int32_t position) {
  if (position == -1) return 0;
  slotInUse_[static_cast<size_t>(slot - 1)] = true;
  return static_cast<uint16_t>(kFirstIdent - 1 + slot);
}

uint16_t TAppServices::AddTimer(uint16_t interval, TNotifyEvent handler) {
  int slot = GetTimerIdent();
  if (slot == 0) return 0;
  return TakeSlot(slot, pool_->AddTimer(static_cast<uint16_t>(kFirstIdent - 1 + slot), interval, std::move(handler)));
}

uint16_t TAppServices::AddTimerExt(uint16_t interval, int32_t callCount, bool enabled, TNotifyEvent handler) {
  int slot = GetTimerIdent();
  if (slot == 0) return 0;
  return TakeSlot(slot, pool_->AddTimerExt(static_cast<uint16_t>(kFirstIdent - 1 + slot), interval, callCount, enabled,
                                           std::move(handler)));
}

void TAppServices::RemoveTimer(uint16_t id) {
  if (id < kFirstIdent || id >= kFirstIdent + kIdentSlots) return;
  pool_->RemoveTimer(id);
  slotInUse_[id - kFirstIdent] = false;
}

TTimerItem* TAppServices::GetTimer(uint16_t id) { return pool_->GetTimer(id); }

}  // namespace lumek
