// A helper the end-to-end tests run beside LUMEK.exe to do what a test cannot
// do with real input under Wine: send a close request, broadcast the shell's
// restart message, post a tray notification, wait for a window, or keep a
// file locked (as root a read-only folder would not stop a write).
//
//   lumekctl close                      WM_CLOSE to Lumek's application window
//   lumekctl close-all                  WM_CLOSE to every running copy's application window, back to back
//   lumekctl wait-count N SECONDS       wait until exactly N copies' application windows exist
//   lumekctl taskbar-created            broadcast "TaskbarCreated"
//   lumekctl tray-notify MOUSEMSG...    post 0x465 (icon 0, MOUSEMSG) to Lumek's tray window, once per
//                                       MOUSEMSG and back to back, as the shell does for one gesture
//   lumekctl wait-app SECONDS           wait until Lumek's application window exists
//   lumekctl wait-gone SECONDS          wait until it is gone
//   lumekctl hold FILE SECONDS [RELEASE]
//                                       open FILE without sharing, print "held", keep it for SECONDS
//                                       or until the file RELEASE exists
//   lumekctl box-text                   print the texts of Lumek's message box (system code page)
//   lumekctl box-ok                     answer Lumek's message box as Return on its OK button does
//   lumekctl monitors                   print the monitors Wine shows, one "LEFT TOP RIGHT BOTTOM" a line
//   lumekctl cover X Y W H SECONDS [unmanaged]
//                                       show a white topmost window that never takes the focus there,
//                                       print "shown", keep it, then print "focus kept" or "focus changed";
//                                       an unmanaged one has no system menu, so Wine keeps it from the
//                                       window manager, as on-screen displays and overlays are
//   lumekctl pad X Y W H SECONDS        a window of the user's there that takes the foreground and prints
//                                       "ready", then a line per event until SECONDS pass: "char C" per
//                                       typed character, "click X Y" per left press, "foreground CLASS"
//                                       whenever another window becomes the foreground, "back" when
//                                       it has it again
#include <windows.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

HWND FindLumek() { return ::FindWindowA("TApplication", "Lumek"); }

bool IsLumek(HWND window) {
  char className[64] = {};
  char title[64] = {};
  ::GetClassNameA(window, className, sizeof className);
  ::GetWindowTextA(window, title, sizeof title);
  return std::strcmp(className, "TApplication") == 0 && std::strcmp(title, "Lumek") == 0;
}

// Every copy's application window, so all of them can be told at once.
BOOL CALLBACK CollectLumeks(HWND window, LPARAM context) {
  auto* found = reinterpret_cast<std::vector<HWND>*>(context);
  if (IsLumek(window)) found->push_back(window);
  return TRUE;
}

std::vector<HWND> AllLumeks() {
  std::vector<HWND> found;
  ::EnumWindows(CollectLumeks, reinterpret_cast<LPARAM>(&found));
  return found;
}

template <typename Condition>
bool WaitUntil(Condition holds, double seconds) {
  DWORD deadline = ::GetTickCount() + static_cast<DWORD>(seconds * 1000);
  while (static_cast<LONG>(deadline - ::GetTickCount()) > 0) {
    if (holds()) return true;
    ::Sleep(50);
  }
  return holds();
}

