#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "framework/Exceptions.h"
#include "framework/FormReader.h"
#include "timers/HiTimer.h"
#include "tests/timers/TimerTestSupport.h"

namespace lumek::test {
namespace {

constexpr DWORD kPatience = 5000;  // a generous bound on any wait for a tick

// Counts ticks and remembers which thread each ran on.
struct Ticks {
  std::atomic<int> count{0};
  std::mutex lock;
  std::vector<DWORD> threads;
  TNotifyEvent Handler() {
    return [this](TObject*) {
      {
        std::lock_guard<std::mutex> guard(lock);
        threads.push_back(::GetCurrentThreadId());
      }
      ++count;
    };
  }
  DWORD LastThread() {
    std::lock_guard<std::mutex> guard(lock);
    return threads.empty() ? 0 : threads.back();
  }
};

TEST(HiTimerRules, CapabilityQueryAndClamping) {
  TimerCaps reported = TimerCapsFromQuery(TIMERR_NOERROR, TIMECAPS{5, 4000});
  EXPECT_EQ(reported.minPeriod, 5u);
  EXPECT_EQ(reported.maxPeriod, 4000u);
  TimerCaps fallback = TimerCapsFromQuery(TIMERR_NOCANDO, TIMECAPS{5, 4000});
  EXPECT_EQ(fallback.minPeriod, 1u);
  EXPECT_EQ(fallback.maxPeriod, 1000000u);
  const std::pair<uint32_t, uint32_t> rows[] = {{0, 5}, {4, 5}, {5, 5}, {20, 20}, {4000, 4000}, {4001, 4000},
                                                {0xFFFFFFFF, 4000}};
  for (const auto& [requested, expected] : rows) {
    SCOPED_TRACE(requested);
    EXPECT_EQ(ClampPeriod(requested, reported), expected);
  }
}

TEST(HiTimer, EveryInstancePairsTheResolutionCallsEnabledOrNot) {
  FakeMultimediaTimers fake;
  uint32_t min = 0;
  {
    THiTimer idle(nullptr, 0);
    EXPECT_EQ(idle.Interval(), 0u) << "the constructor's interval is not clamped";
    min = idle.MinPeriod();
  }
  {
    THiTimer running(nullptr, 50);
    running.SetUseThread(false);
    running.SetOnTimer([](TObject*) {});
    running.SetEnabled(true);
  }
  std::string begin = "timeBeginPeriod(" + std::to_string(min) + ")";
  std::string end = "timeEndPeriod(" + std::to_string(min) + ")";
  std::vector<std::string> expected{begin, end, begin, "timeSetEvent(50, 50, 1)", "timeKillEvent", end};
  EXPECT_EQ(fake.Recorder().Calls(), expected) << ShowSequences(fake.Recorder().Calls(), expected);
}

TEST(HiTimer, FailedCapabilityQueryStillGivesAWorkingTimer) {
  CallRecorder recorder;
  recorder.Multimedia();
  Platform().timeGetDevCaps = [](LPTIMECAPS, UINT) -> MMRESULT { return TIMERR_NOCANDO; };
  Ticks ticks;
  {
    THiTimer timer(nullptr, 5);
    EXPECT_EQ(timer.MinPeriod(), 1u);
    EXPECT_EQ(timer.MaxPeriod(), 1000000u);
    timer.SetOnTimer(ticks.Handler());
    timer.SetEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return ticks.count >= 2; }, kPatience));
  }
  std::vector<std::string> expected{"timeBeginPeriod(1)", "timeEndPeriod(1)"};
  EXPECT_EQ(recorder.Calls(), expected) << ShowSequences(recorder.Calls(), expected);
}

