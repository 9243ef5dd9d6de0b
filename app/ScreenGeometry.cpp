#include "app/ScreenGeometry.h"

#include <algorithm>
#include <climits>

namespace lumek {

namespace {

bool OnDesktop(const MonitorLayout& layout, ScreenPoint point) {
  return std::any_of(layout.monitors.begin(), layout.monitors.end(),
                     [point](const ScreenRect& monitor) { return monitor.Contains(point); });
}

// The first and last column of the desktop on a row; false when no monitor covers the row.
bool RowExtent(const MonitorLayout& layout, int y, int& first, int& last) {
  first = INT_MAX;
  last = INT_MIN;
  for (const ScreenRect& monitor : layout.monitors) {
    if (y < monitor.top || y >= monitor.bottom || monitor.Width() <= 0) continue;
    first = std::min(first, monitor.left);
    last = std::max(last, monitor.right - 1);
  }
  return first <= last;
}

bool ColumnExtent(const MonitorLayout& layout, int x, int& first, int& last) {
  first = INT_MAX;
  last = INT_MIN;
  for (const ScreenRect& monitor : layout.monitors) {
    if (x < monitor.left || x >= monitor.right || monitor.Height() <= 0) continue;
    first = std::min(first, monitor.top);
    last = std::max(last, monitor.bottom - 1);
  }
  return first <= last;
}

}  // namespace

CrosshairLines LinesAt(const MonitorLayout& layout, ScreenPoint pointer, int verticalWidth, int horizontalHeight,
                       bool acrossAllMonitors) {
  const ScreenRect* monitor = MonitorAt(layout, pointer);
  ScreenRect span = acrossAllMonitors || !monitor ? VirtualScreen(layout) : *monitor;
  CrosshairLines lines;
  lines.vertical = ScreenRect{pointer.x + 1, span.top, pointer.x + 1 + verticalWidth, span.bottom};
  lines.horizontal = ScreenRect{span.left, pointer.y + 1, span.right, pointer.y + 1 + horizontalHeight};
  return lines;
}

WarpMoves WarpTargets(const MonitorLayout& layout, ScreenPoint pointer) {
  WarpMoves moves;
  auto add = [&moves](int x, int y) { moves.targets[moves.count++] = ScreenPoint{x, y}; };
  const int x = pointer.x, y = pointer.y;
  int first = 0, last = 0;
  if (!OnDesktop(layout, {x - 1, y}) && RowExtent(layout, y, first, last)) add(last, y);
  if (!OnDesktop(layout, {x + 1, y}) && RowExtent(layout, y, first, last)) add(first, y);
  if (!OnDesktop(layout, {x, y - 1}) && ColumnExtent(layout, x, first, last)) add(x, last);
  if (!OnDesktop(layout, {x, y + 1}) && ColumnExtent(layout, x, first, last)) add(x, first);
  return moves;
}

}  // namespace lumek
