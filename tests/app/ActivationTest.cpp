// No Lumek window takes the keyboard or the foreground from the user's window:
// the rule over every window call of a whole run, from start-up to exit, and
// the tray menu's exception to it, after which the foreground goes back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/CrosshairRules.h"
#include "framework/Menus.h"
#include "tests/app/MainFormFixture.h"
#include "timers/HiTimer.h"
#include "tray/TrayIcon.h"

namespace lumek::test {
namespace {

// The menu item the user chooses at the next TrackPopupMenu; none closes the menu unchosen.
TMenuItem* gChosen = nullptr;
BOOL ChooseAndClose(HMENU, UINT, int, int, int, HWND owner, const RECT*) {
  CallRecorder::Record("TrackPopupMenu(" + CallRecorder::Active()->NameOf(owner) + ")");
  // As the platform does: the choice arrives after the menu closed, posted to its owner.
  if (gChosen) ::PostMessageA(owner, WM_COMMAND, gChosen->Command(), 0);
  return TRUE;
}

// The colour dialog, cancelled at once.
BOOL CancelledColourDialog(LPCHOOSECOLORW) { return FALSE; }

bool WmNullQueuedFor(HWND window) {
  MSG message;
  return ::PeekMessageA(&message, window, WM_NULL, WM_NULL, PM_NOREMOVE) != FALSE;
}

// The activation a recorded window call asks for; empty when it asks for none.
std::string ActivationIn(const std::string& call) {
  if (call.rfind("SetWindowPos(", 0) == 0) {
    const UINT flags = static_cast<UINT>(std::strtoul(call.substr(call.rfind(", ") + 2).c_str(), nullptr, 16));
    return (flags & SWP_NOACTIVATE) ? "" : call;
  }
  if (call.rfind("ShowWindow(", 0) == 0) {
    const int command = std::atoi(call.substr(call.rfind(", ") + 2).c_str());
    return command == SW_HIDE || command == SW_SHOWNA || command == SW_SHOWNOACTIVATE ||
                   command == SW_SHOWMINNOACTIVE
               ? ""
               : call;
  }
  if (call.rfind("SetActiveWindow(", 0) == 0 || call.rfind("SetForegroundWindow(", 0) == 0) return call;
  return "";
}

TEST(Activation, NoLumekWindowActivatesFromStartUpToExitAndTheMenuGivesTheForegroundBack) {
  MainFormFixture app;
  // The user's window, at the front before Lumek starts.
  HWND user = ::CreateWindowExA(0, "STATIC", "user", WS_OVERLAPPEDWINDOW, 50, 50, 300, 200, nullptr, nullptr, nullptr,
                                nullptr);
  ASSERT_NE(user, nullptr);
  ::ShowWindow(user, SW_SHOWNOACTIVATE);
  ::SetForegroundWindow(user);
  if (::GetForegroundWindow() != user) GTEST_SKIP() << "the test's window could not be made the foreground window";
  app.PretendForeign(user);
  app.Recorder().Windows();
  Platform().TrackPopupMenu = &ChooseAndClose;
  Platform().ChooseColorW = &CancelledColourDialog;
  app.Recorder().Name(user, "User");

  TMainForm1& form = app.Construct();
  const HWND popupList = PopupList().Window();
  app.Recorder().Name(popupList, "PopupList");
  const uint32_t ticksPerCheck = TicksPerCoverCheck(form.Timer1->Interval());
  auto ticks = [&](uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) form.Timer1Timer(form.Timer1);
  };
  // Resting, then moving.
  app.SetPointer(400, 300);
  ticks(2 * ticksPerCheck);
  for (int step = 0; step < 5; ++step) {
    app.SetPointer(400 + 13 * step, 300 + 7 * step);
    ticks(1);
  }
  // Covered by a topmost window of another program.
  HWND cover = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, "STATIC", "cover", WS_POPUP, 350,
                                 250, 200, 200, nullptr, nullptr, nullptr, nullptr);
  ::ShowWindow(cover, SW_SHOWNOACTIVATE);
  app.PretendForeign(cover);
  ticks(2 * ticksPerCheck);
  ::DestroyWindow(cover);
  app.PretendForeign(user);