TEST(HiTimerThreadMode, EnabledWithoutHandlerStartsNothingUntilTheHandlerComes) {
  Ticks ticks;
  THiTimer timer(nullptr, 5);
  timer.SetEnabled(true);
  PumpFor(100);
  EXPECT_EQ(timer.LastWorkerWake(), 0);  // no worker ever slept
  timer.SetOnTimer(ticks.Handler());
  EXPECT_TRUE(PumpUntil([&] { return ticks.count >= 3; }, kPatience));
  EXPECT_EQ(ticks.LastThread(), ::GetCurrentThreadId());
}

// Synchronize off: each tick runs on the worker itself, so the thread tells
// which worker ticked.
TEST(HiTimerThreadMode, AssigningOnTimerAgainRestartsWithANewWorker) {
  Ticks ticks;
  THiTimer timer(nullptr, 5);
  timer.Synchronize = false;
  timer.SetOnTimer(ticks.Handler());
  timer.SetEnabled(true);
  ASSERT_TRUE(WaitWithoutPumping([&] { return ticks.count >= 1; }));
  DWORD first = ticks.LastThread();
  timer.SetOnTimer(ticks.Handler());
  ASSERT_TRUE(WaitWithoutPumping([&] { return ticks.LastThread() != first; }));
  int ticksOfNewWorker = ticks.count;
  ASSERT_TRUE(WaitWithoutPumping([&] { return ticks.count >= ticksOfNewWorker + 3; }));
  std::lock_guard<std::mutex> guard(ticks.lock);
  auto firstOfNew = std::find(ticks.threads.begin(), ticks.threads.end(), ticks.threads.back());
  EXPECT_EQ(std::find(firstOfNew, ticks.threads.end(), first), ticks.threads.end())
      << "the old worker ticked after the restart";
}

TEST(HiTimerThreadMode, NewIntervalInsideTheOwnHandlerStopsTheOldWorkerAtOnce) {
  Ticks ticks;
  THiTimer timer(nullptr, 5);
  TNotifyEvent count = ticks.Handler();
  timer.SetOnTimer([&](TObject* sender) {
    count(sender);
    if (ticks.count == 1) timer.SetInterval(60000);
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return ticks.count >= 1; }, kPatience));
  PumpFor(150);  // the 5 ms worker would have ticked many times more
  EXPECT_EQ(ticks.count, 1);
  EXPECT_EQ(timer.Interval(), 60000u);
  timer.SetInterval(5);
  EXPECT_TRUE(PumpUntil([&] { return ticks.count >= 3; }, kPatience));
}

// A resting worker hands over nothing for its whole resting interval; a wake
// ends its wait at once, and a restart ends the rest.
TEST(HiTimerThreadMode, RestingWorkerTicksOnlyAtTheRestingPaceUntilWoken) {
  Ticks ticks;
  THiTimer timer(nullptr, 20);
  timer.SetOnTimer(ticks.Handler());
  timer.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return ticks.count >= 2; }, kPatience));
  timer.Rest(60000);
  EXPECT_TRUE(timer.Resting());
  // The wait begun before the rest may still end in one tick.
  PumpFor(100);
  const int beforeRest = ticks.count;
  PumpFor(400);  // twenty ticks at the tracking pace
  EXPECT_EQ(ticks.count, beforeRest);

  const DWORD woken = ::GetTickCount();
  timer.Wake();
  EXPECT_FALSE(timer.Resting());
  ASSERT_TRUE(PumpUntil([&] { return ticks.count > beforeRest; }, kPatience));
  EXPECT_LT(::GetTickCount() - woken, 1000u) << "the wake waited for the resting interval";
  EXPECT_TRUE(PumpUntil([&] { return ticks.count >= beforeRest + 5; }, kPatience));

  // Never slower to wake than to tick: a resting pace below the interval is the interval.
  timer.Rest(1);
  EXPECT_TRUE(timer.Resting());
  timer.SetInterval(30);
  EXPECT_FALSE(timer.Resting()) << "a restart keeps no rest";
}

