// Calendar, time scales, time zones and sidereal time.
#include "astro/timescales.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "astro/observer.h"
#include "astro/precession.h"
#include "platform/float_to_int.h"

double JulianDay(double year, double month, double day, double hours) {
  // Gregorian from 1582 October 15 on, compared on the calendar date itself.
  bool gregorian = year > 1582 || (year == 1582 && (month > 10 || (month == 10 && day >= 15)));
  // January and February count as months 13 and 14 of the previous year;
  // month 0 is taken as it stands (JulianDay(1900, 0, 1, 0) = 2414987.5).
  double y = year, m = month;
  if (m == 1 || m == 2) {
    y -= 1;
    m += 12;
  }
  // Century correction of the Gregorian calendar.
  double b = gregorian ? 2 - std::floor(y / 100) + std::floor(y / 400) : 0;
  // Days from the epoch of the Julian period (floor keeps negative years right).
  return std::floor(365.25 * (y + 4716)) + std::floor(30.6001 * (m + 1)) + day + b - 1524.5 +
         hours / 24.0;
}

void JulianDayToDate(double jd, int& year, int& month, int& day, double& hours) {
  // Day number and fraction of the civil day (starting at midnight).
  double j = jd + 0.5;
  double i = std::floor(j);
  double f = j - i;
  // Hours rounded to 0.01 s; a rounding up to 24 h belongs to the next day.
  hours = std::nearbyint(f * 24.0 * 360000.0) / 360000.0;
  if (hours >= 24.0) {
    hours = 0.0;
    i += 1;
  }
  // Undo the Gregorian century correction after the reform.
  double b = i;
  if (i > 2299160) {
    double a = std::floor((i - 1867216.25) / 36524.25);
    b = i + 1 + a - std::floor(a / 4);
  }
  // Years and months of the March-based calendar.
  double c = b + 1524;
  double d = std::floor((c - 122.1) / 365.25);
  double e = std::floor(365.25 * d);
  double g = std::floor((c - e) / 30.6001);
  // Dates from files and settings can be far outside any calendar: the
  // fields saturate rather than overflow.
  day = platform::ClampFloatToInt<int>(c - e - std::floor(30.6001 * g));
  month = platform::ClampFloatToInt<int>(g < 13.5 ? g - 1 : g - 13);
  year = platform::ClampFloatToInt<int>(month > 2.5 ? d - 4716 : d - 4715);
}

double JDMidnight(double jd) { return std::floor(jd + 0.5) - 0.5; }

int DayOfWeekJD(double jd) {
  // Whole day number of the date; JD 0 (a Monday) gives 1.
  // Saturates for dates beyond 64 bits of days (and NaN) instead of
  // overflowing; such a date has no meaningful weekday anyway.
  int64_t n = platform::ClampFloatToInt<int64_t>(std::floor(jd + 0.5) + 1);
  int r = int(n % 7);
  return r < 0 ? r + 7 : r;
}

bool NthWeekdayOfMonth(int weekday, int n, double& jd, int year, int month) {
  if (weekday < 0 || weekday > 6 || n < 1 || n > 5 || month < 1 || month > 12) return false;
  double first = JulianDay(year, month, 1, 0);
  double next = month == 12 ? JulianDay(year + 1, 1, 1, 0) : JulianDay(year, month + 1, 1, 0);
  // Walk the days of the month, counting those with the weekday.
  int count = 0;
  double last = 0;
  for (double d = first; d < next; d += 1.0) {
    if (DayOfWeekJD(d) != weekday) continue;
    ++count;
    last = d;
    if (count == n) {
      jd = d;
      return true;
    }
  }
  // n = 5 means the last one, even in a month with only four.
  if (n == 5 && count > 0) {
    jd = last;
    return true;
  }
  return false;
}

namespace {

// x into [0, period) by whole periods; NaN for non-finite input.
double Reduced(double x, double period) {
  if (!std::isfinite(x)) return std::nan("");
  double r = x - period * std::floor(x / period);
  // Rounding can leave exactly the period (e.g. for a tiny negative x).
  if (r >= period || r < 0) r = 0;
  return r;
}

}  // namespace

void ReduceHours(double& x) { x = Reduced(x, 24.0); }
void ReduceRadians(double& x) { x = Reduced(x, TwoPi); }
void ReduceUnit(double& x) { x = Reduced(x, 1.0); }

void InitTimeZoneInfo(TIME_ZONE_INFORMATION& tzi) {
  tzi = TIME_ZONE_INFORMATION{};
  platform::SetZoneName(tzi.StandardName, "Standard Time");
  platform::SetZoneName(tzi.DaylightName, "Daylight Time");
}

// --- ΔT -----------------------------------------------------------------------

