#include "astro/sun_moon.h"

#include <cmath>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/transforms.h"
#include "astro/trig.h"

namespace {

constexpr double kDegToRad = 1.0 / DegPerRad;
// One arcsecond in radians.
constexpr double kArcsec = kDegToRad / 3600.0;
// Epoch 1980.0 (1979 December 31, 0h UT) of the Sun and Moon methods.
constexpr double kEpoch1980 = 2444238.5;
// Sun, epoch 1980.0: ecliptic longitude at epoch, of perigee, eccentricity.
constexpr double kSunEpsilonG = 278.83354 * kDegToRad;
constexpr double kSunPerigee = 282.596403 * kDegToRad;
constexpr double kSunE = 0.016718;

}  // namespace

void CalcSun(TSolarContext& ctx, const TObserverTime& rec) {
  const double T = (rec.JD_TT - 2451545.0) / 36525.0;
  const double Y = (rec.JD_TT - 2451545.0) / 365.25;
  // Mean longitude, mean anomaly and eccentricity of the Earth's orbit.
  const double L0 = (280.46645 + 36000.76983 * T + 0.0003032 * T * T) * kDegToRad;
  const double M = (357.5291 + 35999.0503 * T - 0.0001559 * T * T - 0.00000048 * T * T * T) * kDegToRad;
  const double e = 0.016708617 - 0.000042037 * T - 0.0000001236 * T * T;
  // Equation of the centre and true anomaly.
  const double C = ((1.9146 - 0.004817 * T - 0.000014 * T * T) * std::sin(M) +
                    (0.019993 - 0.000101 * T) * std::sin(2.0 * M) + 0.00029 * std::sin(3.0 * M)) *
                   kDegToRad;
  const double nu = M + C;
  // Radius vector.
  const double R = 1.000001018 * (1.0 - e * e) / (1.0 + e * std::cos(nu));
  ctx.SunRadiusVector = R;
  ctx.SunDistance = R;
  // True longitude and mean anomaly.
  const double sunLon = ModTwoPi(L0 + C);
  ctx.SunTrueLongitude = sunLon;
  ctx.SunMeanAnomaly = ModTwoPi(M);
  // Apparent longitude: aberration and nutation.
  const double apparent = ModTwoPi(sunLon - 20.0 * kArcsec / R + rec.NutLongitude);
  ctx.SunApparentLongitude = apparent;
  // Longitude referred to the J2000 equinox (general precession removed).
  const double lonJ2000 = sunLon - 0.000243822 * Y - 5.4105e-08 * Y * Y;
  ctx.SunLongitudeJ2000 = lonJ2000;
  // Rectangular J2000 equatorial coordinates (FK5 frame, Meeus ch. 26).
  const double X0 = R * std::cos(lonJ2000), Y0 = R * std::sin(lonJ2000), Z0 = 0.0;
  ctx.SunX = X0 + 4.4036e-07 * Y0 - 1.90919e-07 * Z0;
  ctx.SunY = -4.79966e-07 * X0 + 0.917482137087 * Y0 - 0.397776982902 * Z0;
  ctx.SunZ = 0.397776982902 * Y0 + 0.917482137087 * Z0;
  // Apparent diameter: 1919.26″ at 1 AU.
  ctx.SunDiameter = 0.0093048389350729 * (1.0 + e * std::cos(nu)) / (1.0 - e * e);
  // Apparent right ascension and declination of date.
  double ra = 0, dec = 0;
  EclipticToEquatorial(rec, ra, dec, apparent, 0.0);
  ctx.SunRA = ra;
  ctx.SunDec = dec;
}

void CalcSunTopocentric(TSolarContext& ctx, const TObserverTime& rec) {
  const double D = rec.JD_UT - kEpoch1980;
  // Mean anomaly and true anomaly.
  const double N = ModTwoPi(TwoPi / 365.2422 * D);
  const double M = ModTwoPi(N + kSunEpsilonG - kSunPerigee);
  ctx.SunMeanAnomaly = M;
  const double nu = KeplerTrueAnomaly(kSunE, M);
  // True geocentric longitude.
  const double lambda = ModTwoPi(kSunPerigee + nu);
  ctx.SunTrueLongitude = lambda;
  double ra = 0, dec = 0;
  EclipticToEquatorial(rec, ra, dec, lambda, 0.0);
  // Distance (km, 149598500 km × (1 - e²)) and apparent diameter.
  const double distance = 149556688.4872469 / (1.0 + kSunE * std::cos(nu));
  ctx.SunDistance = distance;
  ctx.SunDiameter = 0.009304838 * (1.0 + kSunE * std::cos(nu)) / (1.0 - kSunE * kSunE);
  // The observer's parallax, then the optional external position.
  double raTopo = 0, decTopo = 0;
  TopocentricParallax(rec, raTopo, decTopo, distance, ra, dec);
  if (ctx.NovasOff == 0) ProviderPosition(10, rec, raTopo, decTopo);
  ctx.SunRA = raTopo;
  ctx.SunDec = decTopo;
}

