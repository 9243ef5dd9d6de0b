// Reference (a): the road of Lumek's tracking tick with nothing on it but
// the pointer read. A worker of the framework's own thread class sleeps 20 ms
// with the timer resolution raised and hands the read to the user-interface
// thread through the framework's synchronized call, whose event and queue
// Lumek's timers use; that thread runs the application object's own loop.
// So the figure moves with the framework, and Lumek's ratio to it shows only
// what Lumek adds. Ends when its window "LumekReference" gets WM_CLOSE.
#include <windows.h>

#include "framework/Application.h"
#include "framework/Platform.h"
#include "framework/Threads.h"

namespace {

constexpr DWORD kIntervalMs = 20;

class PollWorker : public lumek::TThread {
 protected:
  void Execute() override {
    while (!Terminated()) {
      ::Sleep(kIntervalMs);
      Synchronize([] {
        POINT pointer;
        ::GetCursorPos(&pointer);
      });
    }
  }
};

LRESULT CALLBACK ReferenceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    lumek::Application->Terminate();
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  using lumek::Application;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ReferenceProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "LumekReference";
  ::RegisterClassA(&windowClass);
  HWND window = ::CreateWindowExA(WS_EX_TOOLWINDOW, "LumekReference", "reference", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
  lumek::Platform().timeBeginPeriod(1);
  PollWorker worker;
  worker.Resume();
  while (!Application->Terminated()) Application->HandleMessage();
  worker.Terminate();
  // The worker may wait for one last hand-over: run it, then let the worker end.
  while (!worker.Finished()) {
    lumek::CheckSynchronize();
    ::Sleep(1);
  }
  lumek::Platform().timeEndPeriod(1);
  ::DestroyWindow(window);
  return 0;
}
