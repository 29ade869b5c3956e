// Rise, transit and set.
#include "astro/riseset.h"

#include <gtest/gtest.h>

#include <memory>

#include "astro/observer.h"

namespace {

// Ten seconds, in hours.
constexpr double kTenSeconds = 10.0 / 3600;

std::unique_ptr<TObserverTime> At(double jdUT, double latDeg, double lonWestDeg) {
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  SetObserverLocation(*rec, lonWestDeg / DegPerRad, latDeg / DegPerRad, 0);
  SetObserverUT(*rec, jdUT);
  return rec;
}

TEST(RiseTransitSet, FixedStarsAgainstErfa) {
  // Exact instants (UT hours of the record's date) at which the local hour
  // angle, from ERFA eraGst06a (TT = UT + 69 s), is 0 (transit) or ±H0 for
  // the altitude -0.5667° (rise, set), found by bisection: 10 s.
  struct Case {
    double day0, lat, lonWest, ra, dec, rise, transit, set;
  } cases[] = {
      {2460389.5, 51.4769, 0.0, 1.2095, 16.55 / DegPerRad, 9.197279, 16.706366, 0.280984},
      {2460492.5, -33.8688, -151.2093, 101.52 / DegPerRad, -16.75 / DegPerRad, 19.173386,
       2.045802, 8.852686},
      {2451544.5, 0.0, 0.0, 0.0, 0.0, 11.267088, 17.288383, 23.309677},
      // Aldebaran (4h35m55.2s, +16°30'33") at Greenwich on 2000 January 1.
      {2451544.5, 51.4769, 0.0, (4 + 35 / 60.0 + 55.2 / 3600) * 15 / DegPerRad,
       (16 + 30 / 60.0 + 33 / 3600.0) / DegPerRad, 14.369448, 21.874493, 5.445068},
  };
  for (const Case& c : cases) {
    auto rec = At(c.day0 + 0.4, c.lat, c.lonWest);
    double rise, transit, set;
    RiseTransitSet(*rec, c.ra, c.dec, rise, transit, set);
    EXPECT_NEAR(rise, c.rise, kTenSeconds) << c.day0;
    EXPECT_NEAR(transit, c.transit, kTenSeconds) << c.day0;
    EXPECT_NEAR(set, c.set, kTenSeconds) << c.day0;
  }
}

TEST(RiseTransitSet, CircumpolarAndNeverRising) {
  auto rec = At(2460389.5, 50.0, 0.0);
  double rise, transit, set;
  RiseTransitSet(*rec, 1.0, 89.0 / DegPerRad, rise, transit, set);
  EXPECT_EQ(rise, NoEvent);
  EXPECT_EQ(set, NoEvent);
  EXPECT_GE(transit, 0.0);
  EXPECT_LT(transit, 24.0);
  RiseTransitSet(*rec, 1.0, -60.0 / DegPerRad, rise, transit, set);
  EXPECT_EQ(rise, NoEvent);
  EXPECT_EQ(set, NoEvent);
  EXPECT_LT(transit, 24.0);
  // At the pole nothing rises or sets.
  auto pole = At(2460389.5, 90.0, 0.0);
  RiseTransitSet(*pole, 1.0, 0.2, rise, transit, set);
  EXPECT_EQ(rise, NoEvent);
}

TEST(RiseTransitSet, LocalClockHoursWrap) {
  // Zone UT+1 with daylight time in effect: every event two hours later,
  // wrapped past midnight (times as in the first case above).
  auto rec = At(2460389.9, 51.4769, 0.0);
  rec->TimeZone.Bias = -60;
  rec->TimeZone.DaylightBias = -60;
  rec->DaylightInEffect = 1;
  double rise, transit, set;
  RiseTransitSetLocal(*rec, 1.2095, 16.55 / DegPerRad, rise, transit, set);
  EXPECT_NEAR(rise, 11.197279, kTenSeconds);
  EXPECT_NEAR(transit, 18.706366, kTenSeconds);
  EXPECT_NEAR(set, 2.280984, kTenSeconds);
  RiseTransitSetLocal(*rec, 1.2095, 89.0 / DegPerRad, rise, transit, set);
  EXPECT_EQ(rise, NoEvent);
  EXPECT_EQ(set, NoEvent);
}

}  // namespace
