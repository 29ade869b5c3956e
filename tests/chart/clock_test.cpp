// The clock inset: hand positions in whole and half-hour zones, the Sun's
// arc against the core's rise and set, polar day and night, and the hit
// tests.
#include "chart/clock.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/globals.h"
#include "astro/observer.h"
#include "astro/riseset.h"
#include "astro/sun_moon.h"
#include "astro/timescales.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/inset_host.h"
#include "chart/ring.h"

using platform::MakePixel;

namespace {

// 2024 March 10, 12:34 UT (JD from the Meeus ch. 7 algorithm, by hand:
// 2460379.5 + 12.5667 / 24).
constexpr double kJd = 2460379.5 + (12 + 34 / 60.0) / 24;

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ColorMode = 0;
    InsetAspect = 1.0;
    TimeFlow = 1;
    TimeRate = 0;
    MakeRingRamps();
    ASSERT_TRUE(InitClockBuffers());
    SetClockSize(150);
    ClockSidereal = 0;
  }
  void TearDown() override {
    FreeAutoBitmap(ClockFaceBitmap);
    FreeAutoBitmap(ClockBitmap);
    ClockFaceBitmap = ClockBitmap = nullptr;
    TimeFlow = 0;
  }
  // Observer at (latitude, east longitude) in degrees under a POSIX zone.
  static void Place(double latDeg, double eastLonDeg, const char* posixZone, double jdUT) {
    InitObserver(ObserverTime);
    TIME_ZONE_INFORMATION tzi;
    ASSERT_TRUE(platform::TimeZoneFromPosix(posixZone, tzi));
    SetObserverLocation(ObserverTime, -eastLonDeg / DegPerRad, latDeg / DegPerRad, 0);
    SetObserverTimeZone(ObserverTime, tzi, 1);
    SetObserverUT(ObserverTime, jdUT);
  }
};

struct HandCase {
  const char* zone;
  double lat, lon, jd;
  int32_t gold;  // local clock time in tenths of an hour
  int32_t grey;  // universal time in tenths of an hour
  int32_t minute;
};

TEST_F(ClockTest, GoldHandShowsLocalClockTimeInWholeAndHalfHourZones) {
  // 12:34 UT is 13:34 in Berlin (CET, UT + 1 before the end of March) and
  // 18:04 in Kolkata (IST, UT + 5:30); on 2024 July 1 at 12:34 UT Berlin
  // keeps summer time (CEST, UT + 2): 14:34. The zones are the tz
  // database's POSIX rules for Europe/Berlin and Asia/Kolkata.
  const double july = 2460492.5 + (12 + 34 / 60.0) / 24;
  const HandCase cases[] = {
      {"CET-1CEST,M3.5.0,M10.5.0/3", 52.52, 13.40, kJd, 136, 126, 34},
      {"IST-5:30", 22.57, 88.36, kJd, 181, 126, 34},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 52.52, 13.40, july, 146, 126, 34},
  };
  for (const HandCase& c : cases) {
    Place(c.lat, c.lon, c.zone, c.jd);
    DrawClock(1);
    EXPECT_EQ(ClockGoldHand, c.gold) << c.zone;
    EXPECT_EQ(ClockGreyHand, c.grey) << c.zone;
    EXPECT_EQ(ClockMinuteHand, c.minute) << c.zone;
    EXPECT_EQ(ClockSecondHand % 60, 0) << c.zone;  // 0 and 60 both point up
    // The gold hand's tip is drawn in the clock bitmap; the face has the dial there.
    const QPoint tip = HourHands[c.gold].left[2];
    const QPoint inner = (tip + QPoint(200, 200) * 3) / 4 + (tip - QPoint(200, 200)) / 2;
    EXPECT_NE(ClockBitmap->Pixel(inner.x(), inner.y()) & 0xFFFFFF, ClockFaceBitmap->Pixel(inner.x(), inner.y()) & 0xFFFFFF)
        << c.zone;
    EXPECT_EQ(ClockCaption, c.jd == july ? "DST&UT" : "LMT&UT");
  }
  // Wrapping: 23.5 h UT in a zone of UT + 1 is 0.5 h local.
  EXPECT_EQ(LocalHandIndex(235, -60), 5);
  EXPECT_EQ(LocalHandIndex(5, 210), 210);  // Newfoundland, UT - 3:30: 21:00
}

