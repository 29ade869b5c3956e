// Rise, transit and set.
#include "astro/riseset.h"

#include <cmath>
#include <initializer_list>

#include "astro/observer.h"
#include "astro/sun_moon.h"

namespace {

// Sidereal days per solar day: a sidereal fraction of a turn becomes a
// solar fraction of a day when divided by this.
constexpr double kSiderealPerSolar = 1.00273790935;
// Earth's equatorial radius, km (horizontal parallax of the Moon).
constexpr double kEarthRadiusKm = 6378.14;
// Convergence of the moving-body iteration: 0.1 s, in hours.
constexpr double kConvergedHours = 0.1 / 3600.0;

// A sidereal fraction m (any value) as solar hours after 0h UT.
double SolarHours(double m) {
  ReduceUnit(m);
  return 24.0 * m / kSiderealPerSolar;
}

// Apparent sidereal time at 0h UT of the record's date, radians.
double SiderealAtMidnight(const TObserverTime& rec) {
  return ApparentSiderealTimeUT(rec, JDMidnight(rec.JD_UT)) * 15.0 / DegPerRad;
}

// Hour angle (radians, [0, π]) at which a body at declination dec has the
// altitude h0, or NaN when it never reaches it (circumpolar or never up).
double HourAngleAt(const TObserverTime& rec, double dec, double h0) {
  const double cosH0 = (std::sin(h0) - rec.SinLatitude * std::sin(dec)) / (rec.CosLatitude * std::cos(dec));
  // Also NaN at the poles.
  if (!(std::fabs(cosH0) <= 1.0)) return std::nan("");
  return ArcCosR(cosH0);
}

// One event of a moving body (side -1 rise, 0 transit, +1 set) near the
// estimate `hours` (hours after the instant `start`, a UT Julian date; any
// value): the event time is recomputed from the body's place at the last
// estimate, each time taking the solution nearest that estimate, until it
// moves by less than 0.1 s. NaN when the body does not reach its altitude
// there.
double ConvergeEvent(const TObserverTime& rec, const TBodyPlace& place, double start, double theta0, int side,
                     double hours) {
  for (int i = 0; i < 12; ++i) {
    double ra = 0, dec = 0, h0 = 0;
    place(start + hours / 24.0, ra, dec, h0);
    double m = (ra + rec.Longitude - theta0) / TwoPi;
    if (side != 0) {
      const double H0 = HourAngleAt(rec, dec, h0);
      if (std::isnan(H0)) return H0;
      m += side * H0 / TwoPi;
    }
    // Solar hours of the event, the branch nearest the estimate.
    const double period = 24.0 / kSiderealPerSolar;
    double next = 24.0 * m / kSiderealPerSolar;
    next += period * std::nearbyint((hours - next) / period);
    const bool done = std::fabs(next - hours) < kConvergedHours;
    hours = next;
    if (done) break;
  }
  return hours;
}

// Rise, transit and set of a moving body in the 24 hours from `start` (a
// UT Julian date), as hours after it; NoEvent for an event outside them.
void MovingRiseTransitSet(const TObserverTime& rec, const TBodyPlace& place, double start, double& rise,
                          double& transit, double& set) {
  const double theta0 = ApparentSiderealTimeUT(rec, start) * 15.0 / DegPerRad;
  // Start from the single-pass times of the place in the middle of the day.
  double ra = 0, dec = 0, h0 = 0;
  place(start + 0.5, ra, dec, h0);
  const double m0 = SolarHours((ra + rec.Longitude - theta0) / TwoPi);
  double H0 = HourAngleAt(rec, dec, h0);
  if (std::isnan(H0)) H0 = 0.25 * TwoPi;  // the events, if any, are found from the iteration
  const double first[3] = {m0 - H0 / TwoPi * 24.0, m0, m0 + H0 / TwoPi * 24.0};
  double* result[3] = {&rise, &transit, &set};
  const double period = 24.0 / kSiderealPerSolar;
  for (int k = 0; k < 3; ++k) {
    const int side = k - 1;
    double t = ConvergeEvent(rec, place, start, theta0, side, first[k]);
    // An event just outside the day may have a twin inside it.
    if (!std::isnan(t) && (t < 0.0 || t >= 24.0))
      t = ConvergeEvent(rec, place, start, theta0, side, t < 0.0 ? t + period : t - period);
    *result[k] = (std::isnan(t) || t < 0.0 || t >= 24.0) ? NoEvent : t;
  }
}

}  // namespace

double MoonStandardAltitude(double distanceKm) {
  const double parallax = std::asin(kEarthRadiusKm / distanceKm);
  return 0.7275 * parallax + kStarStandardAltitude;
}

void RiseTransitSet(const TObserverTime& rec, double ra, double dec, double h0, double& rise,
                    double& transit, double& set) {
  const double theta0 = SiderealAtMidnight(rec);
  // Transit: the fraction of a sidereal turn until the hour angle is 0
  // (longitude positive west).
  double m0 = (ra + rec.Longitude - theta0) / TwoPi;
  transit = SolarHours(m0);
  // Hour angle at the standard altitude.
  const double H0 = HourAngleAt(rec, dec, h0);
  if (!std::isnan(H0)) {
    rise = SolarHours(m0 - H0 / TwoPi);
    set = SolarHours(m0 + H0 / TwoPi);
  } else {
    // Circumpolar or never rising.
    rise = NoEvent;
    set = NoEvent;
  }
}

void RiseTransitSetLocal(const TObserverTime& rec, double ra, double dec, double h0, double& rise,
                         double& transit, double& set) {
  RiseTransitSet(rec, ra, dec, h0, rise, transit, set);
  for (double* t : {&rise, &transit, &set})
    if (*t < NoEvent) UTHoursToLocal(rec, *t, *t);
}

TBodyPlace SunPlace(const TObserverTime& rec, double h0) {
  return [&rec, h0](double jdUT, double& ra, double& dec, double& alt0) {
    double jdTT = 0;
    UTToTT(jdTT, jdUT);
    SunApparentPosition(rec, jdTT, ra, dec);
    alt0 = h0;
  };
}

TBodyPlace MoonPlace(const TObserverTime& rec) {
  return [&rec](double jdUT, double& ra, double& dec, double& h0) {
    double jdTT = 0, distance = 0;
    UTToTT(jdTT, jdUT);
    MoonApparentPosition(rec, jdTT, ra, dec, distance);
    h0 = MoonStandardAltitude(distance);
  };
}

void SunRiseTransitSet(const TObserverTime& rec, double& rise, double& transit, double& set) {
  MovingRiseTransitSet(rec, SunPlace(rec, kSunStandardAltitude), JDMidnight(rec.JD_UT), rise, transit, set);
}

void MoonRiseTransitSet(const TObserverTime& rec, double& rise, double& transit, double& set) {
  MovingRiseTransitSet(rec, MoonPlace(rec), JDMidnight(rec.JD_UT), rise, transit, set);
}

void MovingRiseTransitSetLocal(const TObserverTime& rec, const TBodyPlace& place, double fromHour, double& rise,
                               double& transit, double& set) {
  // The window's start as a UT Julian date: 0h of the record's clock date
  // plus fromHour, less the clock's offset from UT.
  const double offset = rec.JD_LocalCivil - rec.JD_UT;
  MovingRiseTransitSet(rec, place, JDMidnight(rec.JD_LocalCivil) + fromHour / 24.0 - offset, rise, transit, set);
  for (double* t : {&rise, &transit, &set})
    if (*t < NoEvent) {
      *t += fromHour;
      ReduceHours(*t);
    }
}
