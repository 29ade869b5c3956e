#include <gtest/gtest.h>

#include <cmath>

#include "astro/galilean.h"
#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/sun_moon.h"
#include "tests/astro/astro_test_support.h"

namespace {

using namespace astro_test;

// Meeus, "Astronomical Algorithms" (2nd ed.), example 44.b: 1992 December
// 16 at 0h UT (JDE 2448972.50068).
constexpr double kExample44TT = 2448972.50068;
// Jupiter's heliocentric place at the time the light left it, ecliptic and
// equinox of date, and the Sun's geometric longitude and distance, computed
// once with ERFA (eraPlan94, eraEpv00, eraEcm06).
constexpr double kJupiterL = 3.174275869870752, kJupiterB = 0.02250214608215579, kJupiterR = 5.44598584535263;
constexpr double kSunLongitude = 4.612655791098801, kSunDistance = 0.9841231720430794;
// The example's results: X and Y of Io, Europa, Ganymede, Callisto, and Z
// of the same computation (negative: in front of Jupiter).
constexpr double kX[5] = {0, -3.4502, 7.4418, 1.2011, 7.0720};
constexpr double kY[5] = {0, 0.2137, 0.2753, 0.5900, 1.0291};
constexpr double kZ[5] = {0, -4.819, -5.747, -14.941, -25.224};

TEST(GalileanMoons, MeeusExample44b) {
  auto rec = ObserverAtTT(kExample44TT);
  TSolSysBody jupiter = PlanetRecord(5);
  jupiter.HelioLongitude = kJupiterL;
  jupiter.HelioLatitude = kJupiterB;
  jupiter.RadiusVector = kJupiterR;
  TSolarContext ctx{};
  ctx.SunTrueLongitude = kSunLongitude;
  ctx.SunRadiusVector = kSunDistance;
  CalcGalileanMoons(ctx, *rec, jupiter);
  EXPECT_EQ(ctx.MoonsLastJD, rec->JD_UT);
  for (int i = 1; i <= 4; ++i) {
    // Series of the book's first edition with Jupiter's fixed node and
    // inclination against the second edition's example: 0.01 radius.
    EXPECT_NEAR(ctx.MoonX[i], kX[i], 0.01) << i;
    EXPECT_NEAR(ctx.MoonY[i], kY[i], 0.01) << i;
    EXPECT_NEAR(ctx.MoonZ[i], kZ[i], 0.02) << i;
  }
}

TEST(GalileanMoons, FromTheComputedPlanetCachedAndFinite) {
  // The same instant with Jupiter from its mean elements: their error (up
  // to 0.31° in direction) turns the view by up to 0.15 radius at Callisto.
  auto rec = ObserverAtTT(kExample44TT);
  TSolarContext ctx{};
  TSolSysBody jupiter = PlanetRecord(5);
  auto compute = [&] {
    ctx = SunContext(*rec);
    CalcEarthOrbit(ctx, *rec);
    CalcPlanet(ctx, *rec, jupiter);
    CalcGalileanMoons(ctx, *rec, jupiter);
  };
  compute();
  for (int i = 1; i <= 4; ++i) {
    EXPECT_NEAR(ctx.MoonX[i], kX[i], 0.15) << i;
    EXPECT_NEAR(ctx.MoonY[i], kY[i], 0.15) << i;
  }
  // Cached within the minute.
  ctx.MoonX[2] = 99.0;
  SetObserverTT(*rec, kExample44TT + 59.0 / 86400);
  CalcGalileanMoons(ctx, *rec, jupiter);
  EXPECT_EQ(ctx.MoonX[2], 99.0);
  // Over 500 days in 2.4-hour steps every offset is finite and within each
  // orbit (greatest elongation included).
  const double maxRadius[5] = {0, 6.0, 9.6, 15.2, 26.8};
  for (int k = 1; k <= 5000; ++k) {
    SetObserverTT(*rec, 2451545.0 + 0.1 * k);
    compute();
    for (int i = 1; i <= 4; ++i) {
      ASSERT_TRUE(std::isfinite(ctx.MoonX[i]) && std::isfinite(ctx.MoonY[i])) << k << " " << i;
      ASSERT_LT(std::hypot(ctx.MoonX[i], ctx.MoonY[i], ctx.MoonZ[i]), maxRadius[i]) << k << " " << i;
    }
  }
}

// Meeus example 45.a: Saturn's ring on 1992 December 16 at 0h TD: major
// axis 35.87″, minor axis 10.15″, position angle 6.741°.
constexpr double kExample45TT = 2448972.5;
// Saturn's heliocentric place at the time the light left it and the Earth's
// heliocentric longitude and distance, ecliptic and equinox of date,
// computed once with ERFA (eraPlan94, eraEpv00, eraEcm06).
constexpr double kSaturnL = 5.570885273946985, kSaturnB = -0.01877059335716404, kSaturnR = 9.8674920158163;
constexpr double kEarthL = 1.4710510618972488, kEarthR = 0.9841232292747965;

TEST(SaturnRings, MeeusExample45a) {
  auto rec = ObserverAtTT(kExample45TT);
  TSolSysBody saturn{};
  saturn.HelioLongitude = kSaturnL;
  saturn.HelioLatitude = kSaturnB;
  saturn.RadiusVector = kSaturnR;
  TSolarContext ctx{};
  ctx.EarthL = kEarthL;
  ctx.EarthR = kEarthR;
  EXPECT_TRUE(CalcSaturnRings(ctx, *rec, saturn));
  // The book prints two decimals of arcseconds and three of degrees.
  EXPECT_NEAR(ctx.RingMajorAxis / kArcsec, 35.87, 0.006);
  EXPECT_NEAR(ctx.RingMinorAxis / kArcsec, 10.15, 0.006);
  EXPECT_NEAR(ctx.RingPositionAngle / kDeg, 6.741, 0.002);
  // Cached within the minute.
  ctx.RingMajorAxis = -1;
  EXPECT_TRUE(CalcSaturnRings(ctx, *rec, saturn));
  EXPECT_EQ(ctx.RingMajorAxis, -1);

  // The same instant through the Saturn record: B and ΔU for the magnitude
  // (book: B 16.442°, ΔU 4.198°).
  const double x = kSaturnR * std::cos(kSaturnB) * std::cos(kSaturnL) - kEarthR * std::cos(kEarthL);
  const double y = kSaturnR * std::cos(kSaturnB) * std::sin(kSaturnL) - kEarthR * std::sin(kEarthL);
  const double z = kSaturnR * std::sin(kSaturnB);
  double B = 0, dU = 0;
  SaturnRingTilt(kExample45TT, std::atan2(y, x), std::atan2(z, std::hypot(x, y)), kSaturnL, kSaturnB, kSaturnR, B, dU);
  // Without the example's aberration and nutation: 0.01°.
  EXPECT_NEAR(B / kDeg, 16.442, 0.01);
  EXPECT_NEAR(dU / kDeg, 4.198, 0.01);
}

TEST(SaturnRings, EdgeOnAndSouthernFace) {
  struct {
    double tt, minB, maxB;
  } const cases[] = {
      // Ring-plane crossing seen from the Earth, 2009 September 4: B = 0
      // within the mean-element error of Saturn's place (0.35° → 0.2° in B).
      {2455078.5, 0.0, 0.3},
      // 2003 January 1: the southern face wide open (B about -26°).
      {2452640.5, 24.0, 28.0},
  };
  for (const auto& c : cases) {
    auto rec = ObserverAtTT(c.tt);
    TSolarContext ctx = SunContext(*rec);
    CalcEarthOrbit(ctx, *rec);
    TSolSysBody saturn = PlanetRecord(6);
    CalcPlanet(ctx, *rec, saturn);
    CalcSaturnRings(ctx, *rec, saturn);
    // The minor axis is never negative: b = a sin|B|.
    const double tilt = std::asin(ctx.RingMinorAxis / ctx.RingMajorAxis) / kDeg;
    EXPECT_GE(tilt, c.minB) << c.tt;
    EXPECT_LE(tilt, c.maxB) << c.tt;
  }
}

}  // namespace
