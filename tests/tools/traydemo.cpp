// A tray icon alone, for end-to-end tests that click it with real input: each
// event of the icon is written as one line to the log file named on the
// command line, flushed at once.
//
//   traydemo.exe LOGFILE [SECONDS]   quits after SECONDS when given; a
//                                    WM_CLOSE to the application window
//                                    ("TApplication", title "TrayDemo") ends it too
//
// Lines: "ready", "MouseDown left [alt dbl] X Y", "MouseUp right [] X Y",
// "MouseMove [] X Y", "Click", "DblClick".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/Application.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "framework/Units.h"
#include "tray/TrayIcon.h"

namespace {

using namespace lumek;

FILE* logFile = nullptr;

void LogLine(const std::string& line) {
  if (!logFile) return;
  std::fprintf(logFile, "%s\n", line.c_str());
  std::fflush(logFile);
}

const char* ButtonName(TMouseButton button) {
  return button == TMouseButton::mbLeft ? "left" : button == TMouseButton::mbRight ? "right" : "middle";
}

std::string ShiftText(TShiftState shift) {
  std::string text;
  if (shift.Contains(TShiftState::ssAlt)) text += "alt";
  if (shift.Contains(TShiftState::ssDouble)) text += text.empty() ? "dbl" : " dbl";
  return "[" + text + "]";
}

std::string PointText(int x, int y) { return " " + std::to_string(x) + " " + std::to_string(y); }

class TDemoForm : public TForm {
 public:
  explicit TDemoForm(TComponent* owner) : TForm(owner) {
    RegisterTrayClasses();
    // Read like the program's own main form, so the icon is added when loading ends.
    StoredContext context(this);
    ReadStoredForm(this,
                   ParseStoredForm("object DemoForm: TDemoForm\n"
                                   "  object TrayIcon1: TTrayIcon\n"
                                   "    Icon = @TRAYICON\n"
                                   "    Hint = 'Lumek tray demo'\n"
                                   "  end\n"
                                   "end\n"),
                   context);
    auto* tray = static_cast<TTrayIcon*>(FindComponent("TrayIcon1"));
    tray->OnMouseDown = [](TObject*, TMouseButton button, TShiftState shift, int x, int y) {
      LogLine(std::string("MouseDown ") + ButtonName(button) + " " + ShiftText(shift) + PointText(x, y));
    };
    tray->OnMouseUp = [](TObject*, TMouseButton button, TShiftState shift, int x, int y) {
      LogLine(std::string("MouseUp ") + ButtonName(button) + " " + ShiftText(shift) + PointText(x, y));
    };
    tray->OnMouseMove = [](TObject*, TShiftState shift, int x, int y) {
      LogLine("MouseMove " + ShiftText(shift) + PointText(x, y));
    };
    tray->OnClick = [](TObject*) { LogLine("Click"); };
    tray->OnDblClick = [](TObject*) { LogLine("DblClick"); };
  }
  const char* ClassName() const override { return "TDemoForm"; }
};

void CALLBACK QuitAfterTimeout(HWND, UINT, UINT_PTR, DWORD) { Application->Terminate(); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 2) return 2;
  logFile = std::fopen(__argv[1], "w");
  if (!logFile) return 3;
  InitializeUnits();
  int result = 0;
  try {
    Application->Initialize();
    Application->SetTitle("TrayDemo");
    TDemoForm* form = nullptr;
    Application->CreateForm(form);
    if (__argc >= 3) ::SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(__argv[2])) * 1000, QuitAfterTimeout);
    LogLine("ready");
    Application->Run();
  } catch (const Exception& exception) {
    LogLine("error " + exception.Message());
    result = 1;
  }
  RunExitProcedures();
  FinalizeUnits();
  std::fclose(logFile);
  return result;
}
