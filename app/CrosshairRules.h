#pragma once
// The crosshair's pure rules: where the lines go, which heartbeat plays and
// when the next one comes, and where the pointer warps to.
#include <windows.h>

#include <cstdint>

namespace lumek {

// Half of a screen dimension, truncated toward zero.
int ScreenCentre(int extent);

// The sound file for a pointer column: left of, within or right of the
// 301-pixel band around the centre column (both bounds in the band).
const char* HeartbeatSoundFor(int x, int centerX);

// 500 ms plus half the distance of x + y from the centre's x + y.
uint32_t HeartbeatInterval(int x, int y, int centerX, int centerY);

// The pointer moves one warp tick makes, in order; every test uses the
// position read once, so a later move carries the x read at the start.
struct WarpMoves {
  int count = 0;
  POINT targets[4] = {};
};
WarpMoves WarpTargets(POINT pointer, int width, int height);

}  // namespace lumek
