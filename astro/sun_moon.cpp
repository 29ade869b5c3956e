#include "astro/sun_moon.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/transforms.h"
#include "astro/trig.h"

namespace {

constexpr double kDegToRad = 1.0 / DegPerRad;
// One arcsecond in radians.
constexpr double kArcsec = kDegToRad / 3600.0;
// Kilometres per astronomical unit (IAU 2012) of the Sun's distance.
constexpr double kKmPerAstronomicalUnit = 149597870.7;
// The Moon's mean distance (km) and its apparent diameter there (radians, 0.5181°).
constexpr double kMoonMeanDistance = 384401.0;
constexpr double kMoonDiameterAtMean = 0.00904255;

// One periodic term of the Moon's longitude and distance: multiples of the
// mean elongation D, the Sun's mean anomaly M, the Moon's mean anomaly M'
// and its argument of latitude F; the sine coefficient of longitude (unit
// 0.000001°) and the cosine coefficient of distance (unit 0.001 km).
struct TMoonTermLR {
  int8_t d, m, mp, f;
  int32_t lon, dist;
};

// One periodic term of the Moon's latitude: multiples of D, M, M', F and the
// sine coefficient (unit 0.000001°).
struct TMoonTermB {
  int8_t d, m, mp, f;
  int32_t lat;
};

// Periodic terms of the Moon's longitude and distance, ELP-2000/82 as
// truncated by Meeus ("Astronomical Algorithms", 2nd ed., table 47.A).
constexpr TMoonTermLR kMoonTermsLR[] = {
    {0, 0, 1, 0, 6288774, -20905355}, {2, 0, -1, 0, 1274027, -3699111}, {2, 0, 0, 0, 658314, -2955968},
    {0, 0, 2, 0, 213618, -569925}, {0, 1, 0, 0, -185116, 48888}, {0, 0, 0, 2, -114332, -3149},
    {2, 0, -2, 0, 58793, 246158}, {2, -1, -1, 0, 57066, -152138}, {2, 0, 1, 0, 53322, -170733},
    {2, -1, 0, 0, 45758, -204586}, {0, 1, -1, 0, -40923, -129620}, {1, 0, 0, 0, -34720, 108743},
    {0, 1, 1, 0, -30383, 104755}, {2, 0, 0, -2, 15327, 10321}, {0, 0, 1, 2, -12528, 0},
    {0, 0, 1, -2, 10980, 79661}, {4, 0, -1, 0, 10675, -34782}, {0, 0, 3, 0, 10034, -23210},
    {4, 0, -2, 0, 8548, -21636}, {2, 1, -1, 0, -7888, 24208}, {2, 1, 0, 0, -6766, 30824},
    {1, 0, -1, 0, -5163, -8379}, {1, 1, 0, 0, 4987, -16675}, {2, -1, 1, 0, 4036, -12831},
    {2, 0, 2, 0, 3994, -10445}, {4, 0, 0, 0, 3861, -11650}, {2, 0, -3, 0, 3665, 14403},
    {0, 1, -2, 0, -2689, -7003}, {2, 0, -1, 2, -2602, 0}, {2, -1, -2, 0, 2390, 10056},
    {1, 0, 1, 0, -2348, 6322}, {2, -2, 0, 0, 2236, -9884}, {0, 1, 2, 0, -2120, 5751},
    {0, 2, 0, 0, -2069, 0}, {2, -2, -1, 0, 2048, -4950}, {2, 0, 1, -2, -1773, 4130},
    {2, 0, 0, 2, -1595, 0}, {4, -1, -1, 0, 1215, -3958}, {0, 0, 2, 2, -1110, 0},
    {3, 0, -1, 0, -892, 3258}, {2, 1, 1, 0, -810, 2616}, {4, -1, -2, 0, 759, -1897},
    {0, 2, -1, 0, -713, -2117}, {2, 2, -1, 0, -700, 2354}, {2, 1, -2, 0, 691, 0},
    {2, -1, 0, -2, 596, 0}, {4, 0, 1, 0, 549, -1423}, {0, 0, 4, 0, 537, -1117},
    {4, -1, 0, 0, 520, -1571}, {1, 0, -2, 0, -487, -1739}, {2, 1, 0, -2, -399, 0},
    {0, 0, 2, -2, -381, -4421}, {1, 1, 1, 0, 351, 0}, {3, 0, -2, 0, -340, 0},
    {4, 0, -3, 0, 330, 0}, {2, -1, 2, 0, 327, 0}, {0, 2, 1, 0, -323, 1165},
    {1, 1, -1, 0, 299, 0}, {2, 0, 3, 0, 294, 0}, {2, 0, -1, -2, 0, 8752},
};

// Periodic terms of the Moon's latitude (Meeus, table 47.B).
constexpr TMoonTermB kMoonTermsB[] = {
    {0, 0, 0, 1, 5128122}, {0, 0, 1, 1, 280602}, {0, 0, 1, -1, 277693}, {2, 0, 0, -1, 173237},
    {2, 0, -1, 1, 55413}, {2, 0, -1, -1, 46271}, {2, 0, 0, 1, 32573}, {0, 0, 2, 1, 17198},
    {2, 0, 1, -1, 9266}, {0, 0, 2, -1, 8822}, {2, -1, 0, -1, 8216}, {2, 0, -2, -1, 4324},
    {2, 0, 1, 1, 4200}, {2, 1, 0, -1, -3359}, {2, -1, -1, 1, 2463}, {2, -1, 0, 1, 2211},
    {2, -1, -1, -1, 2065}, {0, 1, -1, -1, -1870}, {4, 0, -1, -1, 1828}, {0, 1, 0, 1, -1794},
    {0, 0, 0, 3, -1749}, {0, 1, -1, 1, -1565}, {1, 0, 0, 1, -1491}, {0, 1, 1, 1, -1475},
    {0, 1, 1, -1, -1410}, {0, 1, 0, -1, -1344}, {1, 0, 0, -1, -1335}, {0, 0, 3, 1, 1107},
    {4, 0, 0, -1, 1021}, {4, 0, -1, 1, 833}, {0, 0, 1, -3, 777}, {4, 0, -2, 1, 671},
    {2, 0, 0, -3, 607}, {2, 0, 2, -1, 596}, {2, -1, 1, -1, 491}, {2, 0, -2, 1, -451},
    {0, 0, 3, -1, 439}, {2, 0, 2, 1, 422}, {2, 0, -3, -1, 421}, {2, 1, -1, 1, -366},
    {2, 1, 0, 1, -351}, {4, 0, 0, 1, 331}, {2, -1, 1, 1, 315}, {2, -2, 0, -1, 302},
    {0, 0, 1, 3, -283}, {2, 1, 1, -1, -229}, {1, 1, 0, -1, 223}, {1, 1, 0, 1, 223},
    {0, 1, -2, -1, -220}, {2, 1, -1, -1, -220}, {1, 0, 1, 1, -185}, {2, -1, -2, -1, 181},
    {0, 1, 2, 1, -177}, {4, 0, -2, -1, 176}, {4, -1, -1, -1, 166}, {1, 0, 1, -1, -164},
    {4, 0, 1, -1, 132}, {1, 0, -1, -1, -119}, {4, -1, 0, -1, 115}, {2, -2, 0, 1, 107},
};

// A polynomial in T of degrees, c0 + c1 T + ..., reduced to [0, 360) before
// the conversion to radians so that no precision is lost on whole turns.
double PolyDegToRad(double T, double c0, double c1, double c2, double c3, double c4) {
  const double deg = c0 + T * (c1 + T * (c2 + T * (c3 + T * c4)));
  return std::fmod(deg, 360.0) * kDegToRad;
}

// MoonGeometric: geometric geocentric ecliptic longitude λ and latitude β
// of the Moon (radians, mean ecliptic and equinox of date, λ in [0, 2π))
// and its distance from the Earth's centre (kilometres, centre to centre)
// at terrestrial time jdTT.
//
// Method: the truncated ELP-2000/82 series of Meeus ("Astronomical
// Algorithms", 2nd ed., ch. 47): the Moon's mean longitude L' and the
// fundamental arguments D, M, M', F (eqs. 47.1-47.5), the 60 terms of
// longitude and distance (table 47.A) and the 60 of latitude (table 47.B),
// terms in M and 2M scaled by the eccentricity factor E and E² (eq. 47.6),
// and the additive terms of Venus (A1), Jupiter (A2) and the Earth's
// flattening (L' - F, A3 and L' ± M'). Accuracy about 10″ in λ, 4″ in β.
void MoonGeometric(double jdTT, double& lambda, double& beta, double& distanceKm) {
  const double T = (jdTT - 2451545.0) / 36525.0;
  // Mean longitude and the fundamental arguments (eqs. 47.1-47.5).
  const double Lp = PolyDegToRad(T, 218.3164477, 481267.88123421, -0.0015786, 1.0 / 538841, -1.0 / 65194000);
  const double D = PolyDegToRad(T, 297.8501921, 445267.1114034, -0.0018819, 1.0 / 545868, -1.0 / 113065000);
  const double M = PolyDegToRad(T, 357.5291092, 35999.0502909, -0.0001536, 1.0 / 24490000, 0.0);
  const double Mp = PolyDegToRad(T, 134.9633964, 477198.8675055, 0.0087414, 1.0 / 69699, -1.0 / 14712000);
  const double F = PolyDegToRad(T, 93.2720950, 483202.0175233, -0.0036539, -1.0 / 3526000, 1.0 / 863310000);
  // Arguments of the additive terms.
  const double A1 = PolyDegToRad(T, 119.75, 131.849, 0, 0, 0);
  const double A2 = PolyDegToRad(T, 53.09, 479264.290, 0, 0, 0);
  const double A3 = PolyDegToRad(T, 313.45, 481266.484, 0, 0, 0);
  // Decrease of the eccentricity of the Earth's orbit (eq. 47.6).
  const double E = 1.0 - 0.002516 * T - 0.0000074 * T * T;
  const double eFactor[3] = {1.0, E, E * E};
  // Longitude and distance series.
  double sumL = 0, sumR = 0;
  for (const TMoonTermLR& t : kMoonTermsLR) {
    const double arg = t.d * D + t.m * M + t.mp * Mp + t.f * F;
    const double e = eFactor[std::abs(t.m)];
    sumL += e * t.lon * std::sin(arg);
    sumR += e * t.dist * std::cos(arg);
  }
  // Latitude series.
  double sumB = 0;
  for (const TMoonTermB& t : kMoonTermsB) {
    const double arg = t.d * D + t.m * M + t.mp * Mp + t.f * F;
    sumB += eFactor[std::abs(t.m)] * t.lat * std::sin(arg);
  }
  // Additive terms: Venus, the Earth's flattening, Jupiter.
  sumL += 3958 * std::sin(A1) + 1962 * std::sin(Lp - F) + 318 * std::sin(A2);
  sumB += -2235 * std::sin(Lp) + 382 * std::sin(A3) + 175 * std::sin(A1 - F) + 175 * std::sin(A1 + F) +
          127 * std::sin(Lp - Mp) - 115 * std::sin(Lp + Mp);
  // Sums in millionths of a degree and in metres.
  lambda = ModTwoPi(Lp + sumL * 1e-6 * kDegToRad);
  if (lambda >= TwoPi) lambda -= TwoPi;
  beta = sumB * 1e-6 * kDegToRad;
  distanceKm = 385000.56 + sumR * 1e-3;
}

// The Sun's geometric place of date at jdTT: true longitude ⊙ and radius
// vector R from the Earth's heliocentric place (truncated VSOP87D, about 2″),
// mean anomaly M and eccentricity e of the Earth's orbit (Meeus eq. 25.3-4).
struct SunPlace {
  double trueLongitude;
  double latitude;  // geometric ecliptic latitude of date (about 1″ at most)
  double radius;
  double meanAnomaly;
  double eccentricity;
};

SunPlace SunGeometric(double jdTT) {
  const double T = (jdTT - 2451545.0) / 36525.0;
  double l = 0, b = 0, R = 0;
  EarthHeliocentricOfDate(jdTT, l, b, R);
  const double M = (357.5291 + 35999.0503 * T - 0.0001559 * T * T - 0.00000048 * T * T * T) * kDegToRad;
  const double e = 0.016708617 - 0.000042037 * T - 0.0000001236 * T * T;
  return {ModTwoPi(l + TwoPi / 2.0), -b, R, ModTwoPi(M), e};
}

// Apparent longitude of the Sun: aberration -20.0″/R and the record's Δψ.
double SunApparentLongitude(const TObserverTime& rec, const SunPlace& sun) {
  return ModTwoPi(sun.trueLongitude - 20.0 * kArcsec / sun.radius + rec.NutLongitude);
}

}  // namespace

