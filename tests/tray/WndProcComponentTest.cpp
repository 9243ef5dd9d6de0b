#include <gtest/gtest.h>

#include <vector>

#include "framework/Application.h"
#include "tests/tray/TrayTestForm.h"
#include "tray/WndProcComponent.h"

namespace lumek::test {
namespace {

constexpr UINT kProbe = WM_APP + 7;
constexpr LRESULT kProbeAnswer = 77;

// A subclass procedure of the test's own: it logs what reaches it, answers
// the probe and hands the rest to the procedure it replaced.
std::vector<UINT> reachedEarlier;
WNDPROC beforeEarlier = nullptr;
LRESULT CALLBACK EarlierSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  reachedEarlier.push_back(message);
  if (message == kProbe) return kProbeAnswer;
  // A WM_DESTROY faked by the test must not reach the form.
  if (message == WM_DESTROY) return 0;
  return ::CallWindowProcW(beforeEarlier, window, message, wParam, lParam);
}

std::vector<UINT> reachedLater;
WNDPROC beforeLater = nullptr;
LRESULT CALLBACK LaterSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  reachedLater.push_back(message);
  return ::CallWindowProcW(beforeLater, window, message, wParam, lParam);
}

WNDPROC CurrentProc(HWND window) { return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC)); }

bool Reached(const std::vector<UINT>& log, UINT message) {
  for (UINT m : log) {
    if (m == message) return true;
  }
  return false;
}

// Logs what its overrides see, so the test knows the virtual slot was used.
class TLoggingHook : public TWndProcComponent {
 public:
  using TWndProcComponent::TWndProcComponent;
  std::vector<UINT> seen;
  std::vector<UINT> seenByApp;
  void WndProc(TMessage& message) override {
    seen.push_back(message.Msg);
    TWndProcComponent::WndProc(message);
  }
  bool AppWndProc(TMessage& message) override {
    seenByApp.push_back(message.Msg);
    return false;
  }
};

class WndProcHook : public ::testing::Test {
 protected:
  void SetUp() override {
    reachedEarlier.clear();
    reachedLater.clear();
  }
  // Puts the test's logging procedure under everything that hooks later.
  void SubclassEarlier(HWND window) {
    beforeEarlier = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EarlierSubclass)));
  }
};

TEST_F(WndProcHook, HooksOnceAndPassesMessagesThroughTheOverride) {
  TTrayTestForm form(nullptr);
  HWND window = form.WindowHandle();
  SubclassEarlier(window);
  auto* hook = new TLoggingHook(&form);

  EXPECT_FALSE(hook->Hooked()) << "a component made in code is not hooked until asked";
  ASSERT_TRUE(hook->NewWndProc());
  WNDPROC installed = CurrentProc(window);
  EXPECT_NE(installed, &EarlierSubclass);
  EXPECT_EQ(hook->PrevWindowProc(), &EarlierSubclass);

  EXPECT_FALSE(hook->NewWndProc()) << "second hook";
  EXPECT_EQ(CurrentProc(window), installed);
  EXPECT_EQ(hook->PrevWindowProc(), &EarlierSubclass);

  EXPECT_EQ(::SendMessageA(window, kProbe, 0, 0), kProbeAnswer);
  EXPECT_TRUE(Reached(hook->seen, kProbe));
  EXPECT_TRUE(Reached(reachedEarlier, kProbe));

  EXPECT_TRUE(hook->RestoreWndProc());
  EXPECT_EQ(CurrentProc(window), &EarlierSubclass);
  EXPECT_EQ(hook->PrevWindowProc(), nullptr);
}

TEST_F(WndProcHook, DisablingKeepsTheHookSilentRemoveTakesItAndEnablingHooksAgain) {
  TTrayTestForm form(nullptr);
  HWND window = form.WindowHandle();
  SubclassEarlier(window);
  auto* hook = new TLoggingHook(&form);
  hook->Init();
  ASSERT_TRUE(hook->Hooked());

  hook->SetEnabled(false);
  EXPECT_TRUE(hook->Hooked()) << "disabling alone leaves the hook";
  EXPECT_NE(CurrentProc(window), &EarlierSubclass);

  hook->SetEnabled(true);
  hook->SilentRemove();
  EXPECT_FALSE(hook->Hooked());
  EXPECT_FALSE(hook->Enabled());
  EXPECT_EQ(CurrentProc(window), &EarlierSubclass);

  hook->SetEnabled(true);
  EXPECT_TRUE(hook->Hooked());
  hook->seen.clear();
  ::SendMessageA(window, kProbe, 0, 0);
  EXPECT_TRUE(Reached(hook->seen, kProbe)) << "the new hook procedure reaches the override";
}

TEST_F(WndProcHook, ApplicationHookOnlyWhenChosenWhileLoading) {
  TTrayTestForm form(nullptr);
  form.WindowHandle();
  HWND app = Application->Handle();
  {
    SCOPED_TRACE("at run time");
    auto* hook = new TLoggingHook(&form);
    hook->SetHandleApp(true);
    EXPECT_FALSE(hook->HandleApp());
    ASSERT_TRUE(hook->NewWndProc());
    EXPECT_FALSE(hook->AppHookInstalled());
    ::SendMessageA(app, kProbe, 0, 0);
    EXPECT_TRUE(hook->seenByApp.empty());
    delete hook;
  }
  {
    SCOPED_TRACE("while loading");
    auto* hook = new TLoggingHook(&form);
    hook->SetLoading(true);
    hook->SetHandleApp(true);
    hook->Loaded();
    EXPECT_TRUE(hook->HandleApp());
    EXPECT_TRUE(hook->AppHookInstalled()) << "Loaded hooks, with the application window";
    ::SendMessageA(app, kProbe, 0, 0);
    EXPECT_TRUE(Reached(hook->seenByApp, kProbe));

    hook->RestoreWndProc();
    EXPECT_FALSE(hook->AppHookInstalled());
    hook->seenByApp.clear();
    ::SendMessageA(app, kProbe, 0, 0);
    EXPECT_TRUE(hook->seenByApp.empty()) << "unhooking takes the application hook away too";
    delete hook;
  }
}

