#include "timers/HiTimer.h"

#include <algorithm>
#include <iterator>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/FormReader.h"
#include "framework/Handles.h"
#include "framework/Platform.h"
#include "framework/Strings.h"
#include "framework/Units.h"

namespace lumek {

// What a timer shares with its workers and with the ticks they queued. A
// worker frees itself whenever it ends and a queued tick may run after the
// timer is gone, so neither holds the timer directly: both go through this
// record, which lives until the last of them lets go.
//
// A tick that a worker queued before its timer was destroyed must never reach
// the destroyed timer. The destructor clears `timer` here, and the queued call
// looks at it on the user-interface thread before calling the timer; the
// destructor thus neither waits for a worker nor searches the queue.
struct TimerLink {
  explicit TimerLink(THiTimer* owner) : timer(owner) {}
  CriticalSection lock;
  // Written only on the user-interface thread, under the lock; workers read it
  // under the lock, the user-interface thread also without.
  THiTimer* timer;
  // The timer's current worker, under the lock: the worker clears it when it
  // frees itself, so the timer never asks a freed worker to stop.
  TThreadedTimer* worker = nullptr;
  std::atomic<int64_t> lastWake{0};
  // The pace of a resting timer's ticks; 0 while it is not resting.
  std::atomic<uint32_t> restInterval{0};
  // Asked by the worker before a resting tick, under the lock; shared, so the
  // worker calls it outside the lock while a new one may be set.
  std::shared_ptr<const std::function<bool()>> restingProbe;
};

namespace {

// When the platform cannot tell its timer capabilities, the timer still has to
// work: 1 ms is the finest period every multimedia timer offers, and a
// million milliseconds is the coarsest the platform documents.
constexpr TimerCaps kFallbackCaps{1, 1000000};

// Once the application is terminating a worker must not tick, but its stop
// request only comes when the form that owns the timer is destroyed. It looks
// again at this pace meanwhile instead of spinning on a core.
constexpr DWORD kTerminatingRecheckMs = 10;

void CALLBACK PostTimerMessage(UINT timerId, UINT, DWORD_PTR window, DWORD_PTR, DWORD_PTR) {
  ::PostMessageW(reinterpret_cast<HWND>(window), WM_TIMER, timerId, 0);
}

constexpr const char* kPriorityNames[] = {"tpIdle",   "tpLowest",  "tpLower",       "tpNormal",
                                          "tpHigher", "tpHighest", "tpTimeCritical"};

void RegisterTimerClass() { RegisterStoredClass<THiTimer>("THiTimer"); }

const UnitRegistration kHiTimerUnit(20, RegisterTimerClass, nullptr);

}  // namespace

TimerCaps TimerCapsFromQuery(MMRESULT result, const TIMECAPS& caps) {
  if (result != TIMERR_NOERROR) return kFallbackCaps;
  return TimerCaps{caps.wPeriodMin, caps.wPeriodMax};
}

uint32_t ClampPeriod(uint32_t requested, TimerCaps caps) {
  return std::min(std::max(requested, caps.minPeriod), caps.maxPeriod);
}

bool ThreadPriorityFromName(const std::string& name, TThreadPriority& priority) {
  for (size_t i = 0; i < std::size(kPriorityNames); ++i) {
    if (name == kPriorityNames[i]) {
      priority = static_cast<TThreadPriority>(i);
      return true;
    }
  }
  return false;
}

THiTimer::THiTimer(TComponent* owner) : THiTimer(owner, 1000) {}

THiTimer::THiTimer(TComponent* owner, uint16_t initialInterval)
    : TCustomComponent(owner), interval_(initialInterval), link_(std::make_shared<TimerLink>(this)) {
  TIMECAPS caps{};
  caps_ = TimerCapsFromQuery(Platform().timeGetDevCaps(&caps, sizeof caps), caps);
  // Held for the whole life of the instance, enabled or not: it is what makes
  // a worker's timed wait accurate to the millisecond.
  Platform().timeBeginPeriod(caps_.minPeriod);
}

THiTimer::~THiTimer() {
  MarkDestroying();
  {
    CriticalSectionLock lock(link_->lock);
    link_->timer = nullptr;
    onTimer_ = nullptr;
  }
  StopRunning();
  Platform().timeEndPeriod(caps_.minPeriod);
  enabled_.store(false);
  window_.Destroy();
  retiredWindow_.Destroy();
}

void THiTimer::SetEnabled(bool enabled) {
  if (enabled == Enabled()) return;
  enabled_.store(enabled);
  UpdateTimer();
}

void THiTimer::SetInterval(uint32_t interval) {
  if (interval == interval_) return;
  interval_ = ClampPeriod(interval, caps_);
  UpdateTimer();
}

void THiTimer::SetOnTimer(TNotifyEvent handler) {
  {
    // A worker that ticks without handing over reads the handler on its own thread.
    CriticalSectionLock lock(link_->lock);
    onTimer_ = handler ? std::make_shared<const TNotifyEvent>(std::move(handler)) : nullptr;
  }
  UpdateTimer();
}

void THiTimer::SetUseThread(bool useThread) {
  if (useThread == useThread_) return;
  useThread_ = useThread;
  UpdateTimer();
}

void THiTimer::SetThreadPriority(TThreadPriority priority) {
  if (priority == threadPriority_) return;
  threadPriority_ = priority;
  if (useThread_) UpdateTimer();
}

uint32_t THiTimer::GetInteger(int index) const {
  switch (index) {
    case 0:
      return caps_.maxPeriod;
    case 1:
      return caps_.minPeriod;
    default:
      return 0;
  }
}

void THiTimer::Timer() {
  // Held here too: the handler may assign OnTimer, which must not destroy the callee.
  std::shared_ptr<const TNotifyEvent> handler = onTimer_;
  if (handler) (*handler)(this);
}

int64_t THiTimer::LastWorkerWake() const { return link_->lastWake.load(std::memory_order_relaxed); }

void THiTimer::UpdateTimer() {
  if (IsDesigning()) return;
  StopRunning();
  if (IsDestroying()) return;
  if (!inTick_) retiredWindow_.Destroy();
  if (useThread_) {
    // Switched to thread mode from inside a message-mode tick: the window's
    // procedure is still running, so the window goes only after it returns.
    if (inTick_) {
      retiredWindow_ = std::move(window_);
    } else {
      window_.Destroy();
    }
    if (Enabled() && onTimer_) StartWorker();
    return;
  }
  if (!window_) window_ = UtilWindow([this](HWND window, TMessage& message) { WndProc(window, message); });
  if (interval_ != 0 && Enabled() && onTimer_) StartMultimediaTimer();
}

void THiTimer::Rest(uint32_t interval) { link_->restInterval.store(std::max(interval, interval_)); }

void THiTimer::Wake() {
  if (link_->restInterval.exchange(0) == 0) return;
  CriticalSectionLock lock(link_->lock);
  if (link_->worker) link_->worker->CutWait();
}

bool THiTimer::Resting() const { return link_->restInterval.load() != 0; }

void THiTimer::SetRestingProbe(std::function<bool()> probe) {
  auto shared = probe ? std::make_shared<const std::function<bool()>>(std::move(probe)) : nullptr;
  CriticalSectionLock lock(link_->lock);
  link_->restingProbe = std::move(shared);
}

void THiTimer::StopRunning() {
  link_->restInterval.store(0);
  {
    CriticalSectionLock lock(link_->lock);
    // Not waited for: it ends as soon as its wait is cut.
    if (link_->worker) {
      link_->worker->Terminate();
      link_->worker->CutWait();
    }
    link_->worker = nullptr;
  }
  if (multimediaTimer_ != 0) {
    Platform().timeKillEvent(multimediaTimer_);
    multimediaTimer_ = 0;
  }
}

void THiTimer::StartWorker() {
  auto worker = std::make_unique<TThreadedTimer>(link_);
  worker->Period = interval_;
  worker->SetPriority(threadPriority_);
  {
    CriticalSectionLock lock(link_->lock);
    link_->worker = worker.get();
  }
  worker->Resume();
  // Running now, it owns itself and may already be gone: only forget it.
  worker.release();
}

void THiTimer::StartMultimediaTimer() {
  UINT id = Platform().timeSetEvent(interval_, interval_, &PostTimerMessage,
                                    reinterpret_cast<DWORD_PTR>(window_.Handle()), TIME_PERIODIC);
  if (id == 0) throw EOutOfResources(LoadMessage(IDS_TIMER_UNAVAILABLE));
  multimediaTimer_ = id;
  inTick_ = false;
}

void THiTimer::WndProc(HWND window, TMessage& message) {
  if (message.Msg == WM_TIMER && multimediaTimer_ != 0 && message.WParam == multimediaTimer_) {
    // A handler that pumps messages would otherwise tick again inside itself.
    // An exception leaves the guard set: this timer drops its ticks until re-armed.
    if (inTick_) return;
    inTick_ = true;
    Timer();
    inTick_ = false;
    message.Result = 0;
    return;
  }
  DefaultHandling(window, message);
}

void THiTimer::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "Enabled") {
    SetEnabled(value.AsBool());
  } else if (name == "Interval") {
    SetInterval(static_cast<uint32_t>(value.AsInt()));
  } else if (name == "OnTimer") {
    SetOnTimer(context.NotifyHandler(value));
  } else if (name == "Synchronize") {
    Synchronize.store(value.AsBool());
  } else if (name == "UseThread") {
    SetUseThread(value.AsBool());
  } else if (name == "ThreadPriority") {
    TThreadPriority priority;
    if (!ThreadPriorityFromName(value.AsIdentifier(), priority)) {
      throw EStoredFormError("unknown thread priority " + value.text);
    }
    SetThreadPriority(priority);
  } else {
    TCustomComponent::SetStoredProperty(name, value, context);
  }
}

