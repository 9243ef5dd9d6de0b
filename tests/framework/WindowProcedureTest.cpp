// Object-bound window procedures: compiled ones first, pages of thunks sealed
// executable and read-only after them, and never memory both writable and
// executable.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Platform.h"
#include "framework/WindowProcedure.h"
#include "tests/support/Recorder.h"

namespace lumek {
namespace {

using test::CallRecorder;
using test::ShowSequences;

std::string Protection(DWORD protection) {
  switch (protection) {
    case PAGE_READWRITE: return "PAGE_READWRITE";
    case PAGE_EXECUTE_READ: return "PAGE_EXECUTE_READ";
    case PAGE_EXECUTE_READWRITE: return "PAGE_EXECUTE_READWRITE";
    case PAGE_EXECUTE_WRITECOPY: return "PAGE_EXECUTE_WRITECOPY";
    default: return std::to_string(protection);
  }
}

// Records the memory calls through the seam; the page last allocated is shown as "page".
class MemoryRecorder {
 public:
  explicit MemoryRecorder(bool refuseExecutable = false) {
    refuseExecutable_ = refuseExecutable;
    Platform().VirtualAlloc = [](LPVOID address, SIZE_T size, DWORD type, DWORD protection) {
      LPVOID result = RealPlatform().VirtualAlloc(address, size, type, protection);
      page_ = result;
      CallRecorder::Record("VirtualAlloc(" + Address(address) + ", " + std::to_string(size) + ", " +
                           (type == (MEM_COMMIT | MEM_RESERVE) ? "MEM_COMMIT|MEM_RESERVE" : std::to_string(type)) +
                           ", " + Protection(protection) + ")");
      return result;
    };
    // A guard against code made at run time refuses to make memory executable.
    Platform().VirtualProtect = [](LPVOID address, SIZE_T size, DWORD protection, PDWORD previous) {
      CallRecorder::Record("VirtualProtect(" + Address(address) + ", " + std::to_string(size) + ", " +
                           Protection(protection) + ")");
      if (refuseExecutable_) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
      }
      return RealPlatform().VirtualProtect(address, size, protection, previous);
    };
    Platform().FlushInstructionCache = [](HANDLE process, LPCVOID address, SIZE_T size) {
      CallRecorder::Record("FlushInstructionCache(" +
                           std::string(process == ::GetCurrentProcess() ? "this process" : "another") + ", " +
                           Address(address) + ", " + std::to_string(size) + ")");
      return RealPlatform().FlushInstructionCache(process, address, size);
    };
  }

  CallRecorder calls;  // puts the whole table back when the recorder goes
  static LPVOID page_;