// The probe is asked on the worker, only while resting, and its answer alone decides the hand-over.
TEST(HiTimerThreadMode, ARestingProbeDecidesEachHandOverOnTheWorker) {
  // Shared with the probe, which a worker may still be running as the timer goes.
  struct Probe {
    std::atomic<int> asked{0};
    std::atomic<bool> work{false};
    std::atomic<DWORD> askedOn{0};
  };
  auto probe = std::make_shared<Probe>();
  Ticks ticks;
  THiTimer timer(nullptr, 20);
  timer.SetRestingProbe([probe] {
    probe->askedOn = ::GetCurrentThreadId();
    ++probe->asked;
    return probe->work.load();
  });
  timer.SetOnTimer(ticks.Handler());
  timer.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return ticks.count >= 3; }, kPatience));
  EXPECT_EQ(probe->asked, 0) << "a moving tick asked the probe";

  timer.Rest(30);
  PumpFor(100);  // a tick already handed over still runs
  const int beforeRest = ticks.count;
  ASSERT_TRUE(PumpUntil([&] { return probe->asked >= 5; }, kPatience));
  EXPECT_EQ(ticks.count, beforeRest) << "a probe that found nothing still handed the tick over";
  EXPECT_NE(probe->askedOn.load(), ::GetCurrentThreadId());

  probe->work = true;
  ASSERT_TRUE(PumpUntil([&] { return ticks.count > beforeRest; }, kPatience));
  EXPECT_TRUE(timer.Resting()) << "the hand-over itself is no wake";
  EXPECT_EQ(ticks.LastThread(), ::GetCurrentThreadId());
}

TEST(HiTimerThreadMode, TickQueuedBeforeDisablingIsDeliveredOnceAndNoMore) {
  CheckSynchronize();  // nothing left over from earlier tests may count as our tick
  Ticks ticks;
  THiTimer timer(nullptr, 5);
  timer.SetOnTimer(ticks.Handler());
  timer.SetEnabled(true);
  ASSERT_TRUE(WaitWithoutPumping([] { return SynchronizeCallsPending(); }));
  timer.SetEnabled(false);
  EXPECT_TRUE(PumpUntil([&] { return ticks.count >= 1; }, kPatience));
  PumpFor(100);
  EXPECT_EQ(ticks.count, 1);
}

// The handler must never run for a destroyed timer: each round destroys a
// timer whose worker has its tick waiting in the queue, then scrubs the
// timer's memory, so a tick that still reached it would crash.
TEST(HiTimerThreadMode, DestroyingATimerWithAQueuedTickIsSafe) {
  CheckSynchronize();
  std::atomic<int> delivered{0};
  alignas(THiTimer) unsigned char storage[sizeof(THiTimer)];
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    auto* timer = new (storage) THiTimer(nullptr, 1);
    timer->SetOnTimer([&](TObject*) { ++delivered; });
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitWithoutPumping([] { return SynchronizeCallsPending(); }));
    timer->~THiTimer();
    std::memset(storage, 0xA5, sizeof storage);
    ASSERT_TRUE(PumpUntil([] { return !SynchronizeCallsPending(); }, kPatience));
  }
  EXPECT_EQ(delivered, 0);
}

TEST(HiTimerThreadMode, ExceptionInTheHandlerEndsTheWorkerSilently) {
  const bool synchronizeModes[] = {true, false};
  for (bool synchronize : synchronizeModes) {
    SCOPED_TRACE(synchronize ? "handed over" : "on the worker");
    ReportedExceptions reported;
    std::atomic<int> calls{0};
    THiTimer timer(nullptr, 5);
    timer.Synchronize = synchronize;
    timer.SetOnTimer([&](TObject*) {
      ++calls;
      throw Exception("tick failed");
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return calls >= 1; }, kPatience));
    PumpFor(100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(reported.count, 0);
    EXPECT_TRUE(timer.Enabled());
    timer.SetInterval(6);  // re-arming starts a new worker
    EXPECT_TRUE(PumpUntil([&] { return calls >= 2; }, kPatience));
  }
}