// Auto-reset: a cut ends one wait, and the next wait runs its full period again.
TThreadedTimer::TThreadedTimer(std::shared_ptr<TimerLink> link)
    : link_(std::move(link)), waitCut_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  if (!waitCut_) throw EOutOfResources(LoadMessage(IDS_TIMER_UNAVAILABLE));
  FreeOnTerminate = true;
}

void TThreadedTimer::CutWait() { ::SetEvent(waitCut_.get()); }

TThreadedTimer::~TThreadedTimer() {
  CriticalSectionLock lock(link_->lock);
  if (link_->worker == this) link_->worker = nullptr;
}

bool TThreadedTimer::ApplicationTerminating() const {
  return Application && Application->TerminatedFlag().load(std::memory_order_relaxed);
}

void TThreadedTimer::Execute() {
  while (!Terminated()) {
    if (ApplicationTerminating()) {
      ::Sleep(kTerminatingRecheckMs);
      continue;
    }
    const uint32_t resting = link_->restInterval.load(std::memory_order_relaxed);
    ::WaitForSingleObject(waitCut_.get(), resting != 0 ? resting : Period);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    link_->lastWake.store(now.QuadPart, std::memory_order_relaxed);
    Tick();
  }
}

bool TThreadedTimer::RestingTickHasWork() {
  std::shared_ptr<const std::function<bool()>> probe;
  {
    CriticalSectionLock lock(link_->lock);
    if (link_->restInterval.load(std::memory_order_relaxed) == 0 || !link_->restingProbe) return true;
    probe = link_->restingProbe;
  }
  // Outside the lock: the user-interface thread waking or stopping this
  // timer never waits for the probe's platform calls.
  try {
    return (*probe)();
  } catch (...) {
    // A probe that cannot tell leaves the decision to the tick itself.
    return true;
  }
}

void TThreadedTimer::Tick() {
  if (!RestingTickHasWork()) return;
  {
    CriticalSectionLock lock(link_->lock);
    THiTimer* timer = link_->timer;
    if (!timer || Terminated() || ApplicationTerminating() || !timer->Enabled()) return;
    if (!timer->Synchronize.load(std::memory_order_relaxed)) {
      // On this thread, under the lock, so the timer cannot be destroyed
      // while its handler runs here; an exception ends this worker.
      timer->Timer();
      return;
    }
  }
  // An exception from the handler comes back here and ends this worker. The
  // worker's own reference keeps the link alive while it waits, and a plain
  // pointer keeps the queued call inside std::function: the tick allocates nothing.
  Synchronize([link = link_.get()] {
    if (THiTimer* timer = link->timer) timer->Timer();
  });
}

}  // namespace lumek
