#include "framework/Platform.h"

#include <string>

namespace lumek {

namespace {

// Loads a library from the system directory by its full path, where a DLL
// planted beside the exe would not be found first.
HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t directory[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(directory, length);
  path += L"\\";
  path += name;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// winmm is not one of the DLLs Windows always takes from the system
// directory, so it is loaded from there on first use rather than imported.
HMODULE Winmm() {
  static HMODULE module = LoadSystemLibrary(L"winmm.dll");
  return module;
}

// The common dialogs are loaded when the first one opens: imported, they
// and the libraries they pull in would be loaded at every start-up.
HMODULE CommonDialogs() {
  static HMODULE module = LoadSystemLibrary(L"comdlg32.dll");
  return module;
}

template <typename Function>
Function EntryOf(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

template <typename Function>
Function WinmmEntry(const char* name) {
  return EntryOf<Function>(Winmm(), name);
}

BOOL CallChooseColorW(LPCHOOSECOLORW request) {
  static auto entry = EntryOf<BOOL(WINAPI*)(LPCHOOSECOLORW)>(CommonDialogs(), "ChooseColorW");
  return entry ? entry(request) : FALSE;
}

MMRESULT CallTimeGetDevCaps(LPTIMECAPS caps, UINT size) {
  static auto entry = WinmmEntry<MMRESULT(WINAPI*)(LPTIMECAPS, UINT)>("timeGetDevCaps");
  return entry ? entry(caps, size) : TIMERR_NOCANDO;
}
MMRESULT CallTimeBeginPeriod(UINT period) {
  static auto entry = WinmmEntry<MMRESULT(WINAPI*)(UINT)>("timeBeginPeriod");
  return entry ? entry(period) : TIMERR_NOCANDO;
}
MMRESULT CallTimeEndPeriod(UINT period) {
  static auto entry = WinmmEntry<MMRESULT(WINAPI*)(UINT)>("timeEndPeriod");
  return entry ? entry(period) : TIMERR_NOCANDO;
}
MMRESULT CallTimeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  static auto entry = WinmmEntry<MMRESULT(WINAPI*)(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT)>("timeSetEvent");
  return entry ? entry(delay, resolution, callback, user, flags) : 0;
}
MMRESULT CallTimeKillEvent(UINT id) {
  static auto entry = WinmmEntry<MMRESULT(WINAPI*)(UINT)>("timeKillEvent");
  return entry ? entry(id) : TIMERR_NOCANDO;
}
BOOL CallPlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags) {
  static auto entry = WinmmEntry<BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD)>("PlaySoundW");
  return entry ? entry(sound, module, flags) : FALSE;
}

PlatformCalls MakeRealPlatform() {
  PlatformCalls calls{};
  calls.CreateWindowExW = [](DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                             int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    return ::CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance,
                             param);
  };
  calls.SetWindowPos = [](HWND w, HWND after, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(w, after, x, y, cx, cy, flags);
  };
  calls.EnumWindows = [](WNDENUMPROC callback, LPARAM data) { return ::EnumWindows(callback, data); };
  calls.IsWindowVisible = [](HWND w) { return ::IsWindowVisible(w); };
  calls.GetWindowThreadProcessId = [](HWND w, LPDWORD process) { return ::GetWindowThreadProcessId(w, process); };
  calls.ShowWindow = [](HWND w, int command) { return ::ShowWindow(w, command); };
  calls.SetActiveWindow = [](HWND w) { return ::SetActiveWindow(w); };
  calls.SetForegroundWindow = [](HWND w) { return ::SetForegroundWindow(w); };
  calls.EnableWindow = [](HWND w, BOOL enable) { return ::EnableWindow(w, enable); };
  calls.SetWindowPlacement = [](HWND w, const WINDOWPLACEMENT* p) { return ::SetWindowPlacement(w, p); };
  calls.MessageBoxW = [](HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    return ::MessageBoxW(owner, text, caption, type);
  };
  calls.SetTimer = [](HWND w, UINT_PTR id, UINT elapse, TIMERPROC callback) {
    return ::SetTimer(w, id, elapse, callback);
  };
  calls.KillTimer = [](HWND w, UINT_PTR id) { return ::KillTimer(w, id); };
  calls.GetCursorPos = [](POINT* p) { return ::GetCursorPos(p); };
  calls.SetCursorPos = [](int x, int y) { return ::SetCursorPos(x, y); };
  calls.RegisterRawInputDevices = [](PCRAWINPUTDEVICE devices, UINT count, UINT size) {
    return ::RegisterRawInputDevices(devices, count, size);
  };
  calls.GetSystemMetrics = [](int index) { return ::GetSystemMetrics(index); };
  calls.GetKeyState = [](int key) { return ::GetKeyState(key); };
  calls.EnumDisplayMonitors = [](HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data) {
    return ::EnumDisplayMonitors(dc, clip, callback, data);
  };
  calls.GetMonitorInfoW = [](HMONITOR monitor, LPMONITORINFO info) { return ::GetMonitorInfoW(monitor, info); };
  calls.TrackPopupMenu = [](HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect) {
    return ::TrackPopupMenu(menu, flags, x, y, reserved, owner, rect);
  };
  calls.CheckMenuItem = [](HMENU menu, UINT item, UINT check) { return ::CheckMenuItem(menu, item, check); };
  calls.InsertMenuItemW = [](HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
    return ::InsertMenuItemW(menu, item, byPosition, info);
  };
  calls.ChooseColorW = &CallChooseColorW;
  calls.Shell_NotifyIconW = [](DWORD message, PNOTIFYICONDATAW data) { return ::Shell_NotifyIconW(message, data); };
  calls.ShellExecuteW = [](HWND w, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show) {
    return ::ShellExecuteW(w, verb, file, parameters, directory, show);
  };
  calls.timeGetDevCaps = CallTimeGetDevCaps;
  calls.timeBeginPeriod = CallTimeBeginPeriod;
  calls.timeEndPeriod = CallTimeEndPeriod;
  calls.timeSetEvent = CallTimeSetEvent;
  calls.timeKillEvent = CallTimeKillEvent;
  calls.PlaySoundW = CallPlaySoundW;
  calls.VirtualAlloc = [](LPVOID address, SIZE_T size, DWORD allocationType, DWORD protection) {
    return ::VirtualAlloc(address, size, allocationType, protection);
  };
  calls.VirtualProtect = [](LPVOID address, SIZE_T size, DWORD protection, PDWORD previousProtection) {
    return ::VirtualProtect(address, size, protection, previousProtection);
  };
  calls.FlushInstructionCache = [](HANDLE process, LPCVOID address, SIZE_T size) {
    return ::FlushInstructionCache(process, address, size);
  };
  calls.GetModuleFileNameW = [](HMODULE module, LPWSTR buffer, DWORD size) {
    return ::GetModuleFileNameW(module, buffer, size);
  };
  calls.GetUserDefaultUILanguage = [] { return ::GetUserDefaultUILanguage(); };
  calls.CreateMutexW = [](LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) {
    return ::CreateMutexW(attributes, initialOwner, name);
  };
  calls.WaitForSingleObject = [](HANDLE object, DWORD milliseconds) {
    return ::WaitForSingleObject(object, milliseconds);
  };
  calls.ReleaseMutex = [](HANDLE mutex) { return ::ReleaseMutex(mutex); };
  calls.CloseHandle = [](HANDLE object) { return ::CloseHandle(object); };
  calls.GetPrivateProfileStringW = [](LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                                      LPCWSTR fileName) {
    return ::GetPrivateProfileStringW(section, key, defaultValue, buffer, size, fileName);
  };
  calls.WritePrivateProfileStringW = [](LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
    return ::WritePrivateProfileStringW(section, key, value, fileName);
  };
  calls.CopyFileW = [](LPCWSTR existing, LPCWSTR copy, BOOL failIfExists) {
    return ::CopyFileW(existing, copy, failIfExists);
  };
  calls.MoveFileExW = [](LPCWSTR existing, LPCWSTR target, DWORD flags) {
    return ::MoveFileExW(existing, target, flags);
  };
  calls.DeleteFileW = [](LPCWSTR path) { return ::DeleteFileW(path); };
  return calls;
}

}  // namespace

const PlatformCalls& RealPlatform() {
  static const PlatformCalls real = MakeRealPlatform();
  return real;
}

PlatformCalls& Platform() {
  static PlatformCalls live = RealPlatform();
  return live;
}

}  // namespace lumek
