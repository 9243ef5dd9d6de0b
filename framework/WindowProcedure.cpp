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

#pragma pack(push, 1)
#if defined(__x86_64__)
// x64 code of one thunk: the four register arguments move one place along,
// lParam to the fifth (stack) slot, the target goes first, and the shared
// dispatcher is called with the stack kept 16-byte aligned.
struct Thunk {
  uint8_t reserveFrame[4] = {0x48, 0x83, 0xEC, 0x38};        // sub rsp, 56
  uint8_t lParamToStack[5] = {0x4C, 0x89, 0x4C, 0x24, 0x20};  // mov [rsp+32], r9
  uint8_t wParamToR9[3] = {0x4D, 0x89, 0xC1};                 // mov r9, r8
  uint8_t messageToR8[3] = {0x49, 0x89, 0xD0};                // mov r8, rdx
  uint8_t windowToRdx[3] = {0x48, 0x89, 0xCA};                // mov rdx, rcx
  uint8_t movRcx[2] = {0x48, 0xB9};                           // mov rcx, imm64 (target)
  uint64_t target = 0;
  uint8_t movRax[2] = {0x48, 0xB8};                           // mov rax, imm64 (dispatcher)
  uint64_t dispatcher = 0;
  uint8_t callRaxAndReturn[7] = {0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x38, 0xC3};  // call rax; add rsp, 56; ret
  void Bind(void* targetObject, void* dispatcherCode, const void*) {
    target = reinterpret_cast<uint64_t>(targetObject);
    dispatcher = reinterpret_cast<uint64_t>(dispatcherCode);
  }
};
#else
// x86 code of one thunk: swap the return address for (target, return) and
// jump to the shared stdcall dispatcher, which then sees five arguments.
struct Thunk {
  uint8_t popEax = 0x58;        // pop eax          (return address)
  uint8_t pushImm = 0x68;       // push imm32       (target)
  uint32_t target = 0;
  uint8_t pushEax = 0x50;       // push eax
  uint8_t jmpRel = 0xE9;        // jmp rel32        (dispatcher)
  int32_t relative = 0;
  void Bind(void* targetObject, void* dispatcherCode, const void* slot) {
    target = reinterpret_cast<uint32_t>(targetObject);
    relative = static_cast<int32_t>(static_cast<uint8_t*>(dispatcherCode) -
                                    (static_cast<const uint8_t*>(slot) + sizeof(Thunk)));
  }
};
#endif
#pragma pack(pop)

// Thunks live in executable 4 KiB pages, handed out from a free list.
class ThunkHeap {
 public:
  void* Allocate() {
    CriticalSectionLock lock(section_);
    if (free_.empty()) {
      auto* page = static_cast<uint8_t*>(::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
      if (!page) throw EOutOfResources("no memory for a window procedure");
      constexpr size_t stride = (sizeof(Thunk) + 15) & ~size_t{15};
      for (size_t offset = 0; offset + sizeof(Thunk) <= 4096; offset += stride) free_.insert(page + offset);
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
  thunk.Bind(target_.get(), reinterpret_cast<void*>(&BoundWindowProc::Dispatch), slot);
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
