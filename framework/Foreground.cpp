#include "framework/Foreground.h"

#include "framework/Platform.h"

namespace lumek {

namespace {

// The foreground window when it belongs to another program; null otherwise.
HWND ForeignForeground() {
  HWND foreground = ::GetForegroundWindow();
  if (!foreground) return nullptr;
  DWORD process = 0;
  Platform().GetWindowThreadProcessId(foreground, &process);
  return process == ::GetCurrentProcessId() ? nullptr : foreground;
}

}  // namespace

// Already Lumek's: an outer return, begun when Lumek took it, gives it back.
ForegroundReturn::ForegroundReturn() : previous_(ForeignForeground()) {}

ForegroundReturn::~ForegroundReturn() {
  // A window the user clicked into meanwhile, or one a command opened, keeps it.
  if (!previous_ || !::IsWindow(previous_) || ForeignForeground()) return;
  Platform().SetForegroundWindow(previous_);
}

}  // namespace lumek
