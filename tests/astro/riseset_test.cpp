// Rise, transit and set.
#include "astro/riseset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string_view>
#include <utility>

#include "astro/observer.h"
#include "astro/timescales.h"
#include "astro_test_support.h"

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
    RiseTransitSet(*rec, c.ra, c.dec, kStarStandardAltitude, rise, transit, set);
    EXPECT_NEAR(rise, c.rise, kTenSeconds) << c.day0;
    EXPECT_NEAR(transit, c.transit, kTenSeconds) << c.day0;
    EXPECT_NEAR(set, c.set, kTenSeconds) << c.day0;
  }
}

TEST(RiseTransitSet, CircumpolarNeverRisingAndLocalClockHours) {
  // At 50° N a star at +89° never sets and one at -60° never rises; at the
  // pole nothing rises or sets. The transit is still given.
  double rise, transit, set;
  for (auto [lat, dec] : {std::pair{50.0, 89.0}, {50.0, -60.0}, {90.0, 11.5}}) {
    auto rec = At(2460389.5, lat, 0.0);
    RiseTransitSet(*rec, 1.0, dec / DegPerRad, kStarStandardAltitude, rise, transit, set);
    EXPECT_EQ(rise, NoEvent) << lat << " " << dec;
    EXPECT_EQ(set, NoEvent) << lat << " " << dec;
    EXPECT_GE(transit, 0.0);
    EXPECT_LT(transit, 24.0);
  }
  // Zone UT+1 with daylight time in effect: every event two hours later,
  // wrapped past midnight (times as in the first case of the ERFA table).
  auto rec = At(2460389.9, 51.4769, 0.0);
  rec->TimeZone.Bias = -60;
  rec->TimeZone.DaylightBias = -60;
  rec->DaylightInEffect = 1;
  RiseTransitSetLocal(*rec, 1.2095, 16.55 / DegPerRad, kStarStandardAltitude, rise, transit, set);
  EXPECT_NEAR(rise, 11.197279, kTenSeconds);
  EXPECT_NEAR(transit, 18.706366, kTenSeconds);
  EXPECT_NEAR(set, 2.280984, kTenSeconds);
  RiseTransitSetLocal(*rec, 1.2095, 89.0 / DegPerRad, kStarStandardAltitude, rise, transit, set);
  EXPECT_EQ(rise, NoEvent);
  EXPECT_EQ(set, NoEvent);
}

TEST(RiseTransitSet, StandardAltitudeMovesTheEvents) {
  // The Sun's -0.8333° against the stars' -0.5667°: at the equator on the
  // celestial equator the hour angle grows by 0.2666° / 15°/h = 64 s, so
  // the rise comes 64 s earlier and the set 64 s later; the transit stays.
  auto rec = At(2451544.5 + 0.4, 0.0, 0.0);
  double r1, t1, s1, r2, t2, s2;
  RiseTransitSet(*rec, 0.0, 0.0, kStarStandardAltitude, r1, t1, s1);
  RiseTransitSet(*rec, 0.0, 0.0, kSunStandardAltitude, r2, t2, s2);
  const double shift = 0.2666 / 15.0 / 1.00273790935;
  EXPECT_NEAR(r1 - r2, shift, 0.1 / 3600);
  EXPECT_NEAR(s2 - s1, shift, 0.1 / 3600);
  EXPECT_EQ(t1, t2);
  // The Moon's h0 = 0.7275 π - 0.5667° (Meeus ch. 15): at 384400 km the
  // parallax is 0.95068°, so h0 = +0.12494°.
  EXPECT_NEAR(MoonStandardAltitude(384400.0) * DegPerRad, 0.12494, 2e-5);
}

// Rise and set of the Sun and the Moon (UT hours of the date) by the
// almanac definition: the instant the geocentric apparent altitude of the
// centre is -0.8333° (Sun) or 0.7275 π - 0.5667° (Moon). Computed once by
// tests/astro/make_planet_refs.py: the Sun from ERFA (eraEpv00, eraAb,
// eraPnm06a), the Moon from the Swiss Ephemeris (DE431), sidereal time from
// ERFA eraGst06a. kNone: no event that date.
constexpr double kNone = -1;
struct EventCase {
  const char* site;
  int year, month, day;
  double rise, set;
};
struct Site {
  const char* name;
  double lonWest, lat;  // degrees
};
constexpr Site kSites[] = {{"Greenwich", 0.0015, 51.4779}, {"Sydney", -151.2093, -33.8688},
                           {"Tromso", -18.9553, 69.6492}};
constexpr EventCase kSunEvents[] = {
    {"Greenwich", 2026, 3, 20, 6.048079, 18.216740},  {"Greenwich", 2026, 6, 21, 3.712301, 20.348391},
    {"Greenwich", 2026, 12, 21, 8.051241, 15.884316}, {"Sydney", 2026, 3, 20, 19.978627, 8.115921},
    {"Sydney", 2026, 6, 21, 21.002737, 6.897136},     {"Sydney", 2026, 12, 21, 18.685246, 9.090249},
    {"Tromso", 2026, 3, 20, 4.731676, 17.025722},
    // Polar day and polar night.
    {"Tromso", 2026, 6, 21, kNone, kNone},            {"Tromso", 2026, 12, 21, kNone, kNone},
};
constexpr EventCase kMoonEvents[] = {
    {"Greenwich", 2026, 3, 20, 6.269086, 20.578925}, {"Greenwich", 2026, 6, 21, 11.666167, 23.756801},
    {"Greenwich", 2026, 9, 23, 16.835973, 1.641964}, {"Sydney", 2026, 3, 20, 22.079912, 8.563072},
    {"Sydney", 2026, 6, 21, 1.416370, 13.647981},    {"Sydney", 2026, 9, 23, 4.412650, 18.193139},
};