  // Menu commands, each chosen from the tray menu: the lines, the thickness,
  // the colour dialog; and once the menu closed with nothing chosen.
  for (TMenuItem* item : {form.N21, form.N21, form.N22, form.N12, form.N2, static_cast<TMenuItem*>(nullptr)}) {
    SCOPED_TRACE(item ? item->Name() : "nothing chosen");
    gChosen = item;
    const size_t from = app.Recorder().Calls().size();
    form.PopupMenu1->PopupAt(500, 400);
    EXPECT_TRUE(WmNullQueuedFor(popupList)) << "no message reached the menu's owner after it closed";
    std::vector<std::string> foreground;
    for (size_t i = from; i < app.Recorder().Calls().size(); ++i) {
      const std::string& call = app.Recorder().Calls()[i];
      if (call.rfind("SetForegroundWindow(", 0) == 0 || call.rfind("TrackPopupMenu(", 0) == 0) {
        foreground.push_back(call);
      }
    }
    const std::vector<std::string> expected = {"SetForegroundWindow(PopupList)", "TrackPopupMenu(PopupList)",
                                               "SetForegroundWindow(User)"};
    EXPECT_EQ(foreground, expected) << ShowSequences(foreground, expected);
    EXPECT_EQ(::GetForegroundWindow(), user);
    MSG drained;
    while (::PeekMessageA(&drained, popupList, WM_NULL, WM_NULL, PM_REMOVE)) {
    }
  }
  gChosen = nullptr;
  EXPECT_TRUE(form.N21->Checked());
  EXPECT_FALSE(form.N22->Checked());
  EXPECT_EQ(XForm1->Width(), 4);

  // The tray's double-click, twice: hidden, then both shown again.
  form.N22Click(form.N22);
  TShiftState doubleClick;
  doubleClick.bits = TShiftState::ssDouble;
  form.TrayIcon1MouseDown(form.TrayIcon1, TMouseButton::mbLeft, doubleClick, 0, 0);
  form.TrayIcon1MouseDown(form.TrayIcon1, TMouseButton::mbLeft, doubleClick, 0, 0);
  ASSERT_TRUE(XForm1->Visible() && YForm1->Visible());

  // A display change: the lines are sized anew for the new desktop.
  app.SetMonitors({RECT{0, 0, 1280, 800}});
  app.SetPointer(600, 500);
  ticks(1);
  EXPECT_EQ(XForm1->Height(), 800);

  app.DestroyForm();

  std::vector<std::string> activating;
  const std::vector<std::string>& calls = app.Recorder().Calls();
  bool menuHasForeground = false;
  for (size_t i = 0; i < calls.size(); ++i) {
    const std::string activation = ActivationIn(calls[i]);
    if (activation.empty()) continue;
    // The menu's rule; a dialog its command opened handing activation back to
    // the menu's owner; the foreground given back to the user's window.
    const bool menuRule = activation == "SetForegroundWindow(PopupList)" && i + 1 < calls.size() &&
                          calls[i + 1] == "TrackPopupMenu(PopupList)";
    const bool backToMenu = activation == "SetActiveWindow(PopupList)" && menuHasForeground;
    const bool givenBack = activation == "SetForegroundWindow(User)";
    if (menuRule) menuHasForeground = true;
    if (givenBack) menuHasForeground = false;
    if (!menuRule && !backToMenu && !givenBack) activating.push_back(activation);
  }
  EXPECT_EQ(activating, std::vector<std::string>{}) << ShowSequences(activating, {});
  EXPECT_EQ(::GetForegroundWindow(), user);
  ::DestroyWindow(user);
}

}  // namespace
}  // namespace lumek::test