 private:
  static std::string Address(LPCVOID address) {
    if (!address) return "0";
    return address == page_ ? "page" : "other address";
  }
  static bool refuseExecutable_;
};
LPVOID MemoryRecorder::page_ = nullptr;
bool MemoryRecorder::refuseExecutable_ = false;

MEMORY_BASIC_INFORMATION RegionOf(WNDPROC proc) {
  MEMORY_BASIC_INFORMATION region{};
  ::VirtualQuery(reinterpret_cast<LPCVOID>(proc), &region, sizeof region);
  return region;
}

bool IsCompiledIntoTheProgram(WNDPROC proc) {
  MEMORY_BASIC_INFORMATION region = RegionOf(proc);
  return region.Type == MEM_IMAGE && region.AllocationBase == ::GetModuleHandleW(nullptr);
}

// Every region of the process whose protection allows both writing and running.
std::vector<std::string> WritableAndExecutableRegions() {
  std::vector<std::string> found;
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  auto* at = static_cast<const uint8_t*>(system.lpMinimumApplicationAddress);
  MEMORY_BASIC_INFORMATION region{};
  while (at < system.lpMaximumApplicationAddress && ::VirtualQuery(at, &region, sizeof region) == sizeof region) {
    DWORD protection = region.Protect & 0xFF;
    if (region.State == MEM_COMMIT && (protection == PAGE_EXECUTE_READWRITE || protection == PAGE_EXECUTE_WRITECOPY)) {
      char text[64];
      std::snprintf(text, sizeof text, "%p +%lu %s", region.BaseAddress, static_cast<unsigned long>(region.RegionSize),
                    Protection(protection).c_str());
      found.push_back(text);
    }
    at = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize;
  }
  return found;
}

// A procedure whose handler answers with its own number.
std::unique_ptr<BoundWindowProc> Numbered(LRESULT number) {
  return std::make_unique<BoundWindowProc>([number](HWND, TMessage& message) {
    if (message.Msg == WM_APP) message.Result = number;
  });
}

TEST(WindowProcedure, CompiledProceduresComeFirstAndCarryTheirOwnObject) {
  std::vector<std::unique_ptr<BoundWindowProc>> held;
  MemoryRecorder memory;
  // Well below the table's size, with the dozen the program's own units hold.
  for (LRESULT number = 0; number < 100; ++number) held.push_back(Numbered(number));
  EXPECT_TRUE(memory.calls.Calls().empty()) << ShowSequences(memory.calls.Calls(), {});
  for (LRESULT number = 0; number < 100; ++number) {
    WNDPROC proc = held[number]->Proc();
    ASSERT_TRUE(IsCompiledIntoTheProgram(proc)) << "procedure " << number;
    EXPECT_EQ(proc(nullptr, WM_APP, 0, 0), number);
  }
  // A move carries the procedure and its object along; the moved-from one holds nothing.
  WNDPROC first = held[0]->Proc();
  BoundWindowProc moved(std::move(*held[0]));
  EXPECT_FALSE(*held[0]);
  EXPECT_EQ(moved.Proc(), first);
  EXPECT_EQ(first(nullptr, WM_APP, 0, 0), 0);
  moved = std::move(*held[1]);
  EXPECT_EQ(moved.Proc()(nullptr, WM_APP, 0, 0), 1);
}

TEST(WindowProcedure, AGivenBackProcedureAWindowStillHasAnswersByDefault) {
  UtilWindow window([](HWND hwnd, TMessage& message) { DefaultHandling(hwnd, message); });
  auto procedure = Numbered(7);
  WNDPROC proc = procedure->Proc();
  ASSERT_EQ(proc(window.Handle(), WM_APP, 0, 0), 7);
  procedure.reset();
  // The default answer to WM_QUERYENDSESSION is TRUE; the preset result would be 0.
  EXPECT_EQ(proc(window.Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_EQ(proc(window.Handle(), WM_APP, 0, 0), 0);
}

TEST(WindowProcedure, BeyondTheTablePagesAreWrittenThenSealedAndFreedThunksAreReusedAsTheyAre) {
  std::vector<std::unique_ptr<BoundWindowProc>> held;
  MemoryRecorder memory;
  // Lent until a page of thunks is made (the table, and any thunks left free before, run out first).
  const size_t limit = BoundWindowProc::kCompiledProcedures + 20000;
  while (held.size() < limit && memory.calls.Calls().empty()) held.push_back(Numbered(held.size()));
  std::vector<std::string> expected = {
      "VirtualAlloc(0, 4096, MEM_COMMIT|MEM_RESERVE, PAGE_READWRITE)",
      "VirtualProtect(page, 4096, PAGE_EXECUTE_READ)",
      "FlushInstructionCache(this process, page, 4096)",
  };
  ASSERT_EQ(memory.calls.Calls(), expected) << ShowSequences(memory.calls.Calls(), expected);
  EXPECT_GE(held.size(), BoundWindowProc::kCompiledProcedures - 20);

  WNDPROC thunk = held.back()->Proc();
  MEMORY_BASIC_INFORMATION region = RegionOf(thunk);
  EXPECT_EQ(region.BaseAddress, MemoryRecorder::page_);
  EXPECT_EQ(region.Type, static_cast<DWORD>(MEM_PRIVATE));
  EXPECT_EQ(region.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
  // More thunks from the same sealed page, then every procedure reaches its own object.
  for (int more = 0; more < 20; ++more) held.push_back(Numbered(held.size()));
  EXPECT_EQ(memory.calls.Calls().size(), expected.size()) << ShowSequences(memory.calls.Calls(), expected);
  for (size_t number = 0; number < held.size(); ++number) {
    ASSERT_EQ(held[number]->Proc()(nullptr, WM_APP, 0, 0), static_cast<LRESULT>(number)) << "procedure " << number;
  }
  EXPECT_EQ(WritableAndExecutableRegions(), std::vector<std::string>{});

  // Thunks given back and lent again: the same code, bound to new objects through
  // their slots. Writing the sealed page would fault; the seam sees no memory call.
  memory.calls.Clear();
  std::set<WNDPROC> givenBack;
  for (size_t number = held.size() - 15; number < held.size(); ++number) {
    givenBack.insert(held[number]->Proc());
    held[number] = nullptr;
  }
  for (size_t number = held.size() - 15; number < held.size(); ++number) {
    held[number] = Numbered(1000000 + number);
    EXPECT_EQ(givenBack.count(held[number]->Proc()), 1u) << "procedure " << number << " is not a reused thunk";
    EXPECT_EQ(held[number]->Proc()(nullptr, WM_APP, 0, 0), static_cast<LRESULT>(1000000 + number));
  }
  EXPECT_TRUE(memory.calls.Calls().empty()) << ShowSequences(memory.calls.Calls(), {});
  EXPECT_EQ(RegionOf(thunk).Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
}

TEST(WindowProcedure, UnderAGuardAgainstCodeMadeAtRunTimeTheTableServesAndThenAnErrorIsRaised) {
  std::vector<std::unique_ptr<BoundWindowProc>> held;
  MemoryRecorder memory(true);
  const size_t limit = BoundWindowProc::kCompiledProcedures + 20000;
  bool refused = false;
  try {
    while (held.size() < limit) held.push_back(Numbered(held.size()));
  } catch (const EOutOfResources&) {
    refused = true;
  }
  ASSERT_TRUE(refused);
  std::vector<std::string> expected = {
      "VirtualAlloc(0, 4096, MEM_COMMIT|MEM_RESERVE, PAGE_READWRITE)",
      "VirtualProtect(page, 4096, PAGE_EXECUTE_READ)",
  };
  EXPECT_EQ(memory.calls.Calls(), expected) << ShowSequences(memory.calls.Calls(), expected);
  // The unsealed page is given back, and what was lent before still works.
  MEMORY_BASIC_INFORMATION region{};
  ::VirtualQuery(MemoryRecorder::page_, &region, sizeof region);
  EXPECT_EQ(region.State, static_cast<DWORD>(MEM_FREE));
  for (size_t number = 0; number < held.size(); ++number) {
    ASSERT_EQ(held[number]->Proc()(nullptr, WM_APP, 0, 0), static_cast<LRESULT>(number)) << "procedure " << number;
  }
}

TEST(WindowProcedure, ThousandsOfWindowsMadeAndDestroyedEachReachTheirOwnObject) {
  constexpr int kRounds = 5;
  constexpr int kLiveAtOnce = 400;  // more than the table holds: thunks serve the rest
  int next = 0;
  std::set<WNDPROC> firstRound;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::unique_ptr<UtilWindow>> windows;
    std::vector<int> numbers;
    for (int i = 0; i < kLiveAtOnce; ++i, ++next) {
      windows.push_back(std::make_unique<UtilWindow>([number = next](HWND hwnd, TMessage& message) {
        if (message.Msg == WM_APP) {
          message.Result = number;
        } else {
          DefaultHandling(hwnd, message);
        }
      }));
      numbers.push_back(next);
    }
    std::set<WNDPROC> procs;
    for (int i = 0; i < kLiveAtOnce; ++i) {
      HWND window = windows[i]->Handle();
      ASSERT_EQ(::SendMessageW(window, WM_APP, 0, 0), numbers[i]) << "round " << round << ", window " << i;
      procs.insert(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC)));
    }
    EXPECT_EQ(procs.size(), static_cast<size_t>(kLiveAtOnce));
    // Later rounds get back the procedures of the first, none made anew.
    if (round == 0) {
      firstRound = procs;
    } else {
      EXPECT_EQ(procs, firstRound) << "round " << round;
    }
    // Every other window first, so the free list is shuffled for the next round.
    for (int i = 0; i < kLiveAtOnce; i += 2) windows[i] = nullptr;
  }
}

}  // namespace
}  // namespace lumek
