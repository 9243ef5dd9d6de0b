// The tray icon's presses and the popup menu's commands on a real main form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/Menus.h"
#include "tests/app/MainFormFixture.h"
#include "timers/HiTimer.h"
#include "tray/TrayIcon.h"

namespace lumek::test {
namespace {

TShiftState Shift(uint8_t bits) {
  TShiftState shift;
  shift.bits = bits;
  return shift;
}

std::string Lines() { return std::string(XForm1->Visible() ? "X" : "-") + (YForm1->Visible() ? "Y" : "-"); }

TEST(TrayPress, DoubleClickHidesWhatIsShownAndShowsOnlyTheCheckedLines) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  app.Recorder().Menus();
  const TShiftState doubleClick = Shift(TShiftState::ssLeft | TShiftState::ssDouble);
  struct Row {
    const char* name;
    const char* before;  // the lines shown before the double-click
    bool n21, n22;
    const char* after;
  } rows[] = {
      {"both shown: both hidden", "XY", true, true, "--"},
      {"then both hidden: both shown again", "--", true, true, "XY"},
      {"only the horizontal shown: both hidden", "-Y", false, true, "--"},
      {"both hidden, only N22 checked: only the horizontal shown", "--", false, true, "-Y"},
      {"both hidden, neither checked: none shown", "--", false, false, "--"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    form.N21->SetChecked(row.n21);
    form.N22->SetChecked(row.n22);
    XForm1->SetVisible(row.before[0] == 'X');
    YForm1->SetVisible(row.before[1] == 'Y');
    app.Recorder().Clear();
    form.TrayIcon1MouseDown(form.TrayIcon1, TMouseButton::mbLeft, doubleClick, 0, 0);
    EXPECT_EQ(Lines(), row.after);
    EXPECT_EQ(form.N21->Checked(), row.n21);
    EXPECT_EQ(form.N22->Checked(), row.n22);
    EXPECT_TRUE(app.Recorder().CallsStartingWith("TrackPopupMenu").empty());
  }

  // Only the marks are saved: a crosshair hidden by a double-click comes back at the next start.
  form.N21->SetChecked(true);
  form.N22->SetChecked(true);
  ASSERT_EQ(Lines(), "--");
  std::string written = app.Close();
  EXPECT_NE(written.find("XVISIBLE=1\r\nYVISIBLE=1\r\n"), std::string::npos) << written;
}

TEST(TrayPress, UncheckingTheVerticalLineWhileTheCrosshairIsHiddenKeepsItHidden) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  form.TrayIcon1MouseDown(form.TrayIcon1, TMouseButton::mbLeft, Shift(TShiftState::ssDouble), 0, 0);
  ASSERT_EQ(Lines(), "--");
  form.N21Click(form.N21);
  EXPECT_FALSE(form.N21->Checked());
  EXPECT_EQ(Lines(), "--");
  form.N21Click(form.N21);
  EXPECT_TRUE(form.N21->Checked());
  EXPECT_EQ(Lines(), "X-");

  // Any press without the double-click member opens the menu at the pointer, centred, upward.
  app.Recorder().Menus();
  app.SetPointer(1234, 567);
  struct Row {
    const char* name;
    TMouseButton button;
    uint8_t shift;
  } presses[] = {
      {"right press", TMouseButton::mbRight, TShiftState::ssRight},
      {"first press of a double-click", TMouseButton::mbLeft, TShiftState::ssLeft},
      {"middle press with Ctrl", TMouseButton::mbMiddle, TShiftState::ssMiddle | TShiftState::ssCtrl},
  };
  for (const Row& press : presses) {
    SCOPED_TRACE(press.name);
    app.Recorder().Clear();
    form.TrayIcon1MouseDown(form.TrayIcon1, press.button, Shift(press.shift), 7, 8);
    std::vector<std::string> menus = app.Recorder().CallsStartingWith("TrackPopupMenu");
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].rfind("TrackPopupMenu(0x2006, 1234, 567, ", 0), 0u) << menus[0];
    EXPECT_EQ(Lines(), "X-");
  }
}

