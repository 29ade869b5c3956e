// Rise, transit and set.
#include "astro/riseset.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

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

// The transit of a moving body nearest the estimate `hours` (hours after
// the instant `start`, a UT Julian date; any value): the time is
// recomputed from the body's place at the last estimate, each time taking
// the solution nearest that estimate, until it moves by less than 0.1 s.
double ConvergeTransit(const TObserverTime& rec, const TBodyPlace& place, double start, double theta0,
                       double hours) {
  for (int i = 0; i < 12; ++i) {
    double ra = 0, dec = 0, h0 = 0;
    place(start + hours / 24.0, ra, dec, h0);
    const double m = (ra + rec.Longitude - theta0) / TwoPi;
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

// A moving body's height above its standard altitude at `hours` after
// `start` (a UT Julian date), as sin(altitude) - sin(h0) (positive above),
// from the body's place at that instant and the sidereal time theta0
// (radians) at `start` advanced at the sidereal rate.
double AltitudeExcess(const TObserverTime& rec, const TBodyPlace& place, double start, double theta0, double hours) {
  double ra = 0, dec = 0, h0 = 0;
  place(start + hours / 24.0, ra, dec, h0);
  const double H = theta0 + hours / 24.0 * kSiderealPerSolar * TwoPi - rec.Longitude - ra;
  return rec.SinLatitude * std::sin(dec) + rec.CosLatitude * std::cos(dec) * std::cos(H) - std::sin(h0);
}

// One sample of the altitude excess: hours after the start and the value.
struct TExcessSample {
  double t, f;
};

// The crossing of the altitude inside the bracket [a, b] (the excess of
// opposite signs at the two ends), to 0.1 s: regula falsi with the Illinois
// modification (the value at an end that stays put twice running is
// halved, so both ends close in).
double RefineCrossing(const TObserverTime& rec, const TBodyPlace& place, double start, double theta0,
                      TExcessSample a, TExcessSample b) {
  int kept = 0;  // +1 when a stayed put last time, -1 when b did
  for (int i = 0; i < 60 && b.t - a.t > kConvergedHours; ++i) {
    double t = (a.t * b.f - b.t * a.f) / (b.f - a.f);
    // Keep the new point strictly inside the bracket.
    if (!(t > a.t && t < b.t)) t = 0.5 * (a.t + b.t);
    const double f = AltitudeExcess(rec, place, start, theta0, t);
    if (f == 0) return t;
    if ((f > 0) == (a.f > 0)) {
      a = {t, f};
      if (kept == -1) b.f *= 0.5;
      kept = -1;
    } else {
      b = {t, f};
      if (kept == 1) a.f *= 0.5;
      kept = 1;
    }
  }
  return (a.t * b.f - b.t * a.f) / (b.f - a.f);
}

// Where the excess turns back towards zero between three samples of the
// same sign (a minimum above the altitude or a maximum below it), the
// turning point is sought by successive parabolic steps: a body that only
// grazes its altitude crosses it twice within less than a sample step, and
// the turning point is the sample between the two crossings. Returns the
// sample of the turning point closest to zero (or of opposite sign).
TExcessSample TurningPoint(const TObserverTime& rec, const TBodyPlace& place, double start, double theta0,
                           TExcessSample p, TExcessSample q, TExcessSample r) {
  const bool above = q.f > 0;
  for (int i = 0; i < 4; ++i) {
    // Vertex of the parabola through the three samples.
    const double d1 = (q.t - p.t) * (q.f - r.f), d2 = (q.t - r.t) * (q.f - p.f);
    const double den = d1 - d2;
    if (den == 0) break;
    const double t = q.t - 0.5 * ((q.t - p.t) * d1 - (q.t - r.t) * d2) / den;
    if (!(t > p.t && t < r.t) || std::fabs(t - q.t) < kConvergedHours) break;
    const TExcessSample s{t, AltitudeExcess(rec, place, start, theta0, t)};
    if ((s.f > 0) != above) return s;
    // Keep the three samples that bracket the turning point.
    if (std::fabs(s.f) >= std::fabs(q.f)) {
      (s.t < q.t ? p : r) = s;
    } else {
      (s.t < q.t ? r : p) = q;
      q = s;
    }
  }
  return q;
}

}  // namespace

std::vector<TRiseSetEvent> MovingRiseSetEvents(const TObserverTime& rec, const TBodyPlace& place, double startUT,
                                               double spanHours) {
  std::vector<TRiseSetEvent> events;
  if (!(spanHours > 0)) return events;
  const double theta0 = ApparentSiderealTimeUT(rec, startUT) * 15.0 / DegPerRad;
  // Samples a step apart (at most an hour) from a step before the span to
  // a step after it, so that a crossing near either end is bracketed.
  const int n = int(std::ceil(spanHours));
  const double step = spanHours / n;
  std::vector<TExcessSample> samples;
  for (int i = -1; i <= n + 1; ++i)
    samples.push_back({i * step, AltitudeExcess(rec, place, startUT, theta0, i * step)});
  // Turning points between samples of one sign that may hide two crossings.
  std::vector<TExcessSample> extra;
  for (size_t i = 1; i + 1 < samples.size(); ++i) {
    const TExcessSample &p = samples[i - 1], &q = samples[i], &r = samples[i + 1];
    const bool sameSign = (p.f > 0) == (q.f > 0) && (q.f > 0) == (r.f > 0);
    const bool towardsZero = std::fabs(q.f) <= std::fabs(p.f) && std::fabs(q.f) <= std::fabs(r.f);
    if (!sameSign || !towardsZero) continue;
    const TExcessSample s = TurningPoint(rec, place, startUT, theta0, p, q, r);
    if ((s.f > 0) != (q.f > 0)) extra.push_back(s);
  }
  samples.insert(samples.end(), extra.begin(), extra.end());
  std::sort(samples.begin(), samples.end(), [](const TExcessSample& x, const TExcessSample& y) { return x.t < y.t; });
  // Each change of sign is one crossing.
  for (size_t i = 0; i + 1 < samples.size(); ++i) {
    const TExcessSample &a = samples[i], &b = samples[i + 1];
    if ((a.f > 0) == (b.f > 0)) continue;
    const double t = RefineCrossing(rec, place, startUT, theta0, a, b);
    if (t >= 0.0 && t < spanHours) events.push_back({t, a.f > 0 ? 1 : -1});
  }
  return events;
}

namespace {

// Rise, transit and set of a moving body in the 24 hours from `start` (a
// UT Julian date), as hours after it; NoEvent for an event outside them.
// The transit is the one nearest the middle of the day. Where the day
// holds two rises (or two sets), which happens only where the body's rise
// and set times race through the day near a circumpolar spell, the rise
// kept is the one that opens the pass through that transit (the last rise
// before it, else the first after it) and the set kept the one that closes
// it (the first set after it, else the last before it): a rise followed
// forward to its set is then the pass that culminates in the day.
void MovingRiseTransitSet(const TObserverTime& rec, const TBodyPlace& place, double start, double& rise,
                          double& transit, double& set) {
  const double theta0 = ApparentSiderealTimeUT(rec, start) * 15.0 / DegPerRad;
  // The transit, converged from the single-pass time of the place in the
  // middle of the day; a transit just outside the day may have a twin
  // inside it.
  double ra = 0, dec = 0, h0 = 0;
  place(start + 0.5, ra, dec, h0);
  const double period = 24.0 / kSiderealPerSolar;
  double t = ConvergeTransit(rec, place, start, theta0, SolarHours((ra + rec.Longitude - theta0) / TwoPi));
  const double culmination = t;
  if (t < 0.0 || t >= 24.0) t = ConvergeTransit(rec, place, start, theta0, t < 0.0 ? t + period : t - period);
  transit = (t < 0.0 || t >= 24.0) ? NoEvent : t;
  const double pivot = transit < NoEvent ? transit : culmination;
  rise = set = NoEvent;
  for (const TRiseSetEvent& e : MovingRiseSetEvents(rec, place, start, 24.0)) {
    if (e.side < 0) {
      // The last rise before the pivot, else the first after it.
      if (e.hours <= pivot || rise >= NoEvent) rise = e.hours;
    } else if (e.hours < pivot || set >= NoEvent || set < pivot) {
      // The first set after the pivot, else the last before it.
      set = e.hours;
    }
  }
}

}  // namespace

double MoonHorizontalParallax(double distanceKm) { return std::asin(kEarthRadiusKm / distanceKm); }

double MoonStandardAltitude(double distanceKm) {
  return 0.7275 * MoonHorizontalParallax(distanceKm) + kStarStandardAltitude;
}

double HorizonAltitude(THorizonBody body, THorizon horizon, double distanceKm) {
  const bool standard = horizon == THorizon::Standard;
  switch (body) {
    case THorizonBody::Sun:
      return standard ? kSunStandardAltitude : 0.0;
    case THorizonBody::Moon:
      return standard ? MoonStandardAltitude(distanceKm) : MoonHorizontalParallax(distanceKm);
    case THorizonBody::Star:
      break;
  }
  return standard ? kStarStandardAltitude : 0.0;
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

TBodyPlace MoonPlace(const TObserverTime& rec, THorizon horizon) {
  return [&rec, horizon](double jdUT, double& ra, double& dec, double& h0) {
    double jdTT = 0, distance = 0;
    UTToTT(jdTT, jdUT);
    MoonApparentPosition(rec, jdTT, ra, dec, distance);
    h0 = HorizonAltitude(THorizonBody::Moon, horizon, distance);
  };
}

TBodyPlace FixedPlace(double ra, double dec, double h0) {
  return [ra, dec, h0](double, double& r, double& d, double& alt0) {
    r = ra;
    d = dec;
    alt0 = h0;
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
