#include "framework/MonitorLayout.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace lumek {

namespace {

// Squared distance from a point to the nearest pixel of a rectangle.
int64_t DistanceSquared(const ScreenRect& rect, ScreenPoint point) {
  int64_t dx = point.x < rect.left ? rect.left - point.x : point.x >= rect.right ? point.x - (rect.right - 1) : 0;
  int64_t dy = point.y < rect.top ? rect.top - point.y : point.y >= rect.bottom ? point.y - (rect.bottom - 1) : 0;
  return dx * dx + dy * dy;
}

}  // namespace

ScreenRect VirtualScreen(const MonitorLayout& layout) {
  if (layout.monitors.empty()) return ScreenRect{};
  ScreenRect bounds = layout.monitors.front();
  for (const ScreenRect& monitor : layout.monitors) {
    bounds.left = std::min(bounds.left, monitor.left);
    bounds.top = std::min(bounds.top, monitor.top);
    bounds.right = std::max(bounds.right, monitor.right);
    bounds.bottom = std::max(bounds.bottom, monitor.bottom);
  }
  return bounds;
}

const ScreenRect* MonitorAt(const MonitorLayout& layout, ScreenPoint point) {
  const ScreenRect* nearest = nullptr;
  int64_t nearestDistance = INT64_MAX;
  for (const ScreenRect& monitor : layout.monitors) {
    int64_t distance = DistanceSquared(monitor, point);
    if (distance < nearestDistance) {
      nearest = &monitor;
      nearestDistance = distance;
    }
  }
  return nearest;
}

}  // namespace lumek