namespace {

// Observed ΔT = TT - UT1 in seconds on 1 January of 1988 .. 2025: TT - TAI
// (32.184 s) + TAI - UTC (leap seconds) - (UT1 - UTC) from the IERS EOP C04 /
// Bulletin B series; 2023 to 2025 from IERS Bulletin A.
constexpr int kObservedFirstYear = 1988;
constexpr double kObservedDeltaT[] = {
    55.820, 56.300, 56.855, 57.565, 58.309, 59.122, 59.984, 60.785,  // 1988..1995
    61.629, 62.295, 62.966, 63.468, 63.829, 64.091, 64.300, 64.473,  // 1996..2003
    64.574, 64.688, 64.845, 65.146, 65.457, 65.777, 66.070, 66.325,  // 2004..2011
    66.603, 66.907, 67.281, 67.644, 68.102, 68.593, 68.968, 69.220,  // 2012..2019
    69.361, 69.359, 69.295, 69.204, 69.174, 69.140,                  // 2020..2025
};
constexpr int kObservedCount = int(sizeof(kObservedDeltaT) / sizeof(kObservedDeltaT[0]));

// The Espenak-Meeus (2006) ΔT polynomials for the future, seconds, for a
// decimal year y from 2005 on.
double EspenakMeeusFuture(double y) {
  if (y < 2050) {
    double t = y - 2000;
    return 62.92 + 0.32217 * t + 0.005589 * t * t;
  }
  double u = (y - 1820) / 100;
  if (y < 2150) return -20 + 32 * u * u - 0.5628 * (2150 - y);
  return -20 + 32 * u * u;
}

// Decimal year of a JD (Julian years from J2000.0; enough for ΔT).
double DecimalYear(double jd) { return 2000.0 + (jd - 2451545.0) / 365.25; }

// ΔT in seconds.
double DeltaTSeconds(double jd) {
  // Before 1600: parabola in centuries before 1850.
  if (jd < JulianDay(1600, 1, 1, 0)) {
    double t = (JulianDay(1850, 1, 1, 0) - jd) / 36524.22;
    return 22.5 * t * t;
  }
  // 1600 to 1800: long-term parabola.
  if (jd < JulianDay(1800, 1, 1, 0)) {
    double d = jd - 2382148.0;
    return d * d / 41048480.0 - 15.0;
  }
  // 1800 to 1988: polynomial in centuries from 1900, in days.
  if (jd < JulianDay(kObservedFirstYear, 1, 1, 0)) {
    static constexpr double c[] = {-0.000014, 0.001148,  0.003357,  -0.012462, -0.022542,
                                   0.062971,  0.079441,  -0.146960, -0.149279, 0.161416,
                                   0.145932,  -0.067471, -0.058091};
    double t = (jd - JulianDay(1900, 1, 1, 0)) / 36524.22;
    double days = 0;
    for (int k = 12; k >= 0; --k) days = days * t + c[k];
    return days * 86400.0;
  }
  // 1988 to the last observed year: linear between yearly values.
  static const std::array<double, kObservedCount> yearStart = [] {
    std::array<double, kObservedCount> a{};
    for (int i = 0; i < kObservedCount; ++i) a[i] = JulianDay(kObservedFirstYear + i, 1, 1, 0);
    return a;
  }();
  double lastJD = yearStart[kObservedCount - 1];
  if (jd < lastJD) {
    int i = int(std::upper_bound(yearStart.begin(), yearStart.end(), jd) - yearStart.begin()) - 1;
    double v0 = kObservedDeltaT[i], v1 = kObservedDeltaT[i + 1];
    return v0 + (v1 - v0) * (jd - yearStart[i]) / (yearStart[i + 1] - yearStart[i]);
  }
  // Later: the extrapolation, shifted to meet the last observed value.
  double offset = kObservedDeltaT[kObservedCount - 1] - EspenakMeeusFuture(DecimalYear(lastJD));
  return EspenakMeeusFuture(DecimalYear(jd)) + offset;
}

}  // namespace

double DeltaT(double jd) { return DeltaTSeconds(jd) / 3600.0; }

void UTToTT(double& jdTT, double jdUT) { jdTT = jdUT + DeltaT(jdUT) / 24.0; }
void TTToUT(double& jdUT, double jdTT) { jdUT = jdTT - DeltaT(jdTT) / 24.0; }

// --- Time zones ---------------------------------------------------------------

void LocalStandardToUT(const TObserverTime& rec, double& jdUT, double jdLocal) {
  jdUT = jdLocal + rec.TimeZone.Bias / 1440.0;
}

void UTToLocalStandard(const TObserverTime& rec, double& jdLocal, double jdUT) {
  jdLocal = jdUT - rec.TimeZone.Bias / 1440.0;
}

