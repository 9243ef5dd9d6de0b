#include "tray/WndProcComponent.h"

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/Forms.h"

namespace lumek {

TWndProcComponent::TWndProcComponent(TComponent* owner) : TCustomComponent(owner) {
  if (auto* form = dynamic_cast<TForm*>(owner)) {
    switch (form->FormStyle()) {
      case TFormStyle::fsMDIChild:
        ownerMDIKind_ = kMDIChild;
        break;
      case TFormStyle::fsMDIForm:
        ownerMDIKind_ = kMDIFrame;
        break;
      default:
        break;
    }
  }
}

TWndProcComponent::~TWndProcComponent() { RestoreWndProc(); }

TForm* TWndProcComponent::GetOwnerForm() const { return dynamic_cast<TForm*>(Owner()); }

HWND TWndProcComponent::GetOwnerHandle() const {
  TForm* form = GetOwnerForm();
  if (!form) return nullptr;
  try {
    HWND frame = form->WindowHandle();
    if (ownerMDIKind_ == kMDIFrame && !HookMDIFrame) {
      return ::FindWindowExW(frame, nullptr, L"MDICLIENT", nullptr);
    }
    return frame;
  } catch (...) {
    // A window that cannot be made is no window to hook.
    return nullptr;
  }
}

bool TWndProcComponent::ValidOwner() const {
  TForm* form = GetOwnerForm();
  return form && form->HandleAllocated() && !IsLoading() && !IsDestroying();
}

bool TWndProcComponent::NewWndProc() {
  if (!GetOwnerHandle() || prevWindowProc_ || (IsDesigning() && !designEnabled_)) return false;
  try {
    ownerWindowGone_ = false;
    if (handleApp_) {
      Application->HookMainWindow(this, [this](TMessage& message) { return AppWndProc(message); });
      appHookInstalled_ = true;
    }
    // The handler reads nothing of its own after WndProc returns, so WndProc
    // may unhook (and so release this very procedure) while it runs.
    hookProc_ = BoundWindowProc([this](HWND, TMessage& message) { WndProc(message); });
    hookedWindow_ = GetOwnerHandle();
    prevWindowProc_ = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hookedWindow_, GWLP_WNDPROC));
    ::SetWindowLongPtrW(hookedWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hookProc_.Proc()));
    return true;
  } catch (const Exception&) {
    RestoreWndProc();
    return false;
  }
}

bool TWndProcComponent::RestoreWndProc() {
  // Written back without a look at the current procedure: whoever subclassed
  // on top of this hook is cut out of the chain. A component its owner has
  // already let go of finds the window gone with the owner.
  if (prevWindowProc_ && hookedWindow_ && GetOwnerForm()) {
    ::SetWindowLongPtrW(hookedWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevWindowProc_));
  }
  prevWindowProc_ = nullptr;
  hookedWindow_ = nullptr;
  hookProc_.Release();
  if (handleApp_ && appHookInstalled_) {
    Application->UnhookMainWindow(this);
    appHookInstalled_ = false;
  }
  ownerWindowGone_ = false;
  return true;
}

void TWndProcComponent::SilentRemove() {
  RestoreWndProc();
  SetEnabled(false);
}

void TWndProcComponent::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (IsDesigning()) return;
  if (value) {
    Init();
  } else {
    RestoreState();
  }
}

void TWndProcComponent::SetDesignEnabled(bool value) {
  if (value == designEnabled_) return;
  designEnabled_ = value;
  if (IsDesigning()) {
    if (value) {
      Init();
    } else {
      RestoreState();
    }
  }
  DesignEnabledChanged();
}

void TWndProcComponent::SetHandleApp(bool value) {
  if (IsDesigning() || IsLoading()) handleApp_ = value;
}

void TWndProcComponent::Loaded() {
  TCustomComponent::Loaded();
  if (!IsDesigning() || designEnabled_) Init();
}

bool TWndProcComponent::AppWndProc(TMessage&) { return true; }

void TWndProcComponent::Init() {
  if (enabled_ && !hookProc_) NewWndProc();
}

void TWndProcComponent::RestoreState() {}

void TWndProcComponent::WndProc(TMessage& message) {
  if (ownerWindowGone_) return;
  if (message.Msg == WM_DESTROY) {
    ownerWindowGone_ = true;
    if (ownerMDIKind_ == kMDIChild) {
      RestoreWndProc();
      return;
    }
  }
  message.Result = ::CallWindowProcW(prevWindowProc_, hookedWindow_, message.Msg, message.WParam, message.LParam);
}

void TWndProcComponent::DesignEnabledChanged() {
  if (IsDesigning() && !designEnabled_) RestoreWndProc();
}

}  // namespace lumek