void SunApparentPosition(const TObserverTime& rec, double jdTT, double& ra, double& dec) {
  EclipticToEquatorial(rec, ra, dec, SunApparentLongitude(rec, SunGeometric(jdTT)), 0.0);
}

void MoonApparentPosition(const TObserverTime& rec, double jdTT, double& ra, double& dec, double& distanceKm) {
  double lambda = 0, beta = 0;
  MoonGeometric(jdTT, lambda, beta, distanceKm);
  EclipticToEquatorial(rec, ra, dec, ModTwoPi(lambda + rec.NutLongitude), beta);
}

void CalcSun(TSolarContext& ctx, const TObserverTime& rec) {
  const SunPlace sun = SunGeometric(rec.JD_TT);
  const double R = sun.radius;
  ctx.SunRadiusVector = R;
  ctx.SunDistance = R;
  // True longitude and mean anomaly.
  const double sunLon = sun.trueLongitude;
  ctx.SunTrueLongitude = sunLon;
  ctx.SunMeanAnomaly = sun.meanAnomaly;
  // Apparent longitude: aberration and nutation.
  const double apparent = SunApparentLongitude(rec, sun);
  ctx.SunApparentLongitude = apparent;
  // Geometric rectangular coordinates of date (ecliptic, latitude included),
  // rotated rigorously into the J2000 equator and equinox: the minor bodies'
  // elements are referred to J2000, and a near body magnifies every error of
  // this vector.
  const double cb = std::cos(sun.latitude);
  double x = R * cb * std::cos(sunLon), y = R * cb * std::sin(sunLon), z = R * std::sin(sun.latitude);
  EclipticOfDateToJ2000(rec.JD_TT, x, y, z);
  ctx.SunX = x;
  ctx.SunY = y;
  ctx.SunZ = z;
  // Longitude in the ecliptic and equinox of J2000 (obliquity 23.4392911°).
  const double eps2000 = 84381.448 * kArcsec;
  ctx.SunLongitudeJ2000 = ModTwoPi(std::atan2(y * std::cos(eps2000) + z * std::sin(eps2000), x));
  // Apparent diameter: 1919.26″ at 1.000001018 AU.
  ctx.SunDiameter = 0.0093048389350729 * 1.000001018 / R;
  // Apparent right ascension and declination of date.
  double ra = 0, dec = 0;
  EclipticToEquatorial(rec, ra, dec, apparent, 0.0);
  ctx.SunRA = ra;
  ctx.SunDec = dec;
}

