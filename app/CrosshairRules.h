#pragma once
// The heartbeat's pure rules: which sound plays and when the next one comes.
#include <cstdint>

namespace lumek {

// Half of a screen dimension, truncated toward zero.
int ScreenCentre(int extent);

// The sound file for a pointer column: left of, within or right of the
// 301-pixel band around the centre column (both bounds in the band).
const wchar_t* HeartbeatSoundFor(int x, int centerX);

// 500 ms plus half the distance of x + y from the centre's x + y.
uint32_t HeartbeatInterval(int x, int y, int centerX, int centerY);

// How many tracking ticks may pass between two looks at whether something
// came over the lines, so that they are back on top within kLinesBackOnTopMs
// at any tracking interval (every tick for intervals of 100 ms and more).
constexpr uint32_t kLinesBackOnTopMs = 100;
uint32_t TicksPerCoverCheck(uint32_t trackingIntervalMs);

// Tracking rests once the pointer has stayed where it is for kRestAfterMs:
// its ticks then come at the resting pace until the pointer moves again.
constexpr uint32_t kRestAfterMs = 1000;
bool TrackingRests(uint32_t stillTicks, uint32_t trackingIntervalMs);

// The pace of resting ticks. A move the platform reports ends a rest at once;
// these ticks find the moves it does not report, and what came over the
// lines, within kLinesBackOnTopMs. Never faster than tracking itself.
uint32_t RestingInterval(uint32_t trackingIntervalMs);

}  // namespace lumek
