// The clock inset: hand positions in whole and half-hour zones, the Sun's
// arc against the core's rise and set, polar day and night, the hit tests;
// and the shaded ring that the insets wear as their bezel.
#include "chart/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "astro/riseset.h"
#include "astro/sun_moon.h"
#include "astro/timescales.h"
#include "chart/inset_host.h"
#include "tests/chart/inset_support.h"

using namespace inset_support;
using platform::MakePixel;

namespace {

const uint32_t kSunPixel = MakePixel(160, 160, 10);

class ClockTest : public InsetFixture {
 protected:
  void SetUp() override {
    InsetFixture::SetUp();
    ASSERT_TRUE(InitClockBuffers());
    SetClockSize(150);
    ClockSidereal = 0;
  }
};

}  // namespace

TEST_F(ClockTest, GoldHandShowsLocalClockTimeInWholeAndHalfHourZones) {
  // 12:34 UT is 13:34 in Berlin (CET, UT + 1 before the end of March) and
  // 18:04 in Kolkata (IST, UT + 5:30); on 2024 July 1 at 12:34 UT Berlin
  // keeps summer time (CEST, UT + 2): 14:34. Asia/Kolkata's POSIX rule is
  // the tz database's.
  const double july = 2460492.5 + (12 + 34 / 60.0) / 24;
  const struct {
    const char* zone;
    double lat, lon, jd;
    int32_t gold;  // local clock time in tenths of an hour
  } cases[] = {
      {kBerlinZone, 52.52, 13.40, kMarch10, 136},
      {"IST-5:30", 22.57, 88.36, kMarch10, 181},
      {kBerlinZone, 52.52, 13.40, july, 146},
  };
  for (const auto& c : cases) {
    PlaceObserver(c.lat, c.lon, c.jd, c.zone);
    DrawClock(1);
    EXPECT_EQ(ClockGoldHand, c.gold) << c.zone;
    EXPECT_EQ(ClockGreyHand, 126) << c.zone;  // universal time in tenths of an hour
    EXPECT_EQ(ClockMinuteHand, 34) << c.zone;
    EXPECT_EQ(ClockSecondHand % 60, 0) << c.zone;  // 0 and 60 both point up
    // The gold hand's tip is drawn in the clock bitmap; the face has the dial there.
    const QPoint tip = HourHands[c.gold].left[2];
    const QPoint inner = (tip + QPoint(200, 200) * 3) / 4 + (tip - QPoint(200, 200)) / 2;
    EXPECT_NE(ClockBitmap->Pixel(inner.x(), inner.y()) & 0xFFFFFF,
              ClockFaceBitmap->Pixel(inner.x(), inner.y()) & 0xFFFFFF)
        << c.zone;
    EXPECT_EQ(ClockCaption, c.jd == july ? "DST&UT" : "LMT&UT");
  }
  // Wrapping: 23.5 h UT in a zone of UT + 1 is 0.5 h local.
  EXPECT_EQ(LocalHandIndex(235, -60), 5);
  EXPECT_EQ(LocalHandIndex(5, 210), 210);  // Newfoundland, UT - 3:30: 21:00
  // Sidereal mode shows "LST" and forces a new face.
  ClockChanged = 0;
  ClockSidereal = 1;
  DrawClock(0);
  EXPECT_EQ(ClockCaption, "LST");
  EXPECT_EQ(ClockChanged, 1);
  ClockSidereal = 0;
}

TEST_F(ClockTest, SunArcRunsFromTheCoresRiseToItsSet) {
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
  const int r = 150 - 6 - (6 + 6);  // dial radius less ring and offset
  auto at = [&](double hours) {
    const double a = hours * 15 / DegPerRad;
    const int x = 200 + int(std::lround(std::sin(a) * r)), y = 199 - int(std::lround(std::cos(a) * r));
    return ClockFaceBitmap->Pixel(x, y) & 0xFFFFFF;
  };
  EXPECT_EQ(at(12), kSunPixel);
  EXPECT_EQ(at(rise + 0.2), kSunPixel);
  EXPECT_EQ(at(set - 0.2), kSunPixel);
  EXPECT_NE(at(rise - 0.3), kSunPixel);
  EXPECT_NE(at(0), kSunPixel);
}

TEST_F(ClockTest, PolarDayDrawsTheWholeSunArcAndPolarNightNone) {
  // Longyearbyen, 78.2 N: midsummer and midwinter (Sun declination +23.4
  // and -23.4 degrees, so 35 degrees above and below the horizon at noon).
  for (const auto& [jd, up] : {std::pair{2460482.5, true}, std::pair{2460665.5, false}}) {
    PlaceObserver(78.2, 15.6, jd + 0.5, kBerlinZone);
    TSolarContext sun{};
    sun.NovasOff = 1;
    CalcSun(sun, ObserverTime);
    double rise = -1, set = -1;
    EXPECT_EQ(BodyArcHours(ObserverTime, sun.SunRA, sun.SunDec, kSunStandardAltitude, rise, set), up);
    if (up) {
      EXPECT_EQ(rise, 0);
      EXPECT_EQ(set, 24);
    }
    DrawClock(1);
    int sunPixels = 0;
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 400; ++x) sunPixels += (ClockFaceBitmap->Pixel(x, y) & 0xFFFFFF) == kSunPixel;
    if (up)
      EXPECT_GT(sunPixels, 2000) << "full circle of a 3-pixel pen at radius 132";
    else
      EXPECT_EQ(sunPixels, 0);
  }
}