TEST(HiTimerThreadMode, WorkerRunsAtTheChosenPriorityAndSynchronizeIsReadEveryTick) {
  std::atomic<int> priority{-100};
  Ticks ticks;
  TNotifyEvent count = ticks.Handler();
  THiTimer timer(nullptr, 5);
  timer.SetThreadPriority(TThreadPriority::tpHigher);
  timer.Synchronize = false;
  timer.SetOnTimer([&](TObject* sender) {
    priority = ::GetThreadPriority(::GetCurrentThread());
    count(sender);
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(WaitWithoutPumping([&] { return ticks.count >= 1; }));
  EXPECT_EQ(priority.load(), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_NE(ticks.LastThread(), ::GetCurrentThreadId());
  timer.Synchronize = true;  // no restart: the same worker hands its next ticks over
  EXPECT_TRUE(PumpUntil([&] { return ticks.LastThread() == ::GetCurrentThreadId(); }, kPatience));
}

class HiTimerMessageMode : public ::testing::Test {
 protected:
  void SetUp() override {
    timer_ = std::make_unique<THiTimer>(nullptr, 10);
    timer_->SetUseThread(false);
  }
  void Tick(UINT id) { ::SendMessageA(timer_->WindowHandle(), WM_TIMER, id, 0); }
  FakeMultimediaTimers fake_;
  std::unique_ptr<THiTimer> timer_;
};

TEST_F(HiTimerMessageMode, IntervalAndHandlerAssignmentsRearm) {
  uint32_t min = timer_->MinPeriod();
  uint32_t max = timer_->MaxPeriod();
  std::string atMin = "timeSetEvent(" + std::to_string(min) + ", " + std::to_string(min) + ", 1)";
  timer_->SetOnTimer([](TObject*) {});
  timer_->SetEnabled(true);
  struct Row {
    const char* name;
    std::function<void()> change;
    std::vector<std::string> calls;
    uint32_t interval;
  };
  const Row rows[] = {
      {"same value does nothing", [&] { timer_->SetInterval(10); }, {}, 10},
      {"below the minimum", [&] { timer_->SetInterval(0); }, {"timeKillEvent", atMin}, min},
      {"clamped to the current value still re-arms", [&] { timer_->SetInterval(0); }, {"timeKillEvent", atMin}, min},
      {"above the maximum", [&] { timer_->SetInterval(max + 1); },
       {"timeKillEvent", "timeSetEvent(" + std::to_string(max) + ", " + std::to_string(max) + ", 1)"}, max},
      {"same handler again re-arms", [&] { timer_->SetOnTimer([](TObject*) {}); },
       {"timeKillEvent", "timeSetEvent(" + std::to_string(max) + ", " + std::to_string(max) + ", 1)"}, max},
      {"priority only stored in message mode", [&] { timer_->SetThreadPriority(TThreadPriority::tpHighest); }, {},
       max},
      {"disabling stops", [&] { timer_->SetEnabled(false); }, {"timeKillEvent"}, max},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fake_.Recorder().Clear();
    row.change();
    EXPECT_EQ(fake_.Recorder().Calls(), row.calls) << ShowSequences(fake_.Recorder().Calls(), row.calls);
    EXPECT_EQ(timer_->Interval(), row.interval);
  }
  EXPECT_EQ(timer_->ThreadPriority(), TThreadPriority::tpHighest);
}

TEST_F(HiTimerMessageMode, StaleAndReentrantTicksAreDroppedQueuedOnesDeliveredInTurn) {
  int calls = 0;
  int depth = 0;
  int deepest = 0;
  bool reenter = false;
  timer_->SetOnTimer([&](TObject*) {
    ++calls;
    deepest = std::max(deepest, ++depth);
    if (reenter) Tick(FakeMultimediaTimers::LastId());
    --depth;
  });
  timer_->SetEnabled(true);
  UINT killed = FakeMultimediaTimers::LastId();
  timer_->SetInterval(20);
  UINT current = FakeMultimediaTimers::LastId();
  ASSERT_NE(killed, current);

  Tick(killed);
  EXPECT_EQ(calls, 0) << "a tick of the killed timer was taken";
  reenter = true;
  Tick(current);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(deepest, 1) << "a tick ran inside the running one";
  reenter = false;
  for (int i = 0; i < 3; ++i) ::PostMessageA(timer_->WindowHandle(), WM_TIMER, current, 0);
  PumpUntil([&] { return calls >= 4; }, kPatience);
  EXPECT_EQ(calls, 4);
}

TEST_F(HiTimerMessageMode, ExceptionIsReportedAndTheGuardStaysUntilRearmed) {
  ReportedExceptions reported;
  int calls = 0;
  timer_->SetOnTimer([&](TObject*) {
    ++calls;
    throw Exception("tick failed");
  });
  timer_->SetEnabled(true);
  Tick(FakeMultimediaTimers::LastId());
  EXPECT_EQ(reported.count, 1);
  EXPECT_EQ(reported.lastMessage, "tick failed");
  Tick(FakeMultimediaTimers::LastId());
  EXPECT_EQ(calls, 1) << "the guard should drop ticks after the exception";
  timer_->SetInterval(30);
  Tick(FakeMultimediaTimers::LastId());
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(reported.count, 2);
}

TEST_F(HiTimerMessageMode, SwitchingUseThreadDestroysAndRecreatesTheWindow) {
  HWND first = timer_->WindowHandle();
  ASSERT_TRUE(::IsWindow(first));
  timer_->SetUseThread(true);
  EXPECT_EQ(timer_->WindowHandle(), nullptr);
  EXPECT_FALSE(::IsWindow(first));
  timer_->SetUseThread(false);
  EXPECT_TRUE(::IsWindow(timer_->WindowHandle()));
}

TEST_F(HiTimerMessageMode, RealMultimediaTimerTicksThroughTheWindow) {
  CallRecorder real;  // puts the real multimedia calls back for this test
  Platform().timeSetEvent = RealPlatform().timeSetEvent;
  Platform().timeKillEvent = RealPlatform().timeKillEvent;
  int calls = 0;
  THiTimer timer(nullptr, 5);
  timer.SetUseThread(false);
  timer.SetOnTimer([&](TObject*) { ++calls; });
  timer.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return calls >= 3; }, kPatience));
}

