// Calendar, ΔT, time zones and sidereal time.
#include "astro/timescales.h"

#include <gtest/gtest.h>

#include <cmath>

#include "astro/observer.h"
#include "platform/timezone.h"

namespace {

// Julian dates in these tests are exact binary fractions or carry at most
// the rounding of one addition.
constexpr double kJD = 1e-9;

TEST(JulianDay, MeeusWorkedExamplesCalendarReformAndMonthZero) {
  // Meeus, Astronomical Algorithms (2nd ed.), examples 7.a, 7.b and the
  // table of chapter 7. The first Gregorian day follows 1582 October 4
  // (Julian) directly; 1 March of year 0 follows 29 February of year 0 (a
  // Julian leap year): before March of year 0, truncation toward zero would
  // be one day late. Month 0 goes through the formula as it stands (only
  // January and February count as months 13 and 14 of the year before):
  // 1900, 0, 1 gives INT(365.25 × 6616) + INT(30.6001 × 1) + 1 - 13 - 1524.5
  // = 2414987.5, the epoch the moon routines take in that form (and not
  // 2414989.5, 1899 December 1, which treating month 0 as month 12 gave).
  struct {
    double y, m, d, jd;
  } const cases[] = {
      {2000, 1, 1.5, 2451545.0},   {1999, 1, 1.0, 2451179.5},    {1987, 1, 27.0, 2446822.5},
      {1987, 6, 19.5, 2446966.0},  {1988, 1, 27.0, 2447187.5},   {1988, 6, 19.5, 2447332.0},
      {1900, 1, 1.0, 2415020.5},   {1600, 1, 1.0, 2305447.5},    {1600, 12, 31.0, 2305812.5},
      {837, 4, 10.3, 2026871.8},   {-123, 12, 31.0, 1676496.5},  {-122, 1, 1.0, 1676497.5},
      {-1000, 7, 12.5, 1356001.0}, {-1000, 2, 29.0, 1355866.5},  {-1001, 8, 17.9, 1355671.4},
      {-4712, 1, 1.5, 0.0},        {1957, 10, 4.81, 2436116.31}, {333, 1, 27.5, 1842713.0},
      {1582, 10, 15, 2299160.5},   {1582, 10, 4, 2299159.5},     {0, 3, 1, 1721117.5},
      {-1, 3, 1, 1720751.5},       {1900, 0, 1, 2414987.5},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(JulianDay(c.y, c.m, c.d, 0), c.jd, 1e-6) << c.y << "-" << c.m << "-" << c.d;
  // Hours are added as a fraction of the day.
  EXPECT_NEAR(JulianDay(2000, 1, 1, 12), 2451545.0, kJD);
}

TEST(JulianDayToDate, InvertsJulianDayAndNeverGivesHour24) {
  // Under a millisecond before midnight rounds to 0h of the next day, with
  // month and year carried.
  struct {
    double jd;
    int y, m, d;
    double h;
  } const cases[] = {
      {2436116.31, 1957, 10, 4, 19.44}, {2299160.5, 1582, 10, 15, 0},    {2299159.5, 1582, 10, 4, 0},
      {1842713.0, 333, 1, 27, 12},      {1355866.5, -1000, 2, 29, 0},    {2451544.5 - 1e-8, 2000, 1, 1, 0},
      {2451544.5 - 2e-8, 2000, 1, 1, 0},
  };
  int y, m, d;
  double h;
  for (const auto& c : cases) {
    JulianDayToDate(c.jd, y, m, d, h);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d) << c.jd;
    EXPECT_NEAR(h, c.h, 1e-6) << c.jd;
  }
  // Round trip over many days across the reform.
  for (double jd = 2299000.5; jd < 2300000.5; jd += 7.25) {
    JulianDayToDate(jd, y, m, d, h);
    EXPECT_NEAR(JulianDay(y, m, d, h), jd, 1e-6) << jd;
  }
}

TEST(Weekdays, DayOfWeekAndNthWeekday) {
  EXPECT_EQ(DayOfWeekJD(2451544.5), 6);  // 2000 January 1, Saturday
  EXPECT_EQ(DayOfWeekJD(2451544.9), 6);
  EXPECT_EQ(DayOfWeekJD(2434923.5), 3);  // Meeus ex. 7.e: 1954 June 30, Wednesday
  EXPECT_EQ(DayOfWeekJD(-10.5), DayOfWeekJD(-3.5));  // negative JDs cycle too
  // 2024: the first Sunday of March is the 3rd, the second the 10th, the
  // last the 31st; the last Sunday of January the 28th, the first of
  // December the 1st.
  // September 2023 has 30 days and October 1st is a Sunday: the last Sunday
  // of September is the 24th. February 2024 has four Fridays: n = 5 gives
  // the last, the 23rd.
  struct {
    int weekday, n, year, month, day;
  } const cases[] = {{0, 1, 2024, 3, 3},  {0, 2, 2024, 3, 10},  {0, 5, 2024, 3, 31}, {0, 5, 2023, 9, 24},
                     {5, 5, 2024, 2, 23}, {0, 5, 2024, 1, 28}, {0, 1, 2024, 12, 1}};
  double jd;
  for (const auto& c : cases) {
    ASSERT_TRUE(NthWeekdayOfMonth(c.weekday, c.n, jd, c.year, c.month)) << c.year << "-" << c.month;
    EXPECT_NEAR(jd, JulianDay(c.year, c.month, c.day, 0), kJD) << c.year << "-" << c.month;
  }
  EXPECT_FALSE(NthWeekdayOfMonth(0, 1, jd, 2024, 0));
  EXPECT_FALSE(NthWeekdayOfMonth(7, 1, jd, 2024, 3));
}

TEST(Reduce, WholePeriods) {
  double x = -24;
  ReduceHours(x);
  EXPECT_EQ(x, 0.0);
  x = 25.5;
  ReduceHours(x);
  EXPECT_EQ(x, 1.5);
  x = -1e-18;
  ReduceHours(x);
  EXPECT_GE(x, 0.0);
  EXPECT_LT(x, 24.0);
  x = -0.25;
  ReduceUnit(x);
  EXPECT_EQ(x, 0.75);
  x = 7 * M_PI;
  ReduceRadians(x);
  EXPECT_NEAR(x, M_PI, 1e-12);
  x = INFINITY;
  ReduceRadians(x);
  EXPECT_TRUE(std::isnan(x));
}

TEST(DeltaT, AgreesWithObservedValues) {
  // Observed ΔT (TT - UT1) in seconds from the IERS EOP series (computed
  // once with astropy's IERS-B table: 32.184 + TAI-UTC - (UT1-UTC)): linear
  // interpolation between yearly values, 0.15 s. Before 1988 the 1800-1988
  // polynomial fits the observed series to about 2 s (IERS for 1970 and
  // 1977; Meeus table 10.A for 1900, 1920 and 1950).
  struct {
    int y, m, d;
    double seconds, tolerance;
  } const cases[] = {
      {1990, 7, 1, 57.223, 0.15}, {2000, 1, 1, 63.829, 0.15}, {2005, 7, 1, 64.799, 0.15},
      {2011, 1, 1, 66.325, 0.15}, {2015, 7, 1, 67.861, 0.15}, {2020, 7, 1, 69.424, 0.15},
      {2022, 7, 1, 69.253, 0.15}, {1977, 2, 18, 47.652, 2.0}, {1970, 1, 1, 40.181, 2.0},
      {1900, 1, 1, -2.7, 2.0},    {1920, 1, 1, 21.2, 2.0},    {1950, 1, 1, 29.1, 2.0},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(DeltaT(JulianDay(c.y, c.m, c.d, 0)) * 3600, c.seconds, c.tolerance) << c.y << "-" << c.m;
  // TT from UT and back.
  double tt, ut;
  UTToTT(tt, 2451544.5);
  EXPECT_NEAR((tt - 2451544.5) * 86400, 63.829, 0.15);
  TTToUT(ut, tt);
  EXPECT_NEAR(ut, 2451544.5, 1e-9);
}

TEST(DeltaT, ContinuousFrom1988On) {
  // No jump at the yearly joins, at 2011 or at the start of the
  // extrapolation: neighbouring instants a second apart differ by far
  // less than 0.01 s.
  const double second = 1.0 / 86400;
  for (int year = 1989; year <= 2150; ++year) {
    double jd = JulianDay(year, 1, 1, 0);
    EXPECT_NEAR(DeltaT(jd - second) * 3600, DeltaT(jd + second) * 3600, 0.01) << year;
  }
  // The extrapolation grows: the Earth keeps slowing down.
  EXPECT_GT(DeltaT(JulianDay(2100, 1, 1, 0)), DeltaT(JulianDay(2030, 1, 1, 0)));
}

// --- Time zones ----------------------------------------------------------------

TObserverTime ZoneRecord(const char* posix, bool daylight) {
  TObserverTime rec;
  TIME_ZONE_INFORMATION tz;
  EXPECT_TRUE(platform::TimeZoneFromPosix(posix, tz)) << posix;
  rec.TimeZone = tz;
  rec.UseDaylightSaving = daylight ? 1 : 0;
  return rec;
}

double UT(int y, int m, int d, double h) { return JulianDay(y, m, d, h); }

// Compares two JDs to a millisecond.
void ExpectSameInstant(double got, double want) { EXPECT_NEAR(got, want, 1e-8); }

constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";
// Sydney: daylight time (UT+11) from 02:00 standard time on the first
// Sunday of October to 03:00 daylight time on the first Sunday of April.
constexpr const char* kSydney = "AEST-10AEDT,M10.1.0,M4.1.0/3";

TEST(TimeZones, UTToLocalCivilTime) {
  // EU rule: summer time from 01:00 UT on the last Sunday of March to 01:00
  // UT (03:00 summer time, not an hour later) on the last Sunday of October
  // (2024: March 31, October 27). Sydney 2024: April 7, 03:00 = April 6,
  // 16:00 UT; October 6, 02:00 = October 5, 16:00 UT. No daylight time in
  // a zone without it, nor with the switch off.
  struct Case {
    const char* zone;
    bool daylightSwitch;
    int m, d;
    double h;
    bool daylight;
    double offset;  // hours, 0: not checked
  } cases[] = {
      {kBerlin, true, 3, 31, 0.99, false, 1},  {kBerlin, true, 3, 31, 1.01, true, 2},
      {kBerlin, true, 10, 27, 0.99, true, 2},  {kBerlin, true, 10, 27, 1.01, false, 1},
      {kSydney, true, 1, 15, 0, true, 11},     {kSydney, true, 7, 1, 0, false, 10},
      {kSydney, true, 4, 6, 15.99, true, 0},   {kSydney, true, 4, 6, 16.01, false, 0},
      {kSydney, true, 10, 5, 15.99, false, 0}, {kSydney, true, 10, 5, 16.01, true, 0},
      {kSydney, true, 12, 31, 20, true, 0},    {"IST-5:30", true, 7, 1, 0, false, 5.5},
      {kBerlin, false, 7, 1, 0, false, 1},
  };
  for (const Case& c : cases) {
    TObserverTime rec = ZoneRecord(c.zone, c.daylightSwitch);
    double local;
    EXPECT_EQ(UTToLocalCivil(rec, local, UT(2024, c.m, c.d, c.h)), c.daylight) << c.zone << " " << c.m << "/" << c.d;
    if (c.offset != 0) ExpectSameInstant(local, UT(2024, c.m, c.d, c.h + c.offset));
  }
  // Local standard time ignores the season.
  TObserverTime rec = ZoneRecord(kBerlin, true);
  double local;
  UTToLocalStandard(rec, local, UT(2024, 7, 1, 12));
  ExpectSameInstant(local, UT(2024, 7, 1, 13));
  // A rule with absolute dates (wYear set) is not a yearly rule.
  rec.TimeZone.DaylightDate.wYear = 2024;
  EXPECT_FALSE(UTToLocalCivil(rec, local, UT(2024, 7, 1, 0)));
}

TEST(TimeZones, ClockTimeToUT) {
  TObserverTime rec = ZoneRecord(kBerlin, true);
  double ut;
  EXPECT_TRUE(LocalCivilToUT(rec, ut, UT(2024, 7, 1, 14)));
  ExpectSameInstant(ut, UT(2024, 7, 1, 12));
  EXPECT_FALSE(LocalCivilToUT(rec, ut, UT(2024, 12, 1, 14)));
  ExpectSameInstant(ut, UT(2024, 12, 1, 13));
  LocalStandardToUT(rec, ut, UT(2024, 7, 1, 13));
  ExpectSameInstant(ut, UT(2024, 7, 1, 12));
  // The southern summer spans the new year.
  rec = ZoneRecord(kSydney, true);
  EXPECT_TRUE(LocalCivilToUT(rec, ut, UT(2024, 12, 25, 12)));
  ExpectSameInstant(ut, UT(2024, 12, 25, 1));
}

TEST(TimeZones, HoursByTheCurrentSeason) {
  TObserverTime rec;
  rec.TimeZone.Bias = -60;
  rec.TimeZone.DaylightBias = -60;
  rec.DaylightInEffect = 1;
  double h;
  UTHoursToLocal(rec, h, 23.0);
  EXPECT_NEAR(h, 1.0, 1e-12);
  rec.DaylightInEffect = 0;
  UTHoursToLocal(rec, h, 23.5);
  EXPECT_NEAR(h, 0.5, 1e-12);
}

// --- Sidereal time ----------------------------------------------------------

TEST(SiderealTime, MeeusWorkedExamplesWithTheNutationOfTheirDay) {
  // Meeus ex. 12.a: 1987 April 10, 0h UT: mean 13h10m46.3668s; with
  // Δψ = -3.788", ε = 23°26'36.85" apparent 13h10m46.1351s.
  // Meeus ex. 12.b: 1987 April 10, 19h21m00s UT: mean 8h34m57.0896s.
  TObserverTime rec;
  rec.NutLongitude = 0;
  rec.Obliquity = 0;
  // The record's nutation belongs to the day of the examples.
  rec.NutationUT = 2446895.5;
  const double s = 1.0 / 3600;
  // The polynomial itself: 0.1 ms.
  EXPECT_NEAR(ApparentSiderealTimeUT(rec, 2446895.5), 13 + 10.0 / 60 + 46.3668 * s, 1e-7);
  EXPECT_NEAR(ApparentSiderealTimeUT(rec, 2446896.30625), 8 + 34.0 / 60 + 57.0896 * s, 1e-7);
  rec.NutLongitude = -3.788 / 206264.806;
  rec.Obliquity = (23 + 26.0 / 60 + 36.85 / 3600) / DegPerRad;
  EXPECT_NEAR(ApparentSiderealTimeUT(rec, 2446895.5), 13 + 10.0 / 60 + 46.1351 * s, 1e-7);
  // A record whose nutation belongs to another month (here a false value)
  // is not applied to that instant: the four-term nutation of its own day
  // (0.5″ in Δψ) gives 0.05 s.
  rec.NutationUT = 2446895.5 - 30;
  rec.NutLongitude = 0.001;
  rec.Obliquity = 0.4;
  EXPECT_NEAR(ApparentSiderealTimeUT(rec, 2446895.5), 13 + 10.0 / 60 + 46.1351 * s, 0.05 * s);
}

TEST(SiderealTime, AgreesWithErfaFrom1900To2100) {
  // Greenwich apparent sidereal time, ERFA eraGst06a(UT1 = UT, TT = UT +
  // 64 s) in hours. The record's nutation is the four-term series (0.03 s in
  // the equation of the equinoxes) and the IAU 1982 polynomial differs
  // from IAU 2006 by up to 0.02 s here: 0.1 s tolerance.
  struct Case {
    double jdUT, gast;
  } cases[] = {
      {2415020.5, 6.679219841},     {2433447.75, 23.530240977},  {2446896.30625, 8.582460227},
      {2451545.0, 18.697138157},    {2460389.625, 14.876056567}, {2470051.25, 16.740041625},
      {2488069.4583333335, 5.713195463},
  };
  TObserverTime rec;
  InitObserver(rec);
  for (const Case& c : cases) {
    SetObserverUT(rec, c.jdUT);
    double hours = rec.SiderealTime * DegPerRad / 15;
    double diff = std::remainder(hours - c.gast, 24.0) * 3600;
    EXPECT_NEAR(diff, 0.0, 0.1) << c.jdUT;
    // The TT form of the routine gives the same instant's value.
    double h2;
    ApparentSiderealTime(rec, h2, rec.JD_TT);
    EXPECT_NEAR(std::remainder(h2 - hours, 24.0) * 3600, 0.0, 1e-4) << c.jdUT;
  }
  // Local sidereal time is Greenwich's minus the west longitude, in [0, 24).
  SetObserverLocation(rec, 75.0 / DegPerRad, 0.5, 0);  // 75° west = 5 h
  SetObserverUT(rec, 2460389.625);
  double gst, lst;
  ApparentSiderealTime(rec, gst, rec.JD_TT);
  LocalSiderealTime(rec, lst, rec.JD_TT);
  EXPECT_NEAR(std::remainder(gst - 5.0 - lst, 24.0), 0.0, 1e-9);
  EXPECT_GE(lst, 0.0);
  EXPECT_LT(lst, 24.0);
  EXPECT_NEAR(rec.LocalSidereal * DegPerRad / 15, lst, 1e-6);
}

}  // namespace
