// The crosshair's pure rules: heartbeat zones and tempo, centres, the information page.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/CrosshairRules.h"
#include "app/Mainwindow1.h"

namespace lumek {
namespace {

TEST(ScreenCentre, TruncatesTowardZero) {
  EXPECT_EQ(ScreenCentre(1023), 511);
  EXPECT_EQ(ScreenCentre(767), 383);
  EXPECT_EQ(ScreenCentre(1920), 960);
  EXPECT_EQ(ScreenCentre(1), 0);
}

TEST(Heartbeat, ZoneBoundsAreInclusiveAroundTheCentreColumn) {
  const int centerX = 960;
  struct Row {
    const char* name;
    int x;
    std::wstring sound;
  } rows[] = {
      {"centre - 151", centerX - 151, L"heartbeat_left.wav"},
      {"centre - 150", centerX - 150, L"heartbeat_center.wav"},
      {"centre", centerX, L"heartbeat_center.wav"},
      {"centre + 150", centerX + 150, L"heartbeat_center.wav"},
      {"centre + 151", centerX + 151, L"heartbeat_right.wav"},
      {"monitor left of the primary one", -300, L"heartbeat_left.wav"},
      {"far right", 5000, L"heartbeat_right.wav"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(HeartbeatSoundFor(row.x, centerX), row.sound);
  }
}

TEST(Heartbeat, IntervalGrowsWithDistanceFromTheCentreDiagonal) {
  // A 1920 x 1080 primary screen.
  const int centerX = 960, centerY = 540;
  struct Row {
    const char* name;
    int x, y;
    uint32_t interval;
  } rows[] = {
      {"centre", 960, 540, 500},       {"on the diagonal", 1060, 440, 500}, {"top left", 0, 0, 1250},
      {"top right", 1919, 0, 709},     {"bottom left", 0, 1079, 710},      {"bottom right", 1919, 1079, 1249},
      {"|d| = 3 truncates", 963, 540, 501}, {"negative x", -100, 540, 1030},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(HeartbeatInterval(row.x, row.y, centerX, centerY), row.interval);
  }
}

TEST(CoverCheck, LinesAreLookedAtOftenEnoughToBeBackOnTopWithinTheBound) {
  struct Row {
    const char* name;
    uint32_t interval, ticks;
  } rows[] = {
      {"fast: every fifth tick", 20, 5},   {"one third of the bound rounds down", 33, 3},
      {"fairly fast: every tick", 60, 1},  {"at the bound: every tick", 100, 1},
      {"slow: every tick", 540, 1},        {"a zero interval from the file", 0, 1},
      {"the finest interval", 1, 100},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const uint32_t ticks = TicksPerCoverCheck(row.interval);
    EXPECT_EQ(ticks, row.ticks);
    EXPECT_LE(ticks * row.interval, std::max(kLinesBackOnTopMs, row.interval));
  }
}

TEST(TrackingRest, StartsAfterASecondStillAndPollsEvery100MsOrAtTheTrackingPace) {
  EXPECT_FALSE(TrackingRests(49, 20));
  EXPECT_TRUE(TrackingRests(50, 20));
  EXPECT_FALSE(TrackingRests(1, 540));
  EXPECT_TRUE(TrackingRests(2, 540));
  EXPECT_TRUE(TrackingRests(0xFFFFFFFFu, 0xFFFFFFFFu)) << "no overflow of the still time";
  EXPECT_EQ(RestingInterval(20), 100u);
  EXPECT_EQ(RestingInterval(60), 100u);
  EXPECT_EQ(RestingInterval(180), 180u);
  EXPECT_EQ(TicksPerCoverCheck(RestingInterval(20)), 1u) << "every resting tick looks above the lines";
}

TEST(InformationPage, SendsTheBaseNameWithoutItsExtension) {
  EXPECT_EQ(InformationAddress(L"C:\\Tools\\LUMEK.exe"), L"https://www.lumek.example/info.php?pf=w&sn=LUMEK");
  EXPECT_EQ(InformationAddress(L"C:\\a.b\\my.tool.exe"), L"https://www.lumek.example/info.php?pf=w&sn=my.tool");
  EXPECT_EQ(InformationAddress(L"D:\\bin\\LUMEK"), L"https://www.lumek.example/info.php?pf=w&sn=LUMEK");
  EXPECT_EQ(InformationAddress(L"C:\\Lumek \u00DC\u00E9 \uD55C \U0001F600\\LUMEK.exe"),
            L"https://www.lumek.example/info.php?pf=w&sn=LUMEK");
}

}  // namespace
}  // namespace lumek
