#pragma once
// The application object: the hidden application window, the title, the
// main form, the message loop and the report of exceptions caught where a
// message was dispatched.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Exceptions.h"
#include "framework/WindowProcedure.h"

namespace lumek {

class TForm;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  HWND Handle() const { return window_; }

  void Initialize();
  const std::wstring& Title() const { return title_; }
  void SetTitle(const std::wstring& title);

  // Allocates the form, stores it into `reference` and constructs it owned
  // by the application; the first form created becomes the main form.
  template <typename Form>
  void CreateForm(Form*& reference) {
    reference = nullptr;
    try {
      reference = new Form(this);
    } catch (...) {
      reference = nullptr;
      throw;
    }
    BecomeMainFormIfFirst(reference);
  }

  TForm* MainForm() const { return mainForm_; }
  bool ShowMainForm = true;
  // Show state handed to WinMain; Run reads it for the main form.
  int ShowState = SW_SHOWDEFAULT;

  void Run();
  void Terminate();
  bool Terminated() const { return terminated_.load(std::memory_order_relaxed); }
  // The flag workers read without a lock.
  const std::atomic<bool>& TerminatedFlag() const { return terminated_; }
  void HandleMessage();
  void ProcessMessages();

  // Called inside a catch block: reports the exception being handled.
  void HandleException(TObject* sender);
  void ShowException(const Exception& exception);
  std::function<void(TObject* sender, const Exception& exception)> OnException;

  // Hooks on the application window's messages: called in registration order
  // before the window's own handling; the first to return true ends it.
  using WindowHook = std::function<bool(TMessage& message)>;
  void HookMainWindow(const void* key, WindowHook hook);
  void UnhookMainWindow(const void* key);

  // Runs the calls worker threads have queued for this thread; true when one ran.
  // Installed by the threads unit the first time a worker needs it.
  bool (*SynchronizeHook)() = nullptr;
  // Asked by Terminate; all must agree before the quit message is posted.
  std::vector<std::function<bool()>> TerminateProcedures;
  // Runs when the session ends (logoff or shutdown), before the loop is told to stop.
  TNotifyEvent OnEndSession;

  // Clean-up after WinMain: hides owned pop-ups and destroys the components.
  void Finish();

 private:
  void BecomeMainFormIfFirst(TObject* created);
  bool ProcessMessage(MSG& message);
  void Idle();
  void WindowMessage(HWND window, TMessage& message);

  BoundWindowProc procedure_;
  HWND window_ = nullptr;
  std::wstring title_;
  TForm* mainForm_ = nullptr;
  std::atomic<bool> terminated_{false};
  bool running_ = false;
  struct Hook {
    const void* key;
    WindowHook hook;
  };
  std::vector<Hook> hooks_;
};

// The single application object, alive from unit start-up to unit shut-down.
extern TApplication* Application;

// Reports the exception being handled through the application object (for
// window and thread callbacks, which must not let it escape).
void HandleExceptionAtBoundary();

// Disables the visible, enabled top-level windows of this thread while it
// lives (for modal boxes and dialogs) and enables those still there afterwards.
class TaskWindowsDisabled {
 public:
  TaskWindowsDisabled();
  ~TaskWindowsDisabled();
  TaskWindowsDisabled(const TaskWindowsDisabled&) = delete;
  TaskWindowsDisabled& operator=(const TaskWindowsDisabled&) = delete;

 private:
  std::vector<HWND> disabled_;
};

// The running executable's full path as the system reports it, however long
// it is. `complete` tells whether the platform handed over all of it.
std::wstring ModuleFileName(bool* complete = nullptr);

}  // namespace lumek
