// The tracking tick of the real main form: what one Timer1Timer costs with the
// pointer still and with it moving, and how many heap allocations it makes;
// beside it, the once-a-second display check.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/Mainwindow1.h"
#include "bench/Sections.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Platform.h"
#include "timers/HiTimer.h"

namespace lumek::bench {
namespace {

constexpr int kTicks = 5000;

// A pointer that moves a few pixels at every reading, across the whole screen.
BOOL MovingCursorPos(POINT* point) {
  static int step = 0;
  ++step;
  point->x = (step * 7) % Screen->Width();
  point->y = (step * 3) % Screen->Height();
  return TRUE;
}

void PumpPending() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

struct TickFigures {
  const char* name;
  double p50Us, p99Us, maxUs, allocationsPerTick;
};

// The handler called as the synchronized tick calls it, the pending messages
// handled between ticks (outside the measurement) as the loop would.
TickFigures MeasureTicks(const char* name, TMainForm1& form) {
  std::vector<double> costs;
  costs.reserve(kTicks);
  uint64_t allocations = 0;
  for (int i = 0; i < kTicks; ++i) {
    PumpPending();
    uint64_t allocationsBefore = Allocations.load();
    int64_t start = CounterNow();
    form.Timer1Timer(form.Timer1);
    int64_t end = CounterNow();
    allocations += Allocations.load() - allocationsBefore;
    costs.push_back(CounterToMs(end - start) * 1000.0);
  }
  double maxUs = 0;
  for (double cost : costs) maxUs = std::max(maxUs, cost);
  return TickFigures{name, Percentile(costs, 0.50), Percentile(costs, 0.99), maxUs,
                     static_cast<double>(allocations) / kTicks};
}

// One call alone, as often as the ticks are measured.
TickFigures MeasureCall(const char* name, const std::function<void()>& call) {
  std::vector<double> costs;
  costs.reserve(kTicks);
  for (int i = 0; i < kTicks; ++i) {
    int64_t start = CounterNow();
    call();
    costs.push_back(CounterToMs(CounterNow() - start) * 1000.0);
  }
  double maxUs = 0;
  for (double cost : costs) maxUs = std::max(maxUs, cost);
  return TickFigures{name, Percentile(costs, 0.50), Percentile(costs, 0.99), maxUs, NAN};
}

// The whole road of a tick with the form's own handler, as bound from its
// description: the worker's wake-up, the hand-over through the
// synchronized-call queue, the handler; allocations on every thread. Each
// tick reads the pointer once, so the readings count the ticks.
int gPointerReadings = 0;
BOOL CountedMovingCursorPos(POINT* point) {
  ++gPointerReadings;
  return MovingCursorPos(point);
}

double AllocationsPerWorkerTick(TMainForm1& form) {
  Platform().GetCursorPos = CountedMovingCursorPos;
  form.Timer1->SetEnabled(true);
  while (gPointerReadings < 5) Application->HandleMessage();
  uint64_t before = Allocations.load();
  int first = gPointerReadings;
  while (gPointerReadings < first + 200) Application->HandleMessage();
  uint64_t made = Allocations.load() - before;
  form.Timer1->SetEnabled(false);
  return static_cast<double>(made) / (gPointerReadings - first);
}

}  // namespace

void TrackingTickSection() {
  // The exe's own folder holds no LUMEK.ini, so the form starts with the defaults; nothing is written.
  auto form = std::make_unique<TMainForm1>(Application);
  // Only the measured calls tick; the heartbeat would move the phase and play sounds.
  form->Timer1->SetEnabled(false);
  form->Timer2->SetEnabled(false);
  PumpPending();

  std::vector<TickFigures> rows;
  rows.push_back(MeasureTicks("Timer1Timer, still", *form));
  HWND mainWindow = form->WindowHandle();
  rows.push_back(MeasureCall("GetCursorPos", [] {
    POINT point;
    Platform().GetCursorPos(&point);
  }));
  rows.push_back(MeasureCall("SetWindowPos top", [mainWindow] {
    Platform().SetWindowPos(mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }));
  // The once-a-second look at the desktop, on an unchanged one: its monitors listed and compared.
  rows.push_back(MeasureCall("display check", [&form] { form->FollowDisplay(); }));
  PlatformCalls saved = Platform();
  Platform().GetCursorPos = MovingCursorPos;
  rows.push_back(MeasureTicks("Timer1Timer, moving", *form));
  double workerAllocations = AllocationsPerWorkerTick(*form);
  Platform() = saved;

  std::printf("%d calls of TMainForm1::Timer1Timer each; cost in us\n", kTicks);
  std::printf("%-20s %9s %9s %9s %12s\n", "call", "p50", "p99", "max", "allocs/tick");
  for (const TickFigures& row : rows) {
    std::printf("%-20s %9.1f %9.1f %9.1f %12.3f\n", row.name, row.p50Us, row.p99Us, row.maxUs,
                row.allocationsPerTick);
  }
  std::printf("GetCursorPos and SetWindowPos top: the platform calls alone, as a still tick makes them\n");
  std::printf("display check: the main form's once-a-second look at the monitors' rectangles, unchanged\n");
  std::printf("whole tick through Timer1's worker (pointer moving): %.2f allocations per tick\n", workerAllocations);
  std::printf("goal: p99 < 100 us, 0 allocations per tick\n");
  const double slowestMs = rows.back().maxUs / 1000.0;
  std::printf("slowest moving tick: %.1f ms (goal: at most 50 ms) %s\n", slowestMs,
              slowestMs <= 50.0 ? "MET" : "NOT MET");
  form.reset();
  PumpPending();
}

}  // namespace lumek::bench
