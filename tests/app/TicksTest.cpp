// The three timers' handlers on a real main form (tracking, heartbeat, warp)
// and its once-a-second display check.
// The handlers are called directly with a known pointer; no message is pumped,
// so the timers' own queued ticks never run in between.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/CrosshairRules.h"
#include "framework/Menus.h"
#include "tests/app/MainFormFixture.h"
#include "tests/support/Waves.h"
#include "timers/HiTimer.h"

namespace lumek::test {
namespace {

RECT WindowRect(TForm* form) {
  RECT rect{};
  ::GetWindowRect(form->WindowHandle(), &rect);
  return rect;
}

TEST(TrackingTick, LinesStartOnePixelRightOfAndBelowThePointer) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  app.Recorder().Windows();
  struct Row {
    const char* name;
    void (TMainForm1::*before)(TObject*);  // a command run first, or none
    POINT pointer;
    RECT vertical, horizontal;  // real window rectangles after the tick
  } rows[] = {
      {"pointer at the origin", nullptr, {0, 0}, {1, 0, 2, 1080}, {0, 1, 1920, 2}},
      {"last column: just beyond the right edge", nullptr, {1919, 500}, {1920, 0, 1921, 1080}, {0, 501, 1920, 502}},
      {"thickness 4 covers x+1..x+4 and y+1..y+4", &TMainForm1::N12Click, {500, 300}, {501, 0, 505, 1080},
       {0, 301, 1920, 305}},
      {"vertical line hidden: both still follow", &TMainForm1::N21Click, {100, 200}, {101, 0, 105, 1080},
       {0, 201, 1920, 205}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.before) (form.*row.before)(nullptr);
    app.SetPointer(row.pointer.x, row.pointer.y);
    app.Recorder().Clear();
    form.Timer1Timer(form.Timer1);
    RECT v = WindowRect(XForm1), h = WindowRect(YForm1);
    EXPECT_TRUE(EqualRect(&v, &row.vertical)) << v.left << "," << v.top << "," << v.right << "," << v.bottom;
    EXPECT_TRUE(EqualRect(&h, &row.horizontal)) << h.left << "," << h.top << "," << h.right << "," << h.bottom;
    const int thickness = row.vertical.right - row.vertical.left;
    // No z-order change is asked for: HWND_TOP is the null window the recorder shows by that name.
    const std::string x = std::to_string(row.pointer.x + 1), y = std::to_string(row.pointer.y + 1);
    const std::string t = std::to_string(thickness);
    std::vector<std::string> expected = {
        "SetWindowPos(XForm1, HWND_TOP, " + x + ", 0, " + t + ", 1080, 0x14)",
        "SetWindowPos(YForm1, HWND_TOP, 0, " + y + ", 1920, " + t + ", 0x14)",
        "SetWindowPos(MainForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
    };
    EXPECT_EQ(app.Recorder().Calls(), expected) << ShowSequences(app.Recorder().Calls(), expected);
  }

