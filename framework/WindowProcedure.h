#pragma once
// The object-bound window procedure: a real WNDPROC made for one object, so
// that every window the framework makes (and every window it subclasses)
// reaches its object without a global or a window property. Each call builds
// a TMessage with the result preset to 0, hands it to the bound handler and
// returns the record's result. An exception that escapes the handler is
// caught here and handed to the application object.
#include <windows.h>

#include <functional>
#include <memory>

#include "framework/Classes.h"

namespace lumek {

class BoundWindowProc {
 public:
  using Handler = std::function<void(HWND window, TMessage& message)>;

  BoundWindowProc() noexcept;
  explicit BoundWindowProc(Handler handler);
  ~BoundWindowProc();
  BoundWindowProc(BoundWindowProc&& other) noexcept;
  BoundWindowProc& operator=(BoundWindowProc&& other) noexcept;
  BoundWindowProc(const BoundWindowProc&) = delete;
  BoundWindowProc& operator=(const BoundWindowProc&) = delete;

  WNDPROC Proc() const { return proc_; }
  explicit operator bool() const { return proc_ != nullptr; }
  void Release();

 private:
  struct Target {
    Handler handler;
  };
  static LRESULT __stdcall Dispatch(Target* target, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  std::unique_ptr<Target> target_;
  WNDPROC proc_ = nullptr;
};

// Registers (once) a window class whose procedure is DefWindowProcA; windows
// of it get their object-bound procedure right after creation.
void EnsureWindowClass(const char* className, UINT style, HCURSOR cursor = nullptr);

// Creates a window and puts `procedure` in as its window procedure.
HWND CreateBoundWindow(const BoundWindowProc& procedure, DWORD exStyle, const char* className, const char* text,
                       DWORD style, int x, int y, int width, int height, HWND owner);

// The hidden, zero-size popup tool window of the class "TUtilWindow" that an
// object makes for itself; what its handler leaves at Result stays, and it
// calls DefWindowProcA itself for what it does not handle.
class UtilWindow {
 public:
  UtilWindow() = default;
  explicit UtilWindow(BoundWindowProc::Handler handler);
  ~UtilWindow();
  UtilWindow(UtilWindow&&) noexcept = default;
  UtilWindow& operator=(UtilWindow&& other) noexcept;
  UtilWindow(const UtilWindow&) = delete;
  UtilWindow& operator=(const UtilWindow&) = delete;

  HWND Handle() const { return window_; }
  explicit operator bool() const { return window_ != nullptr; }
  void Destroy();

 private:
  // The procedure must outlive the window: destruction order matters.
  BoundWindowProc procedure_;
  HWND window_ = nullptr;
};

// Default processing for a message a handler does not take.
inline void DefaultHandling(HWND window, TMessage& message) {
  message.Result = ::DefWindowProcA(window, message.Msg, message.WParam, message.LParam);
}

}  // namespace lumek