TEST_F(ClockTest, HitTestsAndClicks) {
  SetClockSize(100);
  PlaceClock(1000, 700);
  EXPECT_EQ(ClockCentreX, 1000 - 111);
  EXPECT_EQ(ClockCentreY, 700 - 111);
  const struct {
    int dx, dy;
    bool inside, near;
  } points[] = {{0, 0, true, true}, {100, 0, true, true}, {105, 0, false, true}, {0, -111, false, false}};
  for (const auto& p : points) {
    EXPECT_EQ(InsideClock(ClockCentreX + p.dx, ClockCentreY + p.dy), p.inside) << p.dx << "," << p.dy;
    EXPECT_EQ(NearClock(ClockCentreX + p.dx, ClockCentreY + p.dy), p.near) << p.dx << "," << p.dy;
  }
  EXPECT_TRUE(NearChartInset(ClockCentreX + 105, ClockCentreY));  // grid labels keep off
  EXPECT_TRUE(ClockClick(0, ClockCentreX, ClockCentreY));
  EXPECT_FALSE(ClockClick(1, ClockCentreX + 105, ClockCentreY));
  SetClockSize(0);
  EXPECT_FALSE(InsideClock(ClockCentreX, ClockCentreY));
}

TEST(ClockTime, CurrentJulianDayFollowsTheSystemClock) {
  const double unixDays = platform::SystemClockUnixSeconds() / 86400.0;
  EXPECT_NEAR(CurrentJulianDay(), 2440587.5 + unixDays, 2.0 / 86400);  // JD of 1970-01-01 0h; seconds resolution
}

// Expected pixels from the core's colour table formulas (warm entry
// 31 + i: red trunc(v / 1.1) + 20, green trunc(v / 2) + 20, blue
// trunc(v / 3.5) + 20 with v = 6.71875 i; grey entry 63 + i: trunc(5 i /
// 1.7) + 20), worked by hand, each × 0.6 truncated, then the colour mode:
// night vision puts the mean of the three into red, three-level grey maps a
// mean below 128 to 0.
TEST(ShadedRing, RampsFollowTheColourModeWithRedNightVision) {
  const struct {
    uint8_t mode;
    int k;
    uint32_t warm, grey;
  } cases[] = {
      {0, 0, MakePixel(15, 13, 12), MakePixel(13, 13, 13)},    // (26, 23, 21), 22
      {0, 10, MakePixel(52, 33, 24), MakePixel(31, 31, 31)},   // (87, 56, 41), 52
      {0, 31, MakePixel(129, 76, 48), MakePixel(68, 68, 68)},  // (215, 127, 81), 114
      {2, 0, MakePixel(13, 0, 0), MakePixel(13, 0, 0)},        // (15 + 13 + 12) / 3
      {2, 31, MakePixel(84, 0, 0), MakePixel(68, 0, 0)},       // (129 + 76 + 48) / 3
      {1, 31, MakePixel(0, 0, 0), MakePixel(0, 0, 0)},
  };
  for (const auto& c : cases) {
    ColorMode = c.mode;
    MakeRingRamps();
    EXPECT_EQ(RingRampA[c.k], c.warm) << "mode " << int(c.mode) << " k " << c.k;
    EXPECT_EQ(RingRampB[c.k], c.grey) << "mode " << int(c.mode) << " k " << c.k;
  }
  ColorMode = 0;
  MakeRingRamps();
}

// The bezel lies in its band, in the warm ramp lit from the upper left, or
// in the grey ramp when the first ramp is 0; drawing leaves the ramps as
// they were.
TEST(ShadedRing, BezelLiesInItsBandLitFromTheUpperLeft) {
  ColorMode = 0;
  MakeRingRamps();
  InsetAspect = 1.0;
  const std::vector<uint32_t> warm(std::begin(RingRampA), std::end(RingRampA));
  const std::vector<uint32_t> grey(std::begin(RingRampB), std::end(RingRampB));
  for (uint8_t first : {1, 0}) {
    platform::Bitmap b(200, 200);
    DrawRing(b, 100, 100, 77, 3, first);
    const std::set<uint32_t> ramp(first ? warm.begin() : grey.begin(), first ? warm.end() : grey.end());
    int written = 0;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 200; ++x) {
        if (b.Pixel(x, y) == 0) continue;
        ++written;
        // Row y + 1 holds ring row y (the ring is drawn one row up).
        const double r = std::hypot(x - 100.0, y + 1 - 100.0);
        EXPECT_TRUE(r > 72.5 && r < 81.5) << x << "," << y;
        EXPECT_EQ(ramp.count(b.Pixel(x, y)), 1u) << int(first) << " " << x << "," << y;
      }
    EXPECT_GT(written, int(M_PI * 2 * 77 * 5));  // more than 5 pixels across the band, all round
    // Outer edge: bright at the upper left, dark at the lower right.
    EXPECT_GT(b.Pixel(100 - 56, 100 - 56) & 0xFF0000, b.Pixel(100 + 56, 100 + 54) & 0xFF0000);
    EXPECT_TRUE(std::equal(warm.begin(), warm.end(), RingRampA));
    EXPECT_TRUE(std::equal(grey.begin(), grey.end(), RingRampB));
  }
}