  // Both hidden: not even the main form's z-order is touched.
  form.N22Click(form.N22);
  ASSERT_FALSE(XForm1->Visible() || YForm1->Visible());
  app.SetPointer(700, 400);
  app.Recorder().Clear();
  form.Timer1Timer(form.Timer1);
  EXPECT_EQ(app.Recorder().Calls(), std::vector<std::string>{})
      << ShowSequences(app.Recorder().Calls(), {});
  EXPECT_EQ(XForm1->Left(), 101);
  EXPECT_EQ(YForm1->Top(), 201);
}

BOOL FailingSound(LPCWSTR, HMODULE, DWORD) { throw std::runtime_error("no sound device"); }

// Beside the fixture's executable: the heartbeat reads each file from there.
void WriteHeartbeatSounds(MainFormFixture& app) {
  for (const wchar_t* name : {L"heartbeat_left.wav", L"heartbeat_center.wav", L"heartbeat_right.wav"}) {
    app.WriteFile(name, WaveOf(WideToUtf8(name)));
  }
}

TEST(HeartbeatTick, SoundFollowsTheColumnAndTempoTheDiagonal) {
  MainFormFixture app;  // 1920 x 1080 before construction: centre (960, 540)
  WriteHeartbeatSounds(app);
  TMainForm1& form = app.Construct();
  ASSERT_EQ(form.CenterXValue(), 960);
  ASSERT_EQ(form.CenterYValue(), 540);
  app.Recorder().Multimedia();
  struct Row {
    const char* name;
    POINT pointer;
    const char* sound;
    uint32_t interval;
  } rows[] = {
      {"centre", {960, 540}, "heartbeat_center.wav", 500},
      {"top left", {0, 0}, "heartbeat_left.wav", 1250},
      {"top right", {1919, 0}, "heartbeat_right.wav", 709},
      {"one left of the band", {809, 540}, "heartbeat_left.wav", 575},
      {"left bound of the band", {810, 1079}, "heartbeat_center.wav", 694},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    app.SetPointer(row.pointer.x, row.pointer.y);
    app.Recorder().Clear();
    form.Timer2Timer(form.Timer2);
    // From memory (SND_MEMORY 0x4), asynchronously, without the default sound.
    EXPECT_EQ(app.Recorder().CallsStartingWith("PlaySoundW"),
              std::vector<std::string>{"PlaySoundW(" + std::string(row.sound) + ", 0x7)"});
    EXPECT_EQ(form.Timer2->Interval(), row.interval);
  }

  // A sound that fails to start is swallowed; the tempo still follows the pointer.
  Platform().PlaySoundW = &FailingSound;
  app.SetPointer(1919, 1079);
  EXPECT_NO_THROW(form.Timer2Timer(form.Timer2));
  EXPECT_EQ(form.Timer2->Interval(), 1249u);
  app.SetPointer(810, 1079);  // back to a known tempo for the checks below
  form.Timer2Timer(form.Timer2);

  form.N1Click(form.N1);
  ASSERT_FALSE(form.N1->Checked());
  app.SetPointer(0, 0);
  app.Recorder().Clear();
  form.Timer2Timer(form.Timer2);
  EXPECT_TRUE(app.Recorder().CallsStartingWith("PlaySoundW").empty());
  EXPECT_EQ(form.Timer2->Interval(), 694u);
  // Switched on again, the last computed tempo applies.
  form.N1Click(form.N1);
  EXPECT_TRUE(form.Timer2->Enabled());
  EXPECT_EQ(form.Timer2->Interval(), 694u);
}

TEST(HeartbeatTick, CentreIsTakenFromTheScreenAtConstruction) {
  MainFormFixture::Options options;
  options.screenWidth = 1023;
  options.screenHeight = 767;
  MainFormFixture app(options);
  WriteHeartbeatSounds(app);
  TMainForm1& form = app.Construct();
  EXPECT_EQ(form.CenterXValue(), 511);
  EXPECT_EQ(form.CenterYValue(), 383);
  app.Recorder().Multimedia();
  app.SetPointer(360, 383);  // one left of 511 - 150
  form.Timer2Timer(form.Timer2);
  EXPECT_EQ(app.Recorder().CallsStartingWith("PlaySoundW"),
            std::vector<std::string>{"PlaySoundW(heartbeat_left.wav, 0x7)"});
  EXPECT_EQ(form.Timer2->Interval(), 575u);
}

BOOL RecordCursorMove(int x, int y) {
  CallRecorder::Record("SetCursorPos(" + std::to_string(x) + ", " + std::to_string(y) + ")");
  return TRUE;
}

struct WarpRow {
  const char* name;
  POINT pointer;
  std::vector<std::string> moves;
};

void ExpectWarpMoves(MainFormFixture& app, TMainForm1& form, const WarpRow& row) {
  SCOPED_TRACE(row.name);
  app.SetPointer(row.pointer.x, row.pointer.y);
  app.Recorder().Clear();
  form.Timer3Timer(form.Timer3);
  EXPECT_EQ(app.Recorder().CallsStartingWith("SetCursorPos"), row.moves)
      << ShowSequences(app.Recorder().CallsStartingWith("SetCursorPos"), row.moves);
}

TEST(WarpTick, EdgesSendThePointerToTheOppositeEdgeInTestOrder) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  Platform().SetCursorPos = &RecordCursorMove;
  const WarpRow rows[] = {
      // The far edge itself: the platform held one-past targets there too, so what the user sees is unchanged.
      {"top-left corner", {0, 0}, {"SetCursorPos(1919, 0)", "SetCursorPos(0, 1079)"}},
      {"bottom-right corner", {1919, 1079}, {"SetCursorPos(0, 1079)", "SetCursorPos(1919, 0)"}},
      {"inside", {500, 500}, {}},
  };
  for (const WarpRow& row : rows) ExpectWarpMoves(app, form, row);
}

