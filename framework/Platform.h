#pragma once
// The thin layer through which the platform calls whose exact arguments and
// order matter are made. Production code calls through `Platform()`; a test
// replaces single entries with recorders that log the call and forward it.
#include <windows.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>

namespace lumek {

struct PlatformCalls {
  // Windowing
  HWND (*CreateWindowExW)(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
  BOOL (*SetWindowPos)(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
  BOOL (*EnumWindows)(WNDENUMPROC callback, LPARAM data);
  BOOL (*IsWindowVisible)(HWND window);
  DWORD (*GetWindowThreadProcessId)(HWND window, LPDWORD process);
  BOOL (*ShowWindow)(HWND window, int command);
  HWND (*SetActiveWindow)(HWND window);
  BOOL (*SetForegroundWindow)(HWND window);
  BOOL (*EnableWindow)(HWND window, BOOL enable);
  BOOL (*SetWindowPlacement)(HWND window, const WINDOWPLACEMENT* placement);
  int (*MessageBoxW)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
  UINT_PTR (*SetTimer)(HWND window, UINT_PTR id, UINT elapse, TIMERPROC callback);
  BOOL (*KillTimer)(HWND window, UINT_PTR id);
  // Input and screen
  BOOL (*GetCursorPos)(POINT* point);
  BOOL (*SetCursorPos)(int x, int y);
  BOOL (*RegisterRawInputDevices)(PCRAWINPUTDEVICE devices, UINT count, UINT size);
  int (*GetSystemMetrics)(int index);
  SHORT (*GetKeyState)(int key);
  BOOL (*EnumDisplayMonitors)(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data);
  BOOL (*GetMonitorInfoW)(HMONITOR monitor, LPMONITORINFO info);
  // Menus and dialogs
  BOOL (*TrackPopupMenu)(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
  DWORD (*CheckMenuItem)(HMENU menu, UINT item, UINT check);
  BOOL (*InsertMenuItemW)(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info);
  BOOL (*ChooseColorW)(LPCHOOSECOLORW request);
  // Shell
  BOOL (*Shell_NotifyIconW)(DWORD message, PNOTIFYICONDATAW data);
  HINSTANCE (*ShellExecuteW)(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                            INT show);
  // Multimedia
  MMRESULT (*timeGetDevCaps)(LPTIMECAPS caps, UINT size);
  MMRESULT (*timeBeginPeriod)(UINT period);
  MMRESULT (*timeEndPeriod)(UINT period);
  MMRESULT (*timeSetEvent)(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);
  MMRESULT (*timeKillEvent)(UINT id);
  BOOL (*PlaySoundW)(LPCWSTR sound, HMODULE module, DWORD flags);
  // Memory: pages of code made at run time
  LPVOID (*VirtualAlloc)(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protection);
  BOOL (*VirtualProtect)(LPVOID address, SIZE_T size, DWORD protection, PDWORD previousProtection);
  BOOL (*FlushInstructionCache)(HANDLE process, LPCVOID address, SIZE_T size);
  // Kernel
  DWORD (*GetModuleFileNameW)(HMODULE module, LPWSTR buffer, DWORD size);
  LANGID (*GetUserDefaultUILanguage)();
  HANDLE (*CreateMutexW)(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
  DWORD (*WaitForSingleObject)(HANDLE object, DWORD milliseconds);
  BOOL (*ReleaseMutex)(HANDLE mutex);
  BOOL (*CloseHandle)(HANDLE object);
  DWORD (*GetPrivateProfileStringW)(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                                    LPCWSTR fileName);
  BOOL (*WritePrivateProfileStringW)(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
  // Files
  BOOL (*CopyFileW)(LPCWSTR existing, LPCWSTR copy, BOOL failIfExists);
  BOOL (*MoveFileExW)(LPCWSTR existing, LPCWSTR target, DWORD flags);
  BOOL (*DeleteFileW)(LPCWSTR path);
};

// The live table. Entries start as forwarders to the real platform.
PlatformCalls& Platform();

// The table as it was at start-up, for recorders that forward.
const PlatformCalls& RealPlatform();

}  // namespace lumek
