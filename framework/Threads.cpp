#include "framework/Threads.h"

#include <process.h>

#include <deque>
#include <utility>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/Strings.h"
#include "framework/Units.h"

namespace lumek {

namespace {

std::atomic<DWORD> mainThreadId{0};

struct SyncRecord {
  TThread* thread;
  HANDLE signal;
};

// One lock guards the records and the pending flag. The user-interface
// thread holds it for a whole drain, so a handler that starts or stops timers
// takes it again on the same thread (it is recursive) while other workers wait.
struct SyncQueue {
  CriticalSection lock;
  std::deque<SyncRecord> records;
  std::atomic<bool> pending{false};
};

SyncQueue& Queue() {
  static SyncQueue* queue = new SyncQueue();  // lives to process exit: workers may outlast statics
  return *queue;
}

// Posted rather than sent: the worker must not block on a user-interface
// thread that is busy, and a posted message also reaches it inside the
// modal loops of menus and dialogs.
void WakeMainThread() {
  if (Application) ::PostMessageW(Application->Handle(), WM_NULL, 0, 0);
}

[[noreturn]] void RaiseThreadError(DWORD error) {
  throw EThread(FormatMessageId(IDS_THREAD_ERROR, SystemErrorText(error).c_str(), static_cast<int>(error)));
}

void InitializeThreadsUnit() {
  mainThreadId.store(::GetCurrentThreadId());
  if (Application) Application->SynchronizeHook = CheckSynchronize;
}

void FinalizeThreadsUnit() {
  if (Application && Application->SynchronizeHook == CheckSynchronize) Application->SynchronizeHook = nullptr;
}

// Right after the application object (10), whose idle step and WM_NULL call the hook.
const UnitRegistration kThreadsUnit(11, InitializeThreadsUnit, FinalizeThreadsUnit);

}  // namespace

DWORD MainThreadId() { return mainThreadId.load(); }

bool SynchronizeCallsPending() { return Queue().pending.load(); }

TThread::TThread() {
  unsigned id = 0;
  uintptr_t handle = ::_beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &id);
  if (handle == 0) {
    DWORD error = ::GetLastError();
    throw EThread(FormatMessageId(IDS_THREAD_CREATE_ERROR, SystemErrorText(error).c_str()));
  }
  handle_.reset(reinterpret_cast<HANDLE>(handle));
  threadId_ = id;
}

TThread::~TThread() {
  if (!handle_ || ::GetCurrentThreadId() == threadId_ || Finished()) return;
  Terminate();
  if (suspended_) {
    // It never ran: let it end without Execute, whose object is already gone.
    abandoned_.store(true);
    HANDLE handle = handle_.get();
    for (;;) {
      DWORD previous = ::ResumeThread(handle);
      if (previous == static_cast<DWORD>(-1)) return;  // cannot run it; it stays parked until exit
      if (previous <= 1) break;
    }
  }
  ::WaitForSingleObject(handle_.get(), INFINITE);
}

unsigned __stdcall TThread::ThreadProc(void* self) {
  auto* thread = static_cast<TThread*>(self);
  bool abandoned = thread->abandoned_.load();
  if (!abandoned) {
    try {
      thread->Execute();
    } catch (...) {
      thread->fatalException_ = std::current_exception();
    }
  }
  bool freeSelf = thread->FreeOnTerminate && !abandoned;
  // Past this store the object may be deleted by its owner: touch it no more.
  thread->finished_.store(true, std::memory_order_release);
  if (freeSelf) delete thread;
  return 0;
}

void TThread::Resume() {
  if (!suspended_) return;
  HANDLE handle = handle_.get();
  // Cleared before the resume that lets it run: afterwards the object may be freed.
  suspended_ = false;
  for (;;) {
    DWORD previous = ::ResumeThread(handle);
    if (previous == static_cast<DWORD>(-1)) {
      suspended_ = true;
      RaiseThreadError(::GetLastError());
    }
    if (previous <= 1) return;
  }
}

TThreadPriority TThread::Priority() const {
  int platform = ::GetThreadPriority(handle_.get());
  for (int p = static_cast<int>(TThreadPriority::tpIdle); p <= static_cast<int>(TThreadPriority::tpTimeCritical); ++p) {
    if (PlatformThreadPriority(static_cast<TThreadPriority>(p)) == platform) return static_cast<TThreadPriority>(p);
  }
  return TThreadPriority::tpNormal;
}

void TThread::SetPriority(TThreadPriority priority) {
  if (!::SetThreadPriority(handle_.get(), PlatformThreadPriority(priority))) RaiseThreadError(::GetLastError());
}

void TThread::WaitFor() {
  if (handle_ && ::GetCurrentThreadId() != threadId_) ::WaitForSingleObject(handle_.get(), INFINITE);
}

void TThread::Synchronize(TThreadMethod method) {
  if (::GetCurrentThreadId() == MainThreadId()) {
    method();
    return;
  }
  if (!synchronizeSignal_) {
    // Auto-reset: the wait below consumes the drain's signal, so the event is
    // non-signalled again for the next call.
    synchronizeSignal_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!synchronizeSignal_) RaiseThreadError(::GetLastError());
  }
  HANDLE signal = synchronizeSignal_.get();
  SyncQueue& queue = Queue();
  {
    CriticalSectionLock lock(queue.lock);
    synchronizeException_ = nullptr;
    synchronizeMethod_ = std::move(method);
    queue.records.push_back(SyncRecord{this, signal});
    queue.pending.store(true);
    WakeMainThread();
  }
  ::WaitForSingleObject(signal, INFINITE);
  {
    // The drain signals inside the lock: once we hold it, the drain is done
    // with this call's record and the next call may queue the event again.
    CriticalSectionLock lock(queue.lock);
  }
  synchronizeMethod_ = nullptr;
  if (std::exception_ptr raised = std::exchange(synchronizeException_, nullptr)) std::rethrow_exception(raised);
}

bool CheckSynchronize() {
  DWORD caller = ::GetCurrentThreadId();
  if (caller != MainThreadId()) {
    throw EThread(FormatMessageId(IDS_CHECK_SYNCHRONIZE_WRONG_THREAD, static_cast<unsigned>(caller)));
  }
  SyncQueue& queue = Queue();
  if (!queue.pending.load()) return false;
  bool ran = false;
  CriticalSectionLock lock(queue.lock);
  // A handler that pumps messages may drain the rest from inside: the front is taken before each call.
  while (!queue.records.empty()) {
    SyncRecord record = queue.records.front();
    queue.records.pop_front();
    try {
      record.thread->synchronizeMethod_();
    } catch (...) {
      record.thread->synchronizeException_ = std::current_exception();
    }
    ::SetEvent(record.signal);
    ran = true;
  }
  queue.pending.store(false);
  return ran;
}

}  // namespace lumek
