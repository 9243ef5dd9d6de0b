#pragma once
// Where the crosshair's lines go and where the warp sends the pointer on a
// desktop of one or more monitors. Plain values in, plain values out: the
// monitor layout is read by the screen object and handed in.
#include "framework/MonitorLayout.h"

namespace lumek {

// The two line windows' rectangles for a pointer: the vertical line one
// pixel right of it and the horizontal one one pixel below it, each as long
// as the pointer's monitor (or the whole virtual screen) in its direction.
struct CrosshairLines {
  ScreenRect vertical;
  ScreenRect horizontal;
};
CrosshairLines LinesAt(const MonitorLayout& layout, ScreenPoint pointer, int verticalWidth, int horizontalHeight,
                       bool acrossAllMonitors);

// The pointer moves one warp tick makes, in order. A pointer at an outer edge
// of the desktop (no monitor holds the pixel beyond it) goes to the farthest
// point of the desktop on the same row or column; an edge shared with the
// next monitor is no trigger. Every test uses the position read once, so a
// later move carries the x read at the start.
struct WarpMoves {
  int count = 0;
  ScreenPoint targets[4] = {};
};
WarpMoves WarpTargets(const MonitorLayout& layout, ScreenPoint pointer);

}  // namespace lumek