std::unique_ptr<TObserverTime> AtSite(const EventCase& c) {
  for (const Site& s : kSites)
    if (std::string_view(s.name) == c.site) return At(JulianDay(c.year, c.month, c.day, 9.5), s.lat, s.lonWest);
  return nullptr;
}

void ExpectEvent(double got, double want, double tolerance, const EventCase& c) {
  if (want == kNone)
    EXPECT_EQ(got, NoEvent) << c.site << " " << c.month;
  else
    EXPECT_NEAR(got, want, tolerance) << c.site << " " << c.month;
}

TEST(SunAndMoonRiseSet, MatchTheAlmanac) {
  // The Sun's events within ten seconds, the Moon's within thirty.
  double rise, transit, set;
  for (const EventCase& c : kSunEvents) {
    auto rec = AtSite(c);
    SunRiseTransitSet(*rec, rise, transit, set);
    ExpectEvent(rise, c.rise, kTenSeconds, c);
    ExpectEvent(set, c.set, kTenSeconds, c);
    EXPECT_LT(transit, 24.0);
  }
  for (const EventCase& c : kMoonEvents) {
    auto rec = AtSite(c);
    MoonRiseTransitSet(*rec, rise, transit, set);
    ExpectEvent(rise, c.rise, 3 * kTenSeconds, c);
    ExpectEvent(set, c.set, 3 * kTenSeconds, c);
  }
}

}  // namespace

namespace {

// One reference Moon event: the place, the instant, rise (-1) or set (+1).
struct MoonEventRow {
  double lat, lonWest, jdUT, side;
};

// Every Moon rise and set at Reykjavik (64.1° N), Longyearbyen (78.2° N)
// and the North Pole in 2024, the year of a major lunar standstill, when
// the Moon is circumpolar at the two towns for days each month and grazes
// its altitude without crossing it at five turning points (astropy 5.2.1:
// see the table's header). None is missed, none is added, each lies within
// 2 minutes (the two lunar theories agree to a few seconds of time).
TEST(MoonRiseSet, EveryEventAtHighLatitudesOverAYear) {
  const auto rows = astro_test::ReferenceRows<MoonEventRow>("moon_riseset_astropy.txt");
  // Each site's events, searched a day at a time from noon UT as the yearly
  // chart does, over the span of the table (2024-01-01 12h to 2025-01-01 12h).
  for (const double lat : {64.1466, 78.2232, 90.0}) {
    std::vector<MoonEventRow> want, got;
    for (const MoonEventRow& r : rows)
      if (r.lat == lat) want.push_back(r);
    ASSERT_FALSE(want.empty());
    const double lonWest = want.front().lonWest;
    for (double day = 2460311.0; day < 2460677.0; day += 1) {
      auto rec = At(day + 0.5, lat, lonWest);
      for (const TRiseSetEvent& e : MovingRiseSetEvents(*rec, MoonPlace(*rec), day, 24.0))
        got.push_back({lat, lonWest, day + e.hours / 24.0, double(e.side)});
    }
    size_t found = 0;
    for (const MoonEventRow& w : want) {
      const MoonEventRow* best = nullptr;
      for (const MoonEventRow& g : got)
        if (g.side == w.side && (!best || std::fabs(g.jdUT - w.jdUT) < std::fabs(best->jdUT - w.jdUT))) best = &g;
      const double minutes = best ? std::fabs(best->jdUT - w.jdUT) * 1440 : 1e9;
      if (minutes < 2) ++found;
      else ADD_FAILURE() << lat << " JD " << std::fixed << w.jdUT << " side " << w.side << " off by " << minutes << " min";
    }
    EXPECT_EQ(found, want.size());
    EXPECT_EQ(got.size(), want.size()) << lat;
  }
}

// The rise and set of one night from noon at Reykjavik (clock = UT), from
// the reference table above: the rise and the set of the pass that
// culminates in the night, followed forward from the rise.
TEST(MoonRiseSet, TheNightsPassFromNoonToNoon) {
  const struct {
    int month, day;
    double rise, set;  // reference instants, JD (UT)
  } cases[] = {
      // 22 September: the Moon sets at 16:20:57 and rises again at
      // 18:15:52, circumpolar around midnight: up all night.
      {9, 22, 2460576.2610227, 2460576.1812152},
      // 7 January: it sets at 12:05 just after the noon, rises at 09:40
      // the next morning for a short pass and sets at 11:26: that pass.
      {1, 7, 2460317.9026398, 2460317.9760822},
  };
  for (const auto& c : cases) {
    auto rec = At(JulianDay(2024, c.month, c.day, 20.0), 64.1466, 21.9426);
    const double noon = JulianDay(2024, c.month, c.day, 12.0);
    double rise, transit, set;
    MovingRiseTransitSetLocal(*rec, MoonPlace(*rec), 12.0, rise, transit, set);
    EXPECT_NEAR(rise, std::fmod(12 + (c.rise - noon) * 24, 24), 2.0 / 60) << c.month;
    EXPECT_NEAR(set, std::fmod(12 + (c.set - noon) * 24, 24), 2.0 / 60) << c.month;
    EXPECT_LT(transit, NoEvent);
  }
}

}  // namespace