struct UtilWindows {
  DWORD process;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectUtilWindows(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<UtilWindows*>(context);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  char className[64] = {};
  ::GetClassNameA(window, className, sizeof className);
  if (process == search->process && std::strcmp(className, "TUtilWindow") == 0) search->found.push_back(window);
  return TRUE;
}

// Lumek's hidden utility windows, the tray icon's among them; empty while Lumek is not up.
std::vector<HWND> LumekUtilWindows() {
  HWND app = FindLumek();
  if (!app) return {};
  UtilWindows search{0, {}};
  ::GetWindowThreadProcessId(app, &search.process);
  ::EnumWindows(CollectUtilWindows, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Posts every message of one gesture back to back, so they queue together as
// the shell's do; only the tray icon's window answers the callback message,
// the others pass it to default handling.
int PostTrayGesture(char** messages, int count) {
  std::vector<HWND> windows;
  if (!WaitUntil([&windows] { return !(windows = LumekUtilWindows()).empty(); }, 5)) {
    std::fprintf(stderr, "lumekctl: no Lumek tray window within 5 s\n");
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    const LPARAM mouseMessage = static_cast<LPARAM>(std::strtol(messages[i], nullptr, 0));
    for (HWND window : windows) {
      if (!::PostMessageA(window, 0x465, 0, mouseMessage)) {
        std::fprintf(stderr, "lumekctl: posting %s failed, error %lu\n", messages[i], ::GetLastError());
        return 1;
      }
    }
  }
  return 0;
}

BOOL CALLBACK PrintStaticText(HWND child, LPARAM) {
  char className[64] = {};
  ::GetClassNameA(child, className, sizeof className);
  if (::lstrcmpiA(className, "Static") == 0) {
    char text[1024] = {};
    ::GetWindowTextA(child, text, sizeof text);
    if (text[0]) std::printf("%s\n", text);
  }
  return TRUE;
}

// One line per monitor Wine shows, "LEFT TOP RIGHT BOTTOM", the primary marked.
BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(monitor, &info)) {
    std::printf("%ld %ld %ld %ld%s\n", info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right,
                info.rcMonitor.bottom, (info.dwFlags & MONITORINFOF_PRIMARY) ? " primary" : "");
  }
  return TRUE;
}

// A plain white topmost window of another program, as a video player "always
// on top" would be; it never asks for activation. WS_SYSMENU makes Wine hand
// it to the window manager, as it does every window with a caption; without
// it the window stays unmanaged. Under Wine an unmanaged popup stays above
// every managed window, whatever the owner of that window asks for (a Wine
// difference; on Windows both kinds share the topmost band).
int Cover(int x, int y, int width, int height, double seconds, bool managed) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcA;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = "LumekTestCover";
  ::RegisterClassA(&windowClass);
  HWND foregroundBefore = ::GetForegroundWindow();
  HWND cover = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, "LumekTestCover", "cover",
                                 WS_POPUP | (managed ? WS_SYSMENU : 0), x, y, width, height, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
  if (!cover) return 1;
  ::ShowWindow(cover, SW_SHOWNOACTIVATE);
  std::printf("shown\n");
  std::fflush(stdout);
  bool focusKept = true;
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(seconds * 1000);
  while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    HWND foreground = ::GetForegroundWindow();
    if (foreground == cover || foreground != foregroundBefore) focusKept = false;
    ::Sleep(10);
  }
  std::printf(focusKept ? "focus kept\n" : "focus changed\n");
  ::DestroyWindow(cover);
  return 0;
}

void PrintLine(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
  std::fflush(stdout);
}

