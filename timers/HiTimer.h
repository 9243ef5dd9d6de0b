#pragma once
// The high-resolution timer component. In thread mode a worker thread sleeps
// for the period and hands each tick to the user-interface thread; in message
// mode a periodic multimedia timer posts WM_TIMER to the component's own
// hidden window.
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "framework/Classes.h"
#include "framework/Threads.h"
#include "framework/WindowProcedure.h"

namespace lumek {

struct TimerCaps {
  uint32_t minPeriod;
  uint32_t maxPeriod;
};

// The periods a timer may use, from the platform's capability query.
TimerCaps TimerCapsFromQuery(MMRESULT result, const TIMECAPS& caps);

// An Interval request clamped to the supported periods.
uint32_t ClampPeriod(uint32_t requested, TimerCaps caps);

// A stored ThreadPriority identifier (tpIdle .. tpTimeCritical); false when unknown.
bool ThreadPriorityFromName(const std::string& name, TThreadPriority& priority);

struct TimerLink;

class THiTimer : public TCustomComponent {
 public:
  explicit THiTimer(TComponent* owner);
  THiTimer(TComponent* owner, uint16_t initialInterval);  // initial interval unclamped
  ~THiTimer() override;

  bool Enabled() const { return enabled_.load(std::memory_order_relaxed); }
  void SetEnabled(bool enabled);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t interval);
  void SetOnTimer(TNotifyEvent handler);
  bool HasOnTimer() const { return static_cast<bool>(onTimer_); }
  // Read by the worker at every tick: true hands the tick to the user-interface thread.
  std::atomic<bool> Synchronize{true};
  bool UseThread() const { return useThread_; }
  void SetUseThread(bool useThread);
  TThreadPriority ThreadPriority() const { return threadPriority_; }
  void SetThreadPriority(TThreadPriority priority);

  // 0 gives MaxPeriod, 1 MinPeriod, anything else 0.
  uint32_t GetInteger(int index) const;
  uint32_t MinPeriod() const { return GetInteger(1); }
  uint32_t MaxPeriod() const { return GetInteger(0); }

  // Raises OnTimer; does not look at Enabled.
  virtual void Timer();

  // Stops and, when the conditions hold, starts the timer anew.
  void UpdateTimer();

  // Thread mode: the worker ticks at `interval` (never faster than Interval)
  // instead of Interval until Wake, or until the timer starts anew. Message
  // mode keeps its pace.
  void Rest(uint32_t interval);
  // Ends a rest: the worker ticks at once, then at Interval again. Any thread.
  void Wake();
  bool Resting() const;
  // Thread mode, while resting: the worker asks `probe` on its own thread
  // before each tick and hands the tick over only when it answers true, so a
  // rest where nothing changed costs no wake of the user-interface thread.
  // The probe runs off that thread and may outlive this timer: it holds what
  // it reads itself. Null hands every tick over.
  void SetRestingProbe(std::function<bool()> probe);

  // The performance-counter reading the current worker took when it last
  // woke from its sleep (0 before the first); for measuring the hand-over.
  int64_t LastWorkerWake() const;
  // The hidden window of message mode (null in thread mode).
  HWND WindowHandle() const { return window_.Handle(); }

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;

 private:
  void StopRunning();
  void StartWorker();
  void StartMultimediaTimer();
  void WndProc(HWND window, TMessage& message);

  std::atomic<bool> enabled_{false};
  bool inTick_ = false;
  uint32_t interval_;
  // Shared, so a tick holds the handler it calls by a count, not a copy: a
  // handler too large for std::function's own space would otherwise be
  // copied to the heap at every tick.
  std::shared_ptr<const TNotifyEvent> onTimer_;
  bool useThread_ = true;
  TThreadPriority threadPriority_ = TThreadPriority::tpNormal;
  TimerCaps caps_;
  UINT multimediaTimer_ = 0;
  UtilWindow window_;
  // A window left behind by a switch to thread mode made inside its own tick.
  UtilWindow retiredWindow_;
  // Shared with the workers and their queued ticks, which may outlive this timer.
  std::shared_ptr<TimerLink> link_;
};

// The worker of a timer in thread mode: created suspended, frees itself when it ends.
class TThreadedTimer : public TThread {
 public:
  explicit TThreadedTimer(std::shared_ptr<TimerLink> link);
  ~TThreadedTimer() override;

  uint32_t Period = 1000;

  // Cuts the current wait short: the worker ticks (or sees its stop request) at once.
  void CutWait();

 protected:
  void Execute() override;

 private:
  bool ApplicationTerminating() const;
  // False for a resting tick whose probe found nothing to do.
  bool RestingTickHasWork();
  void Tick();

  std::shared_ptr<TimerLink> link_;
  // What the worker waits on between ticks: the period's end, or this.
  UniqueKernelHandle waitCut_;
};

}  // namespace lumek
