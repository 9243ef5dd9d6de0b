#include "framework/WindowProcedure.h"

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Platform.h"
#include "framework/Strings.h"

namespace lumek {

namespace {

// x86 code of one thunk: swap the return address for (target, return) and
// jump to the shared stdcall dispatcher, which then sees five arguments.
#pragma pack(push, 1)
struct Thunk {
  uint8_t popEax = 0x58;        // pop eax          (return address)
  uint8_t pushImm = 0x68;       // push imm32       (target)
  uint32_t target = 0;
  uint8_t pushEax = 0x50;       // push eax
  uint8_t jmpRel = 0xE9;        // jmp rel32        (dispatcher)
  int32_t relative = 0;
};
#pragma pack(pop)

// Thunks live in executable 4 KiB pages, handed out from a free list.
class ThunkHeap {
 public:
  void* Allocate() {
    CriticalSectionLock lock(section_);
    if (free_.empty()) {
      auto* page = static_cast<uint8_t*>(::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
      if (!page) throw EOutOfResources("no memory for a window procedure");
      for (size_t offset = 0; offset + sizeof(Thunk) <= 4096; offset += 16) free_.insert(page + offset);
    }
    void* slot = *free_.begin();
    free_.erase(free_.begin());
    return slot;
  }
  void Free(void* slot) {
    CriticalSectionLock lock(section_);
    free_.insert(slot);
  }

 private:
  CriticalSection section_;
  std::set<void*> free_;
};

ThunkHeap& Thunks() {
  static ThunkHeap* heap = new ThunkHeap();  // lives to process exit: windows may outlast statics
  return *heap;
}

}  // namespace

BoundWindowProc::BoundWindowProc(Handler handler) : target_(std::make_unique<Target>()) {
  target_->handler = std::move(handler);
  void* slot = Thunks().Allocate();
  Thunk thunk;
  thunk.target = reinterpret_cast<uint32_t>(target_.get());
  auto dispatcher = reinterpret_cast<uint8_t*>(&BoundWindowProc::Dispatch);
  thunk.relative = static_cast<int32_t>(dispatcher - (static_cast<uint8_t*>(slot) + sizeof(Thunk)));
  std::memcpy(slot, &thunk, sizeof thunk);
  ::FlushInstructionCache(::GetCurrentProcess(), slot, sizeof thunk);
  proc_ = reinterpret_cast<WNDPROC>(slot);
}

BoundWindowProc::BoundWindowProc() noexcept = default;

BoundWindowProc::~BoundWindowProc() { Release(); }

BoundWindowProc::BoundWindowProc(BoundWindowProc&& other) noexcept
    : target_(std::move(other.target_)), proc_(std::exchange(other.proc_, nullptr)) {}

BoundWindowProc& BoundWindowProc::operator=(BoundWindowProc&& other) noexcept {
  if (this != &other) {
    Release();
    target_ = std::move(other.target_);
    proc_ = std::exchange(other.proc_, nullptr);
  }
  return *this;
}

void BoundWindowProc::Release() {
  if (proc_) {
    Thunks().Free(reinterpret_cast<void*>(proc_));
    proc_ = nullptr;
  }
  target_.reset();
}

LRESULT __stdcall BoundWindowProc::Dispatch(Target* target, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TMessage record{message, wParam, lParam, 0};
  try {
    target->handler(window, record);
  } catch (...) {
    HandleExceptionAtBoundary();
  }
  return record.Result;
}

void EnsureWindowClass(const char* className, UINT style, HCURSOR cursor) {
  static std::set<std::string> registered;
  if (registered.count(className)) return;
  WNDCLASSA windowClass{};
  windowClass.style = style;
  windowClass.lpfnWndProc = ::DefWindowProcA;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = cursor;
  windowClass.lpszClassName = className;
  if (!::RegisterClassA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw EOSError(FormatMessageId(IDS_WINDOW_CREATE_ERROR, SystemErrorText(::GetLastError()).c_str()));
  }
  registered.insert(className);
}

HWND CreateBoundWindow(const BoundWindowProc& procedure, DWORD exStyle, const char* className, const char* text,
                       DWORD style, int x, int y, int width, int height, HWND owner) {
  HWND window = Platform().CreateWindowExA(exStyle, className, text, style, x, y, width, height, owner, nullptr,
                                           ::GetModuleHandleW(nullptr), nullptr);
  if (!window) throw EOSError(FormatMessageId(IDS_WINDOW_CREATE_ERROR, SystemErrorText(::GetLastError()).c_str()));
  ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure.Proc()));
  return window;
}

UtilWindow::UtilWindow(BoundWindowProc::Handler handler) : procedure_(std::move(handler)) {
  EnsureWindowClass("TUtilWindow", 0);
  window_ = CreateBoundWindow(procedure_, WS_EX_TOOLWINDOW, "TUtilWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr);
}

UtilWindow::~UtilWindow() { Destroy(); }

UtilWindow& UtilWindow::operator=(UtilWindow&& other) noexcept {
  if (this != &other) {
    Destroy();
    procedure_ = std::move(other.procedure_);
    window_ = std::exchange(other.window_, nullptr);
  }
  return *this;
}

void UtilWindow::Destroy() {
  if (window_) {
    // Back to the class procedure first, so the destroy messages do not reach a half-gone object.
    ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcA));
    ::DestroyWindow(window_);
    window_ = nullptr;
  }
  procedure_.Release();
}

}  // namespace lumek
