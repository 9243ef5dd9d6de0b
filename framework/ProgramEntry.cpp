// The process start-up: the units' initializers, the command-line tail and
// show state, WinMain, then the exit procedures and the units' finalizers.
#include <windows.h>

#include "framework/Application.h"
#include "framework/TextRules.h"
#include "framework/Units.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLineTail, int showState);

int main() {
  lumek::InitializeUnits();
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
  int showState = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  if (lumek::Application) lumek::Application->ShowState = showState;
  const char* tail = lumek::CommandLineTail(::GetCommandLineA());
  int code = WinMain(::GetModuleHandleW(nullptr), nullptr, const_cast<LPSTR>(tail), showState);
  lumek::RunExitProcedures();
  lumek::FinalizeUnits();
  return code;
}
