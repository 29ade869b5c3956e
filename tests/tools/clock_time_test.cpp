// The date and time tool: local, universal and Julian times kept together,
// the 1582 reform, a daylight-saving change, the month grid, the start-up
// settings and slot 10.
#include <gtest/gtest.h>

#include <cmath>

#include "astro/observer.h"
#include "platform/codec.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"
#include "tools/clock_time.h"
#include "tools/location.h"

namespace {

// Julian dates counted by hand from J2000.0 = 2000 Jan 1.5 = JD 2451545.0
// (Meeus, Astronomical Algorithms, ch. 7): 2024 Mar 10.0 = 2460379.5;
// the reform: 1582 Oct 4.5 (Julian) = 2299160.0, Oct 15.5 (Gregorian) =
// 2299161.0.
constexpr double kJD2024Mar10 = 2460379.5;
constexpr double kJD1582Oct4Noon = 2299160.0;
constexpr double kJD1582Oct15Noon = 2299161.0;
// 1 s in days: the fields show whole seconds.
constexpr double kSecond = 1.0 / 86400.0;

class ClockTimeTest : public testing::Test {
 protected:
  void SetUp() override {
    InitObserver(ObserverTime);
    TIME_ZONE_INFORMATION ny;
    MakeSiteTimeZone(-5, true, ny);  // New York with the US rule
    SetObserverTimeZone(ObserverTime, ny, 1);
    SetObserverUT(ObserverTime, 2451545.0);
  }
};

// Local times either side of the spring change (second Sunday of March
// 2024, 02:00 EST) give UT 5 h or 4 h later.
TEST_F(ClockTimeTest, LocalUniversalAndJulianAgreeAcrossADaylightSavingChange) {
  TObserverTime& o = ObserverTime;
  ASSERT_TRUE(SetToolYear(o, true, 2024));
  ASSERT_TRUE(SetToolMonth(o, true, 3));
  ASSERT_TRUE(SetToolDay(o, true, "10"));
  struct Case {
    const char* local;
    double ut;
    bool dst;
    const char* label;
  } cases[] = {{"01:30:00", kJD2024Mar10 + 6.5 / 24, false, "Local Time (LMT):"},
               {"03:30:00", kJD2024Mar10 + 7.5 / 24, true, "Local Time (DST):"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(SetToolTime(o, true, c.local));
    EXPECT_NEAR(o.JD_UT, c.ut, kSecond / 10) << c.local;
    EXPECT_EQ(o.DaylightInEffect, c.dst ? 1 : 0);
    const TClockFields f = ClockFields(o);
    EXPECT_EQ(f.LocalLabel, c.label);
    EXPECT_EQ(f.LocalTime, c.local);
    EXPECT_EQ(f.UniversalDay, 10);
  }
  // The Julian day typed on the universal page: noon UT of J2000.0 is
  // 07:00 EST; single-digit hours read back zero-filled.
  ASSERT_TRUE(SetToolJulianDay(o, "2451545.0"));
  const TClockFields f = ClockFields(o);
  EXPECT_EQ(f.UniversalTime, "12:00:00");
  EXPECT_EQ(f.LocalTime, "07:00:00");
  EXPECT_EQ(f.JulianDay, "02451545.000000");
  EXPECT_EQ(f.LocalYear, 2000);
  double back;
  ASSERT_TRUE(ParseClockTime(f.LocalTime, back));
  EXPECT_DOUBLE_EQ(back, 7.0);
  // Typed times are limited, bad ones refused.
  ASSERT_TRUE(SetToolTime(o, false, "25:70:99"));
  EXPECT_EQ(ClockFields(o).UniversalTime, "23:59:59");
  for (const char* bad : {"2451545.0x", "1.5", "9999999.0"}) EXPECT_FALSE(SetToolJulianDay(o, bad)) << bad;
  EXPECT_FALSE(SetToolTime(o, false, "1a:00:00"));
  EXPECT_FALSE(SetToolYear(o, true, 3001));
  EXPECT_FALSE(SetToolYear(o, true, -2001));
  EXPECT_EQ(ClockFields(o).UniversalTime, "23:59:59");
}

TEST_F(ClockTimeTest, TheCalendarReformGap) {
  TObserverTime& o = ObserverTime;
  SetObserverUT(o, kJD1582Oct4Noon);
  const TClockFields f = ClockFields(o);
  EXPECT_EQ(f.UniversalYear, 1582);
  EXPECT_EQ(f.UniversalMonth, 10);
  EXPECT_EQ(f.UniversalDay, 4);
  const TMonthGrid g = MonthGrid(1582, 10);
  for (int d = 1; d <= 31; ++d) {
    int r, c;
    MonthGridCell(1582, 10, d, r, c);
    EXPECT_EQ(g[r][c], d >= 5 && d <= 14 ? "X" : std::to_string(d)) << d;
  }
  EXPECT_FALSE(SetToolDay(o, false, "X"));
  EXPECT_FALSE(SetToolDay(o, false, "10"));
  EXPECT_DOUBLE_EQ(o.JD_UT, kJD1582Oct4Noon);
  ASSERT_TRUE(SetToolDay(o, false, "15"));
  EXPECT_NEAR(o.JD_UT, kJD1582Oct15Noon, kSecond / 10);
}

TEST_F(ClockTimeTest, MonthChangeKeepsTheDayInsideTheMonth) {
  struct Case {
    int year, days;
  } cases[] = {{2023, 28}, {2024, 29}, {1900, 28}, {2000, 29}};
  for (const Case& c : cases) {
    ASSERT_TRUE(SetToolYear(ObserverTime, false, c.year));
    ASSERT_TRUE(SetToolMonth(ObserverTime, false, 3));
    ASSERT_TRUE(SetToolDay(ObserverTime, false, "31"));
    ASSERT_TRUE(SetToolMonth(ObserverTime, false, 2));
    EXPECT_EQ(ClockFields(ObserverTime).UniversalDay, c.days) << c.year;
  }
  // Weekday row: 1 February 2024 was a Thursday.
  EXPECT_EQ(MonthGrid(2024, 2)[1][4], "1");
  EXPECT_EQ(YearText(-44) + EraText(-44), "  44BC");
}

TEST_F(ClockTimeTest, StartupSettings) {
  testing_support::TempDir dir;
  testing_support::ScopedEnv env("XDG_CONFIG_HOME", dir.Path());
  EXPECT_DOUBLE_EQ(StartTextHours("21:30:00"), 21.5);
  EXPECT_DOUBLE_EQ(StartTextHours("2a:30:00"), -1);
  struct Case {
    int mode;
    const char *local, *universal;
    int expected;
  } cases[] = {{5, "21:30:00", "", 5}, {5, "", "", 1}, {6, "", "xx", 1}, {9, "", "", 1}, {6, "", "04:00:00", 6}};
  for (const Case& c : cases) {
    {
      platform::TRegIniFile reg;
      reg.WriteInteger("Startup Time", "Mode", c.mode);
      reg.WriteString("Startup Time", "Time Local", c.local);
      reg.WriteString("Startup Time", "Time Universal", c.universal);
    }
    ReadRegStartupTime();
    EXPECT_EQ(StartupTimeMode, c.expected) << c.mode << " " << c.local << " " << c.universal;
  }
  EXPECT_DOUBLE_EQ(StartupUniversalHours, 4.0);
  StartupStopTime = true;
  WriteRegStartupTime();
  StartupStopTime = false;
  ReadRegStartupTime();
  EXPECT_TRUE(StartupStopTime);
}

TEST_F(ClockTimeTest, Slot10RoundTripSetsEveryTimeScale) {
  SetObserverUT(ObserverTime, kJD2024Mar10 + 0.5);
  const auto block = EncodeClockTimeBlock(ObserverTime);
  SetObserverUT(ObserverTime, 2451545.0);
  ASSERT_TRUE(ReadClockTimeBlock(ObserverTime, &block));
  EXPECT_DOUBLE_EQ(ObserverTime.JD_UT, kJD2024Mar10 + 0.5);
  // Local time follows (EDT since 07:00 UT, 4 h behind), so the setter ran.
  EXPECT_NEAR(ObserverTime.JD_LocalCivil, kJD2024Mar10 + 0.5 - 4.0 / 24, kSecond / 10);
  std::vector<uint8_t> nan(8), far(8), shortBlock(4);
  platform::PutF64(nan.data(), std::nan(""));
  platform::PutF64(far.data(), 1e9);
  for (const auto* b : {&nan, &far, &shortBlock}) {
    EXPECT_FALSE(ReadClockTimeBlock(ObserverTime, b));
    EXPECT_DOUBLE_EQ(ObserverTime.JD_UT, kJD2024Mar10 + 0.5);
  }
}

}  // namespace
