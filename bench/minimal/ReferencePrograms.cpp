// The references Lumek's moving tick and start-up are measured against, one
// program with a mode argument (the tick's road at rest is SynchronizedPoll.cpp):
//   calls    a worker sleeps 20 ms with the timer resolution raised, hands the
//            tick to the user-interface thread and waits while that thread
//            makes the tick's full set of calls: the pointer read, two line
//            moves and the topmost re-assert of the hidden main window.
//   startup  the platform work Lumek's start-up must do: a hidden main window,
//            two topmost 1-pixel popups shown that, like Lumek's lines, are
//            layered, let clicks through and are never activated, a tray icon
//            added, winmm loaded with the timer resolution raised, a 20 ms
//            timer started.
// Each ends when its main window gets WM_CLOSE.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace {

constexpr UINT kTickMessage = WM_APP + 1;
constexpr DWORD kIntervalMs = 20;

struct Reference {
  bool fullCalls = false;
  HWND main = nullptr;
  HWND lines[2] = {nullptr, nullptr};
  bool trayIcon = false;
  volatile LONG stop = 0;
};

// The main window's procedure finds its reference through the window's user data.
Reference* ReferenceOf(HWND window) { return reinterpret_cast<Reference*>(::GetWindowLongPtrA(window, GWLP_USERDATA)); }

void Tick(const Reference& reference) {
  POINT pointer;
  ::GetCursorPos(&pointer);
  if (!reference.fullCalls) return;
  ::SetWindowPos(reference.lines[0], nullptr, pointer.x + 1, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(reference.lines[1], nullptr, 0, pointer.y + 1, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(reference.main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

NOTIFYICONDATAA TrayIcon(HWND main) {
  NOTIFYICONDATAA icon{};
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = main;
  icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  icon.uCallbackMessage = WM_APP + 2;
  icon.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  std::strcpy(icon.szTip, "reference");
  return icon;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  Reference* reference = ReferenceOf(window);
  if (!reference) return ::DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case kTickMessage:
    case WM_TIMER:
      Tick(*reference);
      return 0;
    case WM_DESTROY:
      if (reference->trayIcon) {
        NOTIFYICONDATAA icon = TrayIcon(window);
        ::Shell_NotifyIconA(NIM_DELETE, &icon);
      }
      ::InterlockedExchange(&reference->stop, 1);
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

DWORD WINAPI Worker(void* context) {
  const Reference& reference = *static_cast<const Reference*>(context);
  while (!reference.stop) {
    ::Sleep(kIntervalMs);
    ::SendMessageA(reference.main, kTickMessage, 0, 0);
  }
  return 0;
}

HWND MakeWindow(const char* className, WNDPROC procedure, DWORD exStyle, DWORD style, int width, int height,
                void* context = nullptr) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = className;
  ::RegisterClassA(&windowClass);
  return ::CreateWindowExA(exStyle, className, className, style, 0, 0, width, height, nullptr, nullptr,
                           windowClass.hInstance, context);
}

void ShowLines(Reference& reference) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  constexpr DWORD kLineStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT;
  reference.lines[0] = MakeWindow("LumekReferenceX", ::DefWindowProcA, kLineStyle, WS_POPUP, 1, height);
  reference.lines[1] = MakeWindow("LumekReferenceY", ::DefWindowProcA, kLineStyle, WS_POPUP, width, 1);
  for (HWND line : reference.lines) {
    ::SetLayeredWindowAttributes(line, 0, 255, LWA_ALPHA);
    ::ShowWindow(line, SW_SHOWNOACTIVATE);
  }
}

void RaiseTimerResolution() {
  HMODULE winmm = ::LoadLibraryA("winmm.dll");
  if (!winmm) return;
  using TimeBeginPeriod = UINT(WINAPI*)(UINT);
  auto begin = reinterpret_cast<TimeBeginPeriod>(reinterpret_cast<void*>(::GetProcAddress(winmm, "timeBeginPeriod")));
  if (begin) begin(1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  const bool startup = std::strstr(commandLine, "startup") != nullptr;
  Reference reference;
  reference.fullCalls = std::strstr(commandLine, "calls") != nullptr;
  reference.main = MakeWindow("LumekReference", MainProc, WS_EX_TOOLWINDOW, WS_POPUP, 0, 0, &reference);
  if (startup) {
    NOTIFYICONDATAA icon = TrayIcon(reference.main);
    reference.trayIcon = ::Shell_NotifyIconA(NIM_ADD, &icon) != FALSE;
  }
  RaiseTimerResolution();
  HANDLE worker = nullptr;
  if (startup) {
    ::SetTimer(reference.main, 1, kIntervalMs, nullptr);
  } else {
    worker = ::CreateThread(nullptr, 0, Worker, &reference, 0, nullptr);
  }
  // The lines come last: shown lines are what "started" means, for Lumek too.
  if (startup || reference.fullCalls) ShowLines(reference);
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
  if (worker) {
    // The worker may be inside SendMessage to the window just destroyed; it fails and sees stop.
    ::WaitForSingleObject(worker, 1000);
    ::CloseHandle(worker);
  }
  return 0;
}