namespace {

// Whether the record applies a daylight rule in day-in-month form.
bool UsesDaylightRule(const TObserverTime& rec) {
  return rec.UseDaylightSaving != 0 && rec.TimeZone.StandardDate.wYear == 0 &&
         rec.TimeZone.DaylightDate.wYear == 0;
}

// The change-over of a SYSTEMTIME rule in `year`, as a clock reading (JD).
bool ChangeOver(const SYSTEMTIME& st, int year, double& jd) {
  double day;
  if (!NthWeekdayOfMonth(st.wDayOfWeek, st.wDay, day, year, st.wMonth)) return false;
  jd = day + (st.wHour + (st.wMinute + st.wSecond / 60.0) / 60.0) / 24.0;
  return true;
}

// Whether t lies in the season [start, end); a season that wraps past the
// end of the year (start after end) covers t >= start or t < end.
bool InSeason(double t, double start, double end) {
  if (start <= end) return start <= t && t < end;
  return t >= start || t < end;
}

// Calendar year of a JD.
int YearOf(double jd) {
  int y, m, d;
  double h;
  JulianDayToDate(jd, y, m, d, h);
  return y;
}

}  // namespace

bool DaylightSavingAt(const TObserverTime& rec, double jdUT) {
  if (!UsesDaylightRule(rec)) return false;
  const TIME_ZONE_INFORMATION tz = rec.TimeZone;
  // Change-overs of the local standard year, as clock readings.
  int year = YearOf(jdUT - tz.Bias / 1440.0);
  double start, end;
  if (!ChangeOver(tz.DaylightDate, year, start) || !ChangeOver(tz.StandardDate, year, end))
    return false;
  // The start is read on the standard clock, the end on the daylight clock.
  double startUT = start + (tz.Bias + tz.StandardBias) / 1440.0;
  double endUT = end + (tz.Bias + tz.DaylightBias) / 1440.0;
  return InSeason(jdUT, startUT, endUT);
}

bool LocalCivilToUT(const TObserverTime& rec, double& jdUT, double jdLocal) {
  const TIME_ZONE_INFORMATION tz = rec.TimeZone;
  // Standard time is the fallback.
  jdUT = jdLocal + tz.Bias / 1440.0;
  if (!UsesDaylightRule(rec)) return false;
  // Both change-overs are clock readings, so compare the clock reading.
  int year = YearOf(jdLocal);
  double start, end;
  if (!ChangeOver(tz.DaylightDate, year, start) || !ChangeOver(tz.StandardDate, year, end))
    return false;
  bool daylight = InSeason(jdLocal, start, end);
  jdUT = jdLocal + (tz.Bias + (daylight ? tz.DaylightBias : tz.StandardBias)) / 1440.0;
  return daylight;
}

bool UTToLocalCivil(const TObserverTime& rec, double& jdLocal, double jdUT) {
  const TIME_ZONE_INFORMATION tz = rec.TimeZone;
  // Standard time is the fallback.
  jdLocal = jdUT - tz.Bias / 1440.0;
  if (!UsesDaylightRule(rec)) return false;
  int year = YearOf(jdLocal);
  double start, end;
  if (!ChangeOver(tz.DaylightDate, year, start) || !ChangeOver(tz.StandardDate, year, end))
    return false;
  bool daylight = DaylightSavingAt(rec, jdUT);
  jdLocal = jdUT - (tz.Bias + (daylight ? tz.DaylightBias : tz.StandardBias)) / 1440.0;
  return daylight;
}

void UTHoursToLocal(const TObserverTime& rec, double& hours, double utHours) {
  int32_t bias = rec.TimeZone.Bias +
                 (rec.DaylightInEffect ? rec.TimeZone.DaylightBias : rec.TimeZone.StandardBias);
  hours = utHours - bias / 60.0;
  ReduceHours(hours);
}

// --- Sidereal time ------------------------------------------------------------

double ApparentSiderealTimeUT(const TObserverTime& rec, double jdUT) {
  // Mean sidereal time at Greenwich (IAU 1982, Meeus eq. 12.4), degrees.
  double d = jdUT - 2451545.0;
  double t = d / 36525.0;
  double theta = 280.46061837 + 360.98564736629 * d + 0.000387933 * t * t - t * t * t / 38710000.0;
  double hours = theta / 15.0;
  ReduceHours(hours);
  // The record's nutation holds within a day of the instant it was computed
  // for; further away (or never computed) the instant's own is used.
  double dPsi = rec.NutLongitude, eps = rec.Obliquity;
  if (!(std::fabs(jdUT - rec.NutationUT) < 1.0)) {
    double jdTT = 0, dEps = 0, eps0 = 0;
    UTToTT(jdTT, jdUT);
    NutationAt(jdTT, dPsi, dEps, eps, eps0);
  }
  // Equation of the equinoxes Δψ cos ε, in hours.
  return hours + std::cos(eps) * (dPsi * DegPerRad / 15.0);
}

void ApparentSiderealTime(const TObserverTime& rec, double& hours, double jdTT) {
  // The polynomial runs on universal time.
  double jdUT;
  TTToUT(jdUT, jdTT);
  hours = ApparentSiderealTimeUT(rec, jdUT);
}

void LocalSiderealTime(const TObserverTime& rec, double& hours, double jdTT) {
  ApparentSiderealTime(rec, hours, jdTT);
  // Longitude is positive west.
  hours -= rec.Longitude * DegPerRad / 15.0;
  ReduceHours(hours);
}
