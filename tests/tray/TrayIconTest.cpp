#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Menus.h"
#include "framework/Platform.h"
#include "tests/support/Recorder.h"
#include "tests/tray/TrayTestForm.h"
#include "tray/TrayIcon.h"

namespace lumek::test {
namespace {

constexpr POINT kPointer{1234, 567};

const char* ButtonName(TMouseButton button) {
  switch (button) {
    case TMouseButton::mbLeft:
      return "left";
    case TMouseButton::mbRight:
      return "right";
    case TMouseButton::mbMiddle:
      return "middle";
  }
  return "?";
}

std::string ShiftText(TShiftState shift) {
  std::string text = "[";
  if (shift.Contains(TShiftState::ssShift)) text += " shift";
  if (shift.Contains(TShiftState::ssAlt)) text += " alt";
  if (shift.Contains(TShiftState::ssCtrl)) text += " ctrl";
  if (shift.Contains(TShiftState::ssDouble)) text += " dbl";
  return text + " ]";
}

std::string At(int x, int y) { return " @" + std::to_string(x) + "," + std::to_string(y); }

// Every event of the icon becomes one line in the recorder's log.
void RecordEvents(TTrayIcon& tray) {
  tray.OnMouseDown = [&tray](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    EXPECT_EQ(sender, &tray);
    CallRecorder::Record(std::string("OnMouseDown ") + ButtonName(button) + " " + ShiftText(shift) + At(x, y));
  };
  tray.OnMouseUp = [](TObject*, TMouseButton button, TShiftState shift, int x, int y) {
    CallRecorder::Record(std::string("OnMouseUp ") + ButtonName(button) + " " + ShiftText(shift) + At(x, y));
  };
  tray.OnMouseMove = [](TObject*, TShiftState shift, int x, int y) {
    CallRecorder::Record("OnMouseMove " + ShiftText(shift) + At(x, y));
  };
  tray.OnClick = [](TObject*) { CallRecorder::Record("OnClick"); };
  tray.OnDblClick = [](TObject*) { CallRecorder::Record("OnDblClick"); };
  tray.OnPopUp = [](TObject*) { CallRecorder::Record("OnPopUp"); };
}

int pressedKey = 0;
SHORT KeyStateOfPressedKey(int key) { return key == pressedKey ? static_cast<SHORT>(0x8000) : 0; }
BOOL FixedPointer(POINT* point) {
  *point = kPointer;
  return TRUE;
}
BOOL RecordForeground(HWND window) {
  CallRecorder::Record("SetForegroundWindow(" + CallRecorder::Active()->NameOf(window) + ")");
  return TRUE;
}

// The shell is down for the first `shellDownRequests` requests.
int shellDownRequests = 0;
BOOL ShellThatComesUpLate(DWORD message, PNOTIFYICONDATAW) {
  static const char* kNames[] = {"NIM_ADD", "NIM_MODIFY", "NIM_DELETE"};
  bool up = shellDownRequests <= 0;
  --shellDownRequests;
  CallRecorder::Record(std::string(kNames[message]) + (up ? " ok" : " failed"));
  return up ? TRUE : FALSE;
}
// A shell that still holds the icon refuses a second add.
BOOL ShellHoldingTheIcon(DWORD message, PNOTIFYICONDATAW) {
  static const char* kNames[] = {"NIM_ADD", "NIM_MODIFY", "NIM_DELETE"};
  CallRecorder::Record(std::string(kNames[message]) + (message == NIM_ADD ? " failed" : " ok"));
  return message == NIM_ADD ? FALSE : TRUE;
}

// Wine: with no window manager on the test display, hiding a captioned
// window waits for a withdrawn state that never comes (about a second per
// hide), so the application window's ShowWindow calls are only recorded.
BOOL ShowWindowSparingTheApplicationWindow(HWND window, int command) {
  CallRecorder::Record("ShowWindow(" + CallRecorder::Active()->NameOf(window) + ", " + std::to_string(command) + ")");
  if (window == Application->Handle()) return TRUE;
  return RealPlatform().ShowWindow(window, command);
}

// The calls that start with one of `prefixes`, in order.
std::vector<std::string> CallsOf(const CallRecorder& recorder, std::initializer_list<const char*> prefixes) {
  std::vector<std::string> result;
  for (const std::string& call : recorder.Calls()) {
    for (const char* prefix : prefixes) {
      if (call.rfind(prefix, 0) == 0) {
        result.push_back(call);
        break;
      }
    }
  }
  return result;
}

// The first-version record with its 64-unit tip: 152 bytes in the 32-bit
// program, 168 in the 64-bit test build (the bench's where the kernel refuses
// 32-bit programs).
std::string ShellCall(const char* request, const std::string& tip) {
  const char* size = sizeof(void*) == 4 ? ", 152" : ", 168";
  return std::string("Shell_NotifyIconW(") + request + size + ", notify, 0, 0x7, 0x465, \"" + tip + "\")";
}

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTrayClasses();
    RegisterMenuClasses();
    savedShowMainForm_ = Application->ShowMainForm;
    recorder_.Shell().Windows();
    Platform().GetCursorPos = FixedPointer;
    Platform().GetKeyState = KeyStateOfPressedKey;
    Platform().SetForegroundWindow = RecordForeground;
    Platform().ShowWindow = ShowWindowSparingTheApplicationWindow;
    pressedKey = 0;
    recorder_.Name(Application->Handle(), "app");
  }
  void TearDown() override {
    Application->ShowMainForm = savedShowMainForm_;
    RealPlatform().ShowWindow(Application->Handle(), SW_HIDE);
  }

