#pragma once
// What the timer tests share: waiting without pumping, worker threads made
// from a lambda, multimedia timers that never fire, and an exception hook.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "framework/Application.h"
#include "framework/Platform.h"
#include "framework/Threads.h"
#include "tests/support/Recorder.h"

namespace lumek::test {

// Waits (without handling any message) until `done` holds; false after `timeoutMs`.
inline bool WaitWithoutPumping(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
  DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(1);
  }
  return true;
}

// A worker thread whose Execute is a lambda; it may hand calls to this thread.
class LambdaThread : public TThread {
 public:
  using Body = std::function<void(LambdaThread& self)>;
  explicit LambdaThread(Body body) : body_(std::move(body)) {}
  ~LambdaThread() override {
    Terminate();
    if (!Suspended() && !FreeOnTerminate) WaitFor();
  }
  void HandOver(TThreadMethod method) { Synchronize(std::move(method)); }

 protected:
  void Execute() override { body_(*this); }

 private:
  Body body_;
};

// Multimedia timers that never fire: timeSetEvent hands out fresh identifiers
// and everything is recorded, so a test delivers WM_TIMER itself.
class FakeMultimediaTimers {
 public:
  FakeMultimediaTimers() {
    recorder_.Multimedia();
    Platform().timeSetEvent = [](UINT delay, UINT resolution, LPTIMECALLBACK, DWORD_PTR, UINT flags) -> MMRESULT {
      CallRecorder::Record("timeSetEvent(" + std::to_string(delay) + ", " + std::to_string(resolution) + ", " +
                           std::to_string(flags) + ")");
      return ++LastId();
    };
    Platform().timeKillEvent = [](UINT) -> MMRESULT {
      CallRecorder::Record("timeKillEvent");
      return TIMERR_NOERROR;
    };
  }
  static UINT& LastId() {
    static UINT id = 1000;
    return id;
  }
  CallRecorder& Recorder() { return recorder_; }

 private:
  CallRecorder recorder_;
};

// Counts (and keeps the text of) the exceptions the application reports while it lives.
class ReportedExceptions {
 public:
  ReportedExceptions() {
    Application->OnException = [this](TObject*, const Exception& exception) {
      ++count;
      lastMessage = exception.what();
    };
  }
  ~ReportedExceptions() { Application->OnException = nullptr; }
  int count = 0;
  std::string lastMessage;
};

}  // namespace lumek::test
