#include "app/CrosshairRules.h"

#include <cstdlib>

namespace lumek {

namespace {
constexpr int kCentreBandHalfWidth = 150;
constexpr uint32_t kFastestBeat = 500;
}  // namespace

int ScreenCentre(int extent) { return extent / 2; }

const wchar_t* HeartbeatSoundFor(int x, int centerX) {
  if (x < centerX - kCentreBandHalfWidth) return L"heartbeat_left.wav";
  if (x > centerX + kCentreBandHalfWidth) return L"heartbeat_right.wav";
  return L"heartbeat_center.wav";
}

uint32_t HeartbeatInterval(int x, int y, int centerX, int centerY) {
  // Screen coordinates are far from the 32-bit limits; 64 bits only keep |d| defined for any input.
  int64_t d = (static_cast<int64_t>(x) + y) - (static_cast<int64_t>(centerX) + centerY);
  return kFastestBeat + static_cast<uint32_t>(std::llabs(d) / 2);
}

uint32_t TicksPerCoverCheck(uint32_t trackingIntervalMs) {
  if (trackingIntervalMs == 0 || trackingIntervalMs >= kLinesBackOnTopMs) return 1;
  return kLinesBackOnTopMs / trackingIntervalMs;
}

bool TrackingRests(uint32_t stillTicks, uint32_t trackingIntervalMs) {
  return static_cast<uint64_t>(stillTicks) * trackingIntervalMs >= kRestAfterMs;
}

uint32_t RestingInterval(uint32_t trackingIntervalMs) {
  return trackingIntervalMs > kLinesBackOnTopMs ? trackingIntervalMs : kLinesBackOnTopMs;
}

}  // namespace lumek
