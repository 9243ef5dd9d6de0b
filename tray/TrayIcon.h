#pragma once
// The notification-area icon: keeps one icon of the application in the
// shell's notification area, hides the application's taskbar presence while
// active, turns the shell's mouse notifications into events, watches the
// owner form's minimize and close commands, and can animate the icon with
// 16 x 16 frames from an image list.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/WindowProcedure.h"
#include "tray/WndProcComponent.h"

namespace lumek {

class TPopupMenu;
class THiTimer;

enum class TTimerMode : uint8_t { tmGlobalTimer = 0, tmHiTimer = 1, tmThreaded = 2 };

// The shell's callback message for the icon.
constexpr UINT kTrayCallbackMessage = WM_USER + 101;

// The shell record every request carries: its first version (152 bytes in 32-bit builds).
NOTIFYICONDATAW TrayIconRecord(HWND notifyWindow, HICON icon, const std::wstring& hint);

// What one mouse notification of the icon raises, in order: OnDblClick or
// OnClick first when set, then the mouse event, then (right press) the menu.
struct TrayNotificationAction {
  enum class Mouse : uint8_t { None, Move, Down, Up };
  bool click = false;
  bool dblClick = false;
  Mouse mouse = Mouse::None;
  TMouseButton button = TMouseButton::mbLeft;
  bool doubleClickMember = false;
  bool popupMenu = false;
};
TrayNotificationAction TrayNotificationFor(UINT mouseMessage);

// The pool's base period is 50 ms: the next multiple of 50 at or above
// `interval`, or `interval` itself where that does not fit in 16 bits.
uint16_t PoolTimerInterval(uint16_t interval);

class TTrayIcon : public TWndProcComponent {
 public:
  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;

  bool Active() const { return active_; }
  void SetActive(bool value);
  const std::wstring& Hint() const { return hint_; }
  void SetHint(const std::wstring& value);
  TIcon* Icon() const { return icon_.get(); }
  void SetIcon(const TIcon& value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopUpMenu(TPopupMenu* value);
  bool NoClose = false;
  bool ShowMinimizedIcon = false;

  TCustomImageList* ImageList() const { return imageList_; }
  void SetImageList(TCustomImageList* value);
  TTimerMode TimerMode() const { return timerMode_; }
  void SetTimerMode(TTimerMode value);
  TThreadPriority ThreadPriority() const { return threadPriority_; }
  void SetThreadPriority(TThreadPriority value);
  uint16_t Interval() const { return interval_; }
  void SetInterval(uint16_t value);
  bool Animated() const { return animated_; }
  void SetAnimated(bool value);

  HWND NotifyWindow() const { return notifyWindow_.Handle(); }
  POINT LastCursorPos() const { return lastCursorPos_; }
  int32_t FrameIndex() const { return frameIndex_; }
  uint16_t PoolTimerId() const { return static_cast<uint16_t>(poolTimerId_); }
  THiTimer* FrameTimer() const { return frameTimer_; }
  // True while a failed first add waits for the shell on a retry timer.
  bool WaitingForShell() const { return addRetryPending_; }

  TNotifyEvent OnDblClick;
  TNotifyEvent OnClick;
  TNotifyEvent OnPopUp;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // One shell request with the current record; the shell's answer, true in design mode.
  bool NotifyIcon(DWORD request);
  void IconChanged(TObject* sender);
  void GetIMLChange(TObject* sender);
  void ActivateTimer();
  void DeActivateTimer(TTimerMode mode);
  void EnableTimer(bool value);
  // The frame tick: shows the next frame of list 0 of the image list.
  void GetTimer(TObject* sender);

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;
  void WndProc(TMessage& message) override;

  using TWndProcComponent::NewWndProc;
  // The handler of NotifyWindow (not the hook-installing NewWndProc of the base).
  void NewWndProc(TMessage& message);

 private:
  void Notified(UINT mouseMessage);
  void OpenOwnPopupMenu();
  void HideIntoTray();
  // Adds the icon when the shell is ready; until then NotifyWindow retries.
  void AddIconOrRetry();
  // For a shell that may still hold the icon: add it, or else update it.
  bool AddOrUpdateIcon();
  void StopAddRetry();

  bool animated_ = false;
  bool active_ = true;
  std::wstring hint_;
  std::unique_ptr<TIcon> icon_;
  POINT lastCursorPos_{0, 0};
  TPopupMenu* popupMenu_ = nullptr;
  UtilWindow notifyWindow_;
  TThreadPriority threadPriority_ = TThreadPriority::tpNormal;
  TCustomImageList* imageList_ = nullptr;
  int32_t listNumber_ = 0;
  std::unique_ptr<TChangeLink> imageListLink_;
  TTimerMode timerMode_ = TTimerMode::tmGlobalTimer;
  uint16_t interval_ = 200;
  int32_t frameIndex_ = 0;
  uint32_t poolTimerId_ = 0;
  THiTimer* frameTimer_ = nullptr;
  bool addRetryPending_ = false;
  // Stored references to components read after this one, resolved in Loaded.
  TComponent* pendingRoot_ = nullptr;
  std::string pendingPopupMenu_;
  std::string pendingImageList_;
};

void RegisterTrayClasses();

}  // namespace lumek