void CalcSunTopocentric(TSolarContext& ctx, const TObserverTime& rec) {
  // The apparent geocentric place of CalcSun.
  const SunPlace sun = SunGeometric(rec.JD_TT);
  ctx.SunMeanAnomaly = sun.meanAnomaly;
  ctx.SunTrueLongitude = sun.trueLongitude;
  double ra = 0, dec = 0;
  EclipticToEquatorial(rec, ra, dec, SunApparentLongitude(rec, sun), 0.0);
  // Distance (km) and apparent diameter.
  const double distance = sun.radius * kKmPerAstronomicalUnit;
  ctx.SunDistance = distance;
  ctx.SunDiameter = 0.0093048389350729 * 1.000001018 / sun.radius;
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
  // Heliocentric longitude and radius vector of date from the planetary
  // theory, the same Earth as the planets are seen from.
  double b = 0;
  EarthHeliocentricOfDate(rec.JD_TT, ctx.EarthL, b, ctx.EarthR);
}

void CalcMoon(TSolarContext& ctx, const TObserverTime& rec, TSolSysBody& moon) {
  if (BodyCacheHit(moon, rec, rec.JD_UT)) return;
  // Geometric geocentric place at the record's terrestrial time.
  double lambda = 0, beta = 0, distance = 0;
  MoonGeometric(rec.JD_TT, lambda, beta, distance);
  moon.EclLongitude = lambda;
  moon.EclLatitude = beta;
  // Apparent place: nutation in longitude, then the true obliquity.
  double ra = 0, dec = 0;
  MoonApparentPosition(rec, rec.JD_TT, ra, dec, distance);
  // The observer's parallax, then the optional external position.
  double raTopo = 0, decTopo = 0;
  TopocentricParallax(rec, raTopo, decTopo, distance, ra, dec);
  if (ctx.NovasOff == 0) ProviderPosition(11, rec, raTopo, decTopo);
  moon.RA = raTopo;
  moon.Dec = decTopo;
  // Diameter (0.5181° at 384401 km), elongation, bright limb, distance.
  moon.Diameter = kMoonDiameterAtMean * kMoonMeanDistance / distance;
  moon.PhaseAngle = ModTwoPi(lambda - ctx.SunTrueLongitude);
  moon.LimbAngle = BrightLimbAngle(ctx, raTopo, decTopo);
  moon.Distance = distance;
  // Ecliptic latitude in whole degrees.
  ctx.MoonLatitudeDegrees = int32_t(std::nearbyint(beta * DegPerRad));
}

void MoonAxisPole(const TObserverTime& rec, double& ra, double& dec) {
  const double t = (rec.JD_TT - 2451545.0) / 36525.0;
  // Mean longitude of the orbit's ascending node (Meeus 47.7), a quarter
  // turn on, and the nutation in longitude.
  const double node = PolyDegToRad(t, 125.0445479 + 90.0, -1934.1362891, 0.0020754, 1.0 / 467441.0,
                                   -1.0 / 60616000.0);
  // Inclination of the Moon's equator to the ecliptic.
  constexpr double kInclination = 1.54242 * kDegToRad;
  const double lambda = ModTwoPi(node + rec.NutLongitude);
  EclipticToEquatorial(rec, ra, dec, lambda, TwoPi / 4 - kInclination);
}

double BrightLimbAngle(const TSolarContext& ctx, double ra, double dec) {
  const double dRA = ctx.SunRA - ra;
  const double y = std::cos(ctx.SunDec) * std::sin(dRA);
  const double x = std::sin(ctx.SunDec) * std::cos(dec) - std::cos(ctx.SunDec) * std::sin(dec) * std::cos(dRA);
  return ModTwoPi(ArcTan2R(x, y));
}
