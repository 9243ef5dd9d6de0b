#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "framework/Exceptions.h"
#include "framework/Threads.h"
#include "tests/timers/TimerTestSupport.h"

namespace lumek::test {
namespace {

TEST(SynchronizedCalls, RunOnTheInterfaceThreadWhileTheWorkerWaitsAndCarryExceptionsBack) {
  std::vector<std::string> events;  // written by one thread at a time: the worker waits for each call
  DWORD ranOn = 0;
  LambdaThread worker([&](LambdaThread& self) {
    self.HandOver([&] {
      ranOn = ::GetCurrentThreadId();
      events.push_back("ran");
    });
    events.push_back("returned");
    try {
      self.HandOver([] { throw Exception("raised on the interface thread"); });
    } catch (const Exception& exception) {
      events.push_back(std::string("caught: ") + exception.what());
    }
  });
  worker.Resume();
  ASSERT_TRUE(PumpUntil([&] { return worker.Finished(); }, 5000));
  EXPECT_EQ(ranOn, ::GetCurrentThreadId());
  std::vector<std::string> expected{"ran", "returned", "caught: raised on the interface thread"};
  EXPECT_EQ(events, expected) << ShowSequences(events, expected);
  EXPECT_FALSE(SynchronizeCallsPending());
}

// Only the posted wake-up and the application window's WM_NULL handling can
// run the call here: this pump never calls the hook itself.
TEST(SynchronizedCalls, WakeUpReachesTheApplicationWindowAsNullMessage) {
  ASSERT_EQ(Application->SynchronizeHook, &CheckSynchronize);
  std::atomic<bool> ran{false};
  LambdaThread worker([&](LambdaThread& self) { self.HandOver([&] { ran = true; }); });
  worker.Resume();
  DWORD start = ::GetTickCount();
  while (!ran && ::GetTickCount() - start < 5000) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  EXPECT_TRUE(ran);
}

TEST(SynchronizedCalls, CheckSynchronizeFromAnotherThreadRaisesEThread) {
  std::string message = "not raised";
  LambdaThread worker([&](LambdaThread&) {
    try {
      CheckSynchronize();
    } catch (const EThread& exception) {
      message = exception.what();
    }
  });
  worker.Resume();
  worker.WaitFor();
  char id[16];
  std::snprintf(id, sizeof id, "$%lx ", static_cast<unsigned long>(worker.ThreadId()));
  EXPECT_NE(message.find(id), std::string::npos) << message;
  EXPECT_NE(message.find("CheckSynchronize"), std::string::npos) << message;
}

// Each worker waits on one event of its own for all its calls: back-to-back
// calls of two workers, some raising, never take another call's signal.
TEST(SynchronizedCalls, ManyCallsOfTwoWorkersEachReturnAfterTheirOwnRan) {
  constexpr int kCalls = 500;
  int ran[2] = {0, 0};  // written on this thread only
  std::atomic<int> mismatches{0};
  std::atomic<int> finished{0};
  auto body = [&](int index) {
    return [&, index](LambdaThread& self) {
      for (int call = 1; call <= kCalls; ++call) {
        try {
          self.HandOver([&, index, call] {
            ++ran[index];
            if (call % 50 == 0) throw Exception("every fiftieth call raises");
          });
          if (call % 50 == 0) ++mismatches;
        } catch (const Exception&) {
          if (call % 50 != 0) ++mismatches;
        }
        // Read back on the worker: its call has run, and no later one yet.
        if (ran[index] != call) ++mismatches;
      }
      ++finished;
    };
  };
  LambdaThread first(body(0)), second(body(1));
  first.Resume();
  second.Resume();
  ASSERT_TRUE(PumpUntil([&] { return finished == 2; }, 30000));
  first.WaitFor();
  second.WaitFor();
  EXPECT_EQ(ran[0], kCalls);
  EXPECT_EQ(ran[1], kCalls);
  EXPECT_EQ(mismatches, 0);
}

class SelfFreeingThread : public TThread {
 public:
  explicit SelfFreeingThread(std::atomic<bool>& freed) : freed_(freed) { FreeOnTerminate = true; }
  ~SelfFreeingThread() override { freed_ = true; }

 protected:
  void Execute() override { throw Exception("discarded with the thread"); }

 private:
  std::atomic<bool>& freed_;
};

TEST(Threads, ExceptionEscapingExecuteStaysWithTheThreadAndGoesWithIt) {
  LambdaThread kept([](LambdaThread&) { throw Exception("escaped"); });
  kept.Resume();
  kept.WaitFor();
  ASSERT_TRUE(kept.FatalException());
  EXPECT_THROW(std::rethrow_exception(kept.FatalException()), Exception);

  std::atomic<bool> freed{false};
  (new SelfFreeingThread(freed))->Resume();
  EXPECT_TRUE(WaitWithoutPumping([&] { return freed.load(); }));
}

TEST(Threads, NeverResumedThreadIsDeletedWithoutRunningExecute) {
  std::atomic<bool> executed{false};
  { LambdaThread worker([&](LambdaThread&) { executed = true; }); }
  EXPECT_FALSE(executed);
}

}  // namespace
}  // namespace lumek::test
