// Lumek's benchmarks. Each section is one function that measures and prints
// its own table; add a row to kSections for a new one.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/Sections.h"
#include "framework/Application.h"
#include "framework/Units.h"
#include "framework/WindowProcedure.h"
#include "timers/HiTimer.h"

namespace lumek {
namespace bench {

int64_t CounterNow() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double CounterToMs(int64_t counts) {
  static const double frequency = [] {
    LARGE_INTEGER value;
    ::QueryPerformanceFrequency(&value);
    return static_cast<double>(value.QuadPart);
  }();
  return static_cast<double>(counts) * 1000.0 / frequency;
}

// The value below which `fraction` of the samples lie (nearest rank).
double Percentile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return NAN;
  std::sort(samples.begin(), samples.end());
  size_t rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(samples.size())));
  return samples[std::min(samples.size(), std::max<size_t>(rank, 1)) - 1];
}

}  // namespace bench

namespace {

using bench::CounterNow;
using bench::CounterToMs;
using bench::Percentile;

// Runs the application's own message loop, so the measured path is the one
// the program takes, until `done` holds or `limitMs` passes.
bool RunLoopUntil(const std::function<bool()>& done, DWORD limitMs) {
  // A thread timer keeps the loop's WaitMessage from sleeping past the limit if a timer stalls.
  UINT_PTR heartbeat = ::SetTimer(nullptr, 0, 250, nullptr);
  DWORD start = ::GetTickCount();
  bool reached = true;
  while (!done()) {
    if (::GetTickCount() - start > limitMs) {
      reached = false;
      break;
    }
    Application->HandleMessage();
  }
  ::KillTimer(nullptr, heartbeat);
  return reached;
}

// The starts of successive handler calls and, where the timer can tell, the
// hand-over latency of each call.
struct TickRecord {
  std::vector<int64_t> starts;
  std::vector<double> handOverMs;
  bool Full(size_t ticks) const { return starts.size() > ticks; }
};

// One timer's figures gathered over the rounds: the periods between
// successive handler starts within each round, and the hand-overs.
struct TimerSamples {
  std::string name;
  std::vector<double> periodsMs;
  std::vector<double> handOverMs;

