// Rise, transit and set of a fixed position.
#include "astro/riseset.h"

#include <cmath>
#include <initializer_list>

#include "astro/observer.h"

namespace {

// Sidereal days per solar day: a sidereal fraction of a turn becomes a
// solar fraction of a day when divided by this.
constexpr double kSiderealPerSolar = 1.00273790935;
// Standard altitude of rise and set (refraction and semidiameter), radians.
constexpr double kStandardAltitude = -0.5667 / DegPerRad;

// A sidereal fraction m (any value) as solar hours after 0h UT.
double SolarHours(double m) {
  ReduceUnit(m);
  return 24.0 * m / kSiderealPerSolar;
}

}  // namespace

void RiseTransitSet(const TObserverTime& rec, double ra, double dec, double& rise,
                    double& transit, double& set) {
  // Apparent sidereal time at 0h UT of the date, radians.
  double theta0 = ApparentSiderealTimeUT(rec, JDMidnight(rec.JD_UT)) * 15.0 / DegPerRad;
  // Transit: the fraction of a sidereal turn until the hour angle is 0
  // (longitude positive west).
  double m0 = (ra + rec.Longitude - theta0) / TwoPi;
  transit = SolarHours(m0);
  // Hour angle at the standard altitude.
  double cosH0 = (std::sin(kStandardAltitude) - rec.SinLatitude * std::sin(dec)) /
                 (rec.CosLatitude * std::cos(dec));
  if (std::fabs(cosH0) <= 1.0) {
    double h0 = ArcCosR(cosH0) / TwoPi;
    rise = SolarHours(m0 - h0);
    set = SolarHours(m0 + h0);
  } else {
    // Circumpolar or never rising (also NaN at the poles).
    rise = NoEvent;
    set = NoEvent;
  }
}

void RiseTransitSetLocal(const TObserverTime& rec, double ra, double dec, double& rise,
                         double& transit, double& set) {
  RiseTransitSet(rec, ra, dec, rise, transit, set);
  for (double* t : {&rise, &transit, &set})
    if (*t < NoEvent) UTHoursToLocal(rec, *t, *t);
}
