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
  HWND (*CreateWindowExA)(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
  BOOL (*SetWindowPos)(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
  HWND (*GetWindow)(HWND window, UINT relation);
  BOOL (*IsWindowVisible)(HWND window);
  DWORD (*GetWindowThreadProcessId)(HWND window, LPDWORD process);
  BOOL (*ShowWindow)(HWND window, int command);
  HWND (*SetActiveWindow)(HWND window);
  BOOL (*SetForegroundWindow)(HWND window);
  BOOL (*EnableWindow)(HWND window, BOOL enable);
  BOOL (*SetWindowPlacement)(HWND window, const WINDOWPLACEMENT* placement);
  int (*MessageBoxA)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
  UINT_PTR (*SetTimer)(HWND window, UINT_PTR id, UINT elapse, TIMERPROC callback);
  BOOL (*KillTimer)(HWND window, UINT_PTR id);
  // Input and screen
  BOOL (*GetCursorPos)(POINT* point);
  BOOL (*SetCursorPos)(int x, int y);
  int (*GetSystemMetrics)(int index);
  SHORT (*GetKeyState)(int key);
  BOOL (*EnumDisplayMonitors)(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data);
  BOOL (*GetMonitorInfoA)(HMONITOR monitor, LPMONITORINFO info);
  // Menus and dialogs
  BOOL (*TrackPopupMenu)(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
  DWORD (*CheckMenuItem)(HMENU menu, UINT item, UINT check);
  BOOL (*InsertMenuItemA)(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info);
  BOOL (*ChooseColorA)(LPCHOOSECOLORA request);
  // Shell
  BOOL (*Shell_NotifyIconA)(DWORD message, PNOTIFYICONDATAA data);
  HINSTANCE (*ShellExecuteA)(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show);
  // Multimedia
  MMRESULT (*timeGetDevCaps)(LPTIMECAPS caps, UINT size);
  MMRESULT (*timeBeginPeriod)(UINT period);
  MMRESULT (*timeEndPeriod)(UINT period);
  MMRESULT (*timeSetEvent)(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);
  MMRESULT (*timeKillEvent)(UINT id);
  BOOL (*sndPlaySoundA)(LPCSTR sound, UINT flags);
  // Memory: pages of code made at run time
  LPVOID (*VirtualAlloc)(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protection);
  BOOL (*VirtualProtect)(LPVOID address, SIZE_T size, DWORD protection, PDWORD previousProtection);
  BOOL (*FlushInstructionCache)(HANDLE process, LPCVOID address, SIZE_T size);
  // Kernel
  DWORD (*GetModuleFileNameA)(HMODULE module, LPSTR buffer, DWORD size);
  HANDLE (*CreateMutexA)(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
  DWORD (*WaitForSingleObject)(HANDLE object, DWORD milliseconds);
  BOOL (*ReleaseMutex)(HANDLE mutex);
  BOOL (*CloseHandle)(HANDLE object);
  DWORD (*GetPrivateProfileStringA)(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                    LPCSTR fileName);
  BOOL (*WritePrivateProfileStringA)(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
};

// The live table. Entries start as forwarders to the real platform.
PlatformCalls& Platform();

// The table as it was at start-up, for recorders that forward.
const PlatformCalls& RealPlatform();

}  // namespace lumek
