#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Threads.h"
#include "tests/timers/TimerTestSupport.h"

namespace lumek::test {
namespace {

TEST(SynchronizedCalls, RunOnTheInterfaceThreadWhileTheWorkerWaitsAndCarryExceptionsBack) {
  std::mutex lock;
  std::vector<std::string> events;
  auto note = [&](std::string event) {
    std::lock_guard<std::mutex> guard(lock);
    events.push_back(std::move(event));
  };
  DWORD ranOn = 0;
  std::atomic<bool> done{false};
  LambdaThread worker([&](LambdaThread& self) {
    self.HandOver([&] {
      ranOn = ::GetCurrentThreadId();
      note("ran");
    });
    note("returned");
    try {
      self.HandOver([] { throw Exception("raised on the interface thread"); });
      note("no exception");
    } catch (const Exception& exception) {
      note("caught: " + exception.Message());
    }
    done = true;
  });
  worker.Resume();
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }, 5000));
  worker.WaitFor();
  EXPECT_EQ(ranOn, ::GetCurrentThreadId());
  std::vector<std::string> expected{"ran", "returned", "caught: raised on the interface thread"};
  EXPECT_EQ(events, expected) << ShowSequences(events, expected);
  EXPECT_FALSE(SynchronizeCallsPending());
}

// Only the posted wake-up and the application window's WM_NULL handling run
// the call here: this pump never calls the hook itself.
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

TEST(SynchronizedCalls, CheckSynchronizeReportsWhetherACallRan) {
  CheckSynchronize();
  EXPECT_FALSE(CheckSynchronize());
  LambdaThread worker([](LambdaThread& self) { self.HandOver([] {}); });
  worker.Resume();
  ASSERT_TRUE(WaitWithoutPumping([] { return SynchronizeCallsPending(); }));
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_FALSE(SynchronizeCallsPending());
  EXPECT_FALSE(CheckSynchronize());
}

TEST(SynchronizedCalls, CheckSynchronizeFromAnotherThreadRaisesEThread) {
  std::string message;
  DWORD workerId = 0;
  bool raisedEThread = false;
  LambdaThread worker([&](LambdaThread&) {
    workerId = ::GetCurrentThreadId();
    try {
      CheckSynchronize();
    } catch (const EThread& exception) {
      raisedEThread = true;
      message = exception.Message();
    }
  });
  worker.Resume();
  worker.WaitFor();
  EXPECT_TRUE(raisedEThread);
  char hex[16];
  std::snprintf(hex, sizeof hex, "$%lx ", static_cast<unsigned long>(workerId));
  EXPECT_NE(message.find(hex), std::string::npos) << message;
  EXPECT_NE(message.find("CheckSynchronize"), std::string::npos) << message;
}

TEST(Threads, ExceptionEscapingExecuteStaysWithTheThread) {
  LambdaThread worker([](LambdaThread&) { throw Exception("escaped"); });
  worker.Resume();
  worker.WaitFor();
  EXPECT_TRUE(worker.Finished());
  ASSERT_TRUE(worker.FatalException());
  try {
    std::rethrow_exception(worker.FatalException());
  } catch (const Exception& exception) {
    EXPECT_EQ(exception.Message(), "escaped");
  }
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

TEST(Threads, ThreadThatFreesItselfGoesAtItsEndEvenAfterAnException) {
  std::atomic<bool> freed{false};
  auto* thread = new SelfFreeingThread(freed);
  thread->Resume();
  EXPECT_TRUE(WaitWithoutPumping([&] { return freed.load(); }));
}

TEST(Threads, NeverResumedThreadIsDeletedWithoutRunningExecute) {
  std::atomic<bool> executed{false};
  {
    LambdaThread worker([&](LambdaThread&) { executed = true; });
    EXPECT_TRUE(worker.Suspended());
  }
  EXPECT_FALSE(executed);
}

TEST(Threads, PriorityMapsToThePlatformValue) {
  std::atomic<int> seen{-100};
  LambdaThread worker([&](LambdaThread&) { seen = ::GetThreadPriority(::GetCurrentThread()); });
  worker.SetPriority(TThreadPriority::tpHigher);
  EXPECT_EQ(worker.Priority(), TThreadPriority::tpHigher);
  worker.Resume();
  worker.WaitFor();
  EXPECT_EQ(seen.load(), THREAD_PRIORITY_ABOVE_NORMAL);
}

}  // namespace
}  // namespace lumek::test
