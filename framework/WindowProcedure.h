#pragma once
// The object-bound window procedure: a real WNDPROC lent to one object, so
// that every window the framework makes (and every window it subclasses)
// reaches its object without a global or a window property. Each call builds
// a TMessage with the result preset to 0, hands it to the bound handler and
// returns the record's result. An exception that escapes the handler is
// caught here and handed to the application object.
//
// No code is made for it at run time while it can be helped: the procedures
// are compiled into the program, each reading its handler from a data slot
// of its own, and lent out from a free list. Only when all of them are in
// use are more made, on pages written once and then made executable and
// read-only for good, so no memory is ever writable and executable at once.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>

#include "framework/Classes.h"

namespace lumek {

class BoundWindowProc {
 public:
  using Handler = std::function<void(HWND window, TMessage& message)>;
  // Where a procedure finds its handler; empty while the procedure is free.
  using HandlerSlot = std::atomic<const Handler*>;
  // Many times the windows the program has at once: more are made at run time.
  static constexpr size_t kCompiledProcedures = 128;

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
  std::unique_ptr<Handler> handler_;
  HandlerSlot* slot_ = nullptr;  // the slot proc_ reads
  WNDPROC proc_ = nullptr;
};

// Registers (once) a window class whose procedure is DefWindowProcW; windows
// of it get their object-bound procedure right after creation.
void EnsureWindowClass(const wchar_t* className, UINT style, HCURSOR cursor = nullptr);

// Creates a window and puts `procedure` in as its window procedure.
HWND CreateBoundWindow(const BoundWindowProc& procedure, DWORD exStyle, const wchar_t* className, const wchar_t* text,
                       DWORD style, int x, int y, int width, int height, HWND owner);

// The hidden, zero-size popup tool window of the class "TUtilWindow" that an
// object makes for itself; what its handler leaves at Result stays, and it
// calls DefWindowProcW itself for what it does not handle.
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
  message.Result = ::DefWindowProcW(window, message.Msg, message.WParam, message.LParam);
}

}  // namespace lumek
