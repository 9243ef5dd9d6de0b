// Object-bound window procedures: compiled ones first, then pages of thunks
// sealed executable and read-only, and never memory writable and executable.
#include <gtest/gtest.h>

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
  return protection == PAGE_READWRITE           ? "PAGE_READWRITE"
         : protection == PAGE_EXECUTE_READ      ? "PAGE_EXECUTE_READ"
         : protection == PAGE_EXECUTE_READWRITE ? "PAGE_EXECUTE_READWRITE"
                                                : std::to_string(protection);
}

LPVOID lastPage = nullptr;
bool refuseExecutable = false;  // as a guard against code made at run time does
std::string Page(LPCVOID address) { return address == lastPage ? "page" : address ? "other address" : "0"; }

// The memory calls of the procedures through the seam, forwarded.
struct MemoryRecorder {
  explicit MemoryRecorder(bool refuse = false) {
    refuseExecutable = refuse;
    Platform().VirtualAlloc = [](LPVOID address, SIZE_T size, DWORD type, DWORD protection) {
      lastPage = RealPlatform().VirtualAlloc(address, size, type, protection);
      CallRecorder::Record("VirtualAlloc(" + Page(address) + ", " + std::to_string(size) + ", " +
                           (type == (MEM_COMMIT | MEM_RESERVE) ? "MEM_COMMIT|MEM_RESERVE" : std::to_string(type)) +
                           ", " + Protection(protection) + ")");
      return lastPage;
    };
    Platform().VirtualProtect = [](LPVOID address, SIZE_T size, DWORD protection, PDWORD previous) {
      CallRecorder::Record("VirtualProtect(" + Page(address) + ", " + std::to_string(size) + ", " +
                           Protection(protection) + ")");
      return refuseExecutable ? FALSE : RealPlatform().VirtualProtect(address, size, protection, previous);
    };
    Platform().FlushInstructionCache = [](HANDLE process, LPCVOID address, SIZE_T size) {
      CallRecorder::Record(std::string("FlushInstructionCache(") +
                           (process == ::GetCurrentProcess() ? "this process" : "another") + ", " + Page(address) +
                           ", " + std::to_string(size) + ")");
      return RealPlatform().FlushInstructionCache(process, address, size);
    };
  }
  CallRecorder calls;  // puts the whole table back at the end
};

MEMORY_BASIC_INFORMATION RegionOf(LPCVOID address) {
  MEMORY_BASIC_INFORMATION region{};
  ::VirtualQuery(address, &region, sizeof region);
  return region;
}

// Every committed region of the process that may be both written and run.
std::vector<std::string> WritableAndExecutableRegions() {
  std::vector<std::string> found;
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  for (auto* at = static_cast<const char*>(system.lpMinimumApplicationAddress); at < system.lpMaximumApplicationAddress;) {
    MEMORY_BASIC_INFORMATION region = RegionOf(at);
    if (region.RegionSize == 0) break;
    DWORD protection = region.Protect & 0xFF;
    if (region.State == MEM_COMMIT && (protection == PAGE_EXECUTE_READWRITE || protection == PAGE_EXECUTE_WRITECOPY)) {
      char text[64];
      std::snprintf(text, sizeof text, "%p %s", region.BaseAddress, Protection(protection).c_str());
      found.push_back(text);
    }
    at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
  }
  return found;
}

// A procedure whose object answers WM_APP with its own number.
std::unique_ptr<BoundWindowProc> Numbered(size_t number) {
  return std::make_unique<BoundWindowProc>([number](HWND, TMessage& message) {
    if (message.Msg == WM_APP) message.Result = static_cast<LRESULT>(number);
  });
}

void ExpectEachReachesItsOwnObject(const std::vector<std::unique_ptr<BoundWindowProc>>& held) {
  for (size_t number = 0; number < held.size(); ++number) {
    ASSERT_EQ(held[number]->Proc()(nullptr, WM_APP, 0, 0), static_cast<LRESULT>(number)) << "procedure " << number;
  }
}