TEST(MenuCommands, ThicknessAndSpeedGroupsKeepOneMarkAndApplyTheirValue) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  using Handler = void (TMainForm1::*)(TObject*);
  struct Row {
    const char* name;
    Handler handler;
    int thickness;  // 0: a speed row
    uint32_t interval;
    const char* marks;
  } rows[] = {
      {"N11 while N5 is checked", &TMainForm1::N11Click, 3, 20, "0010"},
      {"N6", &TMainForm1::N6Click, 2, 20, "0100"},
      {"N12", &TMainForm1::N12Click, 4, 20, "0001"},
      {"N12 again", &TMainForm1::N12Click, 4, 20, "0001"},
      {"N5", &TMainForm1::N5Click, 1, 20, "1000"},
      {"N16", &TMainForm1::N16Click, 0, 180, "0010"},
      {"N15", &TMainForm1::N15Click, 0, 60, "0100"},
      {"N17", &TMainForm1::N17Click, 0, 540, "0001"},
      {"N14", &TMainForm1::N14Click, 0, 20, "1000"},
  };
  int thickness = 1;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    (form.*row.handler)(nullptr);
    if (row.thickness) {
      thickness = row.thickness;
      EXPECT_EQ(Marks({form.N5, form.N6, form.N11, form.N12}), row.marks);
    } else {
      EXPECT_EQ(Marks({form.N14, form.N15, form.N16, form.N17}), row.marks);
    }
    RECT x{}, y{};
    ::GetWindowRect(XForm1->WindowHandle(), &x);
    ::GetWindowRect(YForm1->WindowHandle(), &y);
    EXPECT_EQ(x.right - x.left, thickness);
    EXPECT_EQ(y.bottom - y.top, thickness);
    EXPECT_EQ(form.Timer1->Interval(), row.interval);
    EXPECT_TRUE(form.Timer1->Enabled());
  }
}

TEST(MenuCommands, HeartbeatAndWarpTogglesCarryTheirTimers) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  struct Row {
    const char* name;
    void (TMainForm1::*handler)(TObject*);
    TMenuItem* item;
    THiTimer* timer;
    bool on;
  } rows[] = {
      {"heartbeat off", &TMainForm1::N1Click, form.N1, form.Timer2, false},
      {"heartbeat on", &TMainForm1::N1Click, form.N1, form.Timer2, true},
      {"warp on", &TMainForm1::N19Click, form.N19, form.Timer3, true},
      {"warp off", &TMainForm1::N19Click, form.N19, form.Timer3, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    (form.*row.handler)(row.item);
    EXPECT_EQ(row.item->Checked(), row.on);
    EXPECT_EQ(row.timer->Enabled(), row.on);
  }
}

// The colour chooser as the user answers it; records what it was asked and
// whether tracking was stopped meanwhile.
struct ColorScript {
  BOOL confirm = FALSE;
  COLORREF answer = 0;
  TMainForm1* form = nullptr;
  std::vector<std::string> asked;
};
ColorScript colorScript;
BOOL ScriptedChooseColor(LPCHOOSECOLORW request) {
  colorScript.asked.push_back("initial " + std::to_string(request->rgbResult) + " tracking " +
                              (colorScript.form->Timer1->Enabled() ? "on" : "off"));
  if (colorScript.confirm) request->rgbResult = colorScript.answer;
  return colorScript.confirm;
}

TEST(MenuCommands, ColourDialogStopsTrackingWhileOpenAndAppliesOnlyAConfirmedColour) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  Platform().ChooseColorW = &ScriptedChooseColor;
  colorScript = ColorScript{};
  colorScript.form = &form;
  struct Row {
    const char* name;
    BOOL confirm;
    COLORREF answer;
    const char* asked;
    TColor after;
  } rows[] = {
      {"confirm blue", TRUE, 0x00FF0000, "initial 255 tracking off", 0x00FF0000},
      {"cancel", FALSE, 0x0000FF00, "initial 16711680 tracking off", 0x00FF0000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    colorScript.confirm = row.confirm;
    colorScript.answer = row.answer;
    colorScript.asked.clear();
    form.N2Click(form.N2);
    EXPECT_EQ(colorScript.asked, std::vector<std::string>{row.asked});
    EXPECT_EQ(XForm1->Color(), row.after);
    EXPECT_EQ(YForm1->Color(), row.after);
    EXPECT_TRUE(form.Timer1->Enabled());
  }
}

TEST(MenuCommands, GuideAndInformationPageGoToTheShellWithTheMainFormsWindow) {
  struct Row {
    const char* name;
    const wchar_t* exeName;
    const char* sn;
  } rows[] = {
      {"LUMEK.exe", L"LUMEK.exe", "LUMEK"},
      {"my.tool.exe drops only the last extension", L"my.tool.exe", "my.tool"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MainFormFixture::Options options;
    options.exeName = row.exeName;
    MainFormFixture app(options);
    TMainForm1& form = app.Construct();
    app.Recorder().Clear();
    form.N8Click(form.N8);
    form.N9Click(form.N9);
    const std::string exeDir = WideToUtf8(app.Directory().substr(0, app.Directory().size() - 1));
    std::vector<std::string> calls = app.Recorder().CallsStartingWith("ShellExecuteW");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "ShellExecuteW(MainForm1, OPEN, " + exeDir + "/Readme.txt, \"\", \"\", 5)");
    const std::string tail = "/info.php?pf=w&sn=" + std::string(row.sn) + ", \"\", \"\", 5)";
    EXPECT_EQ(calls[1].rfind("ShellExecuteW(MainForm1, OPEN, http", 0), 0u) << calls[1];
    ASSERT_GE(calls[1].size(), tail.size());
    EXPECT_EQ(calls[1].substr(calls[1].size() - tail.size()), tail);
  }
}

}  // namespace
}  // namespace lumek::test
