// The application object: its window, the exception report, the window hooks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

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
    Application->SetTitle(L"Lumek");
    recorder_.Name(Application->Handle(), "app");
  }
  void TearDown() override {
    Application->SetTitle(savedTitle_);
    Application->OnException = nullptr;
  }

  CallRecorder recorder_;
  std::wstring savedTitle_;
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
      {"ends in a letter", "Disk full", "MessageBoxW(app, \"Disk full.\", \"Lumek\", 0x10)"},
      {"ends in a full stop", "Disk full.", "MessageBoxW(app, \"Disk full.\", \"Lumek\", 0x10)"},
      {"ends in an exclamation mark", "Stop!", "MessageBoxW(app, \"Stop!\", \"Lumek\", 0x10)"},
      {"empty", "", "MessageBoxW(app, \"\", \"Lumek\", 0x10)"},
      {"Japanese", "書けません", "MessageBoxW(app, \"書けません.\", \"Lumek\", 0x10)"},
      {"outside code page 932", "한 😀", "MessageBoxW(app, \"한 😀.\", \"Lumek\", 0x10)"},
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
      "MessageBoxW(app, \"handler failed.\", \"Lumek\", 0x10)",
      // Not a framework exception: the run-time's own box, owned by nobody.
      "MessageBoxW(0, \"not a framework error\", \"Runtime error\", 0x2010)",
  };
  EXPECT_EQ(recorder_.Calls(), expected) << ShowSequences(recorder_.Calls(), expected);
}

TEST_F(ApplicationObject, ExceptionHookReplacesTheBox) {
  recorder_.MessageBoxes();
  std::wstring seen;
  Application->OnException = [&seen](TObject*, const Exception& e) { seen = e.Message(); };
  try {
    throw Exception("to the hook");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  EXPECT_EQ(seen, L"to the hook");
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

// The executable's path as a fake platform reports it: like the real one, a
// path that does not fit fills the whole buffer without a terminator.
std::wstring reportedModulePath;
std::vector<DWORD> askedSizes;
DWORD ReportModulePath(HMODULE, LPWSTR buffer, DWORD size) {
  askedSizes.push_back(size);
  const std::wstring& path = reportedModulePath;
  const DWORD copied = static_cast<DWORD>(std::min<size_t>(path.size(), size));
  std::wmemcpy(buffer, path.data(), copied);
  if (copied < size) buffer[copied] = L'\0';
  return copied;
}

TEST(ModuleFileName, GrowsItsBufferUntilThePathFitsAndTellsWhenItNeverDoes) {
  CallRecorder recorder;
  Platform().GetModuleFileNameW = &ReportModulePath;
  const std::wstring folder = L"C:\\Lumek \u00DC\u00E9 \uD55C \U0001F600\\";
  struct Row {
    const char* name;
    std::wstring path;
    bool complete;
    size_t calls;
  } rows[] = {
      {"short: one call", folder + L"LUMEK.exe", true, 1},
      {"exactly the first buffer: no room for the terminator, asked again", std::wstring(261, L'a'), true, 2},
      {"far beyond the old limit", folder + std::wstring(5000, L'x') + L".exe", true, 6},
      {"beyond the longest path the platform hands out", std::wstring(40000, L'y'), false, 8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    reportedModulePath = row.path;
    askedSizes.clear();
    bool complete = !row.complete;
    std::wstring path = ModuleFileName(&complete);
    EXPECT_EQ(complete, row.complete);
    EXPECT_EQ(path, row.complete ? row.path : row.path.substr(0, 32768));
    EXPECT_EQ(askedSizes.size(), row.calls);
  }
}

}  // namespace
}  // namespace lumek
