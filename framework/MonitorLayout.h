#pragma once
// The desktop as the screen object reads it: the monitors' rectangles in
// screen pixels, and the two questions every user of them asks.
#include <vector>

namespace lumek {

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint& other) const { return x == other.x && y == other.y; }
};

// Right and bottom are exclusive, as the platform's rectangles are.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(ScreenPoint point) const {
    return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
  }
  bool operator==(const ScreenRect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
};

// The full rectangles of the monitors (not their work areas), the primary
// one first. An empty layout stands for a desktop that could not be read.
struct MonitorLayout {
  std::vector<ScreenRect> monitors;

  bool operator==(const MonitorLayout& other) const { return monitors == other.monitors; }
  bool operator!=(const MonitorLayout& other) const { return !(*this == other); }
};

// The monitors' rectangles in the order the platform lists them: one
// enumeration, cheap enough to ask every second. (Under Wine each desktop
// metric asked on its own costs as much as the whole list.) A resolution, a
// monitor added or removed, or monitors rearranged each change it.
struct DesktopFingerprint {
  std::vector<ScreenRect> monitors;

  bool operator==(const DesktopFingerprint& other) const { return monitors == other.monitors; }
  bool operator!=(const DesktopFingerprint& other) const { return !(*this == other); }
};

// The smallest rectangle holding every monitor.
ScreenRect VirtualScreen(const MonitorLayout& layout);

// The monitor holding the point or, for a point between monitors, the
// nearest one; null for an empty layout.
const ScreenRect* MonitorAt(const MonitorLayout& layout, ScreenPoint point);

}  // namespace lumek
