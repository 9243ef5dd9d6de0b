// The application object: its window, the exception report, the window hooks.
#include <gtest/gtest.h>

#include "framework/Application.h"
#include "framework/Platform.h"
#include "tests/support/Recorder.h"

namespace lumek {
namespace {

using test::CallRecorder;
using test::ShowSequences;

class ApplicationObject : public testing::Test {
 protected:
  void SetUp() override {
    savedTitle_ = Application->Title();
    Application->SetTitle("Lumek");
    recorder_.Name(Application->Handle(), "app");
  }
  void TearDown() override {
    Application->SetTitle(savedTitle_);
    Application->OnException = nullptr;
  }

  CallRecorder recorder_;
  std::string savedTitle_;
};

TEST_F(ApplicationObject, WindowIsAHiddenCaptionedPopupAtTheScreenCentre) {
  HWND app = Application->Handle();
  char className[32] = {};
  ::GetClassNameA(app, className, sizeof className);
  EXPECT_STREQ(className, "TApplication");
  EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(app, GWL_STYLE)) & ~WS_VISIBLE, 0x84CA0000u);
  EXPECT_FALSE(::IsWindowVisible(app));
  RECT rect;
  ::GetWindowRect(app, &rect);
  EXPECT_EQ(rect.left, ::GetSystemMetrics(SM_CXSCREEN) / 2);
  EXPECT_EQ(rect.top, ::GetSystemMetrics(SM_CYSCREEN) / 2);
  // Wine: a captioned popup is never smaller than its frame, so the 0 x 0 size asked for is not checked.
  HMENU systemMenu = ::GetSystemMenu(app, FALSE);
  for (UINT command : {SC_MAXIMIZE, SC_SIZE, SC_MOVE}) {
    SCOPED_TRACE(command);
    EXPECT_EQ(::GetMenuState(systemMenu, command, MF_BYCOMMAND), static_cast<UINT>(-1));
  }
  EXPECT_NE(::GetMenuState(systemMenu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
}

TEST_F(ApplicationObject, ExceptionBoxAddsTheFullStopAndUsesTheTitleAndStopIcon) {
  recorder_.MessageBoxes();
  struct Row {
    const char* name;
    std::string message;
    std::string expected;
  } rows[] = {
      {"ends in a letter", "Disk full", "MessageBoxA(app, \"Disk full.\", \"Lumek\", 0x10)"},
      {"ends in a full stop", "Disk full.", "MessageBoxA(app, \"Disk full.\", \"Lumek\", 0x10)"},
      {"ends in an exclamation mark", "Stop!", "MessageBoxA(app, \"Stop!\", \"Lumek\", 0x10)"},
      {"empty", "", "MessageBoxA(app, \"\", \"Lumek\", 0x10)"},
      {"Shift-JIS", "\x8F\x91\x82\xAF\x82\xDC\x82\xB9\x82\xF1",
       "MessageBoxA(app, \"\x8F\x91\x82\xAF\x82\xDC\x82\xB9\x82\xF1.\", \"Lumek\", 0x10)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    recorder_.Clear();
    Application->ShowException(Exception(row.message));
    EXPECT_EQ(recorder_.Calls(), std::vector<std::string>{row.expected})
        << ShowSequences(recorder_.Calls(), {row.expected});
  }
}

TEST_F(ApplicationObject, ReportsWhatAHandlerThrowsAndTheLoopGoesOn) {
  recorder_.MessageBoxes();
  int handled = 0;
  UtilWindow window([&handled](HWND hwnd, TMessage& message) {
    if (message.Msg == WM_APP) {
      ++handled;
      if (message.WParam == 1) throw Exception("handler failed");
      if (message.WParam == 2) throw std::runtime_error("not a framework error");
      if (message.WParam == 3) throw EAbort();
      return;
    }
    DefaultHandling(hwnd, message);
  });
  for (WPARAM kind : {1, 0, 2, 3, 0}) ::PostMessageA(window.Handle(), WM_APP, kind, 0);
  for (int i = 0; i < 100 && handled < 5; ++i) {
    MSG message;
    if (::PeekMessageA(&message, window.Handle(), 0, 0, PM_NOREMOVE)) Application->HandleMessage();
  }
  EXPECT_EQ(handled, 5);
  std::vector<std::string> expected = {
      "MessageBoxA(app, \"handler failed.\", \"Lumek\", 0x10)",
      // Not a framework exception: the run-time's own box, owned by nobody.
      "MessageBoxA(0, \"not a framework error\", \"Runtime error\", 0x2010)",
  };
  EXPECT_EQ(recorder_.Calls(), expected) << ShowSequences(recorder_.Calls(), expected);
}

TEST_F(ApplicationObject, ExceptionHookReplacesTheBox) {
  recorder_.MessageBoxes();
  std::string seen;
  Application->OnException = [&seen](TObject*, const Exception& e) { seen = e.Message(); };
  try {
    throw Exception("to the hook");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  EXPECT_EQ(seen, "to the hook");
  EXPECT_TRUE(recorder_.Calls().empty());
}

TEST_F(ApplicationObject, WindowHooksRunInOrderUntilOneTakesTheMessage) {
  std::vector<std::string> order;
  int a = 0, b = 0, c = 0;
  Application->HookMainWindow(&a, [&order](TMessage& m) {
    if (m.Msg == WM_APP + 7) order.push_back("a");
    return false;
  });
  Application->HookMainWindow(&b, [&order](TMessage& m) {
    if (m.Msg != WM_APP + 7) return false;
    order.push_back("b");
    m.Result = 42;
    return true;
  });
  Application->HookMainWindow(&c, [&order](TMessage& m) {
    if (m.Msg == WM_APP + 7) order.push_back("c");
    return false;
  });
  EXPECT_EQ(::SendMessageA(Application->Handle(), WM_APP + 7, 0, 0), 42);
  Application->UnhookMainWindow(&b);
  ::SendMessageA(Application->Handle(), WM_APP + 7, 0, 0);
  Application->UnhookMainWindow(&a);
  Application->UnhookMainWindow(&c);
  ::SendMessageA(Application->Handle(), WM_APP + 7, 0, 0);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "a", "c"}));
}

TEST_F(ApplicationObject, NullMessageRunsTheQueuedCalls) {
  static int runs = 0;
  runs = 0;
  auto saved = Application->SynchronizeHook;
  Application->SynchronizeHook = [] {
    ++runs;
    return false;
  };
  ::SendMessageA(Application->Handle(), WM_NULL, 0, 0);
  Application->SynchronizeHook = saved;
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace lumek