LRESULT CALLBACK PadProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CHAR:
      PrintLine("char %c\n", static_cast<char>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
      PrintLine("click %d %d\n", static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    default:
      return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

// The user's own window, an ordinary one at the front, that notes every key,
// click and change of the foreground it is given.
int Pad(int x, int y, int width, int height, double seconds) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = PadProcedure;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = "LumekTestPad";
  ::RegisterClassA(&windowClass);
  HWND pad = ::CreateWindowExA(0, "LumekTestPad", "pad", WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
  if (!pad) return 1;
  // Wine: the shell's tray window appears with the first icon of a session,
  // and the window manager focuses it; on Windows the notification area is
  // always there. The pad's own icon brings it up before the session.
  NOTIFYICONDATAA icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = pad;
  icon.uID = 1;
  icon.uFlags = NIF_ICON;
  icon.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  ::Shell_NotifyIconA(NIM_ADD, &icon);
  ::ShowWindow(pad, SW_SHOW);
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(seconds * 1000);
  // Ready once the pad has held the foreground and the focus for a second.
  bool ready = false;
  DWORD heldSince = 0;
  HWND noted = pad;
  while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    HWND foreground = ::GetForegroundWindow();
    if (!ready) {
      // Wine asks the window manager for the focus; keys reach the pad once it has it.
      if (foreground != pad || ::GetFocus() != pad) {
        if (foreground != pad) ::SetForegroundWindow(pad);
        heldSince = 0;
      } else if (!heldSince) {
        heldSince = ::GetTickCount();
      } else if (::GetTickCount() - heldSince >= 1000) {
        ready = true;
        PrintLine("ready\n");
      }
      continue;
    }
    if (foreground == noted) continue;
    noted = foreground;
    char className[64] = "none";
    if (foreground) ::GetClassNameA(foreground, className, sizeof className);
    PrintLine(foreground == pad ? "back\n" : "foreground %s\n", className);
  }
  ::Shell_NotifyIconA(NIM_DELETE, &icon);
  ::DestroyWindow(pad);
  return ready ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: lumekctl close|close-all|wait-count N S|taskbar-created|tray-notify MSG...|wait-app S|wait-gone S|hold FILE S|box-text|box-ok|monitors|cover X Y W H S [unmanaged]|pad X Y W H S\n");
    return 2;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "close") == 0) {
    HWND app = FindLumek();
    if (!app) return 1;
    ::PostMessageA(app, WM_CLOSE, 0, 0);
    return 0;
  }
  if (std::strcmp(command, "close-all") == 0) {
    std::vector<HWND> copies = AllLumeks();
    for (HWND app : copies) ::PostMessageA(app, WM_CLOSE, 0, 0);
    return copies.empty() ? 1 : 0;
  }
  if (std::strcmp(command, "wait-count") == 0 && argc >= 4) {
    const size_t count = static_cast<size_t>(std::atoi(argv[2]));
    return WaitUntil([count] { return AllLumeks().size() == count; }, std::atof(argv[3])) ? 0 : 1;
  }
  if (std::strcmp(command, "taskbar-created") == 0) {
    UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, message, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    return 0;
  }
  if (std::strcmp(command, "tray-notify") == 0 && argc >= 3) return PostTrayGesture(argv + 2, argc - 2);
  if (std::strcmp(command, "hold") == 0 && argc >= 4) {
    HANDLE file = ::CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    // The test says when it is done with the held file, so it need not wait out the time.
    const char* release = argc >= 5 ? argv[4] : nullptr;
    WaitUntil([release] { return release && ::GetFileAttributesA(release) != INVALID_FILE_ATTRIBUTES; },
              std::atof(argv[3]));
    ::CloseHandle(file);
    return 0;
  }
  if (std::strcmp(command, "box-text") == 0) {
    // Message boxes are dialogs of the standard dialog class, titled with the application's title.
    HWND box = ::FindWindowA("#32770", "Lumek");
    if (!box) return 1;
    ::EnumChildWindows(box, PrintStaticText, 0);
    return 0;
  }
  if (std::strcmp(command, "box-ok") == 0) {
    HWND box = ::FindWindowA("#32770", "Lumek");
    if (!box) return 1;
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
  }
  if (std::strcmp(command, "cover") == 0 && argc >= 7) {
    const bool managed = !(argc >= 8 && std::strcmp(argv[7], "unmanaged") == 0);
    return Cover(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atof(argv[6]),
                 managed);
  }
  if (std::strcmp(command, "pad") == 0 && argc >= 7) {
    return Pad(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atof(argv[6]));
  }
  if (std::strcmp(command, "monitors") == 0) {
    ::EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
    return 0;
  }
  if (std::strcmp(command, "wait-app") == 0 && argc >= 3) {
    return WaitUntil([] { return FindLumek() != nullptr; }, std::atof(argv[2])) ? 0 : 1;
  }
  if (std::strcmp(command, "wait-gone") == 0 && argc >= 3) {
    return WaitUntil([] { return FindLumek() == nullptr; }, std::atof(argv[2])) ? 0 : 1;
  }
  std::fprintf(stderr, "unknown command %s\n", command);
  return 2;
}
