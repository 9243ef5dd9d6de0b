#include "app/ScreenGeometry.h"

#include <algorithm>
#include <climits>

namespace lumek {

namespace {

bool OnDesktop(const MonitorLayout& layout, ScreenPoint point) {
  return std::any_of(layout.monitors.begin(), layout.monitors.end(),
                     [point](const ScreenRect& monitor) { return monitor.Contains(point); });
}

enum class Along { Row, Column };

// The first and last pixel of the desktop along one row or column; false
// when no monitor crosses it.
bool Extent(const MonitorLayout& layout, Along along, int at, int& first, int& last) {
  first = INT_MAX;
  last = INT_MIN;
  const bool row = along == Along::Row;
  for (const ScreenRect& monitor : layout.monitors) {
    const int acrossFrom = row ? monitor.top : monitor.left, acrossTo = row ? monitor.bottom : monitor.right;
    const int from = row ? monitor.left : monitor.top, to = row ? monitor.right : monitor.bottom;
    if (at < acrossFrom || at >= acrossTo || to <= from) continue;
    first = std::min(first, from);
    last = std::max(last, to - 1);
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
  if (!OnDesktop(layout, {x - 1, y}) && Extent(layout, Along::Row, y, first, last)) add(last, y);
  if (!OnDesktop(layout, {x + 1, y}) && Extent(layout, Along::Row, y, first, last)) add(first, y);
  if (!OnDesktop(layout, {x, y - 1}) && Extent(layout, Along::Column, x, first, last)) add(x, last);
  if (!OnDesktop(layout, {x, y + 1}) && Extent(layout, Along::Column, x, first, last)) add(x, first);
  return moves;
}

}  // namespace lumek
