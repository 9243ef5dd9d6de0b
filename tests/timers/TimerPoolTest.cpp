#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/Strings.h"
#include "framework/TextRules.h"
#include "timers/TimerPool.h"
#include "tests/timers/TimerTestSupport.h"

namespace lumek::test {
namespace {

// Passes are driven by hand (HandleTimers) so phases are counted exactly;
// the window timer runs meanwhile but its messages are not pumped.
class TimerPoolPasses : public ::testing::Test {
 protected:
  // The 1-based numbers of the passes (since `Mark`) on which `name` fired.
  TNotifyEvent Recording(std::string name) {
    return [this, name](TObject*) { fired_.push_back(name + "@" + std::to_string(pass_)); };
  }
  void Passes(int count) {
    for (int i = 0; i < count; ++i) {
      ++pass_;
      pool_.HandleTimers();
    }
  }
  void Mark() { pass_ = 0; }
  TTimerPool pool_{nullptr, 50};
  std::vector<std::string> fired_;
  int pass_ = 0;
};

TEST_F(TimerPoolPasses, ItemFiresOnEveryMultipleOfItsPeriodCountedFromTheLastAdd) {
  pool_.AddTimer(1, 200, Recording("a"));
  Passes(9);
  Mark();
  pool_.AddTimer(2, 100, Recording("b"));  // restarts the phase of every item
  Passes(4);
  std::vector<std::string> expected{"a@4", "a@8", "b@2", "a@4", "b@4"};
  EXPECT_EQ(fired_, expected) << ShowSequences(fired_, expected);
}

TEST_F(TimerPoolPasses, CallCountDisablesAfterItsTicksAndReenablingCountsAgain) {
  pool_.AddTimerExt(1, 50, 3, true, Recording("a"));
  TTimerItem* item = pool_.GetTimer(1);
  Passes(5);
  EXPECT_EQ(fired_.size(), 3u);
  EXPECT_FALSE(item->Enabled());
  EXPECT_EQ(item->Counter(), 3);
  item->SetEnabled(true);
  EXPECT_EQ(item->Counter(), 0);
  Passes(5);
  EXPECT_EQ(fired_.size(), 6u);

  item->SetCallCount(0);
  EXPECT_FALSE(item->Enabled());
  item->SetEnabled(true);
  EXPECT_FALSE(item->Enabled()) << "enabling must be refused while CallCount is 0";
  item->SetCallCount(-7);
  EXPECT_EQ(item->CallCount(), -1);
}

TEST_F(TimerPoolPasses, ItemIntervalRules) {
  pool_.AddTimer(1, 100, Recording("a"));
  TTimerItem* item = pool_.GetTimer(1);
  Passes(2);
  ASSERT_EQ(item->Counter(), 1);
  struct Row {
    const char* name;
    uint16_t requested;
    uint16_t interval;
    int32_t periodCount;
    int32_t counter;
  };
  const Row rows[] = {{"not a multiple is ignored", 120, 100, 2, 1},
                      {"a multiple is taken and resets the counter", 250, 250, 5, 0},
                      {"zero means the base period", 0, 50, 1, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    item->SetInterval(row.requested);
    EXPECT_EQ(item->Interval(), row.interval);
    EXPECT_EQ(item->PeriodCount(), row.periodCount);
    EXPECT_EQ(item->Counter(), row.counter);
  }
}

TEST_F(TimerPoolPasses, PoolHandlerServesItemsWithoutTheirOwn) {
  std::vector<std::pair<uint16_t, int32_t>> calls;
  pool_.OnTimer = [&](TObject* sender, uint16_t ident, int32_t counter) {
    EXPECT_EQ(sender, &pool_);
    calls.emplace_back(ident, counter);
  };
  pool_.AddTimer(7, 50, nullptr);
  Passes(2);
  std::vector<std::pair<uint16_t, int32_t>> expected{{7, 1}, {7, 2}};
  EXPECT_EQ(calls, expected);
  EXPECT_TRUE(pool_.HasTimerProc());
}

TEST_F(TimerPoolPasses, HandlerRemovingItsOwnItemSkipsTheNextInThatPass) {
  pool_.AddTimer(1, 50, [&](TObject*) {
    fired_.push_back("a@" + std::to_string(pass_));
    pool_.RemoveTimer(1);
  });
  pool_.AddTimer(2, 50, Recording("b"));
  pool_.AddTimer(3, 50, Recording("c"));
  Passes(2);
  std::vector<std::string> expected{"a@1", "c@1", "b@2", "c@2"};
  EXPECT_EQ(fired_, expected) << ShowSequences(fired_, expected);
}

TEST(TimerPool, RefusedItemsAddNothing) {
  TTimerPool pool(nullptr, 50);
  for (uint16_t interval : {75, 25, 0}) {
    SCOPED_TRACE(interval);
    try {
      pool.AddTimer(1, interval, nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& exception) {
      EXPECT_EQ(exception.Message(), L"Interval not compatible with MinInterval property!");
    }
  }
  EXPECT_EQ(pool.GetCount(), 0);
  EXPECT_EQ(pool.AddTimer(1, 50, nullptr), 0);
  EXPECT_EQ(pool.AddTimer(2, 50, nullptr), 1);
  EXPECT_THROW(pool.AddTimer(1, 100, nullptr), Exception);
  EXPECT_EQ(pool.GetCount(), 2);
  EXPECT_EQ(pool.GetTimer(1)->Interval(), 50);

  TTimerList list;
  try {
    TTimerItem item(nullptr, &list, 1);
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidOperation& exception) {
    EXPECT_EQ(exception.Message(), L"TTimerItem: Invalid Owner or List");
  }
  EXPECT_THROW(TTimerItem(&pool, nullptr, 1), EInvalidOperation);
}

TEST(TimerPool, WindowTimerStartsOnAddAndStopsWithTheLastItem) {
  CallRecorder recorder;
  recorder.WindowTimers();
  TTimerPool pool(nullptr, 50);
  pool.AddTimerExt(1, 100, -1, false, nullptr);  // enabled while it was added
  ASSERT_NE(pool.WindowHandle(), nullptr);
  std::string window = recorder.NameOf(pool.WindowHandle());
  EXPECT_TRUE(pool.Active());
  EXPECT_FALSE(pool.GetTimer(1)->Enabled());
  EXPECT_EQ(pool.GetActiveTimers(), 0);
  pool.RemoveTimer(99);  // not in the pool
  EXPECT_TRUE(pool.Active());
  pool.RemoveTimer(1);
  EXPECT_FALSE(pool.Active());
  std::vector<std::string> expected{"KillTimer(" + window + ", 1)", "SetTimer(" + window + ", 1, 50, null)",
                                    "KillTimer(" + window + ", 1)"};
  EXPECT_EQ(recorder.Calls(), expected) << ShowSequences(recorder.Calls(), expected);
}

TEST(TimerPool, MinIntervalIsTakenOnlyWhileLoadingAndZeroMeansOneMillisecond) {
  TTimerPool pool(nullptr, 50);
  pool.SetMinInterval(100);
  EXPECT_EQ(pool.MinInterval(), 50);
  pool.SetLoading(true);
  pool.SetMinInterval(100);
  EXPECT_EQ(pool.MinInterval(), 100);
  TTimerPool zero(nullptr, 0);
  EXPECT_EQ(zero.AddTimer(1, 7, nullptr), 0);
  EXPECT_EQ(zero.GetTimer(1)->PeriodCount(), 7);
}

TEST(TimerPool, RealWindowTimerDrivesPasses) {
  TTimerPool pool(nullptr, 10);
  int fired = 0;
  pool.AddTimer(1, 20, [&](TObject*) { ++fired; });
  EXPECT_TRUE(PumpUntil([&] { return fired >= 3; }, 5000));
}

TEST(TimerPool, ExceptionInAPassIsReportedAndThePoolStaysSilentAfter) {
  ReportedExceptions reported;
  TTimerPool pool(nullptr, 50);
  int fired = 0;
  pool.AddTimer(1, 50, [&](TObject*) {
    ++fired;
    throw Exception("pass failed");
  });
  ::SendMessageA(pool.WindowHandle(), WM_TIMER, 1, 0);
  EXPECT_EQ(reported.count, 1);
  EXPECT_EQ(reported.lastMessage, "pass failed");
  ::SendMessageA(pool.WindowHandle(), WM_TIMER, 1, 0);
  EXPECT_EQ(fired, 1);
}

TEST(AppServices, CreatedAtStartUpWithItsPoolMutexAndCursor) {
  ASSERT_NE(AppServices, nullptr);
  EXPECT_EQ(AppServices->Pool()->MinInterval(), 50);
  EXPECT_EQ(AppServices->Pool()->GetCount(), 0);
  EXPECT_GT(AppServices->GetTimerFrequency(), 0.0);
  EXPECT_FALSE(AppServices->MutexAlreadyExisted());
  std::wstring name = ExtractFileName(ModuleFileName());
  UniqueKernelHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
  EXPECT_TRUE(mutex) << "no mutex named " << WideToUtf8(name);
  EXPECT_NE(Screen->Cursor(TAppServices::kCursorIndex), nullptr);
}

// The module path the platform reports, and the mutexes asked for, while a
// second service object is made.
class ServicesMutexName : public ::testing::Test {
 protected:
  static std::wstring& ReportedPath() {
    static std::wstring path;
    return path;
  }
  ServicesMutexName() {
    Platform().GetModuleFileNameW = [](HMODULE, LPWSTR buffer, DWORD size) -> DWORD {
      const std::wstring& path = ReportedPath();
      // As the platform does: a path that does not fit fills the buffer and reports its size.
      DWORD copied = std::min<DWORD>(static_cast<DWORD>(path.size()), size);
      std::wmemcpy(buffer, path.data(), copied);
      if (copied < size) buffer[copied] = L'\0';
      return copied;
    };
    recorder_.Mutexes();
  }
  CallRecorder recorder_;
};

TEST_F(ServicesMutexName, IsTheExecutablesFileNameAndNoneForACutOffPath) {
  struct Row {
    const char* name;
    std::wstring path;
    std::vector<std::string> expected;
  } rows[] = {
      {"plain path", L"C:\\Tools\\LUMEK.exe", {"CreateMutexW(0, FALSE, LUMEK.exe)"}},
      {"directory with a Shift-JIS 0x5C second byte", L"C:\\\u8868\\LUMEK.exe", {"CreateMutexW(0, FALSE, LUMEK.exe)"}},
      {"directory outside code page 932", L"C:\\Lumek \u00DC\u00E9 \uD55C \U0001F600\\LUMEK.exe",
       {"CreateMutexW(0, FALSE, LUMEK.exe)"}},
      {"a file name outside code page 932", L"C:\\Tools\\L\u00DCMEK.exe", {"CreateMutexW(0, FALSE, LÜMEK.exe)"}},
      {"260 characters, the old limit", L"C:\\" + std::wstring(247, L'd') + L"\\LUMEK.exe",
       {"CreateMutexW(0, FALSE, LUMEK.exe)"}},
      {"beyond the old limit: read whole", L"C:\\" + std::wstring(300, L'd') + L"\\LUMEK.exe",
       {"CreateMutexW(0, FALSE, LUMEK.exe)"}},
      {"cut off beyond the longest path", L"C:\\" + std::wstring(33000, L'd') + L"\\LUMEK.exe", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ReportedPath() = row.path;
    recorder_.Clear();
    {
      TAppServices services;
      EXPECT_FALSE(services.MutexAlreadyExisted()) << "a cut-off path or a fresh name has no earlier owner";
      EXPECT_EQ(services.Pool()->MinInterval(), 50) << "the rest of the object is made all the same";
    }
    std::vector<std::string> calls = recorder_.CallsStartingWith("CreateMutexW");
    EXPECT_EQ(calls, row.expected) << ShowSequences(calls, row.expected);
  }
}

TEST(AppServices, IdentifiersRunOutAtThe251stAndTheLowestFreeSlotIsReused) {
  TTimerPool* pool = AppServices->Pool();
  std::vector<uint16_t> ids;
  for (int i = 0; i < 250; ++i) ids.push_back(AppServices->AddTimer(50, nullptr));
  EXPECT_EQ(ids.front(), 0xFD01);
  EXPECT_EQ(ids.back(), 0xFDFA);
  EXPECT_EQ(std::set<uint16_t>(ids.begin(), ids.end()).size(), 250u);
  EXPECT_EQ(AppServices->AddTimer(50, nullptr), 0);
  EXPECT_EQ(AppServices->AddTimerExt(50, -1, true, nullptr), 0);
  EXPECT_EQ(pool->GetCount(), 250);

  AppServices->RemoveTimer(0x1234);  // outside the service's range
  AppServices->RemoveTimer(0xFD40);
  AppServices->RemoveTimer(0xFD09);
  EXPECT_EQ(AppServices->GetTimer(0xFD09), nullptr);
  EXPECT_EQ(AppServices->AddTimerExt(100, 2, false, nullptr), 0xFD09);
  EXPECT_EQ(AppServices->GetTimer(0xFD09)->CallCount(), 2);
  EXPECT_EQ(AppServices->AddTimer(50, nullptr), 0xFD40);
  EXPECT_EQ(AppServices->AddTimer(75, nullptr), 0) << "with no slot free the pool must not be asked";

  for (uint16_t id : ids) AppServices->RemoveTimer(id);
  EXPECT_EQ(pool->GetCount(), 0);
  EXPECT_FALSE(pool->Active());
  EXPECT_EQ(AppServices->GetTimerIdent(), 1);
}

}  // namespace
}  // namespace lumek::test