  // A tray icon made in code on `form_`, its window named for the recorder.
  TTrayIcon* MakeTray() {
    auto* tray = new TTrayIcon(&form_);
    recorder_.Name(tray->NotifyWindow(), "notify");
    recorder_.Clear();
    return tray;
  }
  TTrayIcon* ReadTray(TTrayTestForm& form, const std::string& trayProperties, const std::string& more = "") {
    form.Read("object TestForm: TTrayTestForm\n  object TrayIcon1: TTrayIcon\n" + trayProperties + "  end\n" + more +
              "end\n");
    auto* tray = dynamic_cast<TTrayIcon*>(form.FindComponent("TrayIcon1"));
    if (tray) recorder_.Name(tray->NotifyWindow(), "notify");
    return tray;
  }
  static void Notify(TTrayIcon& tray, UINT mouseMessage) {
    EXPECT_EQ(::SendMessageA(tray.NotifyWindow(), kTrayCallbackMessage, 0, mouseMessage), 0);
  }

  CallRecorder recorder_;
  TTrayTestForm form_{nullptr};
  bool savedShowMainForm_ = true;
};

TEST_F(TrayIconTest, MouseNotificationsRaiseTheirEventsInOrder) {
  const std::string left = "left [ ]" + At(kPointer.x, kPointer.y);
  const std::string leftDouble = "left [ dbl ]" + At(kPointer.x, kPointer.y);
  struct Row {
    const char* name;
    std::vector<UINT> notifications;
    std::vector<std::string> events;
  };
  const Row rows[] = {
      {"double-click as the shell reports it",
       {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP},
       {"OnMouseDown " + left, "OnClick", "OnMouseUp " + left, "OnDblClick", "OnMouseDown " + leftDouble, "OnClick",
        "OnMouseUp " + left}},
      {"right double-click", {WM_RBUTTONDBLCLK, WM_RBUTTONUP},
       {"OnDblClick", "OnMouseDown right [ dbl ]" + At(kPointer.x, kPointer.y), "OnClick",
        "OnMouseUp right [ ]" + At(kPointer.x, kPointer.y)}},
      {"middle click", {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK},
       {"OnMouseDown middle [ ]" + At(kPointer.x, kPointer.y), "OnClick",
        "OnMouseUp middle [ ]" + At(kPointer.x, kPointer.y), "OnDblClick",
        "OnMouseDown middle [ dbl ]" + At(kPointer.x, kPointer.y)}},
      {"move", {WM_MOUSEMOVE}, {"OnMouseMove [ ]" + At(kPointer.x, kPointer.y)}},
      {"other mouse messages raise nothing", {WM_MOUSEWHEEL, WM_XBUTTONDOWN, 0}, {}},
  };
  TTrayIcon* tray = MakeTray();
  RecordEvents(*tray);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    recorder_.Clear();
    for (UINT notification : row.notifications) Notify(*tray, notification);
    EXPECT_EQ(recorder_.Calls(), row.events) << ShowSequences(recorder_.Calls(), row.events);
  }
  EXPECT_EQ(tray->LastCursorPos().x, kPointer.x);
  EXPECT_EQ(tray->LastCursorPos().y, kPointer.y);
}

