#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/ImgList.h"
#include "framework/Platform.h"
#include "tests/support/Recorder.h"
#include "tests/tray/TrayTestForm.h"
#include "timers/HiTimer.h"
#include "timers/TimerPool.h"
#include "tray/TrayIcon.h"

namespace lumek::test {
namespace {

const COLORREF kFrameColours[] = {RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255)};

struct ShownFrame {
  int index;     // which colour the icon shows, -1 for none of them
  int width;
  bool isIcon;
  std::string tip;
  DWORD thread;
};
std::vector<ShownFrame> shownFrames;

ShownFrame DescribeFrame(HICON icon) {
  ShownFrame frame{-1, 0, false, "", ::GetCurrentThreadId()};
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return frame;
  frame.isIcon = info.fIcon != FALSE;
  BITMAP bitmap{};
  ::GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  frame.width = bitmap.bmWidth;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, info.hbmColor);
  COLORREF pixel = ::GetPixel(dc, 8, 8);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  for (int i = 0; i < 3; ++i) {
    if (pixel == kFrameColours[i]) frame.index = i;
  }
  return frame;
}

BOOL RecordFrames(DWORD message, PNOTIFYICONDATAW data) {
  if (message == NIM_MODIFY && data->hIcon) {
    ShownFrame frame = DescribeFrame(data->hIcon);
    frame.tip = WideToUtf8(data->szTip);
    shownFrames.push_back(frame);
  }
  return TRUE;
}

std::vector<int> FrameIndexes() {
  std::vector<int> indexes;
  for (const ShownFrame& frame : shownFrames) indexes.push_back(frame.index);
  return indexes;
}

class TrayAnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder_.Shell();
    Platform().Shell_NotifyIconW = RecordFrames;
    shownFrames.clear();
    images_ = new TImageList(&form_);
    for (COLORREF colour : kFrameColours) images_->AddColor(static_cast<TColor>(colour));
  }

  // An animated icon made in code; the pool rounds its interval when the timer is made.
  TTrayIcon* MakeAnimatedTray(TTimerMode mode, uint16_t interval) {
    auto* tray = new TTrayIcon(&form_);
    tray->SetTimerMode(mode);
    tray->SetInterval(interval);
    tray->SetImageList(images_);
    tray->SetAnimated(true);
    return tray;
  }

  CallRecorder recorder_;
  TTrayTestForm form_{nullptr};
  TImageList* images_ = nullptr;
};

TEST(PoolTimerIntervalRule, RoundsUpToTheNextMultipleOf50) {
  struct Row {
    const char* name;
    uint16_t interval;
    uint16_t expected;
  };
  const Row rows[] = {
      {"120", 120, 150},           {"200 stays", 200, 200},  {"1", 1, 50},
      {"51", 51, 100},             {"65500 stays", 65500, 65500},
      {"65501 has no multiple in 16 bits", 65501, 65501}, {"65535", 65535, 65535},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(PoolTimerInterval(row.interval), row.expected);
  }
}

TEST_F(TrayAnimationTest, PoolModeRoundsTheIntervalWhenTheTimerIsMade) {
  struct Row {
    const char* name;
    uint16_t interval;
    uint16_t expected;
  };
  const Row rows[] = {{"120 becomes 150", 120, 150}, {"200 stays", 200, 200}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TTrayIcon* tray = MakeAnimatedTray(TTimerMode::tmGlobalTimer, row.interval);
    EXPECT_EQ(tray->Interval(), row.expected);
    ASSERT_NE(tray->PoolTimerId(), 0);
    TTimerItem* item = AppServices->GetTimer(tray->PoolTimerId());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Interval(), row.expected);
    EXPECT_TRUE(item->Enabled());
    delete tray;
  }
  {
    SCOPED_TRACE("written after the timer was made: handed on unrounded");
    TTrayIcon* tray = MakeAnimatedTray(TTimerMode::tmGlobalTimer, 200);
    tray->SetInterval(130);
    tray->EnableTimer(true);
    EXPECT_EQ(tray->Interval(), 130);
    uint16_t id = tray->PoolTimerId();
    delete tray;
    EXPECT_EQ(AppServices->GetTimer(id), nullptr) << "destroying the icon removes its pool item";
  }
}

