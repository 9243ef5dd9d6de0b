#include "framework/WindowProcedure.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Platform.h"
#include "framework/Strings.h"

namespace lumek {

namespace {

using Handler = BoundWindowProc::Handler;
using HandlerSlot = BoundWindowProc::HandlerSlot;

// Shared by every procedure, compiled or made: the x86 thunks below jump to
// it with the slot pushed as a fifth argument, so it must be stdcall.
LRESULT __stdcall Dispatch(const HandlerSlot* slot, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TMessage record{message, wParam, lParam, 0};
  try {
    // A window may keep a procedure its object has already given back.
    if (const Handler* handler = slot->load(std::memory_order_acquire)) {
      (*handler)(window, record);
    } else {
      DefaultHandling(window, record);
    }
  } catch (...) {
    HandleExceptionAtBoundary();
  }
  return record.Result;
}

// --- the procedures compiled into the program ---------------------------------

HandlerSlot compiledSlots[BoundWindowProc::kCompiledProcedures];

template <size_t Index>
LRESULT CALLBACK CompiledProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Dispatch(&compiledSlots[Index], window, message, wParam, lParam);
}

template <size_t... Index>
constexpr std::array<WNDPROC, sizeof...(Index)> CompiledProcedureTable(std::index_sequence<Index...>) {
  return {{&CompiledProcedure<Index>...}};
}

constexpr std::array<WNDPROC, BoundWindowProc::kCompiledProcedures> kCompiledProcedureTable =
    CompiledProcedureTable(std::make_index_sequence<BoundWindowProc::kCompiledProcedures>{});

// --- the procedures made at run time ------------------------------------------

#pragma pack(push, 1)
#if defined(__x86_64__)
// x64 code of one thunk: the four register arguments move one place along,
// lParam to the fifth (stack) slot, the slot goes first, and the shared
// dispatcher is called with the stack kept 16-byte aligned.
struct Thunk {
  uint8_t reserveFrame[4] = {0x48, 0x83, 0xEC, 0x38};        // sub rsp, 56
  uint8_t lParamToStack[5] = {0x4C, 0x89, 0x4C, 0x24, 0x20};  // mov [rsp+32], r9
  uint8_t wParamToR9[3] = {0x4D, 0x89, 0xC1};                 // mov r9, r8
  uint8_t messageToR8[3] = {0x49, 0x89, 0xD0};                // mov r8, rdx
  uint8_t windowToRdx[3] = {0x48, 0x89, 0xCA};                // mov rdx, rcx
  uint8_t movRcx[2] = {0x48, 0xB9};                           // mov rcx, imm64 (slot)
  uint64_t slot = 0;
  uint8_t movRax[2] = {0x48, 0xB8};                           // mov rax, imm64 (dispatcher)
  uint64_t dispatcher = 0;
  uint8_t callRaxAndReturn[7] = {0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x38, 0xC3};  // call rax; add rsp, 56; ret
  void Bind(const HandlerSlot* handlerSlot, void* dispatcherCode, const void*) {
    slot = reinterpret_cast<uint64_t>(handlerSlot);
    dispatcher = reinterpret_cast<uint64_t>(dispatcherCode);
  }
};
#else
// x86 code of one thunk: swap the return address for (slot, return) and
// jump to the shared stdcall dispatcher, which then sees five arguments.
struct Thunk {
  uint8_t popEax = 0x58;        // pop eax          (return address)
  uint8_t pushImm = 0x68;       // push imm32       (slot)
  uint32_t slot = 0;
  uint8_t pushEax = 0x50;       // push eax
  uint8_t jmpRel = 0xE9;        // jmp rel32        (dispatcher)
  int32_t relative = 0;
  void Bind(const HandlerSlot* handlerSlot, void* dispatcherCode, const void* at) {
    slot = reinterpret_cast<uint32_t>(handlerSlot);
    relative = static_cast<int32_t>(static_cast<uint8_t*>(dispatcherCode) -
                                    (static_cast<const uint8_t*>(at) + sizeof(Thunk)));
  }
};
#endif
#pragma pack(pop)

constexpr size_t kThunkPageSize = 4096;
constexpr size_t kThunkStride = (sizeof(Thunk) + 15) & ~size_t{15};
constexpr size_t kThunksPerPage = kThunkPageSize / kThunkStride;

// A page of thunks while it is still being written.
struct PageRelease {
  void operator()(uint8_t* page) const noexcept { ::VirtualFree(page, 0, MEM_RELEASE); }
};
using UnsealedPage = std::unique_ptr<uint8_t, PageRelease>;

// --- lending them out -----------------------------------------------------------

struct Procedure {
  HandlerSlot* slot;
  WNDPROC proc;
};

// Lends the compiled procedures first. A page of thunks, once made, is only
// ever readable and executable: a freed thunk is bound anew through its slot,
// never rewritten, and the page is never given back, for a window may still
// be running one of its thunks.
class ProcedurePool {
 public:
  ProcedurePool() {
    compiledFree_.reserve(kCompiledProcedureTable.size());
    for (size_t index = kCompiledProcedureTable.size(); index-- > 0;) {
      compiledFree_.push_back({&compiledSlots[index], kCompiledProcedureTable[index]});
    }
  }

  Procedure Lend(const Handler* handler) {
    CriticalSectionLock lock(section_);
    std::vector<Procedure>& from = !compiledFree_.empty() ? compiledFree_ : thunksFree_;
    if (from.empty()) AddThunkPage();
    Procedure procedure = from.back();
    from.pop_back();
    procedure.slot->store(handler, std::memory_order_release);
    return procedure;
  }