TEST_F(TrayIconTest, OnlyAltJoinsTheShiftState) {
  struct Row {
    const char* name;
    int key;
    UINT notification;
    std::string event;
  };
  const std::string at = At(kPointer.x, kPointer.y);
  const Row rows[] = {
      {"no key", 0, WM_LBUTTONDOWN, "OnMouseDown left [ ]" + at},
      {"Alt", VK_MENU, WM_LBUTTONDOWN, "OnMouseDown left [ alt ]" + at},
      {"Alt with a double-click", VK_MENU, WM_LBUTTONDBLCLK, "OnMouseDown left [ alt dbl ]" + at},
      {"Alt while moving", VK_MENU, WM_MOUSEMOVE, "OnMouseMove [ alt ]" + at},
      {"Shift", VK_SHIFT, WM_LBUTTONDOWN, "OnMouseDown left [ ]" + at},
      {"Ctrl", VK_CONTROL, WM_LBUTTONDOWN, "OnMouseDown left [ ]" + at},
  };
  TTrayIcon* tray = MakeTray();
  RecordEvents(*tray);
  tray->OnDblClick = nullptr;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    pressedKey = row.key;
    recorder_.Clear();
    Notify(*tray, row.notification);
    EXPECT_EQ(recorder_.Calls(), std::vector<std::string>{row.event});
  }
}

TEST_F(TrayIconTest, ShellRecordCarriesAtMost63UnitsOfTheHintAndNeverHalfACharacter) {
  struct Row {
    const char* name;
    size_t length;
    std::wstring tail;  // after `length` letters
    size_t shown;
  };
  const Row rows[] = {{"empty", 0, L"", 0},
                      {"63", 63, L"", 63},
                      {"64", 64, L"", 63},
                      {"200", 200, L"", 63},
                      {"Japanese", 60, L"\u5FC3\u97F3\u3067\u3059", 63},
                      {"a surrogate pair that would end at unit 64 stays out whole", 62, L"\U0001F600", 62},
                      {"a surrogate pair that fits", 61, L"\U0001F600", 63}};
  TTrayIcon* tray = MakeTray();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::wstring hint;
    for (size_t i = 0; i < row.length; ++i) hint += static_cast<wchar_t>(L'a' + i % 26);
    hint += row.tail;
    tray->SetHint(hint + L"x");  // a change, so the empty row is one too
    recorder_.Clear();
    tray->SetHint(hint);
    std::vector<std::string> expected{ShellCall("NIM_MODIFY", WideToUtf8(hint.substr(0, row.shown)))};
    EXPECT_EQ(recorder_.Calls(), expected) << ShowSequences(recorder_.Calls(), expected);
    NOTIFYICONDATAW record = TrayIconRecord(tray->NotifyWindow(), nullptr, hint);
    EXPECT_EQ(record.szTip[row.shown], L'\0');
  }
  recorder_.Clear();
  tray->SetHint(tray->Hint());
  EXPECT_TRUE(recorder_.Calls().empty()) << "an unchanged hint sends nothing";
}

