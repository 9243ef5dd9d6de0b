#include "tray/TrayIcon.h"

#include <cwchar>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/Platform.h"
#include "framework/Strings.h"
#include "framework/TextRules.h"
#include "timers/HiTimer.h"
#include "timers/TimerPool.h"

namespace lumek {

namespace {

constexpr UINT_PTR kAddRetryTimerId = 1;
constexpr UINT kAddRetryPeriodMs = 1000;
constexpr int kFrameSize = 16;

// Explorer broadcasts this when it (re)creates the notification area.
UINT TaskbarCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

// Below major version 4 the platform has no notification area.
bool PlatformHasNotificationArea() { return LOBYTE(LOWORD(::GetVersion())) >= 4; }

TShiftState NotificationShift(bool doubleClick) {
  TShiftState shift;
  if (Platform().GetKeyState(VK_MENU) < 0) shift.bits |= TShiftState::ssAlt;
  if (doubleClick) shift.bits |= TShiftState::ssDouble;
  return shift;
}

template <typename Wanted>
Wanted* FindStoredReference(TComponent* root, const std::string& name) {
  TComponent* found = root ? root->FindComponent(name) : nullptr;
  if (!found) return nullptr;
  auto* wanted = dynamic_cast<Wanted*>(found);
  if (!wanted) throw EStoredFormError(name + " is of the wrong class");
  return wanted;
}

}  // namespace

NOTIFYICONDATAW TrayIconRecord(HWND notifyWindow, HICON icon, const std::wstring& hint) {
  NOTIFYICONDATAW record{};
  record.cbSize = NOTIFYICONDATAW_V1_SIZE;
  record.hWnd = notifyWindow;
  record.uID = 0;
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = icon;
  // The first version's tip field is 64 units, NUL included; a surrogate pair is never cut in two.
  constexpr size_t kTipUnits = 64;
  size_t length = 0;
  while (length < hint.size() && length + CharacterLength(hint, length) < kTipUnits) {
    length += CharacterLength(hint, length);
  }
  std::wmemcpy(record.szTip, hint.data(), length);
  return record;
}

TrayNotificationAction TrayNotificationFor(UINT mouseMessage) {
  using Mouse = TrayNotificationAction::Mouse;
  TrayNotificationAction action;
  switch (mouseMessage) {
    case WM_MOUSEMOVE:
      action.mouse = Mouse::Move;
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      action.mouse = Mouse::Down;
      action.popupMenu = mouseMessage == WM_RBUTTONDOWN;
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      action.click = true;
      action.mouse = Mouse::Up;
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      action.dblClick = true;
      action.mouse = Mouse::Down;
      action.doubleClickMember = true;
      break;
    default:
      return action;
  }
  switch (mouseMessage) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      action.button = TMouseButton::mbRight;
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      action.button = TMouseButton::mbMiddle;
      break;
    default:
      action.button = TMouseButton::mbLeft;
  }
  return action;
}

uint16_t PoolTimerInterval(uint16_t interval) {
  constexpr uint32_t kBase = 50;
  uint32_t rounded = (interval + kBase - 1) / kBase * kBase;
  // Above 65500 the next multiple leaves 16 bits: the item gets the value unrounded.
  return rounded > 0xFFFF ? interval : static_cast<uint16_t>(rounded);
}

TTrayIcon::TTrayIcon(TComponent* owner)
    : TWndProcComponent(owner),
      icon_(std::make_unique<TIcon>()),
      notifyWindow_([this](HWND, TMessage& message) { NewWndProc(message); }),
      imageListLink_(std::make_unique<TChangeLink>()) {
  icon_->OnChange = [this](TObject* sender) { IconChanged(sender); };
  imageListLink_->OnChange = [this](TObject* sender) { GetIMLChange(sender); };
}

TTrayIcon::~TTrayIcon() {
  DeActivateTimer(timerMode_);
  imageListLink_->OnChange = nullptr;
  imageListLink_.reset();
  StopAddRetry();
  // Whether or not the application ever cleared Active, the icon goes.
  hint_.clear();
  NotifyIcon(NIM_DELETE);
  notifyWindow_.Destroy();
  icon_.reset();
}

bool TTrayIcon::NotifyIcon(DWORD request) {
  if (IsDesigning()) return true;
  NOTIFYICONDATAW record = TrayIconRecord(NotifyWindow(), icon_ ? icon_->Handle() : nullptr, hint_);
  return Platform().Shell_NotifyIconW(request, &record) != FALSE;
}