TEST(HiTimerStored, MainFormDescriptionStartsTheWorkerWhenOnTimerIsApplied) {
  Ticks ticks;
  std::vector<PublishedMethod> methods{{"Timer1Timer", ticks.Handler()}};
  TComponent root(nullptr);
  StoredContext context(&root);
  context.SetMethods(&methods);
  ReadStoredForm(&root,
                 ParseStoredForm("object Form1: TForm1\n"
                                 "  object Timer1: THiTimer\n"
                                 "    Enabled = True\n    Interval = 20\n    OnTimer = Timer1Timer\n"
                                 "    ThreadPriority = tpHigher\n  end\n"
                                 "  object Timer3: THiTimer\n"
                                 "    OnTimer = Timer1Timer\n    Synchronize = False\n    UseThread = False\n  end\n"
                                 "end\n"),
                 context);
  auto* timer1 = dynamic_cast<THiTimer*>(root.FindComponent("Timer1"));
  auto* timer3 = dynamic_cast<THiTimer*>(root.FindComponent("Timer3"));
  ASSERT_TRUE(timer1 && timer3);
  EXPECT_EQ(timer1->Interval(), 20u);
  EXPECT_EQ(timer1->ThreadPriority(), TThreadPriority::tpHigher);
  EXPECT_FALSE(timer3->Enabled() || timer3->Synchronize || timer3->UseThread());
  EXPECT_TRUE(PumpUntil([&] { return ticks.count >= 2; }, kPatience));
}

}  // namespace
}  // namespace lumek::test