TEST_F(TrayIconTest, StoredIconWithoutActiveIsAddedWhenLoadingEnds) {
  TTrayTestForm form(nullptr);
  recorder_.Clear();
  TTrayIcon* tray = ReadTray(form,
                             "    Icon = @TRAYICON\n    Hint = 'Lumek'\n    ShowMinimizedIcon = True\n"
                             "    PopupMenu = PopupMenu1\n",
                             "  object PopupMenu1: TPopupMenu\n  end\n");
  ASSERT_NE(tray, nullptr);
  std::vector<std::string> expected{ShellCall("NIM_MODIFY", ""), ShellCall("NIM_MODIFY", "Lumek"),
                                    "ShowWindow(app, 0)", ShellCall("NIM_ADD", "Lumek")};
  // The tray window got its name only after the reading that made it.
  std::vector<std::string> actual = CallsOf(recorder_, {"Shell_", "ShowWindow(app"});
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(tray->NotifyWindow())));
  for (std::string& call : actual) {
    size_t at = call.find(hex);
    if (at != std::string::npos) call.replace(at, std::strlen(hex), "notify");
  }
  EXPECT_EQ(actual, expected) << ShowSequences(actual, expected);
  EXPECT_TRUE(tray->Active());
  EXPECT_TRUE(tray->Hooked());
  EXPECT_FALSE(Application->ShowMainForm);
  EXPECT_TRUE(tray->ShowMinimizedIcon);
  EXPECT_EQ(tray->PopupMenu(), form.FindComponent("PopupMenu1")) << "a menu read after the icon";

  HICON icon = tray->Icon()->Handle();
  ASSERT_NE(icon, nullptr) << "icon from the stored .ico bytes";
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(icon, &info));
  BITMAP colour{};
  ::GetObjectA(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 32);
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
}

TEST_F(TrayIconTest, StoredActiveFalseAddsNothingAndLeavesTheApplicationWindow) {
  TTrayTestForm form(nullptr);
  recorder_.Clear();
  TTrayIcon* tray = ReadTray(form, "    Active = False\n");
  ASSERT_NE(tray, nullptr);
  EXPECT_TRUE(recorder_.CallsStartingWith("Shell_").empty()) << ShowSequences(recorder_.Calls(), {});
  EXPECT_TRUE(recorder_.CallsStartingWith("ShowWindow(app").empty());
  EXPECT_TRUE(Application->ShowMainForm);
  EXPECT_FALSE(tray->Active());
  EXPECT_TRUE(tray->Hooked()) << "the owner is hooked all the same";
}

TEST_F(TrayIconTest, IconMadeInCodeIsAddedOnlyAfterFalseThenTrue) {
  TTrayIcon* tray = MakeTray();
  EXPECT_TRUE(tray->Active());
  EXPECT_FALSE(tray->Hooked());
  tray->SetActive(true);
  EXPECT_TRUE(recorder_.Calls().empty()) << ShowSequences(recorder_.Calls(), {});

  tray->SetActive(false);
  std::vector<std::string> expected{"ShowWindow(app, 1)", ShellCall("NIM_DELETE", "")};
  EXPECT_EQ(CallsOf(recorder_, {"Shell_", "ShowWindow"}), expected) << ShowSequences(recorder_.Calls(), expected);
  EXPECT_TRUE(Application->ShowMainForm);
  EXPECT_FALSE(tray->Enabled());

  recorder_.Clear();
  tray->SetActive(true);
  expected = {"ShowWindow(app, 0)", ShellCall("NIM_ADD", "")};
  EXPECT_EQ(CallsOf(recorder_, {"Shell_", "ShowWindow"}), expected) << ShowSequences(recorder_.Calls(), expected);
  EXPECT_FALSE(Application->ShowMainForm);
  EXPECT_TRUE(tray->Hooked()) << "activating enables and so hooks the owner";
}

