// Calendar dates and Julian dates, ΔT, the observer's local standard and
// clock time under a Windows-style time-zone rule, the day of the week, and
// Greenwich and local apparent sidereal time.
//
// Every instant is a Julian date (JD) in a 64-bit float; hours of the day
// are 64-bit floats in [0, 24). The routines that take the observer record
// read only its time-zone fields, daylight flags, nutation, obliquity and
// longitude, and never write it.
#pragma once

#include "platform/timezone.h"

using platform::SYSTEMTIME;
using platform::TIME_ZONE_INFORMATION;

struct TObserverTime;

// JulianDay: the Julian date of a calendar date and hour. Arguments in this
// order: year (astronomical numbering, 0 = 1 BC, negative before), month
// 1..12, day (may carry a fraction), hours. Gregorian calendar from
// 1582 October 15, Julian calendar before (Meeus, Astronomical Algorithms,
// ch. 7, with floor so that negative years are right). Only months 1 and 2
// count as months 13 and 14 of the previous year; month 0 is taken as it
// stands, so JulianDay(1900, 0, 1, 0) = 2414987.5, the epoch callers use
// in that form.
double JulianDay(double year, double month, double day, double hours);

// JulianDayToDate: the calendar date of a Julian date (Julian calendar
// before the reform): year, month 1..12, day 1..31 and hours in [0, 24),
// rounded to 1/360000 hour (0.01 s); a rounding that reaches 24 h gives 0 h
// of the next day. Meeus ch. 7.
void JulianDayToDate(double jd, int& year, int& month, int& day, double& hours);

// JDMidnight: the Julian date of the preceding 0h, floor(JD + 0.5) - 0.5.
double JDMidnight(double jd);

// DayOfWeekJD: day of the week of the date containing JD, 0 = Sunday.
int DayOfWeekJD(double jd);

// NthWeekdayOfMonth: the n-th (1..5, 5 = last) day of the month with the
// given weekday (0 = Sunday): true and `jd` set to its 0h; false when the
// month has no such day (n < 5 beyond the month, or bad arguments).
bool NthWeekdayOfMonth(int weekday, int n, double& jd, int year, int month);

// Reduce x into [0, 24), [0, 2π) or [0, 1) by whole periods, in place.
// Non-finite values become NaN.
void ReduceHours(double& x);
void ReduceRadians(double& x);
void ReduceUnit(double& x);

// InitTimeZoneInfo: a neutral rule: all fields zero, names "Standard Time"
// and "Daylight Time".
void InitTimeZoneInfo(TIME_ZONE_INFORMATION& tzi);

// DeltaT: ΔT = TT - UT in HOURS for the instant JD.
//   before 1600:  22.5 T² s with T centuries before 1850;
//   1600 - 1800:  (JD - 2382148)² / 41048480 - 15 s;
//   1800 - 1988:  the 12th-degree polynomial in centuries from 1900;
//   1988 - 2025:  observed values (IERS), interpolated between 1 January
//                 of each year;
//   after 2025:   the Espenak-Meeus (2006) extrapolation polynomials,
//                 shifted to join the last observed value continuously.
double DeltaT(double jd);

// UTToTT: TT = UT + ΔT(UT)/24. TTToUT: UT = TT - ΔT(TT)/24.
void UTToTT(double& jdTT, double jdUT);
void TTToUT(double& jdUT, double jdTT);

// Local standard time <-> UT: UT = local + Bias/1440.
void LocalStandardToUT(const TObserverTime& rec, double& jdUT, double jdLocal);
void UTToLocalStandard(const TObserverTime& rec, double& jdLocal, double jdUT);

// DaylightSavingAt: whether the record's rule puts the instant jdUT in its
// daylight season. False when the record does not use daylight saving, the
// rule is not in day-in-month form (wYear 0) or a change-over day cannot be
// found. The season starts at DaylightDate, a clock reading in standard
// time, and ends at StandardDate, a clock reading in daylight time; both
// are taken to UT before the comparison. A season that spans the new year
// (southern hemisphere: start later in the year than end) is handled.
bool DaylightSavingAt(const TObserverTime& rec, double jdUT);

// LocalCivilToUT: UT of a local clock time; true when the clock time lies in
// the daylight season. A clock time inside the repeated hour at the end of
// the season is taken as daylight time (its first occurrence).
bool LocalCivilToUT(const TObserverTime& rec, double& jdUT, double jdLocal);

// UTToLocalCivil: local clock time of a UT; true when daylight saving
// applies at that instant.
bool UTToLocalCivil(const TObserverTime& rec, double& jdLocal, double jdUT);

// UTHoursToLocal: clock hours in [0, 24) of UT hours under the record's
// CURRENT season (DaylightInEffect), not that of the hour converted.
void UTHoursToLocal(const TObserverTime& rec, double& hours, double utHours);

// ApparentSiderealTime: Greenwich apparent sidereal time in hours for the
// instant whose TERRESTRIAL-time Julian date is jdTT. The mean sidereal time
// (IAU 1982 polynomial, Meeus eq. 12.4) is a function of universal time, so
// the instant is first taken to UT with ΔT; the equation of the equinoxes
// Δψ cos ε uses the record's nutation and true obliquity. Result in
// [0, 24) plus the equation of the equinoxes (not reduced again).
void ApparentSiderealTime(const TObserverTime& rec, double& hours, double jdTT);

// ApparentSiderealTimeUT: the same for an instant given in universal time.
// The record's nutation is used within one day of the instant it belongs to
// (NutationUT); for an instant further away the instant's own nutation.
double ApparentSiderealTimeUT(const TObserverTime& rec, double jdUT);

// LocalSiderealTime: local apparent sidereal time in hours, [0, 24), for the
// terrestrial-time Julian date jdTT: Greenwich sidereal time minus the
// record's longitude (positive west).
void LocalSiderealTime(const TObserverTime& rec, double& hours, double jdTT);
