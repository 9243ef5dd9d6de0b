#include "framework/Foreground.h"

#include "framework/Platform.h"

namespace lumek {

namespace {

bool OfThisProcess(HWND window) {
  DWORD process = 0;
  Platform().GetWindowThreadProcessId(window, &process);
  return process == ::GetCurrentProcessId();
}

}  // namespace

ForegroundReturn::ForegroundReturn() {
  HWND foreground = ::GetForegroundWindow();
  // Already Lumek's: an outer return, begun when Lumek took it, gives it back.
  if (foreground && !OfThisProcess(foreground)) previous_ = foreground;
}

ForegroundReturn::~ForegroundReturn() {
  if (!previous_ || !::IsWindow(previous_)) return;
  // A window the user clicked into meanwhile, or one a command opened, keeps it.
  HWND foreground = ::GetForegroundWindow();
  if (foreground && !OfThisProcess(foreground)) return;
  Platform().SetForegroundWindow(previous_);
}

}  // namespace lumek