TEST_F(TrayIconTest, RightPressOpensTheOwnMenuOnlyWhenOneIsSet) {
  recorder_.Menus();
  TTrayIcon* tray = MakeTray();
  RecordEvents(*tray);
  const std::string down = "OnMouseDown right [ ]" + At(kPointer.x, kPointer.y);
  {
    SCOPED_TRACE("no menu");
    recorder_.Clear();
    Notify(*tray, WM_RBUTTONDOWN);
    EXPECT_EQ(recorder_.Calls(), std::vector<std::string>{down});
  }
  auto* menu = new TPopupMenu(&form_);
  recorder_.Name(PopupList().Window(), "popuplist");
  auto* item = new TMenuItem(&form_);
  item->SetCaption(L"Item");
  menu->Items()->Add(item);
  tray->SetPopUpMenu(menu);
  {
    SCOPED_TRACE("with a menu");
    recorder_.Clear();
    Notify(*tray, WM_RBUTTONDOWN);
    std::vector<std::string> actual = CallsOf(recorder_, {"On", "SetForeground", "TrackPopupMenu"});
    char track[64];
    std::snprintf(track, sizeof track, "TrackPopupMenu(0x%x, %ld, %ld, popuplist)",
                  PopupMenuFlags(menu->Alignment, menu->RightToLeft, menu->TrackButton, menu->MenuAnimation),
                  kPointer.x, kPointer.y);
    std::vector<std::string> expected{down, "OnPopUp", "SetForegroundWindow(popuplist)", track};
    EXPECT_EQ(actual, expected) << ShowSequences(actual, expected);
    EXPECT_EQ(menu->PopupComponent(), tray);
  }
  {
    SCOPED_TRACE("no other button or release opens it");
    recorder_.Clear();
    for (UINT m : {WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_LBUTTONDOWN, WM_MBUTTONDOWN}) Notify(*tray, m);
    EXPECT_TRUE(recorder_.CallsStartingWith("TrackPopupMenu").empty());
    EXPECT_TRUE(recorder_.CallsStartingWith("OnPopUp").empty());
  }
  {
    SCOPED_TRACE("menu freed");
    delete menu;
    EXPECT_EQ(tray->PopupMenu(), nullptr);
    recorder_.Clear();
    Notify(*tray, WM_RBUTTONDOWN);
    EXPECT_EQ(recorder_.Calls(), std::vector<std::string>{down});
  }
}