TEST_F(TrayAnimationTest, FramesCycleThroughTheListAndRestartAtZero) {
  TTrayIcon* tray = MakeAnimatedTray(TTimerMode::tmHiTimer, 200);
  tray->SetHint(L"anim");
  shownFrames.clear();
  for (int tick = 0; tick < 4; ++tick) tray->GetTimer(nullptr);
  EXPECT_EQ(FrameIndexes(), (std::vector<int>{0, 1, 2, 0}));
  for (const ShownFrame& frame : shownFrames) {
    EXPECT_EQ(frame.width, 16);
    EXPECT_TRUE(frame.isIcon);
    EXPECT_EQ(frame.tip, "anim");
  }

  tray->EnableTimer(true);
  EXPECT_EQ(tray->FrameIndex(), 0);
  shownFrames.clear();
  tray->GetTimer(nullptr);
  EXPECT_EQ(FrameIndexes(), std::vector<int>{0});

  {
    SCOPED_TRACE("a list that shrank under the index starts over");
    tray->GetTimer(nullptr);
    tray->GetTimer(nullptr);
    images_->Delete(2);
    shownFrames.clear();
    tray->GetTimer(nullptr);
    EXPECT_EQ(FrameIndexes(), std::vector<int>{0});
  }
}

TEST_F(TrayAnimationTest, TicksWithoutFramesDoNothing) {
  {
    SCOPED_TRACE("no image list");
    auto* tray = new TTrayIcon(&form_);
    tray->SetAnimated(true);
    shownFrames.clear();
    tray->GetTimer(nullptr);
    tray->GetTimer(nullptr);
    EXPECT_TRUE(shownFrames.empty());
  }
  {
    SCOPED_TRACE("an empty image list");
    TTrayIcon* tray = MakeAnimatedTray(TTimerMode::tmGlobalTimer, 200);
    images_->Clear();
    shownFrames.clear();
    tray->GetTimer(nullptr);
    tray->GetTimer(nullptr);
    EXPECT_TRUE(shownFrames.empty());
    EXPECT_EQ(tray->FrameIndex(), 0);
  }
}

TEST_F(TrayAnimationTest, TimersTickOnThisThreadInEveryMode) {
  struct Row {
    const char* name;
    TTimerMode mode;
  };
  const Row rows[] = {{"pool", TTimerMode::tmGlobalTimer},
                      {"high-resolution timer, message mode", TTimerMode::tmHiTimer},
                      {"high-resolution timer, thread mode", TTimerMode::tmThreaded}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TTrayIcon* tray = MakeAnimatedTray(row.mode, 50);
    shownFrames.clear();
    EXPECT_TRUE(PumpUntil([] { return shownFrames.size() >= 4; }, 10000));
    tray->SetAnimated(false);
    ASSERT_GE(shownFrames.size(), 4u);
    std::vector<int> firstFour = FrameIndexes();
    firstFour.resize(4);
    EXPECT_EQ(firstFour, (std::vector<int>{0, 1, 2, 0}));
    for (const ShownFrame& frame : shownFrames) EXPECT_EQ(frame.thread, ::GetCurrentThreadId());
    delete tray;
  }
}

TEST_F(TrayAnimationTest, SwitchingToThreadModeAtRunTimePausesUntilEnabled) {
  TTrayIcon* tray = MakeAnimatedTray(TTimerMode::tmGlobalTimer, 100);
  uint16_t poolId = tray->PoolTimerId();
  ASSERT_NE(poolId, 0);
  tray->SetThreadPriority(TThreadPriority::tpHigher);

  tray->SetTimerMode(TTimerMode::tmThreaded);
  EXPECT_EQ(tray->PoolTimerId(), 0);
  EXPECT_EQ(AppServices->GetTimer(poolId), nullptr) << "the pool item is gone";
  THiTimer* timer = tray->FrameTimer();
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->UseThread());
  EXPECT_FALSE(timer->Enabled()) << "paused";

  tray->EnableTimer(true);
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 100u);
  EXPECT_EQ(timer->ThreadPriority(), TThreadPriority::tpHigher);

  tray->SetTimerMode(TTimerMode::tmHiTimer);
  ASSERT_NE(tray->FrameTimer(), nullptr);
  EXPECT_FALSE(tray->FrameTimer()->UseThread());
  tray->SetAnimated(false);
  EXPECT_EQ(tray->FrameTimer(), nullptr);
}

TEST_F(TrayAnimationTest, ImageListChangesReachTheIconAndAFreedListIsLetGo) {
  auto* tray = new TTrayIcon(&form_);
  int changes = 0;
  tray->OnChange = [&changes](TObject*) { ++changes; };
  tray->SetImageList(images_);
  EXPECT_EQ(changes, 1) << "attaching a list counts as a change";
  images_->AddColor(clRed);
  EXPECT_EQ(changes, 2);

  auto* other = new TImageList(&form_);
  tray->SetImageList(other);
  images_->AddColor(clRed);
  EXPECT_EQ(changes, 3) << "the old list no longer reaches the icon";

  delete other;
  EXPECT_EQ(tray->ImageList(), nullptr);
  EXPECT_EQ(changes, 4);
  tray->SetAnimated(true);
  tray->GetTimer(nullptr);
  EXPECT_TRUE(shownFrames.empty());
}

}  // namespace
}  // namespace lumek::test