  void GiveBack(Procedure procedure) {
    CriticalSectionLock lock(section_);
    procedure.slot->store(nullptr, std::memory_order_release);
    // Both lists have room for every procedure of their kind: giving back never allocates.
    if (IsCompiled(procedure)) {
      compiledFree_.push_back(procedure);
    } else {
      thunksFree_.push_back(procedure);
    }
  }

 private:
  static bool IsCompiled(const Procedure& procedure) {
    return procedure.slot >= std::begin(compiledSlots) && procedure.slot < std::end(compiledSlots);
  }

  // Written while only readable and writable, then sealed: executable and read-only.
  void AddThunkPage() {
    std::unique_ptr<HandlerSlot[]> slots(new HandlerSlot[kThunksPerPage]());
    UnsealedPage page(static_cast<uint8_t*>(
        Platform().VirtualAlloc(nullptr, kThunkPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)));
    if (!page) throw EOutOfResources("no memory for a window procedure");
    for (size_t index = 0; index < kThunksPerPage; ++index) {
      uint8_t* at = page.get() + index * kThunkStride;
      Thunk thunk;
      thunk.Bind(&slots[index], reinterpret_cast<void*>(&Dispatch), at);
      std::memcpy(at, &thunk, sizeof thunk);
    }
    DWORD previous = 0;
    if (!Platform().VirtualProtect(page.get(), kThunkPageSize, PAGE_EXECUTE_READ, &previous)) {
      throw EOutOfResources("a window procedure cannot be made executable");
    }
    Platform().FlushInstructionCache(::GetCurrentProcess(), page.get(), kThunkPageSize);
    thunksFree_.reserve(thunksMade_ + kThunksPerPage);
    thunksMade_ += kThunksPerPage;
    // Both live to process exit from here on.
    uint8_t* code = page.release();
    HandlerSlot* pageSlots = slots.release();
    for (size_t index = kThunksPerPage; index-- > 0;) {
      thunksFree_.push_back({&pageSlots[index], reinterpret_cast<WNDPROC>(code + index * kThunkStride)});
    }
  }

  CriticalSection section_;
  std::vector<Procedure> compiledFree_;
  std::vector<Procedure> thunksFree_;
  size_t thunksMade_ = 0;
};

ProcedurePool& Procedures() {
  static ProcedurePool* pool = new ProcedurePool();  // lives to process exit: windows may outlast statics
  return *pool;
}

}  // namespace

BoundWindowProc::BoundWindowProc(Handler handler) : handler_(std::make_unique<Handler>(std::move(handler))) {
  Procedure procedure = Procedures().Lend(handler_.get());
  slot_ = procedure.slot;
  proc_ = procedure.proc;
}

BoundWindowProc::BoundWindowProc() noexcept = default;

BoundWindowProc::~BoundWindowProc() { Release(); }

BoundWindowProc::BoundWindowProc(BoundWindowProc&& other) noexcept
    : handler_(std::move(other.handler_)),
      slot_(std::exchange(other.slot_, nullptr)),
      proc_(std::exchange(other.proc_, nullptr)) {}

BoundWindowProc& BoundWindowProc::operator=(BoundWindowProc&& other) noexcept {
  if (this != &other) {
    Release();
    handler_ = std::move(other.handler_);
    slot_ = std::exchange(other.slot_, nullptr);
    proc_ = std::exchange(other.proc_, nullptr);
  }
  return *this;
}

void BoundWindowProc::Release() {
  // The slot is emptied before the handler goes, so no late call reaches it.
  if (slot_) {
    Procedures().GiveBack({std::exchange(slot_, nullptr), std::exchange(proc_, nullptr)});
  }
  handler_.reset();
}

void EnsureWindowClass(const wchar_t* className, UINT style, HCURSOR cursor) {
  static std::set<std::wstring> registered;
  if (registered.count(className)) return;
  WNDCLASSW windowClass{};
  windowClass.style = style;
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = cursor;
  windowClass.lpszClassName = className;
  if (!::RegisterClassW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw EOSError(FormatMessageId(IDS_WINDOW_CREATE_ERROR, SystemErrorText(::GetLastError()).c_str()));
  }
  registered.insert(className);
}

HWND CreateBoundWindow(const BoundWindowProc& procedure, DWORD exStyle, const wchar_t* className, const wchar_t* text,
                       DWORD style, int x, int y, int width, int height, HWND owner) {
  HWND window = Platform().CreateWindowExW(exStyle, className, text, style, x, y, width, height, owner, nullptr,
                                           ::GetModuleHandleW(nullptr), nullptr);
  if (!window) throw EOSError(FormatMessageId(IDS_WINDOW_CREATE_ERROR, SystemErrorText(::GetLastError()).c_str()));
  ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure.Proc()));
  return window;
}

UtilWindow::UtilWindow(BoundWindowProc::Handler handler) : procedure_(std::move(handler)) {
  EnsureWindowClass(L"TUtilWindow", 0);
  window_ = CreateBoundWindow(procedure_, WS_EX_TOOLWINDOW, L"TUtilWindow", L"", WS_POPUP, 0, 0, 0, 0, nullptr);
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
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcW));
    ::DestroyWindow(window_);
    window_ = nullptr;
  }
  procedure_.Release();
}

}  // namespace lumek