TEST(WarpTick, TheInnerEdgeOfTwoMonitorsLetsThePointerThrough) {
  MainFormFixture::Options options;
  options.monitors = {RECT{0, 0, 1024, 768}, RECT{1024, 0, 1824, 1000}};
  MainFormFixture app(options);
  TMainForm1& form = app.Construct();
  Platform().SetCursorPos = &RecordCursorMove;
  const WarpRow rows[] = {
      {"the primary's right edge continues on the second", {1023, 300}, {}},
      {"the second's right edge wraps to the primary's left", {1823, 300}, {"SetCursorPos(0, 300)"}},
      {"below the primary the row starts on the second", {1823, 900}, {"SetCursorPos(1024, 900)"}},
  };
  for (const WarpRow& row : rows) ExpectWarpMoves(app, form, row);
}

TEST(TrackingTick, LinesSpanThePointersMonitorAndFollowADisplayChange) {
  MainFormFixture app;  // one 1920 x 1080 screen
  TMainForm1& form = app.Construct();
  app.Recorder().Windows();
  auto tick = [&](int x, int y) {
    app.SetPointer(x, y);
    app.Recorder().Clear();
    form.Timer1Timer(form.Timer1);
    return app.Recorder().Calls();
  };
  tick(500, 300);
  // At rest on an unchanged desktop: no layout read and no window call.
  std::vector<std::string> expected = {};
  EXPECT_EQ(tick(500, 300), expected) << ShowSequences(app.Recorder().Calls(), expected);

  // A second, taller monitor appears on the right: every window hears of it,
  // the layout is read once, and the lines take the new monitor's size.
  app.SetMonitors({RECT{0, 0, 1920, 1080}, RECT{1920, 0, 3200, 1200}});
  for (HWND window : {form.WindowHandle(), XForm1->WindowHandle(), YForm1->WindowHandle()}) {
    ::SendMessageA(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
  }
  expected = {
      "EnumDisplayMonitors()",
      "SetWindowPos(XForm1, HWND_TOP, 2501, 0, 1, 1200, 0x14)",
      "SetWindowPos(YForm1, HWND_TOP, 1920, 901, 1280, 1, 0x14)",
      "SetWindowPos(MainForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
  };
  EXPECT_EQ(tick(2500, 900), expected) << ShowSequences(app.Recorder().Calls(), expected);
  RECT v{}, h{};
  ::GetWindowRect(XForm1->WindowHandle(), &v);
  ::GetWindowRect(YForm1->WindowHandle(), &h);
  EXPECT_EQ(v.bottom - v.top, 1200);
  EXPECT_EQ(h.right - h.left, 1280);

  // Back on the primary: the primary's lengths again, without another read.
  expected = {
      "SetWindowPos(XForm1, HWND_TOP, 101, 0, 1, 1080, 0x14)",
      "SetWindowPos(YForm1, HWND_TOP, 0, 101, 1920, 1, 0x14)",
      "SetWindowPos(MainForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
  };
  EXPECT_EQ(tick(100, 100), expected) << ShowSequences(app.Recorder().Calls(), expected);

  // Across all monitors: the virtual screen, at once on the command.
  app.SetPointer(100, 100);
  app.Recorder().Clear();
  form.N24Click(form.N24);
  EXPECT_TRUE(form.N24->Checked());
  expected = {
      "SetWindowPos(XForm1, HWND_TOP, 101, 0, 1, 1200, 0x14)",
      "SetWindowPos(YForm1, HWND_TOP, 0, 101, 3200, 1, 0x14)",
  };
  EXPECT_EQ(app.Recorder().Calls(), expected) << ShowSequences(app.Recorder().Calls(), expected);
}

TEST(HeartbeatTick, CentreFollowsTheNewPrimaryAfterAResolutionChange) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  ASSERT_EQ(form.CenterXValue(), 960);
  app.SetMonitors({RECT{0, 0, 1280, 720}});
  ::SendMessageA(form.WindowHandle(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 720));
  app.Recorder().Multimedia();
  app.SetPointer(640, 360);
  form.Timer2Timer(form.Timer2);
  EXPECT_EQ(form.CenterXValue(), 640);
  EXPECT_EQ(form.CenterYValue(), 360);
  EXPECT_EQ(form.Timer2->Interval(), 500u);
}

