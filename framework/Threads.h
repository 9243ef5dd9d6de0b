#pragma once
// Worker threads and the process-wide queue through which a worker hands a
// call to the user-interface thread and waits until it has run there.
#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>

#include "framework/Classes.h"
#include "framework/Handles.h"

namespace lumek {

class TThread : public TObject {
 public:
  using TThreadMethod = std::function<void()>;

  // The platform thread is always created suspended; `Resume` lets it run.
  // Raises EThread when the thread cannot be created.
  TThread();
  // A thread that frees itself is never deleted by anyone else once it has
  // been resumed. Deleting a running thread asks it to stop and waits; a
  // class whose Execute uses its own members must do that in its own
  // destructor, before those members go.
  ~TThread() override;

  // Resumes until the thread runs (a suspend count above one included);
  // raises EThread when the platform refuses. A thread that frees itself may
  // be gone as soon as this returns.
  void Resume();
  bool Suspended() const { return suspended_; }
  // Blocks until Execute has returned (not for a thread that frees itself).
  void WaitFor();

  // The stop request: Execute polls it.
  void Terminate() { terminated_.store(true, std::memory_order_relaxed); }
  bool Terminated() const { return terminated_.load(std::memory_order_relaxed); }

  // Read by the thread when Execute has returned; set it before Resume.
  bool FreeOnTerminate = false;

  TThreadPriority Priority() const;
  // Raises EThread when the platform refuses.
  void SetPriority(TThreadPriority priority);

  HANDLE Handle() const { return handle_.get(); }
  DWORD ThreadId() const { return threadId_; }
  // True once Execute has returned (normally or by an exception).
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  // What escaped Execute, kept until the thread object goes.
  std::exception_ptr FatalException() const { return fatalException_; }

 protected:
  virtual void Execute() = 0;

  // Runs `method` on the user-interface thread and waits for it; an exception
  // it raises there is raised again here. On the user-interface thread itself
  // the method runs at once.
  void Synchronize(TThreadMethod method);

 private:
  friend bool CheckSynchronize();
  static unsigned __stdcall ThreadProc(void* self);

  UniqueKernelHandle handle_;
  DWORD threadId_ = 0;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  // Set by the destructor of a thread that never ran, so it skips Execute.
  std::atomic<bool> abandoned_{false};
  bool suspended_ = true;
  std::exception_ptr fatalException_;
  // The call handed to the user-interface thread and what it raised there.
  TThreadMethod synchronizeMethod_;
  std::exception_ptr synchronizeException_;
  // The event its handed calls wait on, made at the first one and kept: a
  // timer's worker hands over a tick every period, and under Wine making and
  // closing an event are a server round trip each.
  UniqueKernelHandle synchronizeSignal_;
};

// Runs every call the workers have queued, in queue order; true when at
// least one ran. Only the user-interface thread may call it (EThread otherwise).
bool CheckSynchronize();

// Whether calls wait in the queue for the user-interface thread.
bool SynchronizeCallsPending();

// The thread that started the units: the user-interface thread.
DWORD MainThreadId();

}  // namespace lumek