TEST_F(ClockTest, SunArcRunsFromTheCoresRiseToItsSet) {
  Place(52.52, 13.40, "CET-1CEST,M3.5.0,M10.5.0/3", kJd);
  TSolarContext sun{};
  sun.NovasOff = 1;
  CalcSunTopocentric(sun, ObserverTime);
  CalcSun(sun, ObserverTime);
  double rise = 0, transit = 0, set = 0, arcRise = 0, arcSet = 0;
  RiseTransitSetLocal(ObserverTime, sun.SunRA, sun.SunDec, kSunStandardAltitude, rise, transit, set);
  ASSERT_TRUE(BodyArcHours(ObserverTime, sun.SunRA, sun.SunDec, kSunStandardAltitude, arcRise, arcSet));
  EXPECT_DOUBLE_EQ(arcRise, rise);
  EXPECT_DOUBLE_EQ(arcSet, set);
  // Berlin, 10 March: the Sun rises about 6:35 and sets about 18:05 CET.
  EXPECT_NEAR(rise, 6.6, 0.2);
  EXPECT_NEAR(set, 18.1, 0.2);

  DrawClock(1);
  const uint32_t sunPixel = MakePixel(160, 160, 10);
  const int r = 150 - 6 - (6 + 6);  // dial radius less ring and offset
  auto at = [&](double hours) {
    const double a = hours * 15 / DegPerRad;
    return ClockFaceBitmap->Pixel(200 + int(std::lround(std::sin(a) * r)), 199 - int(std::lround(std::cos(a) * r))) &
           0xFFFFFF;
  };
  EXPECT_EQ(at(12), sunPixel);
  EXPECT_EQ(at(rise + 0.2), sunPixel);
  EXPECT_EQ(at(set - 0.2), sunPixel);
  EXPECT_NE(at(rise - 0.3), sunPixel);
  EXPECT_NE(at(0), sunPixel);
}

TEST_F(ClockTest, PolarDayDrawsTheWholeSunArcAndPolarNightNone) {
  struct PolarCase {
    double jd;
    bool up;
  };
  // Longyearbyen, 78.2 N: midsummer and midwinter (Sun declination +23.4
  // and -23.4 degrees, so 35 degrees above and below the horizon at noon).
  const PolarCase cases[] = {{2460482.5, true}, {2460665.5, false}};
  for (const PolarCase& c : cases) {
    Place(78.2, 15.6, "CET-1CEST,M3.5.0,M10.5.0/3", c.jd + 0.5);
    TSolarContext sun{};
    sun.NovasOff = 1;
    CalcSun(sun, ObserverTime);
    double rise = -1, set = -1;
    EXPECT_EQ(BodyArcHours(ObserverTime, sun.SunRA, sun.SunDec, kSunStandardAltitude, rise, set), c.up);
    if (c.up) {
      EXPECT_EQ(rise, 0);
      EXPECT_EQ(set, 24);
    }
    DrawClock(1);
    int sunPixels = 0;
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 400; ++x) sunPixels += (ClockFaceBitmap->Pixel(x, y) & 0xFFFFFF) == MakePixel(160, 160, 10);
    if (c.up)
      EXPECT_GT(sunPixels, 2000) << "full circle of a 3-pixel pen at radius 132";
    else
      EXPECT_EQ(sunPixels, 0);
  }
}

TEST_F(ClockTest, FaceAndSizeGeometry) {
  // Size 90: ring 3, dial radius 87.
  SetClockSize(90);
  Place(52.52, 13.40, "CET-1CEST,M3.5.0,M10.5.0/3", kJd);
  DrawClock(1);
  EXPECT_EQ(ClockRing, 3);
  EXPECT_EQ(ClockRing2, 6);
  // The transparent key: the first pixel is black like the surround.
  EXPECT_EQ(ClockFaceBitmap->Key(), 0u);
  EXPECT_EQ(ClockBitmap->Key(), 0u);
  // Sidereal mode shows "LST" and forces a new face.
  ClockChanged = 0;
  ClockSidereal = 1;
  DrawClock(0);
  EXPECT_EQ(ClockCaption, "LST");
  EXPECT_EQ(ClockChanged, 1);
  ClockSidereal = 0;
}

TEST_F(ClockTest, HitTestsAndClicks) {
  SetClockSize(100);
  PlaceClock(1000, 700);
  EXPECT_EQ(ClockCentreX, 1000 - 111);
  EXPECT_EQ(ClockCentreY, 700 - 111);
  EXPECT_TRUE(InsideClock(ClockCentreX, ClockCentreY));
  EXPECT_TRUE(InsideClock(ClockCentreX + 100, ClockCentreY));
  EXPECT_FALSE(InsideClock(ClockCentreX + 105, ClockCentreY));
  EXPECT_TRUE(NearClock(ClockCentreX + 105, ClockCentreY));
  EXPECT_TRUE(NearChartInset(ClockCentreX + 105, ClockCentreY));  // grid labels keep off
  EXPECT_FALSE(NearClock(ClockCentreX, ClockCentreY - 111));
  EXPECT_TRUE(ClockClick(0, ClockCentreX, ClockCentreY));
  EXPECT_FALSE(ClockClick(1, ClockCentreX + 105, ClockCentreY));
  SetClockSize(0);
  EXPECT_FALSE(InsideClock(ClockCentreX, ClockCentreY));
}

TEST(ClockTime, CurrentJulianDayFollowsTheSystemClock) {
  const double unixDays = platform::SystemClockUnixSeconds() / 86400.0;
  EXPECT_NEAR(CurrentJulianDay(), 2440587.5 + unixDays, 2.0 / 86400);  // JD of 1970-01-01 0h; seconds resolution
}

}  // namespace