TEST(DisplayCheck, ADesktopChangedWithOrWithoutAMessageIsReadOnceAndFollowedAtRest) {
  MainFormFixture app;  // one 1920 x 1080 screen
  TMainForm1& form = app.Construct();
  app.Recorder().Windows();
  Platform().SetCursorPos = &RecordCursorMove;
  auto check = [&] {
    app.Recorder().Clear();
    ::SendMessageA(form.WindowHandle(), WM_TIMER, TMainForm1::kDisplayCheckTimer, 0);
    return app.Recorder().Calls();
  };
  // The fake records each listing of the monitors alike: the check's look at
  // their rectangles, and the layout's read that follows a change.
  const std::string look = "EnumDisplayMonitors()";
  const std::string read = "EnumDisplayMonitors()";
  app.SetPointer(500, 300);
  form.Timer1Timer(form.Timer1);
  EXPECT_EQ(check(), std::vector<std::string>{look}) << "an unchanged desktop is read again";

  struct Row {
    const char* name;
    std::vector<RECT> monitors;
    bool announced;  // a display change message came
    POINT pointer;   // where the pointer rests meanwhile
    std::vector<std::string> calls;
    POINT centre;
    POINT edge;  // a pointer on an edge whose warp changed
    std::vector<std::string> warp;
  } rows[] = {
      {"the resolution drops to 1024 x 768",
       {{0, 0, 1024, 768}},
       false,
       {500, 300},
       {look, read, "SetWindowPos(XForm1, HWND_TOP, 501, 0, 1, 768, 0x14)",
        "SetWindowPos(YForm1, HWND_TOP, 0, 301, 1024, 1, 0x14)"},
       {512, 384},
       {1023, 300},
       {"SetCursorPos(0, 300)"}},
      // The lines stay on the primary, as does the centre; the primary's left edge now leads on.
      {"a monitor joins on the left",
       {{0, 0, 1024, 768}, {-1280, 0, 0, 1024}},
       false,
       {500, 300},
       {look, read},
       {512, 384},
       {0, 300},
       {}},
      {"it leaves again", {{0, 0, 1024, 768}}, false, {500, 300}, {look, read}, {512, 384}, {0, 300},
       {"SetCursorPos(1023, 300)"}},
      {"two monitors of other sizes",
       {{0, 0, 1000, 800}, {1000, 0, 2000, 400}},
       false,
       {1500, 300},
       {look, read, "SetWindowPos(XForm1, HWND_TOP, 1501, 0, 1, 400, 0x14)",
        "SetWindowPos(YForm1, HWND_TOP, 1000, 301, 1000, 1, 0x14)"},
       {500, 400},
       {1999, 300},
       {"SetCursorPos(0, 300)"}},
      {"announced: the second monitor moves down",
       {{0, 0, 1000, 800}, {1000, 400, 2000, 800}},
       true,
       {1500, 300},
       {read, "SetWindowPos(XForm1, HWND_TOP, 1501, 400, 1, 400, 0x14)"},
       {500, 400},
       {999, 300},
       {"SetCursorPos(0, 300)"}},
      // The same metrics in another arrangement, with no message: the rectangles tell of it.
      {"it moves back up",
       {{0, 0, 1000, 800}, {1000, 0, 2000, 400}},
       false,
       {1500, 300},
       {look, read, "SetWindowPos(XForm1, HWND_TOP, 1501, 0, 1, 400, 0x14)"},
       {500, 400},
       {1999, 300},
       {"SetCursorPos(0, 300)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    app.SetPointer(row.pointer.x, row.pointer.y);
    form.Timer1Timer(form.Timer1);
    if (row.announced) {
      app.SetMonitors(row.monitors);
    } else {
      app.ChangeDesktopUnannounced(row.monitors);
    }
    std::vector<std::string> calls = check();
    EXPECT_EQ(calls, row.calls) << ShowSequences(calls, row.calls);
    calls = check();
    EXPECT_EQ(calls, std::vector<std::string>{look}) << "read more than once: " << ShowSequences(calls, {look});
    RECT v = WindowRect(XForm1), h = WindowRect(YForm1);
    const ScreenRect& monitor = *MonitorAt(Screen->Monitors(), ScreenPoint{row.pointer.x, row.pointer.y});
    EXPECT_EQ(v.bottom - v.top, monitor.Height());
    EXPECT_EQ(h.right - h.left, monitor.Width());
    EXPECT_EQ(form.CenterXValue(), row.centre.x);
    EXPECT_EQ(form.CenterYValue(), row.centre.y);
    ExpectWarpMoves(app, form, WarpRow{"the warp's edge", row.edge, row.warp});
  }
}

// A topmost, non-activating window of "another program" over the lines at (400, 300).
HWND OpenForeignCover(MainFormFixture& app) {
  HWND cover = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"STATIC", L"cover", WS_POPUP, 350,
                                 250, 200, 200, nullptr, nullptr, nullptr, nullptr);
  if (!cover) return nullptr;
  ::ShowWindow(cover, SW_SHOWNOACTIVATE);
  ::SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  app.PretendForeign(cover);
  return cover;
}

// Both lines put back on top, without activation.
const std::vector<std::string> kLinesRaised = {
    "SetWindowPos(XForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
    "SetWindowPos(YForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
};

TEST(TrackingTick, AtRestNothingIsCalledAndACoveringTopmostWindowIsRaisedOverOnce) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  app.Recorder().Windows();
  auto windowCalls = [&] {
    std::vector<std::string> calls;
    for (const std::string& call : app.Recorder().Calls()) {
      if (call.rfind("SetWindowPos", 0) == 0 || call.rfind("ShowWindow", 0) == 0) calls.push_back(call);
    }
    return calls;
  };
  const uint32_t ticksPerCheck = TicksPerCoverCheck(form.Timer1->Interval());
  app.SetPointer(400, 300);
  form.Timer1Timer(form.Timer1);

  // At rest, through a whole look above the lines: no window call at all.
  app.Recorder().Clear();
  for (uint32_t i = 0; i < 2 * ticksPerCheck; ++i) form.Timer1Timer(form.Timer1);
  EXPECT_EQ(windowCalls(), std::vector<std::string>{}) << ShowSequences(windowCalls(), {});

  // A topmost, non-activating window of another program comes over the lines.
  HWND cover = OpenForeignCover(app);
  ASSERT_NE(cover, nullptr);
  app.Recorder().Clear();
  for (uint32_t i = 0; i < 3 * ticksPerCheck; ++i) form.Timer1Timer(form.Timer1);
  EXPECT_EQ(windowCalls(), kLinesRaised) << ShowSequences(windowCalls(), kLinesRaised);
  EXPECT_EQ(::GetActiveWindow() == XForm1->WindowHandle() || ::GetActiveWindow() == YForm1->WindowHandle(), false)
      << "raising the lines activated one";

  // The pointer moves: the moves and the main form, as the tick has always made.
  app.SetPointer(420, 310);
  app.Recorder().Clear();
  form.Timer1Timer(form.Timer1);
  const std::vector<std::string> moved = {
      "SetWindowPos(XForm1, HWND_TOP, 421, 0, 1, 1080, 0x14)",
      "SetWindowPos(YForm1, HWND_TOP, 0, 311, 1920, 1, 0x14)",
      "SetWindowPos(MainForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
  };
  std::vector<std::string> calls = windowCalls();
  calls.erase(std::remove(calls.begin(), calls.end(), kLinesRaised[0]), calls.end());
  calls.erase(std::remove(calls.begin(), calls.end(), kLinesRaised[1]), calls.end());
  EXPECT_EQ(calls, moved) << ShowSequences(calls, moved);
  ::DestroyWindow(cover);
}