void TTrayIcon::SetActive(bool value) {
  if (!PlatformHasNotificationArea()) return;
  if (value == active_) return;
  active_ = value;
  // While loading only the value counts: Loaded acts on it, and a stored
  // false must neither unhook the owner nor show the application window.
  if (IsDesigning() || IsLoading()) return;
  if (value) {
    SetEnabled(true);
    Application->ShowMainForm = false;
    Platform().ShowWindow(Application->Handle(), SW_HIDE);
    Application->ProcessMessages();
    ActivateTimer();
    AddIconOrRetry();
    EnableTimer(true);
  } else {
    SilentRemove();
    Application->ShowMainForm = true;
    Platform().ShowWindow(Application->Handle(), SW_SHOWNORMAL);
    StopAddRetry();
    NotifyIcon(NIM_DELETE);
    DeActivateTimer(timerMode_);
  }
}

void TTrayIcon::AddIconOrRetry() {
  if (NotifyIcon(NIM_ADD)) return;
  // At logon the shell may not be up yet: try again later without holding the loop.
  if (!addRetryPending_ && ::SetTimer(NotifyWindow(), kAddRetryTimerId, kAddRetryPeriodMs, nullptr)) {
    addRetryPending_ = true;
  }
}

bool TTrayIcon::AddOrUpdateIcon() { return NotifyIcon(NIM_ADD) || NotifyIcon(NIM_MODIFY); }

void TTrayIcon::StopAddRetry() {
  if (!addRetryPending_) return;
  ::KillTimer(NotifyWindow(), kAddRetryTimerId);
  addRetryPending_ = false;
}

void TTrayIcon::Loaded() {
  TWndProcComponent::Loaded();
  if (!pendingPopupMenu_.empty()) {
    TPopupMenu* menu = FindStoredReference<TPopupMenu>(pendingRoot_, pendingPopupMenu_);
    if (!menu) throw EStoredFormError("no component " + pendingPopupMenu_);
    pendingPopupMenu_.clear();
    SetPopUpMenu(menu);
  }
  if (!pendingImageList_.empty()) {
    TCustomImageList* list = FindStoredReference<TCustomImageList>(pendingRoot_, pendingImageList_);
    if (!list) throw EStoredFormError("no component " + pendingImageList_);
    pendingImageList_.clear();
    SetImageList(list);
  }
  if (active_) {
    active_ = false;
    SetActive(true);
  }
}

void TTrayIcon::SetHint(const std::wstring& value) {
  if (value == hint_ && !IsLoading()) return;
  hint_ = value;
  if (active_) NotifyIcon(NIM_MODIFY);
}

void TTrayIcon::SetIcon(const TIcon& value) { icon_->Assign(value); }

void TTrayIcon::IconChanged(TObject*) {
  if (!IsDesigning() && active_) NotifyIcon(NIM_MODIFY);
}

void TTrayIcon::SetPopUpMenu(TPopupMenu* value) {
  if (value == popupMenu_) return;
  popupMenu_ = value;
  if (value) value->FreeNotification(this);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TWndProcComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == popupMenu_) popupMenu_ = nullptr;
  if (component == imageList_) SetImageList(nullptr);
}

void TTrayIcon::NewWndProc(TMessage& message) {
  if (message.Msg == kTrayCallbackMessage) {
    Notified(static_cast<UINT>(message.LParam));
    return;
  }
  if (message.Msg == TaskbarCreatedMessage() && active_ && !IsDesigning()) {
    // A restarted shell has forgotten every icon.
    if (AddOrUpdateIcon()) {
      StopAddRetry();
    } else {
      AddIconOrRetry();
    }
    return;
  }
  if (message.Msg == WM_TIMER && message.WParam == kAddRetryTimerId) {
    if (!addRetryPending_) return;
    // A timed-out add may have landed after all: then the icon only needs updating.
    if (AddOrUpdateIcon()) StopAddRetry();
    return;
  }
  DefaultHandling(NotifyWindow(), message);
}

