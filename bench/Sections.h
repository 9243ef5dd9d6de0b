#pragma once
// The benchmark sections, one function each, listed in kSections (TimerBench.cpp).
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace lumek::bench {

// Every operator new of the benchmark exe, on any thread (AllocationCounter.cpp).
extern std::atomic<uint64_t> Allocations;

int64_t CounterNow();
double CounterToMs(int64_t counts);
// The value below which `fraction` of the samples lie (nearest rank).
double Percentile(std::vector<double> samples, double fraction);

void TrackingTickSection();
void CpuTimeSection();
void FirstMoveSection();
void StartUpSection();

}  // namespace lumek::bench
