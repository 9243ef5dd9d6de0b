// What the line windows and the main form do on the platform: creation
// styles, showing and raising without activation, passing the pointer
// through, the application window staying hidden, and the fill colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "framework/Menus.h"
#include "tests/app/MainFormFixture.h"
#include "tray/TrayIcon.h"

namespace lumek::test {
namespace {

std::vector<std::string> CallsNaming(const CallRecorder& recorder, const std::string& name) {
  std::vector<std::string> result;
  for (const std::string& call : recorder.Calls()) {
    if (call.find("(" + name + ",") != std::string::npos || call.find("(" + name + ")") != std::string::npos) {
      result.push_back(call);
    }
  }
  return result;
}

TEST(LineWindow, FirstShowAndRaiseCreatesHiddenMakesTopmostShowsThenRaises) {
  CallRecorder recorder;
  recorder.Windows();
  std::unique_ptr<TLineForm> line(NewXForm1(nullptr));

  // Without a window a position is only stored, and used at creation.
  line->SetLeft(37);
  EXPECT_FALSE(line->HandleAllocated());
  EXPECT_EQ(line->Left(), 37);
  EXPECT_EQ(recorder.Calls(), std::vector<std::string>{}) << ShowSequences(recorder.Calls(), {});

  line->ShowAndRaise();
  ASSERT_TRUE(line->HandleAllocated());
  const std::string x = recorder.NameOf(line->WindowHandle());
  std::vector<std::string> expected = {
      "SetWindowPos(" + x + ", HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
      "ShowWindow(" + x + ", 8)",
      "SetWindowPos(" + x + ", HWND_TOP, 0, 0, 0, 0, 0x13)",
  };
  EXPECT_EQ(CallsNaming(recorder, x), expected) << ShowSequences(CallsNaming(recorder, x), expected);
  EXPECT_EQ(recorder.CallsStartingWith("CreateWindowExW"),
            std::vector<std::string>{"CreateWindowExW(0x80900a0, TXForm1, 0x86000000)"});
  RECT rect{};
  ::GetWindowRect(line->WindowHandle(), &rect);
  EXPECT_EQ(rect.left, 37);
  EXPECT_NE(::GetWindowLongA(line->WindowHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  // Layered at full opacity, so nothing changes on screen; and transparent to
  // the pointer: the platform looks past it for the window under a point.
  BYTE alpha = 0;
  DWORD layering = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(line->WindowHandle(), nullptr, &alpha, &layering));
  EXPECT_EQ(alpha, 255);
  EXPECT_EQ(layering, static_cast<DWORD>(LWA_ALPHA));
  EXPECT_NE(::WindowFromPoint(POINT{rect.left, rect.top + 5}), line->WindowHandle());

  recorder.Clear();
  line->SetWidth(line->Width());
  line->SetHeight(line->Height());
  EXPECT_EQ(recorder.Calls(), std::vector<std::string>{}) << ShowSequences(recorder.Calls(), {});
}

std::string Hex(HWND window) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
  return text;
}

// The windowing calls of a recording made before the windows had names,
// with the names put in; the hidden utility windows are left out.
std::vector<std::string> NamedWindowCalls(const CallRecorder& recorder, const std::vector<HWND>& windows,
                                          const std::vector<std::string>& names) {
  std::vector<std::string> result;
  for (std::string call : recorder.Calls()) {
    if (call.rfind("Shell_NotifyIconW", 0) == 0 || call.find("TUtilWindow") != std::string::npos) continue;
    for (size_t i = 0; i < windows.size(); ++i) {
      const std::string hex = Hex(windows[i]);
      for (size_t at = call.find(hex + ","); at != std::string::npos; at = call.find(hex + ",")) {
        call.replace(at, hex.size(), names[i]);
      }
    }
    result.push_back(call);
  }
  return result;
}

TEST(LineWindow, StartUpOrderThenHidingHandsActivationOverAndTheApplicationWindowStaysHidden) {
  MainFormFixture app;
  app.Recorder().Windows();
  TMainForm1& form = app.Construct();
  std::vector<std::string> startUp = NamedWindowCalls(
      app.Recorder(), {form.WindowHandle(), XForm1->WindowHandle(), YForm1->WindowHandle(), Application->Handle()},
      {"MainForm1", "XForm1", "YForm1", "Application"});
  // Only the first line window shown in a run shows the application window (FormCreate then hides it).
  const std::string applicationShown = "SetWindowPos(Application, HWND_TOP, 0, 0, 0, 0, 0x57)";
  startUp.erase(std::remove(startUp.begin(), startUp.end(), applicationShown), startUp.end());
  const std::vector<std::string> expectedStartUp = {
      "CreateWindowExW(0x10000, TMainForm1, 0x6cf0000)",
      "ShowWindow(Application, 0)",
      "EnumDisplayMonitors()",  // the constructor takes the heartbeat's centre from the desktop, read once
      "CreateWindowExW(0x80900a0, TXForm1, 0x86000000)",
      "SetWindowPos(XForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
      "ShowWindow(XForm1, 8)",
      "SetWindowPos(XForm1, HWND_TOP, 0, 0, 0, 0, 0x13)",
      "CreateWindowExW(0x80900a0, TYForm1, 0x86000000)",
      "SetWindowPos(YForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
      "ShowWindow(YForm1, 8)",
      "SetWindowPos(YForm1, HWND_TOP, 0, 0, 0, 0, 0x13)",
      "ShowWindow(Application, 0)",
      "SetWindowPos(MainForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
  };
  EXPECT_EQ(startUp, expectedStartUp) << ShowSequences(startUp, expectedStartUp);
  // Created at their final geometry: no move or resize was needed after creation.
  RECT x{}, y{}, expectedX{0, 0, 1, 1080}, expectedY{0, 0, 1920, 1};
  ::GetWindowRect(XForm1->WindowHandle(), &x);
  ::GetWindowRect(YForm1->WindowHandle(), &y);
  EXPECT_TRUE(::EqualRect(&x, &expectedX));
  EXPECT_TRUE(::EqualRect(&y, &expectedY));

  HWND application = Application->Handle();
  ASSERT_FALSE(::IsWindowVisible(application));

  ::SetActiveWindow(YForm1->WindowHandle());
  if (::GetActiveWindow() != YForm1->WindowHandle()) {
    GTEST_SKIP() << "the horizontal line could not be made the active window";
  }
  struct Row {
    const char* name;
    void (TMainForm1::*command)(TObject*);
    std::vector<std::string> calls;
  } rows[] = {
      {"active line hidden, the other visible: hidden without activation, then the other activated",
       &TMainForm1::N22Click,
       {"SetWindowPos(YForm1, HWND_TOP, 0, 0, 0, 0, 0x97)", "SetActiveWindow(XForm1)"}},
      {"the last visible line hidden", &TMainForm1::N21Click, {"ShowWindow(XForm1, 0)"}},
      {"vertical shown again", &TMainForm1::N21Click, {"ShowWindow(XForm1, 8)"}},
      {"horizontal shown again", &TMainForm1::N22Click, {"ShowWindow(YForm1, 8)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    app.Recorder().Clear();
    (form.*row.command)(nullptr);
    EXPECT_EQ(app.Recorder().Calls(), row.calls) << ShowSequences(app.Recorder().Calls(), row.calls);
    EXPECT_FALSE(::IsWindowVisible(application));
  }
  // The tray's double-click takes the same road.
  app.Recorder().Clear();
  TShiftState doubleClick;
  doubleClick.bits = TShiftState::ssDouble;
  form.TrayIcon1MouseDown(form.TrayIcon1, TMouseButton::mbLeft, doubleClick, 0, 0);
  form.TrayIcon1MouseDown(form.TrayIcon1, TMouseButton::mbLeft, doubleClick, 0, 0);
  EXPECT_TRUE(CallsNaming(app.Recorder(), "Application").empty())
      << ShowSequences(app.Recorder().Calls(), {});
  EXPECT_FALSE(::IsWindowVisible(application));
}

TEST(LineWindow, FillsWithItsColourAndASystemColourWithItsCurrentValue) {
  MainFormFixture app;
  app.Construct();
  HWND window = XForm1->WindowHandle();
  struct Row {
    const char* name;
    TColor color;
    COLORREF pixel;
  } rows[] = {
      {"green", 0x0000FF00, RGB(0, 255, 0)},
      {"clBtnFace", clBtnFace, ::GetSysColor(COLOR_BTNFACE)},
      {"clWindowText", clWindowText, ::GetSysColor(COLOR_WINDOWTEXT)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    XForm1->SetColor(row.color);
    ::UpdateWindow(window);
    HDC dc = ::GetDC(window);
    COLORREF pixel = ::GetPixel(dc, 0, 10);
    ::ReleaseDC(window, dc);
    // Wine: a window's DC reads back its own surface here; CLR_INVALID would mean it cannot.
    if (pixel == CLR_INVALID) GTEST_SKIP() << "pixels of a window cannot be read back";
    EXPECT_EQ(pixel, row.pixel);
  }
}

}  // namespace
}  // namespace lumek::test