void CalcEarthOrbit(TSolarContext& ctx, const TObserverTime& rec) {
  const TPlanetElements& row = PlanetElementTable[kEarthNumber - 1];
  const double eps = row.MeanLongitude * kDegToRad, peri = row.Perihelion * kDegToRad;
  const double e = row.Eccentricity;
  const double D = rec.JD_UT - 2451545.0;
  // Mean motion angle, mean anomaly, true anomaly, longitude, radius vector.
  ctx.EarthN = ModTwoPi(D / row.Period * TwoPi / 365.2422);
  ctx.EarthM = ctx.EarthN + eps - peri;
  const double nu = KeplerTrueAnomaly(e, ctx.EarthM);
  ctx.EarthNu = nu;
  ctx.EarthL = ModTwoPi(nu + peri);
  ctx.EarthR = (1.0 - e * e) / (1.0 + e * std::cos(nu));
}

void CalcMoon(TSolarContext& ctx, const TObserverTime& rec, TSolSysBody& moon) {
  if (BodyCacheHit(moon, rec, rec.JD_UT)) return;
  const double sunLon = ctx.SunTrueLongitude, sunM = ctx.SunMeanAnomaly;
  const double D = rec.JD_UT - kEpoch1980;
  // Mean longitude, mean anomaly and ascending node of the Moon.
  const double l = ModTwoPi((64.975464 + 13.1763966 * D) * kDegToRad);
  const double Mm = ModTwoPi(l - 0.1114041 * kDegToRad * D - 349.383063 * kDegToRad);
  const double N = ModTwoPi((151.950429 - 0.0529539 * D) * kDegToRad);
  // Evection and the annual equation with its third correction.
  const double Ev = 1.2739 * kDegToRad * std::sin(2.0 * (l - sunLon) - Mm);
  const double Ae = 0.1858 * kDegToRad * std::sin(sunM);
  const double A3 = 0.37 * kDegToRad * std::sin(sunM);
  // Corrected anomaly, equation of the centre, fourth correction.
  const double Mmp = Mm + Ev - Ae - A3;
  const double Ec = 6.2886 * kDegToRad * std::sin(Mmp);
  const double A4 = 0.214 * kDegToRad * std::sin(2.0 * Mmp);
  // Corrected longitude, variation, true orbital longitude.
  const double lp = l + Ev + Ec - Ae + A4;
  const double V = 0.6583 * kDegToRad * std::sin(2.0 * (lp - sunLon));
  const double lpp = lp + V;
  // Corrected node; ecliptic longitude and latitude.
  const double Np = N - 0.16 * kDegToRad * std::sin(sunM);
  const double incl = 5.1453964 * kDegToRad;
  const double lambda = ModTwoPi(ArcTan2R(std::cos(lpp - Np), std::sin(lpp - Np) * std::cos(incl)) + Np);
  const double beta = ArcSinR(std::sin(lpp - Np) * std::sin(incl));
  moon.EclLongitude = lambda;
  moon.EclLatitude = beta;
  double ra = 0, dec = 0;
  EclipticToEquatorial(rec, ra, dec, lambda, beta);
  // Distance in units of the semi-major axis, then in kilometres.
  const double rho = 0.99698599 / (1.0 + 0.0549 * std::cos(Mmp + Ec));
  const double distance = 384401.0 * rho;
  // The observer's parallax, then the optional external position.
  double raTopo = 0, decTopo = 0;
  TopocentricParallax(rec, raTopo, decTopo, distance, ra, dec);
  if (ctx.NovasOff == 0) ProviderPosition(11, rec, raTopo, decTopo);
  moon.RA = raTopo;
  moon.Dec = decTopo;
  // Diameter (0.5181° at mean distance), elongation, bright limb, distance.
  moon.Diameter = 0.00904255 / rho;
  moon.PhaseAngle = ModTwoPi(lpp - sunLon);
  moon.LimbAngle = BrightLimbAngle(ctx, raTopo, decTopo);
  moon.Distance = distance;
  // Ecliptic latitude in whole degrees.
  ctx.MoonLatitudeDegrees = int32_t(std::nearbyint(beta * DegPerRad));
}

double BrightLimbAngle(const TSolarContext& ctx, double ra, double dec) {
  const double dRA = ctx.SunRA - ra;
  const double y = std::cos(ctx.SunDec) * std::sin(dRA);
  const double x = std::sin(ctx.SunDec) * std::cos(dec) - std::cos(ctx.SunDec) * std::sin(dec) * std::cos(dRA);
  return ModTwoPi(ArcTan2R(x, y));
}
