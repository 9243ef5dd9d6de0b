#include "framework/Application.h"

#include <algorithm>

#include "framework/Foreground.h"
#include "framework/Forms.h"
#include "framework/Platform.h"
#include "framework/TextRules.h"
#include "framework/Units.h"

namespace lumek {

TApplication* Application = nullptr;

namespace {

constexpr DWORD kApplicationWindowStyle = WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;

void InitializeApplicationUnit() { Application = new TApplication(); }

void FinalizeApplicationUnit() {
  delete Application;
  Application = nullptr;
}

void FinishApplication() {
  if (Application) Application->Finish();
}

const UnitRegistration kApplicationUnit(10, InitializeApplicationUnit, FinalizeApplicationUnit);

}  // namespace

std::wstring ModuleFileName(bool* complete) {
  // The longest path the platform can hand out, in UTF-16 units.
  constexpr DWORD kLongestPath = 32768;
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    DWORD length = Platform().GetModuleFileNameW(nullptr, buffer.data(), size);
    // A cut-off path fills the whole buffer, and some platforms then leave no
    // terminator: the length reported is all that is read.
    const bool cut = length >= size;
    if (!cut || size >= kLongestPath) {
      if (complete) *complete = length > 0 && !cut;
      buffer.resize(std::min(length, size));
      return buffer;
    }
    buffer.resize(std::min<size_t>(buffer.size() * 2, kLongestPath));
  }
}

TApplication::TApplication() : TComponent(nullptr) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, L"MAINICON");
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = L"TApplication";
  ::RegisterClassW(&windowClass);

  title_ = ApplicationCaptionFromFileName(ExtractFileName(ModuleFileName()));
  procedure_ = BoundWindowProc([this](HWND window, TMessage& message) { WindowMessage(window, message); });
  window_ = CreateBoundWindow(procedure_, 0, L"TApplication", title_.c_str(), kApplicationWindowStyle,
                              Platform().GetSystemMetrics(SM_CXSCREEN) / 2,
                              Platform().GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr);
  HMENU systemMenu = ::GetSystemMenu(window_, FALSE);
  ::DeleteMenu(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND);
  ::DeleteMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
  ::DeleteMenu(systemMenu, SC_MOVE, MF_BYCOMMAND);
}

TApplication::~TApplication() {
  DestroyComponents();
  if (window_) {
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcW));
    ::DestroyWindow(window_);
    window_ = nullptr;
  }
}

void TApplication::Initialize() {}

void TApplication::SetTitle(const std::wstring& title) {
  title_ = title;
  ::SetWindowTextW(window_, title_.c_str());
}

void TApplication::BecomeMainFormIfFirst(TObject* created) {
  auto* form = dynamic_cast<TForm*>(created);
  if (!mainForm_ && form) {
    form->WindowHandle();
    mainForm_ = form;
  }
}

void TApplication::Run() {
  running_ = true;
  AddExitProcedure(FinishApplication);
  if (!mainForm_) return;
  if (ShowState == SW_SHOWMAXIMIZED) mainForm_->SetWindowState(TWindowState::wsMaximized);
  if (ShowState == SW_SHOWMINNOACTIVE) mainForm_->SetWindowState(TWindowState::wsMinimized);
  if (ShowMainForm) {
    if (mainForm_->WindowState() == TWindowState::wsMinimized) {
      Platform().ShowWindow(window_, SW_SHOWMINNOACTIVE);
    } else {
      mainForm_->SetVisible(true);
    }
  }
  do {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  } while (!Terminated());
}

void TApplication::Terminate() {
  for (auto& procedure : TerminateProcedures) {
    if (!procedure()) return;
  }
  ::PostQuitMessage(0);
}

bool TApplication::ProcessMessage(MSG& message) {
  if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    terminated_.store(true);
  } else {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return true;
}

void TApplication::HandleMessage() {
  MSG message;
  if (!ProcessMessage(message)) Idle();
}

void TApplication::ProcessMessages() {
  MSG message;
  while (ProcessMessage(message)) {
  }
}

void TApplication::Idle() {
  bool ranQueuedCall = SynchronizeHook && SynchronizeHook();
  // A call that ran may have queued more work; look at the queue again before sleeping.
  if (!ranQueuedCall) ::WaitMessage();
}

void TApplication::HookMainWindow(const void* key, WindowHook hook) { hooks_.push_back(Hook{key, std::move(hook)}); }

void TApplication::UnhookMainWindow(const void* key) {
  hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(), [key](const Hook& h) { return h.key == key; }),
               hooks_.end());
}

void TApplication::WindowMessage(HWND window, TMessage& message) {
  // A hook may unhook itself (or another) while it runs: walk a copy.
  std::vector<Hook> hooks = hooks_;
  for (Hook& hook : hooks) {
    if (hook.hook(message)) return;
  }
  switch (message.Msg) {
    case WM_NULL:
      if (SynchronizeHook) SynchronizeHook();
      return;
    case WM_CLOSE:
      if (mainForm_) mainForm_->RequestClose();
      return;
    case WM_ENDSESSION:
      if (message.WParam) {
        if (OnEndSession) OnEndSession(this);
        terminated_.store(true);
      }
      return;
    default:
      DefaultHandling(window, message);
  }
}

void TApplication::HandleException(TObject* sender) {
  ForegroundReturn foregroundReturn;
  if (HWND capture = ::GetCapture()) ::SendMessageW(capture, WM_CANCELMODE, 0, 0);
  try {
    throw;
  } catch (const EAbort&) {
  } catch (const Exception& exception) {
    if (OnException) {
      OnException(sender, exception);
    } else {
      ShowException(exception);
    }
  } catch (const std::exception& exception) {
    // Not a framework exception: the run-time's own error box.
    Platform().MessageBoxW(nullptr, Utf8ToWide(exception.what()).c_str(), L"Runtime error",
                           MB_OK | MB_ICONERROR | MB_TASKMODAL);
  } catch (...) {
    Platform().MessageBoxW(nullptr, L"Unknown exception", L"Runtime error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  }
}

void TApplication::ShowException(const Exception& exception) {
  std::wstring text = ExceptionBoxText(exception.Message());
  HWND active = ::GetActiveWindow();
  HWND focus = ::GetFocus();
  {
    TaskWindowsDisabled disabled;
    Platform().MessageBoxW(window_, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
  }
  if (active && ::IsWindow(active)) ::SetActiveWindow(active);
  if (focus && ::IsWindow(focus)) ::SetFocus(focus);
}

void TApplication::Finish() {
  ::ShowOwnedPopups(window_, FALSE);
  MarkDestroying();
  DestroyComponents();
}

void HandleExceptionAtBoundary() {
  if (Application) {
    Application->HandleException(nullptr);
  }
}

namespace {

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM context) {
  if (::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  }
  return TRUE;
}

}  // namespace

TaskWindowsDisabled::TaskWindowsDisabled() {
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled_));
  for (HWND window : disabled_) Platform().EnableWindow(window, FALSE);
}

TaskWindowsDisabled::~TaskWindowsDisabled() {
  for (HWND window : disabled_) {
    if (::IsWindow(window)) Platform().EnableWindow(window, TRUE);
  }
}

}  // namespace lumek
