// A tiny program with one tray icon that writes every event of the icon to a
// log file, one line each, so an end-to-end test can compare what real shell
// notifications raise with what the component promises.
//
//   traydemo LOGFILE ICOFILE SECONDS
//
// The icon image comes from ICOFILE; the program ends by itself once SECONDS
// pass without an event, so that a test never leaves a stray icon behind in
// the notification area and never waits longer than its last gesture needs.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "tray/TrayIcon.h"

namespace {

using namespace lumek;

class TTrayDemoForm : public TForm {
 public:
  using TForm::TForm;
  const wchar_t* ClassName() const override { return L"TTrayDemoForm"; }
};

FILE* eventLog = nullptr;
UINT_PTR endTimer = 0;
UINT quietMilliseconds = 0;

void CALLBACK EndDemo(HWND, UINT, UINT_PTR, DWORD) { Application->Terminate(); }

void Log(const std::string& line) {
  if (!eventLog) return;
  std::fprintf(eventLog, "%s\n", line.c_str());
  // The test reads the log while the program runs.
  std::fflush(eventLog);
  // Setting a running timer again starts its time over.
  endTimer = ::SetTimer(nullptr, endTimer, quietMilliseconds, EndDemo);
}

std::string MouseLine(const char* event, TMouseButton button, TShiftState shift) {
  static const char* const names[] = {"left", "right", "middle"};
  char line[96];
  std::snprintf(line, sizeof line, "%s %s%s", event, names[static_cast<int>(button)],
                shift.Contains(TShiftState::ssDouble) ? " double" : "");
  return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  if (__argc < 4) {
    std::fprintf(stderr, "usage: traydemo LOGFILE ICOFILE SECONDS\n");
    return 2;
  }
  std::ifstream iconFile(__argv[2], std::ios::binary);
  std::string iconBytes((std::istreambuf_iterator<char>(iconFile)), std::istreambuf_iterator<char>());
  // Binary: plain line ends for the test that reads the log on the Linux side.
  eventLog = std::fopen(__argv[1], "wb");
  if (!eventLog || iconBytes.empty()) return 2;
  quietMilliseconds = static_cast<UINT>(std::atof(__argv[3]) * 1000);
  try {
    Application->Initialize();
    Application->SetTitle(L"TrayDemo");
    TTrayDemoForm* form = nullptr;
    Application->CreateForm(form);
    auto* tray = new TTrayIcon(form);
    TIcon image;
    image.LoadFromIconFile(iconBytes);
    tray->SetIcon(image);
    tray->OnClick = [](TObject*) { Log("OnClick"); };
    tray->OnDblClick = [](TObject*) { Log("OnDblClick"); };
    tray->OnMouseDown = [](TObject*, TMouseButton button, TShiftState shift, int, int) {
      Log(MouseLine("OnMouseDown", button, shift));
    };
    tray->OnMouseUp = [](TObject*, TMouseButton button, TShiftState shift, int, int) {
      Log(MouseLine("OnMouseUp", button, shift));
    };
    // The end of loading is what adds the icon of a tray read from a stored form.
    tray->Loaded();
    Log("ready");
    Application->Run();
  } catch (const Exception& exception) {
    Log(std::string("exception ") + exception.what());
    Application->ShowException(exception);
  }
  Log("end");
  std::fclose(eventLog);
  eventLog = nullptr;
  return 0;
}
