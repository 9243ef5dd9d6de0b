// Line rectangles and warp targets on desktops of one or more monitors.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/ScreenGeometry.h"

namespace lumek {
namespace {

std::string Show(const ScreenRect& r) {
  std::ostringstream text;
  text << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
  return text.str();
}

std::string Show(const WarpMoves& moves) {
  std::ostringstream text;
  for (int i = 0; i < moves.count; ++i) text << "(" << moves.targets[i].x << "," << moves.targets[i].y << ")";
  return text.str();
}

// One 1920 x 1080 screen.
const MonitorLayout kSingle{{{0, 0, 1920, 1080}}};
// The primary 1024 x 768 and, right of it, a taller 800 x 1000.
const MonitorLayout kSideBySide{{{0, 0, 1024, 768}, {1024, 0, 1824, 1000}}};
// The primary 1280 x 800 with a 1024 x 768 above it, left-aligned: negative y.
const MonitorLayout kStackedAbove{{{0, 0, 1280, 800}, {0, -768, 1024, 0}}};
// The primary with a 1600 x 900 monitor to its left: negative x.
const MonitorLayout kLeftOfPrimary{{{0, 0, 1920, 1080}, {-1600, 100, 0, 1000}}};
// An L of three: the primary, one below it, and one right of the lower one
// with a 100-pixel gap between it and the primary's right edge.
const MonitorLayout kLWithGap{{{0, 0, 1000, 800}, {0, 800, 1000, 1600}, {1100, 800, 2100, 1600}}};

TEST(ScreenGeometry, LinesSpanThePointersMonitorOrTheWholeDesktop) {
  struct Row {
    const char* name;
    const MonitorLayout& layout;
    ScreenPoint pointer;
    int thickness;
    bool allMonitors;
    ScreenRect vertical, horizontal;
  } rows[] = {
      {"one screen, origin", kSingle, {0, 0}, 1, false, {1, 0, 2, 1080}, {0, 1, 1920, 2}},
      {"one screen, last column: just beyond the edge", kSingle, {1919, 500}, 1, false, {1920, 0, 1921, 1080},
       {0, 501, 1920, 502}},
      {"one screen, thickness 4", kSingle, {500, 300}, 4, false, {501, 0, 505, 1080}, {0, 301, 1920, 305}},
      {"one screen, all monitors is the same", kSingle, {500, 300}, 1, true, {501, 0, 502, 1080},
       {0, 301, 1920, 302}},
      {"side by side, on the taller second", kSideBySide, {1500, 900}, 1, false, {1501, 0, 1502, 1000},
       {1024, 901, 1824, 902}},
      {"side by side, on the primary", kSideBySide, {100, 100}, 2, false, {101, 0, 103, 768}, {0, 101, 1024, 103}},
      {"side by side, all monitors", kSideBySide, {100, 100}, 1, true, {101, 0, 102, 1000}, {0, 101, 1824, 102}},
      {"stacked, on the upper one", kStackedAbove, {10, -10}, 1, false, {11, -768, 12, 0}, {0, -9, 1024, -8}},
      {"stacked, all monitors", kStackedAbove, {10, -10}, 1, true, {11, -768, 12, 800}, {0, -9, 1280, -8}},
      {"left of the primary", kLeftOfPrimary, {-1600, 100}, 1, false, {-1599, 100, -1598, 1000},
       {-1600, 101, 0, 102}},
      {"L with a gap, lower right", kLWithGap, {2000, 1500}, 3, false, {2001, 800, 2004, 1600},
       {1100, 1501, 2100, 1504}},
      {"L with a gap, in the gap: the nearest monitor", kLWithGap, {1040, 1000}, 1, false, {1041, 800, 1042, 1600},
       {0, 1001, 1000, 1002}},
      {"L with a gap, all monitors", kLWithGap, {10, 10}, 1, true, {11, 0, 12, 1600}, {0, 11, 2100, 12}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CrosshairLines lines = LinesAt(row.layout, row.pointer, row.thickness, row.thickness, row.allMonitors);
    EXPECT_EQ(lines.vertical, row.vertical) << Show(lines.vertical) << " expected " << Show(row.vertical);
    EXPECT_EQ(lines.horizontal, row.horizontal) << Show(lines.horizontal) << " expected " << Show(row.horizontal);
  }
}

TEST(ScreenGeometry, WarpTakesOnlyOuterEdgesInTestOrder) {
  struct Row {
    const char* name;
    const MonitorLayout& layout;
    ScreenPoint pointer;
    std::vector<ScreenPoint> moves;
  } rows[] = {
      {"one screen, left edge", kSingle, {0, 500}, {{1919, 500}}},
      {"one screen, right edge", kSingle, {1919, 500}, {{0, 500}}},
      {"one screen, top edge", kSingle, {700, 0}, {{700, 1079}}},
      {"one screen, bottom edge", kSingle, {700, 1079}, {{700, 0}}},
      // The second move carries the x read before the first one.
      {"one screen, top-left corner", kSingle, {0, 0}, {{1919, 0}, {0, 1079}}},
      {"one screen, bottom-right corner", kSingle, {1919, 1079}, {{0, 1079}, {1919, 0}}},
      {"one screen, inside", kSingle, {500, 500}, {}},
      {"one screen, one pixel in from the left", kSingle, {1, 500}, {}},
      {"side by side, the shared edge is no trigger", kSideBySide, {1023, 300}, {}},
      {"side by side, the second's first column", kSideBySide, {1024, 300}, {}},
      {"side by side, far right wraps to the primary", kSideBySide, {1823, 300}, {{0, 300}}},
      {"side by side, left edge goes to the second's right", kSideBySide, {0, 300}, {{1823, 300}}},
      {"side by side, below the primary's bottom the row is the second's alone", kSideBySide, {1823, 900},
       {{1024, 900}}},
      {"side by side, the primary's bottom edge", kSideBySide, {500, 767}, {{500, 0}}},
      {"side by side, the second's bottom edge", kSideBySide, {1500, 999}, {{1500, 0}}},
      {"side by side, the second's left edge under the primary", kSideBySide, {1024, 900}, {{1823, 900}}},
      {"stacked, top of the upper one goes to the primary's bottom", kStackedAbove, {100, -768}, {{100, 799}}},
      {"stacked, the shared edge is no trigger", kStackedAbove, {100, 0}, {}},
      {"stacked, the primary's top beside the upper one", kStackedAbove, {1100, 0}, {{1100, 799}}},
      {"left of the primary, its left edge", kLeftOfPrimary, {-1600, 500}, {{1919, 500}}},
      {"left of the primary, the primary's left edge above it", kLeftOfPrimary, {0, 50}, {{1919, 50}}},
      // A gap is an outer edge: the pointer goes to the far end of the row, past the gap.
      {"L with a gap, the gap's left side", kLWithGap, {999, 1000}, {{0, 1000}}},
      {"L with a gap, the gap's right side", kLWithGap, {1100, 1000}, {{2099, 1000}}},
      {"L with a gap, the primary's bottom is shared", kLWithGap, {500, 799}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WarpMoves moves = WarpTargets(row.layout, row.pointer);
    WarpMoves expected;
    for (const ScreenPoint& move : row.moves) expected.targets[expected.count++] = move;
    EXPECT_EQ(Show(moves), Show(expected));
  }
}

TEST(ScreenGeometry, VirtualScreenAndNearestMonitor) {
  EXPECT_EQ(VirtualScreen(kLeftOfPrimary), (ScreenRect{-1600, 0, 1920, 1080}));
  EXPECT_EQ(VirtualScreen(kStackedAbove), (ScreenRect{0, -768, 1280, 800}));
  EXPECT_EQ(VirtualScreen(MonitorLayout{}), ScreenRect{});
  EXPECT_EQ(MonitorAt(MonitorLayout{}, {0, 0}), nullptr);
  EXPECT_EQ(MonitorAt(kLWithGap, {1090, 790}), &kLWithGap.monitors[2]);  // nearer the lower right one
  // An empty desktop gives lines of the pointer's own length and no warp.
  CrosshairLines lines = LinesAt(MonitorLayout{}, {5, 5}, 1, 1, false);
  EXPECT_EQ(lines.vertical, (ScreenRect{6, 0, 7, 0}));
  EXPECT_EQ(WarpTargets(MonitorLayout{}, {0, 0}).count, 0);
}

}  // namespace
}  // namespace lumek