  void Add(const TickRecord& record) {
    for (size_t i = 1; i < record.starts.size(); ++i) {
      periodsMs.push_back(CounterToMs(record.starts[i] - record.starts[i - 1]));
    }
    handOverMs.insert(handOverMs.end(), record.handOverMs.begin(), record.handOverMs.end());
  }
};

struct TimerResult {
  std::string name;
  double meanPeriodMs;
  double deviationP50;
  double deviationP99;
  double handOverP50;
  double handOverP99;
  double handOverMax;
};

TimerResult Summarize(const TimerSamples& samples, uint32_t periodMs) {
  std::vector<double> deviations;
  double total = 0;
  for (double period : samples.periodsMs) {
    total += period;
    deviations.push_back(std::fabs(period - periodMs));
  }
  double mean = deviations.empty() ? NAN : total / static_cast<double>(deviations.size());
  const std::vector<double>& handOver = samples.handOverMs;
  double handOverMax = handOver.empty() ? NAN : *std::max_element(handOver.begin(), handOver.end());
  return TimerResult{samples.name,
                     mean,
                     Percentile(deviations, 0.50),
                     Percentile(deviations, 0.99),
                     Percentile(handOver, 0.50),
                     Percentile(handOver, 0.99),
                     handOverMax};
}

constexpr uint32_t kPeriodMs = 20;
// Interleaved: round by round each timer runs once, so a busy phase of the
// machine weighs on all of them alike.
constexpr int kRounds = 5;
constexpr size_t kTicksPerRound = 100;
constexpr DWORD kRunLimitMs = 60000;

TickRecord MeasureHiTimer(bool useThread) {
  TickRecord record;
  record.starts.reserve(kTicksPerRound + 1);
  record.handOverMs.reserve(kTicksPerRound + 1);
  THiTimer timer(nullptr, kPeriodMs);
  timer.SetUseThread(useThread);
  timer.SetOnTimer([&](TObject*) {
    int64_t start = CounterNow();
    if (record.Full(kTicksPerRound)) return;
    record.starts.push_back(start);
    if (useThread) record.handOverMs.push_back(CounterToMs(start - timer.LastWorkerWake()));
  });
  timer.SetEnabled(true);
  RunLoopUntil([&] { return record.Full(kTicksPerRound); }, kRunLimitMs);
  timer.SetEnabled(false);
  return record;
}

TickRecord MeasureWindowTimer() {
  TickRecord record;
  record.starts.reserve(kTicksPerRound + 1);
  UtilWindow window([&](HWND handle, TMessage& message) {
    if (message.Msg == WM_TIMER && message.WParam == 1) {
      if (!record.Full(kTicksPerRound)) record.starts.push_back(CounterNow());
      return;
    }
    DefaultHandling(handle, message);
  });
  ::SetTimer(window.Handle(), 1, kPeriodMs, nullptr);
  RunLoopUntil([&] { return record.Full(kTicksPerRound); }, kRunLimitMs);
  ::KillTimer(window.Handle(), 1);
  return record;
}

void PrintValue(double value) {
  if (std::isnan(value)) {
    std::printf(" %9s", "-");
  } else {
    std::printf(" %9.3f", value);
  }
}

void TimerSection() {
  TimerSamples samples[] = {{"THiTimer thread mode", {}, {}},
                            {"THiTimer message mode", {}, {}},
                            {"SetTimer window timer", {}, {}}};
  for (int round = 0; round < kRounds; ++round) {
    samples[0].Add(MeasureHiTimer(true));
    samples[1].Add(MeasureHiTimer(false));
    samples[2].Add(MeasureWindowTimer());
  }
  std::vector<TimerResult> results;
  for (const TimerSamples& timer : samples) results.push_back(Summarize(timer, kPeriodMs));
  double reference = results.front().deviationP99;

  std::printf("%d interleaved rounds of %u ticks of %u ms each; times in ms; deviation = |period - %u|\n", kRounds,
              static_cast<unsigned>(kTicksPerRound), kPeriodMs, kPeriodMs);
  std::printf("%-24s %9s %9s %9s %9s %9s %9s %9s\n", "timer", "mean", "dev p50", "dev p99", "hand p50", "hand p99",
              "hand max", "p99/HiT");
  for (const TimerResult& result : results) {
    std::printf("%-24s", result.name.c_str());
    PrintValue(result.meanPeriodMs);
    PrintValue(result.deviationP50);
    PrintValue(result.deviationP99);
    PrintValue(result.handOverP50);
    PrintValue(result.handOverP99);
    PrintValue(result.handOverMax);
    PrintValue(reference > 0 ? result.deviationP99 / reference : NAN);
    std::printf("\n");
  }
  std::printf("hand = worker wake-up after its timed wait to handler start (thread mode only)\n");
  const double windowTimer = results.back().deviationP99;
  std::printf("THiTimer thread mode dev p99 / SetTimer's: %.2f (goal: at most 1.00) %s\n",
              windowTimer > 0 ? reference / windowTimer : NAN, reference <= windowTimer ? "MET" : "NOT MET");
}

struct Section {
  const char* name;
  void (*run)();
};

const Section kSections[] = {
    {"Timers at 20 ms", TimerSection},
    {"Tracking tick", bench::TrackingTickSection},
    {"CPU at 20 ms tracking", bench::CpuTimeSection},
    {"First move after a rest", bench::FirstMoveSection},
    {"Start-up and exe size", bench::StartUpSection},
};

}  // namespace
}  // namespace lumek

// With an argument, only the sections whose name contains it run.
int main(int argc, char** argv) {
  lumek::InitializeUnits();
  for (const lumek::Section& section : lumek::kSections) {
    if (argc > 1 && !std::strstr(section.name, argv[1])) continue;
    std::printf("== %s ==\n", section.name);
    std::fflush(stdout);
    section.run();
    std::printf("\n");
    std::fflush(stdout);
  }
  lumek::RunExitProcedures();
  lumek::FinalizeUnits();
  return 0;
}
