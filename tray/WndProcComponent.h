#pragma once
// A non-visual component that subclasses the window of the form owning it:
// every message of that window reaches its virtual WndProc first, and what
// WndProc passes on goes to the procedure it replaced. On request it also
// hooks the application window.
#include <windows.h>

#include <cstdint>

#include "framework/Classes.h"
#include "framework/WindowProcedure.h"

namespace lumek {

class TForm;

class TWndProcComponent : public TCustomComponent {
 public:
  static constexpr uint8_t kNotMDI = 0;
  static constexpr uint8_t kMDIChild = 1;
  static constexpr uint8_t kMDIFrame = 2;

  explicit TWndProcComponent(TComponent* owner);
  ~TWndProcComponent() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool DesignEnabled() const { return designEnabled_; }
  void SetDesignEnabled(bool value);
  bool HandleApp() const { return handleApp_; }
  // Only while designing or loading; ignored at any other time.
  void SetHandleApp(bool value);
  // For an MDI frame owner: hook the frame itself rather than its MDI client window.
  bool HookMDIFrame = false;

  uint8_t OwnerMDIKind() const { return ownerMDIKind_; }
  bool AppHookInstalled() const { return appHookInstalled_; }
  bool OwnerWindowGone() const { return ownerWindowGone_; }
  bool Hooked() const { return prevWindowProc_ != nullptr; }
  WNDPROC PrevWindowProc() const { return prevWindowProc_; }

  // The owner as a form; null when the owner is none or no form.
  TForm* GetOwnerForm() const;
  // The window that is (or is to be) hooked; null without a windowed owner.
  HWND GetOwnerHandle() const;
  bool ValidOwner() const;

  bool NewWndProc();
  bool RestoreWndProc();
  void SilentRemove();

  void Loaded() override;

  // True ends the application window's handling of the message.
  virtual bool AppWndProc(TMessage& message);
  virtual void Init();
  virtual void RestoreState();
  virtual void WndProc(TMessage& message);
  virtual void DesignEnabledChanged();

 private:
  bool enabled_ = true;
  bool designEnabled_ = false;
  bool handleApp_ = false;
  bool appHookInstalled_ = false;
  uint8_t ownerMDIKind_ = kNotMDI;
  BoundWindowProc hookProc_;
  WNDPROC prevWindowProc_ = nullptr;
  // The window the hook sits in. The owner form drops its handle before it
  // destroys its window, so asking the form again then would make a new one.
  HWND hookedWindow_ = nullptr;
  bool ownerWindowGone_ = false;
};

}  // namespace lumek