// One look down the z-order decides for both lines: a window covers only the
// shown lines below it, and only while it shows itself.
TEST(TrackingTick, AWindowBetweenTheLinesCoversOnlyTheShownLineBelowIt) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  app.Recorder().Windows();
  const uint32_t ticksPerCheck = TicksPerCoverCheck(form.Timer1->Interval());
  app.SetPointer(400, 300);
  enum class Place { AboveBoth, Between, BelowBoth };
  struct Row {
    const char* name;
    Place place;
    bool coverShown;
    bool upperShown;
    bool lowerShown;
    bool raised;
  } rows[] = {
      {"over both lines", Place::AboveBoth, true, true, true, true},
      {"between the lines", Place::Between, true, true, true, true},
      {"between the lines, the lower one hidden", Place::Between, true, true, false, false},
      {"between the lines, the upper one hidden", Place::Between, true, false, true, true},
      {"over both lines, hidden itself", Place::AboveBoth, false, true, true, false},
      {"below both lines", Place::BelowBoth, true, true, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    XForm1->SetVisible(true);
    YForm1->SetVisible(true);
    // The line raised last lies on top.
    for (TForm* line : {static_cast<TForm*>(XForm1), static_cast<TForm*>(YForm1)}) {
      ::SetWindowPos(line->WindowHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    TForm* upper = YForm1;
    TForm* lower = XForm1;
    HWND cover = OpenForeignCover(app);
    ASSERT_NE(cover, nullptr);
    if (row.place != Place::AboveBoth) {
      HWND after = (row.place == Place::Between ? upper : lower)->WindowHandle();
      ::SetWindowPos(cover, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (!row.coverShown) ::ShowWindow(cover, SW_HIDE);
    upper->SetVisible(row.upperShown);
    lower->SetVisible(row.lowerShown);
    form.Timer1Timer(form.Timer1);
    app.Recorder().Clear();
    for (uint32_t i = 0; i < ticksPerCheck; ++i) form.Timer1Timer(form.Timer1);
    EXPECT_EQ(app.Recorder().CallsStartingWith("SetWindowPos(") == kLinesRaised, row.raised)
        << ShowSequences(app.Recorder().CallsStartingWith("SetWindowPos("), kLinesRaised);
    ::DestroyWindow(cover);
  }
}

BOOL RecordRawInputRegistration(PCRAWINPUTDEVICE devices, UINT count, UINT) {
  for (UINT i = 0; i < count; ++i) {
    const RAWINPUTDEVICE& device = devices[i];
    const std::string target = device.hwndTarget ? CallRecorder::Active()->NameOf(device.hwndTarget) : "null";
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%lx", static_cast<unsigned long>(device.dwFlags));
    CallRecorder::Record("RegisterRawInputDevices(" + std::to_string(device.usUsagePage) + "/" +
                         std::to_string(device.usUsage) + ", " + flags + ", " + target + ")");
  }
  return TRUE;
}

// Ticks called one by one, as the worker hands them over, until tracking rests.
void TickUntilResting(TMainForm1& form) {
  for (int i = 0; i < 1000 && !form.Timer1->Resting(); ++i) form.Timer1Timer(form.Timer1);
}

TEST(TrackingTick, RestsAfterASecondStillAndEveryKindOfMoveWakesIt) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  app.Recorder().Windows();
  Platform().RegisterRawInputDevices = &RecordRawInputRegistration;
  Platform().SetCursorPos = &RecordCursorMove;
  const std::vector<std::string> watch = {"RegisterRawInputDevices(1/2, 0x100, MainForm1)"};
  const std::vector<std::string> unwatch = {"RegisterRawInputDevices(1/2, 0x1, null)"};
  app.SetPointer(400, 300);
  form.Timer1Timer(form.Timer1);

  // A second of ticks without a move (50 at 20 ms): the last one starts the rest and the watch.
  app.Recorder().Clear();
  for (int i = 0; i < 49; ++i) form.Timer1Timer(form.Timer1);
  EXPECT_FALSE(form.Timer1->Resting());
  form.Timer1Timer(form.Timer1);
  ASSERT_TRUE(form.Timer1->Resting());
  EXPECT_EQ(app.Recorder().Calls(), watch) << ShowSequences(app.Recorder().Calls(), watch);
  // Resting ticks of a still pointer: no window call.
  app.Recorder().Clear();
  for (int i = 0; i < 5; ++i) form.Timer1Timer(form.Timer1);
  EXPECT_EQ(app.Recorder().Calls(), std::vector<std::string>{}) << ShowSequences(app.Recorder().Calls(), {});

  // A reported move wakes it and ends the watch; the first tick places the lines.
  app.Recorder().Clear();
  ::SendMessageA(form.WindowHandle(), WM_INPUT, RIM_INPUTSINK, 0);
  EXPECT_FALSE(form.Timer1->Resting());
  app.SetPointer(420, 310);
  form.Timer1Timer(form.Timer1);
  std::vector<std::string> expected = unwatch;
  expected.insert(expected.end(), {
                                      "SetWindowPos(XForm1, HWND_TOP, 421, 0, 1, 1080, 0x14)",
                                      "SetWindowPos(YForm1, HWND_TOP, 0, 311, 1920, 1, 0x14)",
                                      "SetWindowPos(MainForm1, HWND_TOPMOST, 0, 0, 0, 0, 0x13)",
                                  });
  EXPECT_EQ(app.Recorder().Calls(), expected) << ShowSequences(app.Recorder().Calls(), expected);

  // A move no notice reported (under Wine, one over the bare desktop): the resting tick finds it.
  TickUntilResting(form);
  app.SetPointer(600, 500);
  app.Recorder().Clear();
  form.Timer1Timer(form.Timer1);
  EXPECT_FALSE(form.Timer1->Resting());
  EXPECT_EQ(app.Recorder().CallsStartingWith("RegisterRawInputDevices"), unwatch);
  EXPECT_EQ(XForm1->Left(), 601);
  EXPECT_EQ(YForm1->Top(), 501);

  // The warp's own move is reported by nothing: the warp wakes the tracking itself.
  TickUntilResting(form);
  app.SetPointer(0, 500);
  app.Recorder().Clear();
  form.Timer3Timer(form.Timer3);
  EXPECT_EQ(app.Recorder().CallsStartingWith("SetCursorPos"), std::vector<std::string>{"SetCursorPos(1919, 500)"});
  EXPECT_FALSE(form.Timer1->Resting());
  EXPECT_EQ(app.Recorder().CallsStartingWith("RegisterRawInputDevices"), unwatch);
  // Inside the screen the warp moves nothing and leaves a rest alone.
  TickUntilResting(form);
  app.SetPointer(500, 500);
  form.Timer3Timer(form.Timer3);
  EXPECT_TRUE(form.Timer1->Resting());
}

TEST(TrackingTick, ARestingTickLooksAboveTheLinesEachTime) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  app.Recorder().Windows();
  Platform().RegisterRawInputDevices = &RecordRawInputRegistration;
  app.SetPointer(400, 300);
  form.Timer1Timer(form.Timer1);
  TickUntilResting(form);
  ASSERT_TRUE(form.Timer1->Resting());

  HWND cover = OpenForeignCover(app);
  ASSERT_NE(cover, nullptr);
  // Resting ticks come every 100 ms: the first one after the cover opened raises the lines.
  app.Recorder().Clear();
  form.Timer1Timer(form.Timer1);
  EXPECT_EQ(app.Recorder().Calls(), kLinesRaised) << ShowSequences(app.Recorder().Calls(), kLinesRaised);
  EXPECT_TRUE(form.Timer1->Resting()) << "raising the lines is no move of the pointer";
  ::DestroyWindow(cover);
}

// The real worker: at rest the tick's pointer reads come at the resting pace only.
TEST(TrackingTick, ARestingWorkerReadsThePointerOnlyAtTheRestingPace) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  Platform().RegisterRawInputDevices = &RecordRawInputRegistration;
  static std::atomic<int> reads{0};
  app.SetPointer(400, 300);
  Platform().GetCursorPos = [](POINT* point) {
    ++reads;
    point->x = 400;
    point->y = 300;
    return TRUE;
  };
  ASSERT_TRUE(PumpUntil([&] { return form.Timer1->Resting(); }, 10000));
  PumpFor(150);  // the last wait at the tracking pace ends
  reads = 0;
  PumpFor(500);
  // 25 ticks at 20 ms; five at 100 ms (one more where a late tick and the next meet).
  EXPECT_LE(reads, 6);
  EXPECT_GE(reads, 1) << "the resting ticks stopped altogether";
}

// The seam calls a resting tick may make, each marked with the thread that made it.
struct ThreadedLook {
  static DWORD& MainThread() {
    static DWORD thread = 0;
    return thread;
  }
  static PlatformCalls& Forward() {
    static PlatformCalls forward{};
    return forward;
  }
  static std::string From() { return ::GetCurrentThreadId() == MainThread() ? "main: " : "worker: "; }
  // A worker may still finish a look while the fixture puts the seam back.
  static std::string NameOf(HWND window) {
    CallRecorder* recorder = CallRecorder::Active();
    return recorder ? recorder->NameOf(window) : "?";
  }
  static BOOL CursorPos(POINT* point) {
    CallRecorder::Record(From() + "GetCursorPos()");
    return Forward().GetCursorPos(point);
  }
  static BOOL Visible(HWND window) {
    CallRecorder::Record(From() + "IsWindowVisible(" + NameOf(window) + ")");
    return Forward().IsWindowVisible(window);
  }
  static BOOL Windows(WNDENUMPROC callback, LPARAM data) {
    CallRecorder::Record(From() + "EnumWindows()");
    return Forward().EnumWindows(callback, data);
  }
  static DWORD Process(HWND window, LPDWORD process) {
    CallRecorder::Record(From() + "GetWindowThreadProcessId(" + NameOf(window) + ")");
    return Forward().GetWindowThreadProcessId(window, process);
  }
  // After the fixture's own fakes are in place: they are what these forward to.
  static void Install() {
    MainThread() = ::GetCurrentThreadId();
    if (Platform().GetCursorPos != &CursorPos) Forward().GetCursorPos = Platform().GetCursorPos;
    if (Platform().IsWindowVisible != &Visible) Forward().IsWindowVisible = Platform().IsWindowVisible;
    if (Platform().EnumWindows != &Windows) Forward().EnumWindows = Platform().EnumWindows;
    if (Platform().GetWindowThreadProcessId != &Process) {
      Forward().GetWindowThreadProcessId = Platform().GetWindowThreadProcessId;
    }
    Platform().GetCursorPos = &CursorPos;
    Platform().IsWindowVisible = &Visible;
    Platform().EnumWindows = &Windows;
    Platform().GetWindowThreadProcessId = &Process;
  }
};

// The real worker, pumped: a resting tick looks from the worker and wakes the
// user-interface thread only for a move, a cover or a wake-up notice.
TEST(TrackingTick, ARestingWorkerHandsOverOnlyWhatNeedsTheLinesAndTheFirstTickPlacesThem) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  app.Recorder().Windows();
  Platform().RegisterRawInputDevices = &RecordRawInputRegistration;
  // The heartbeat and the warp read the pointer on this thread at their own pace.
  form.Timer2->SetEnabled(false);
  form.Timer3->SetEnabled(false);
  const auto pointAt = [&](int x, int y) {
    app.SetPointer(x, y);
    ThreadedLook::Install();
  };
  const auto restFully = [&] {
    ASSERT_TRUE(PumpUntil([&] { return form.Timer1->Resting(); }, 10000));
    PumpFor(150);  // the last wait at the tracking pace ends
  };
  pointAt(400, 300);
  restFully();

  // Nothing changed: each tick is the worker's look at the lines, the pointer and what lies above.
  app.Recorder().Clear();
  PumpFor(500);
  const std::vector<std::string> calls = app.Recorder().CallsStartingWith("");
  const std::vector<std::string> worker = app.Recorder().CallsStartingWith("worker: ");
  const std::vector<std::string> tickStart = {"worker: IsWindowVisible(XForm1)", "worker: IsWindowVisible(YForm1)",
                                              "worker: GetCursorPos()"};
  ASSERT_GE(worker.size(), tickStart.size());
  EXPECT_EQ(std::vector<std::string>(worker.begin(), worker.begin() + 3), tickStart)
      << ShowSequences(worker, tickStart);
  // Beside them only the display check's look at the monitors, once a second on its own timer.
  const auto looks = [](const std::string& call) {
    return call == "worker: EnumWindows()" || call.rfind("worker: IsWindowVisible(", 0) == 0 ||
           call.rfind("worker: GetWindowThreadProcessId(", 0) == 0 || call == "worker: GetCursorPos()" ||
           call == "EnumDisplayMonitors()";
  };
  EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), looks)) << ShowSequences(calls, tickStart);
  const auto reads = std::count(calls.begin(), calls.end(), "worker: GetCursorPos()");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "worker: EnumWindows()"), reads)
      << "each look lists the windows once for both lines";
  EXPECT_GE(reads, 3) << "the resting ticks stopped";
  EXPECT_LE(reads, 6) << "the worker looked faster than the resting pace";

  // A move the worker found: ticks resume and the first one places the lines.
  pointAt(420, 310);
  app.Recorder().Clear();
  EXPECT_TRUE(PumpUntil([&] { return !form.Timer1->Resting(); }, 1000));
  EXPECT_EQ(XForm1->Left(), 421);
  EXPECT_EQ(YForm1->Top(), 311);
  std::vector<std::string> placed = app.Recorder().CallsStartingWith("SetWindowPos(XForm1, HWND_TOP,");
  EXPECT_EQ(placed, std::vector<std::string>{"SetWindowPos(XForm1, HWND_TOP, 421, 0, 1, 1080, 0x14)"});

  // A cover the worker found: handed over and raised within a resting tick, and the rest goes on.
  restFully();
  HWND cover = OpenForeignCover(app);
  ASSERT_NE(cover, nullptr);
  ThreadedLook::Install();
  app.Recorder().Clear();
  EXPECT_TRUE(PumpUntil([&] { return app.Recorder().CallsStartingWith("SetWindowPos(").size() >= 2; }, 1000));
  EXPECT_EQ(app.Recorder().CallsStartingWith("SetWindowPos("), kLinesRaised);
  EXPECT_TRUE(form.Timer1->Resting()) << "raising the lines is no move of the pointer";
  app.Recorder().Clear();
  PumpFor(300);
  EXPECT_EQ(app.Recorder().CallsStartingWith("main: "), std::vector<std::string>{})
      << "lines back on top still handed ticks over";

  // Raw input: the rest ends at once and the first tick places the lines.
  app.SetPointer(600, 500);
  ::SendMessageA(form.WindowHandle(), WM_INPUT, RIM_INPUTSINK, 0);
  EXPECT_FALSE(form.Timer1->Resting());
  EXPECT_TRUE(PumpUntil([&] { return XForm1->Left() == 601 && YForm1->Top() == 501; }, 1000));
  ::DestroyWindow(cover);
}

}  // namespace
}  // namespace lumek::test
