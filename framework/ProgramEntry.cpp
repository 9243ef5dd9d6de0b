// The process start-up: the units' initializers, the command-line tail and
// show state, wWinMain, then the exit procedures and the units' finalizers.
#include <windows.h>

#include "framework/Application.h"
#include "framework/TextRules.h"
#include "framework/Units.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLineTail, int showState);

namespace {

// A portable exe is often started from a downloads folder, where a DLL
// planted beside it would otherwise be found first by any LoadLibrary that
// names a bare file (the platform's own delay loads included). The current
// directory goes out of the search path, and where the platform has it the
// default search for the whole process becomes the system directory alone.
// This runs before the units start, which is when the first library loads.
void RestrictDllSearchPath() {
  ::SetDllDirectoryW(L"");
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void*>(
                                 ::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                           : nullptr;
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int main() {
  RestrictDllSearchPath();
  lumek::InitializeUnits();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  int showState = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  if (lumek::Application) lumek::Application->ShowState = showState;
  const wchar_t* tail = lumek::CommandLineTail(::GetCommandLineW());
  int code = wWinMain(::GetModuleHandleW(nullptr), nullptr, const_cast<LPWSTR>(tail), showState);
  lumek::RunExitProcedures();
  lumek::FinalizeUnits();
  return code;
}