void TTrayIcon::Notified(UINT mouseMessage) {
  Platform().GetCursorPos(&lastCursorPos_);
  TrayNotificationAction action = TrayNotificationFor(mouseMessage);
  if (action.mouse == TrayNotificationAction::Mouse::None) return;
  TShiftState shift = NotificationShift(action.doubleClickMember);
  const int x = lastCursorPos_.x;
  const int y = lastCursorPos_.y;
  if (action.dblClick && OnDblClick) OnDblClick(this);
  if (action.click && OnClick) OnClick(this);
  switch (action.mouse) {
    case TrayNotificationAction::Mouse::Move:
      if (OnMouseMove) OnMouseMove(this, shift, x, y);
      break;
    case TrayNotificationAction::Mouse::Down:
      if (OnMouseDown) OnMouseDown(this, action.button, shift, x, y);
      break;
    case TrayNotificationAction::Mouse::Up:
      if (OnMouseUp) OnMouseUp(this, action.button, shift, x, y);
      break;
    case TrayNotificationAction::Mouse::None:
      break;
  }
  if (action.popupMenu && popupMenu_) OpenOwnPopupMenu();
}

void TTrayIcon::OpenOwnPopupMenu() {
  if (OnPopUp) OnPopUp(this);
  Application->ProcessMessages();
  if (!popupMenu_) return;
  popupMenu_->SetPopupComponent(this);
  popupMenu_->PopupAt(lastCursorPos_.x, lastCursorPos_.y);
}

void TTrayIcon::HideIntoTray() {
  Platform().ShowWindow(Application->Handle(), SW_HIDE);
  if (TForm* form = GetOwnerForm()) form->SetVisible(false);
}

void TTrayIcon::WndProc(TMessage& message) {
  if (message.Msg == WM_SYSCOMMAND && !OwnerWindowGone()) {
    // The whole parameter counts: the platform's four low bits are not masked off.
    if (message.WParam == SC_MINIMIZE) {
      TWndProcComponent::WndProc(message);
      if (!ShowMinimizedIcon) HideIntoTray();
      return;
    }
    if (message.WParam == SC_CLOSE && NoClose && active_) {
      HideIntoTray();
      return;
    }
  }
  TWndProcComponent::WndProc(message);
}

// Animation.

void TTrayIcon::SetAnimated(bool value) {
  if (value == animated_) return;
  animated_ = value;
  if (value) {
    ActivateTimer();
    EnableTimer(true);
  } else {
    DeActivateTimer(timerMode_);
  }
}

void TTrayIcon::SetImageList(TCustomImageList* value) {
  if (imageListLink_->Sender()) imageListLink_->Sender()->UnRegisterChanges(imageListLink_.get());
  imageList_ = value;
  if (value) {
    value->RegisterChanges(imageListLink_.get());
    value->FreeNotification(this);
  }
  GetIMLChange(nullptr);
}

void TTrayIcon::GetIMLChange(TObject*) { Change(); }

void TTrayIcon::SetTimerMode(TTimerMode value) {
  if (value == timerMode_) return;
  if (IsLoading()) {
    timerMode_ = value;
    return;
  }
  DeActivateTimer(timerMode_);
  timerMode_ = value;
  ActivateTimer();
}

void TTrayIcon::SetInterval(uint16_t value) { interval_ = value; }

void TTrayIcon::SetThreadPriority(TThreadPriority value) { threadPriority_ = value; }

void TTrayIcon::ActivateTimer() {
  if (!animated_) return;
  if (timerMode_ == TTimerMode::tmGlobalTimer) {
    if (poolTimerId_ != 0) return;
    interval_ = PoolTimerInterval(interval_);
    poolTimerId_ = AppServices->AddTimer(interval_, [this](TObject* sender) { GetTimer(sender); });
    if (poolTimerId_ == 0) throw EOutOfResources(LoadMessage(IDS_TIMER_UNAVAILABLE));
    AppServices->GetTimer(static_cast<uint16_t>(poolTimerId_))->SetEnabled(false);
    return;
  }
  if (frameTimer_) return;
  frameTimer_ = new THiTimer(this);
  frameTimer_->SetOnTimer([this](TObject* sender) { GetTimer(sender); });
  frameTimer_->SetUseThread(timerMode_ == TTimerMode::tmThreaded);
}

void TTrayIcon::EnableTimer(bool value) {
  if (!animated_) return;
  frameIndex_ = 0;
  if (timerMode_ == TTimerMode::tmGlobalTimer) {
    TTimerItem* item = poolTimerId_ ? AppServices->GetTimer(static_cast<uint16_t>(poolTimerId_)) : nullptr;
    if (!item) return;
    if (value) item->SetInterval(interval_);
    item->SetEnabled(value);
    return;
  }
  if (!frameTimer_) return;
  if (value) {
    frameTimer_->SetInterval(interval_);
    frameTimer_->SetThreadPriority(threadPriority_);
  }
  frameTimer_->SetEnabled(value);
}