TEST(WindowProcedure, TheCompiledTableFirstThenAPageWrittenOnceAndSealedWhoseFreedThunksAreReusedAsTheyAre) {
  std::vector<std::unique_ptr<BoundWindowProc>> held;
  MemoryRecorder memory;
  // Lent until a page of thunks is made: the table (and any thunk left free before) runs out first.
  while (held.size() < 20000 && memory.calls.Calls().empty()) held.push_back(Numbered(held.size()));
  std::vector<std::string> expected = {
      "VirtualAlloc(0, 4096, MEM_COMMIT|MEM_RESERVE, PAGE_READWRITE)",
      "VirtualProtect(page, 4096, PAGE_EXECUTE_READ)",
      "FlushInstructionCache(this process, page, 4096)",
  };
  ASSERT_EQ(memory.calls.Calls(), expected) << ShowSequences(memory.calls.Calls(), expected);
  for (size_t number = 0; number < 100; ++number) {
    MEMORY_BASIC_INFORMATION region = RegionOf(reinterpret_cast<LPCVOID>(held[number]->Proc()));
    ASSERT_EQ(region.AllocationBase, ::GetModuleHandleW(nullptr)) << "procedure " << number << " is not compiled in";
  }
  WNDPROC thunk = held.back()->Proc();
  MEMORY_BASIC_INFORMATION region = RegionOf(reinterpret_cast<LPCVOID>(thunk));
  EXPECT_EQ(region.BaseAddress, lastPage);
  EXPECT_EQ(region.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
  for (int more = 0; more < 20; ++more) held.push_back(Numbered(held.size()));
  EXPECT_EQ(memory.calls.Calls().size(), expected.size()) << "one page serves many thunks";
  ExpectEachReachesItsOwnObject(held);
  EXPECT_EQ(WritableAndExecutableRegions(), std::vector<std::string>{});

  // Given back and lent again: the same code bound anew through its slot. A
  // write to the sealed page would fault; the seam sees no memory call.
  memory.calls.Clear();
  std::set<WNDPROC> givenBack;
  for (size_t number = held.size() - 15; number < held.size(); ++number) {
    givenBack.insert(held[number]->Proc());
    held[number] = nullptr;
  }
  for (size_t number = held.size() - 15; number < held.size(); ++number) {
    held[number] = Numbered(number);
    EXPECT_EQ(givenBack.count(held[number]->Proc()), 1u) << "procedure " << number << " is not a reused thunk";
  }
  ExpectEachReachesItsOwnObject(held);
  EXPECT_TRUE(memory.calls.Calls().empty()) << ShowSequences(memory.calls.Calls(), {});
  EXPECT_EQ(RegionOf(reinterpret_cast<LPCVOID>(thunk)).Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
}

TEST(WindowProcedure, UnderAGuardAgainstCodeMadeAtRunTimeTheTableServesThenAnErrorIsRaised) {
  std::vector<std::unique_ptr<BoundWindowProc>> held;
  MemoryRecorder memory(true);
  EXPECT_THROW(
      while (held.size() < 20000) held.push_back(Numbered(held.size())), EOutOfResources);
  std::vector<std::string> expected = {
      "VirtualAlloc(0, 4096, MEM_COMMIT|MEM_RESERVE, PAGE_READWRITE)",
      "VirtualProtect(page, 4096, PAGE_EXECUTE_READ)",
  };
  EXPECT_EQ(memory.calls.Calls(), expected) << ShowSequences(memory.calls.Calls(), expected);
  EXPECT_EQ(RegionOf(lastPage).State, static_cast<DWORD>(MEM_FREE)) << "the unsealed page is given back";
  EXPECT_GE(held.size(), BoundWindowProc::kCompiledProcedures - 20);
  ExpectEachReachesItsOwnObject(held);
}

TEST(WindowProcedure, AMoveCarriesTheObjectAndAProcedureGivenBackAnswersByDefault) {
  UtilWindow window([](HWND hwnd, TMessage& message) { DefaultHandling(hwnd, message); });
  auto procedure = Numbered(7);
  WNDPROC proc = procedure->Proc();
  BoundWindowProc moved(std::move(*procedure));
  EXPECT_FALSE(*procedure);
  ASSERT_EQ(moved.Proc(), proc);
  EXPECT_EQ(proc(window.Handle(), WM_APP, 0, 0), 7);
  moved.Release();
  // A window may keep it: the default answer to WM_QUERYENDSESSION is TRUE, the preset result 0.
  EXPECT_EQ(proc(window.Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_EQ(proc(window.Handle(), WM_APP, 0, 0), 0);
}

TEST(WindowProcedure, ThousandsOfWindowsMadeAndDestroyedEachReachTheirOwnObject) {
  constexpr int kRounds = 5;
  constexpr int kLiveAtOnce = 400;  // more than the table holds: thunks serve the rest
  // The windows are only sent messages: they need no place on the desktop.
  CallRecorder windowsOffTheDesktop;
  windowsOffTheDesktop.MessageOnlyWindows();
  std::set<WNDPROC> firstRound;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::unique_ptr<UtilWindow>> windows;
    std::set<WNDPROC> procs;
    for (int i = 0; i < kLiveAtOnce; ++i) {
      windows.push_back(std::make_unique<UtilWindow>([number = round * kLiveAtOnce + i](HWND hwnd, TMessage& message) {
        if (message.Msg == WM_APP) {
          message.Result = number;
        } else {
          DefaultHandling(hwnd, message);
        }
      }));
    }
    for (int i = 0; i < kLiveAtOnce; ++i) {
      ASSERT_EQ(::SendMessageW(windows[i]->Handle(), WM_APP, 0, 0), round * kLiveAtOnce + i) << "round " << round;
      procs.insert(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(windows[i]->Handle(), GWLP_WNDPROC)));
    }
    EXPECT_EQ(procs.size(), static_cast<size_t>(kLiveAtOnce));
    // Later rounds get back the procedures of the first, none made anew.
    if (round == 0) firstRound = procs;
    EXPECT_EQ(procs, firstRound) << "round " << round;
    // Every other window first, so the free list is shuffled for the next round.
    for (int i = 0; i < kLiveAtOnce; i += 2) windows[i] = nullptr;
  }
}

}  // namespace
}  // namespace lumek
