// Soak: the heartbeat restarts its timer at every beat, so over a day the
// program makes and ends tens of thousands of workers, many of them while a
// tick they queued still waits. Nothing may crash, no tick may reach a timer
// that is gone, and every worker must really end.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Threads.h"
#include "timers/HiTimer.h"
#include "tests/timers/TimerTestSupport.h"

namespace lumek::test {
namespace {

// The threads of this process, from a Toolhelp snapshot; -1 if none can be made.
int ProcessThreadCount() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  UniqueKernelHandle holder(snapshot);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD process = ::GetCurrentProcessId();
  int count = 0;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == process) ++count;
  }
  return count;
}

// One pass over the thread's messages and the queued worker calls.
void Drain() {
  PumpUntil([] { return true; }, 0);
}

// Workers end asynchronously: a stopped one may still be asleep or blocked in
// its hand-over, so the calls are drained while waiting.
int ThreadCountAfterSettling(int target, DWORD timeoutMs) {
  int count = ProcessThreadCount();
  PumpUntil(
      [&] {
        count = ProcessThreadCount();
        return count <= target;
      },
      timeoutMs);
  return count;
}

// What a tick's handler writes into. Kept alive for the whole test and
// poisoned when its timer goes, so a late tick is seen, not undefined.
struct TickProbe {
  static constexpr uint32_t kLive = 0x4C554D4B;
  static constexpr uint32_t kPoisoned = 0xDEADBEEF;
  uint32_t state = kLive;
  THiTimer* timer = nullptr;
  int ticks = 0;
};

// Counts the ticks that reached a poisoned probe or came from another timer.
struct MisdirectedTicks {
  int count = 0;
  TNotifyEvent Handler(TickProbe* probe, std::function<void()> alsoDo = nullptr) {
    return [this, probe, alsoDo](TObject* sender) {
      if (probe->state != TickProbe::kLive || sender != probe->timer) {
        ++count;
        return;
      }
      ++probe->ticks;
      if (alsoDo) alsoDo();
    };
  }
};

// The long counts (100,000 restarts, 10,000 create-destroy cycles) run with
// LUMEK_SOAK=full. Wine: a worker's life (create, resume, 1 ms sleep, exit)
// costs 1 to 2.5 ms there, mostly in the kernel, so the full counts take
// minutes; the everyday counts still restart under a queued tick 200 times
// and destroy with one queued 2,000 times.
bool FullSoak() {
  char value[8] = {};
  return ::GetEnvironmentVariableA("LUMEK_SOAK", value, sizeof value) == 4 && std::string(value) == "full";
}
const int kRestarts = FullSoak() ? 100000 : 10000;
constexpr int kRestartsPerQueuedTick = 50;
const int kCreateDestroyCycles = FullSoak() ? 10000 : 2000;
constexpr DWORD kTickQueuedWithinMs = 2000;
constexpr DWORD kThreadsEndWithinMs = 20000;

TEST(TimerSoak, RestartsOfARunningTimerWithQueuedTicksLeaveNoThreadAndNoStrayTick) {
  Drain();
  const int threadsAtStart = ProcessThreadCount();
  ASSERT_GT(threadsAtStart, 0) << "no Toolhelp snapshot";

  MisdirectedTicks misdirected;
  TickProbe probe;
  int queuedBeforeRestart = 0;
  {
    THiTimer timer(nullptr, 1);
    probe.timer = &timer;
    // As the heartbeat: every delivered tick sets a new interval from inside the handler.
    uint32_t beat = 0;
    timer.SetOnTimer(misdirected.Handler(&probe, [&] { timer.SetInterval(1 + (++beat & 1)); }));
    timer.SetEnabled(true);
    for (int restart = 1; restart <= kRestarts; ++restart) {
      if (restart % kRestartsPerQueuedTick == 0) {
        // Let the current worker queue its tick, restart under it, then deliver.
        if (WaitWithoutPumping([] { return SynchronizeCallsPending(); }, kTickQueuedWithinMs)) ++queuedBeforeRestart;
        int ticksBefore = probe.ticks;
        timer.SetInterval(timer.Interval() == 1 ? 2 : 1);
        Drain();
        if (probe.ticks == ticksBefore && SynchronizeCallsPending()) Drain();
      } else {
        timer.SetInterval(timer.Interval() == 1 ? 2 : 1);
      }
    }
    timer.SetEnabled(false);
    Drain();
  }
  probe.state = TickProbe::kPoisoned;
  Drain();

  EXPECT_EQ(misdirected.count, 0) << "ticks reached a destroyed timer or the wrong one";
  EXPECT_GT(queuedBeforeRestart, kRestarts / kRestartsPerQueuedTick / 2) << "the workers hardly ever ticked";
  EXPECT_GE(probe.ticks, queuedBeforeRestart) << "a tick queued before a restart is still delivered once";
  EXPECT_LE(ThreadCountAfterSettling(threadsAtStart, kThreadsEndWithinMs), threadsAtStart)
      << "stopped workers did not end";
}

TEST(TimerSoak, CreateDestroyWithATickQueuedNeverReachesTheDestroyedTimer) {
  Drain();
  const int threadsAtStart = ProcessThreadCount();
  ASSERT_GT(threadsAtStart, 0) << "no Toolhelp snapshot";

  MisdirectedTicks misdirected;
  std::vector<TickProbe> probes(kCreateDestroyCycles);
  int destroyedWithTickQueued = 0;
  for (int cycle = 0; cycle < kCreateDestroyCycles; ++cycle) {
    TickProbe& probe = probes[static_cast<size_t>(cycle)];
    {
      auto timer = std::make_unique<THiTimer>(nullptr, 1);
      probe.timer = timer.get();
      timer->SetOnTimer(misdirected.Handler(&probe));
      timer->SetEnabled(true);
      if (WaitWithoutPumping([] { return SynchronizeCallsPending(); }, kTickQueuedWithinMs)) {
        ++destroyedWithTickQueued;
      }
    }
    probe.state = TickProbe::kPoisoned;
    // The queued tick runs now, after its timer is gone.
    Drain();
    ASSERT_EQ(misdirected.count, 0) << "cycle " << cycle << ": a queued tick reached the destroyed timer";
  }

  EXPECT_GT(destroyedWithTickQueued, kCreateDestroyCycles * 9 / 10) << "most cycles must destroy with a tick queued";
  for (const TickProbe& probe : probes) ASSERT_EQ(probe.ticks, 0) << "a tick before the destruction was delivered";
  EXPECT_LE(ThreadCountAfterSettling(threadsAtStart, kThreadsEndWithinMs), threadsAtStart)
      << "workers of destroyed timers did not end";
}

}  // namespace
}  // namespace lumek::test