void TTrayIcon::DeActivateTimer(TTimerMode mode) {
  if (mode == TTimerMode::tmGlobalTimer) {
    if (poolTimerId_ != 0 && AppServices) AppServices->RemoveTimer(static_cast<uint16_t>(poolTimerId_));
    poolTimerId_ = 0;
    return;
  }
  delete frameTimer_;
  frameTimer_ = nullptr;
}

void TTrayIcon::GetTimer(TObject*) {
  if (!imageList_ || IsDesigning()) return;
  int count = imageList_->ItemCount(listNumber_);
  // An empty list has no frame to show; the tick waits for images.
  if (count == 0) return;
  if (frameIndex_ >= count) frameIndex_ = 0;
  UniqueGdiObject frame = CreateScreenBitmap(kFrameSize, kFrameSize);
  if (!frame) return;
  imageList_->GetBitmapItem(listNumber_, frameIndex_, static_cast<HBITMAP>(frame.get()));
  UniqueIcon icon = IconFromBitmap(static_cast<HBITMAP>(frame.get()), kFrameSize, kFrameSize);
  NOTIFYICONDATAW record = TrayIconRecord(NotifyWindow(), icon.get(), hint_);
  Platform().Shell_NotifyIconW(NIM_MODIFY, &record);
  ++frameIndex_;
  if (frameIndex_ >= count) frameIndex_ = 0;
}

// Stored properties.

void TTrayIcon::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "Active") {
    SetActive(value.AsBool());
  } else if (name == "Hint") {
    SetHint(value.AsString());
  } else if (name == "Icon") {
    if (value.kind != StoredValue::Kind::Resource) throw EStoredFormError("icon resource expected for " + Name());
    TIcon stored;
    stored.LoadFromIconFile(LoadRcData(Utf8ToWide(value.text).c_str()));
    SetIcon(stored);
  } else if (name == "NoClose") {
    NoClose = value.AsBool();
  } else if (name == "ShowMinimizedIcon") {
    ShowMinimizedIcon = value.AsBool();
  } else if (name == "PopupMenu") {
    if (TPopupMenu* menu = FindStoredReference<TPopupMenu>(context.Root(), value.AsIdentifier())) {
      SetPopUpMenu(menu);
    } else {
      pendingRoot_ = context.Root();
      pendingPopupMenu_ = value.AsIdentifier();
    }
  } else if (name == "ImageList") {
    if (TCustomImageList* list = FindStoredReference<TCustomImageList>(context.Root(), value.AsIdentifier())) {
      SetImageList(list);
    } else {
      pendingRoot_ = context.Root();
      pendingImageList_ = value.AsIdentifier();
    }
  } else if (name == "TimerMode") {
    SetTimerMode(StoredEnum<TTimerMode>(value, {"tmGlobalTimer", "tmHiTimer", "tmThreaded"}));
  } else if (name == "ThreadPriority") {
    SetThreadPriority(StoredEnum<TThreadPriority>(
        value, {"tpIdle", "tpLowest", "tpLower", "tpNormal", "tpHigher", "tpHighest", "tpTimeCritical"}));
  } else if (name == "Interval") {
    int32_t interval = value.AsInt();
    if (interval < 1 || interval > 0xFFFF) throw EStoredFormError("interval out of range for " + Name());
    SetInterval(static_cast<uint16_t>(interval));
  } else if (name == "Animated") {
    SetAnimated(value.AsBool());
  } else if (name == "OnClick") {
    OnClick = context.NotifyHandler(value);
  } else if (name == "OnDblClick") {
    OnDblClick = context.NotifyHandler(value);
  } else if (name == "OnPopUp") {
    OnPopUp = context.NotifyHandler(value);
  } else if (name == "OnMouseDown") {
    OnMouseDown = context.MouseHandler(value);
  } else if (name == "OnMouseUp") {
    OnMouseUp = context.MouseHandler(value);
  } else if (name == "OnMouseMove") {
    OnMouseMove = context.MouseMoveHandler(value);
  } else {
    TWndProcComponent::SetStoredProperty(name, value, context);
  }
}

void RegisterTrayClasses() {
  RegisterStoredClass<TTrayIcon>("TTrayIcon");
  RegisterStoredClass<TImageList>("TImageList");
}

}  // namespace lumek