TEST_F(WndProcHook, AfterWmDestroyMessagesAreSwallowedUntilRehooked) {
  TTrayTestForm form(nullptr);
  HWND window = form.WindowHandle();
  SubclassEarlier(window);
  auto* hook = new TLoggingHook(&form);
  ASSERT_TRUE(hook->NewWndProc());

  ::SendMessageA(window, WM_DESTROY, 0, 0);
  EXPECT_TRUE(Reached(reachedEarlier, WM_DESTROY)) << "a normal form gets its WM_DESTROY";
  EXPECT_TRUE(hook->OwnerWindowGone());
  EXPECT_TRUE(hook->Hooked());

  reachedEarlier.clear();
  EXPECT_EQ(::SendMessageA(window, kProbe, 0, 0), 0);
  EXPECT_FALSE(Reached(reachedEarlier, kProbe)) << "swallowed after WM_DESTROY";

  hook->RestoreWndProc();
  ASSERT_TRUE(hook->NewWndProc());
  EXPECT_FALSE(hook->OwnerWindowGone());
  EXPECT_EQ(::SendMessageA(window, kProbe, 0, 0), kProbeAnswer);
}

TEST_F(WndProcHook, MdiChildOwnerIsUnhookedAtWmDestroy) {
  auto form = FormWithStyle("fsMDIChild");
  HWND window = form->WindowHandle();
  SubclassEarlier(window);
  auto* hook = new TLoggingHook(form.get());
  EXPECT_EQ(hook->OwnerMDIKind(), TWndProcComponent::kMDIChild);
  ASSERT_TRUE(hook->NewWndProc());

  ::SendMessageA(window, WM_DESTROY, 0, 0);
  EXPECT_TRUE(Reached(hook->seen, WM_DESTROY));
  EXPECT_FALSE(Reached(reachedEarlier, WM_DESTROY)) << "not passed on";
  EXPECT_FALSE(hook->Hooked());
  EXPECT_EQ(CurrentProc(window), &EarlierSubclass);
}

TEST_F(WndProcHook, UnhookingCutsOutALaterSubclasser) {
  TTrayTestForm form(nullptr);
  HWND window = form.WindowHandle();
  SubclassEarlier(window);
  auto* hook = new TLoggingHook(&form);
  ASSERT_TRUE(hook->NewWndProc());
  beforeLater = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclass)));

  hook->RestoreWndProc();
  EXPECT_EQ(CurrentProc(window), &EarlierSubclass);
  ::SendMessageA(window, kProbe, 0, 0);
  EXPECT_FALSE(Reached(reachedLater, kProbe));
}

TEST_F(WndProcHook, WhichWindowIsHooked) {
  {
    SCOPED_TRACE("owner that is no form");
    TComponent owner(nullptr);
    auto* hook = new TLoggingHook(&owner);
    EXPECT_EQ(hook->GetOwnerHandle(), nullptr);
    EXPECT_FALSE(hook->NewWndProc());
    EXPECT_FALSE(hook->ValidOwner());
  }
  {
    SCOPED_TRACE("MDI frame: its client window unless the frame itself is asked for");
    auto form = FormWithStyle("fsMDIForm");
    HWND frame = form->WindowHandle();
    CLIENTCREATESTRUCT create{nullptr, 0xFF00};
    HWND client = ::CreateWindowExW(0, L"MDICLIENT", nullptr, WS_CHILD, 0, 0, 10, 10, frame, nullptr,
                                    ::GetModuleHandleW(nullptr), &create);
    ASSERT_NE(client, nullptr);
    auto* hook = new TLoggingHook(form.get());
    EXPECT_EQ(hook->OwnerMDIKind(), TWndProcComponent::kMDIFrame);
    EXPECT_EQ(hook->GetOwnerHandle(), client);
    hook->HookMDIFrame = true;
    EXPECT_EQ(hook->GetOwnerHandle(), frame);
  }
  {
    SCOPED_TRACE("window not made yet: made on demand");
    TTrayTestForm form(nullptr);
    auto* hook = new TLoggingHook(&form);
    EXPECT_FALSE(hook->ValidOwner());
    HWND window = hook->GetOwnerHandle();
    EXPECT_NE(window, nullptr);
    EXPECT_TRUE(form.HandleAllocated());
    EXPECT_TRUE(hook->ValidOwner());
  }
}

TEST_F(WndProcHook, OwnerFormDestroyedWhileHooked) {
  auto form = std::make_unique<TTrayTestForm>(nullptr);
  SubclassEarlier(form->WindowHandle());
  auto* hook = new TLoggingHook(form.get());
  ASSERT_TRUE(hook->NewWndProc());
  // The form destroys its window first (through the hook), then the component.
  form.reset();
  EXPECT_TRUE(Reached(reachedEarlier, WM_DESTROY));
  EXPECT_FALSE(Reached(reachedEarlier, WM_NCDESTROY)) << "swallowed: it came after WM_DESTROY";
}

}  // namespace
}  // namespace lumek::test