// Wine: the form really minimizes and hides here, and each row waits a few
// seconds in Wine's X11 driver for states no window manager reports.
TEST_F(TrayIconTest, OwnerSystemCommandsHideTheFormIntoTheTray) {
  struct Row {
    const char* name;
    std::string trayProperties;
    WPARAM command;
    bool formVisibleAfter;
    bool closeEventRuns;
  };
  const Row rows[] = {
      {"minimize, inactive icon", "    Active = False\n", SC_MINIMIZE, false, false},
      {"minimize, minimized icon shown", "    Active = False\n    ShowMinimizedIcon = True\n", SC_MINIMIZE, true,
       false},
      {"close with NoClose while active", "    NoClose = True\n", SC_CLOSE, false, false},
      {"close with NoClose while inactive: a real close", "    NoClose = True\n    Active = False\n", SC_CLOSE, false,
       true},
      {"close without NoClose: a real close", "", SC_CLOSE, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TTrayTestForm form(nullptr);
    bool closed = false;
    form.OnClose = [&closed](TObject*, TCloseAction&) { closed = true; };
    TTrayIcon* tray = ReadTray(form, row.trayProperties);
    ASSERT_NE(tray, nullptr);
    form.SetVisible(true);
    recorder_.Clear();
    ASSERT_TRUE(::IsWindowVisible(form.WindowHandle()));
    ::SendMessageA(form.WindowHandle(), WM_SYSCOMMAND, row.command, 0);
    EXPECT_EQ(::IsWindowVisible(form.WindowHandle()) != FALSE, row.formVisibleAfter);
    EXPECT_EQ(form.Visible(), row.formVisibleAfter);
    EXPECT_EQ(closed, row.closeEventRuns);
    const bool hidesApplicationWindow = !row.formVisibleAfter && !row.closeEventRuns;
    EXPECT_EQ(!recorder_.CallsStartingWith("ShowWindow(app, 0)").empty(), hidesApplicationWindow);
    if (row.command == SC_MINIMIZE) {
      EXPECT_TRUE(::IsIconic(form.WindowHandle())) << "the form minimized first";
    }
    form.SetVisible(false);
  }
}

TEST_F(TrayIconTest, DestroyingRemovesTheIconLast) {
  TTrayIcon* tray = MakeTray();
  tray->SetHint(L"still here");
  HWND notify = tray->NotifyWindow();
  recorder_.Clear();
  delete tray;
  ASSERT_FALSE(recorder_.Calls().empty());
  EXPECT_EQ(recorder_.Calls().back(), ShellCall("NIM_DELETE", "")) << "even though Active was never cleared";
  EXPECT_FALSE(::IsWindow(notify));
}

TEST_F(TrayIconTest, RestartedShellGetsTheIconAgain) {
  const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
  TTrayIcon* tray = MakeTray();
  tray->SetActive(false);
  {
    SCOPED_TRACE("inactive: nothing to re-add");
    recorder_.Clear();
    ::SendMessageA(tray->NotifyWindow(), taskbarCreated, 0, 0);
    EXPECT_TRUE(recorder_.CallsStartingWith("Shell_").empty());
  }
  tray->SetActive(true);
  {
    SCOPED_TRACE("broadcast");
    recorder_.Clear();
    ::PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !recorder_.CallsStartingWith("Shell_").empty(); }, 5000));
    std::vector<std::string> expected{ShellCall("NIM_ADD", "")};
    EXPECT_EQ(recorder_.CallsStartingWith("Shell_"), expected);
  }
  {
    SCOPED_TRACE("a shell that still holds the icon gets it updated");
    Platform().Shell_NotifyIconW = ShellHoldingTheIcon;
    recorder_.Clear();
    ::SendMessageA(tray->NotifyWindow(), taskbarCreated, 0, 0);
    std::vector<std::string> expected{"NIM_ADD failed", "NIM_MODIFY ok"};
    EXPECT_EQ(recorder_.Calls(), expected) << ShowSequences(recorder_.Calls(), expected);
    EXPECT_FALSE(tray->WaitingForShell());
  }
}

TEST_F(TrayIconTest, FailedFirstAddIsRetriedUntilTheShellAnswers) {
  TTrayIcon* tray = MakeTray();
  tray->SetActive(false);
  Platform().Shell_NotifyIconW = ShellThatComesUpLate;
  shellDownRequests = 3;  // the first add and one retry (add, then modify) fail
  recorder_.Clear();
  tray->SetActive(true);
  EXPECT_TRUE(tray->WaitingForShell());
  EXPECT_TRUE(PumpUntil([&] { return !tray->WaitingForShell(); }, 10000));
  std::vector<std::string> expected{"NIM_ADD failed", "NIM_ADD failed", "NIM_MODIFY failed", "NIM_ADD ok"};
  auto actual = recorder_.CallsStartingWith("NIM_");
  EXPECT_EQ(actual, expected) << ShowSequences(actual, expected);

  {
    SCOPED_TRACE("deactivating stops the retries");
    tray->SetActive(false);
    shellDownRequests = 100;
    tray->SetActive(true);
    ASSERT_TRUE(tray->WaitingForShell());
    tray->SetActive(false);
    EXPECT_FALSE(tray->WaitingForShell());
    recorder_.Clear();
    ::SendMessageA(tray->NotifyWindow(), WM_TIMER, 1, 0);
    EXPECT_TRUE(recorder_.Calls().empty()) << ShowSequences(recorder_.Calls(), {});
  }
}

}  // namespace
}  // namespace lumek::test
