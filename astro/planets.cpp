#include "astro/planets.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "astro/galilean.h"
#include "astro/sun_moon.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/transforms.h"
#include "astro/trig.h"
#include "astro/vsop87.h"
#include "platform/data_file.h"

namespace {

constexpr double kPi = TwoPi / 2.0;
constexpr double kDegToRad = 1.0 / DegPerRad;
// Gaussian gravitational constant (AU^1.5 / day).
constexpr double kGauss = 0.01720209895;
// Convergence tolerance of the Kepler and near-parabolic solvers.
constexpr double kTolerance = 1e-9;
// Obliquity of the ecliptic at J2000.0, radians (23.439291371°).
constexpr double kObliquityJ2000 = 23.439291371 * kDegToRad;
// Name of the start-up log in the working folder.
constexpr const char* kStartupLog = "startup_log.txt";

}  // namespace

// Mean elements at J2000.0 (JPL's approximate Keplerian elements) with the
// apparent diameters at 1 AU; V(1,0) from the Astronomical Almanac 1984
// (Meeus, "Astronomical Algorithms", ch. 41). Pluto's period is the one of
// its mean motion, 145.2078°/century (247.93 tropical years).
const TPlanetElements PlanetElementTable[kPlanetCount] = {
    {0.24085, 252.25084, 77.45645, 0.20563069, 0.38709893, 7.00487, 48.33167, 6.74, -0.42},
    {0.61521, 181.97973, 131.53298, 0.00677323, 0.72333199, 3.39471, 76.68069, 16.92, -4.40},
    {1.00004, 100.46435, 102.94719, 0.01671022, 1.00000011, 0.00005, -11.26064, 0, 0},
    {1.88089, 355.45332, 336.04084, 0.09341233, 1.52366231, 1.85061, 49.57854, 9.36, -1.52},
    {11.86224, 34.40438, 14.75385, 0.04839266, 5.20336301, 1.3053, 100.55615, 196.74, -9.40},
    {29.45771, 49.94432, 92.43194, 0.0541506, 9.53707032, 2.48446, 113.71504, 165.6, -8.88},
    {84.01247, 313.23218, 170.96424, 0.04716771, 19.19126393, 0.76986, 74.22988, 65.8, -7.19},
    {164.79558, 304.88003, 44.97135, 0.00858587, 30.06896348, 1.76917, 131.72169, 62.2, -6.87},
    {247.9257, 238.92881, 224.06676, 0.24880766, 39.48168677, 17.14175, 110.30347, 8.2, -1.00},
};

TPlanetElements PlanetElements[kPlanetCount];

double KeplerTrueAnomaly(double e, double M) {
  if (!std::isfinite(M) || !(e >= 0.0 && e < 1.0)) return std::nan("");
  // Reduce M into (-π, π]: Kepler's equation is periodic.
  M = std::remainder(M, TwoPi);
  // Start from E = M for moderate e, from π (with M's sign) for high e.
  double E = e < 0.8 ? M : std::copysign(kPi, M);
  for (int i = 0; i < 50; ++i) {
    // Newton step on f(E) = E - e sin E - M.
    const double dE = (E - e * std::sin(E) - M) / (1.0 - e * std::cos(E));
    E -= dE;
    if (std::fabs(dE) < kTolerance) break;
  }
  // ν from E, quadrant-safe.
  return 2.0 * std::atan2(std::sqrt(1.0 + e) * std::sin(E / 2.0), std::sqrt(1.0 - e) * std::cos(E / 2.0));
}

bool SolveNearParabolic(double& s, double t, double e, double q) {
  if (!std::isfinite(t) || !std::isfinite(e) || !(q > 0.0) || !std::isfinite(q) || e <= 0.0) return false;
  // Parabolic start value from Barker's equation.
  const double q1 = kGauss * std::sqrt((1.0 + e) / q) / (2.0 * q);
  const double q2 = q1 * t;
  s = 2.0 / (3.0 * std::fabs(q2));
  s = 2.0 / std::tan(2.0 * std::atan(std::cbrt(std::tan(std::atan(s) / 2.0))));
  if (t < 0) s = -s;
  if (e == 1.0) return true;
  // Landgraf's series for e near 1.
  const double g = (1.0 - e) / (1.0 + e);
  for (int pass = 0; pass < 50; ++pass) {
    const double s0 = s;
    double z = 1.0;
    const double y = s * s;
    double g1 = -y * s;
    double q3 = q2 + 2.0 * g * s * y / 3.0;
    // Sum the series in s until a term falls below the tolerance.
    for (;;) {
      z += 1.0;
      g1 = -g1 * g * y;
      const double f = ((z - (z + 1.0) * g) / (2.0 * z + 1.0)) * g1;
      q3 += f;
      if (z > 50.0 || !(std::fabs(f) <= 10000.0)) return false;
      if (std::fabs(f) < kTolerance) break;
    }
    // Newton's method on s for the summed series.
    bool converged = false;
    for (int step = 0; step < 50; ++step) {
      const double s1 = s;
      s = (2.0 * s * s * s / 3.0 + q3) / (s * s + 1.0);
      if (std::fabs(s - s1) < kTolerance) {
        converged = true;
        break;
      }
    }
    if (!converged || !std::isfinite(s)) return false;
    if (std::fabs(s - s0) < kTolerance) return true;
  }
  return false;
}

int PlanetNumberFromName(std::string_view name) {
  static constexpr std::string_view kNames[kPlanetCount] = {"Mercury", "Venus",  "Earth",   "Mars", "Jupiter",
                                                           "Saturn",  "Uranus", "Neptune", "Pluto"};
  for (int i = 0; i < kPlanetCount; ++i)
    if (name == kNames[i]) return i + 1;
  return 0;
}

double PlanetMagnitude(int number, double v10, double r, double delta, double phase, double saturnB,
                       double saturnDU) {
  const double base = 5.0 * Log10R(r * delta);
  const double i = phase * DegPerRad;  // phase angle in degrees
  switch (number) {
    case 1:
      return -0.42 + base + 0.0380 * i - 0.000273 * i * i + 0.000002 * i * i * i;
    case 2:
      return -4.40 + base + 0.0009 * i + 0.000239 * i * i - 0.00000065 * i * i * i;
    case 4:
      return -1.52 + base + 0.016 * i;
    case 5:
      return -9.40 + base + 0.005 * i;
    case 6: {
      const double sinB = std::sin(std::fabs(saturnB));
      return -8.88 + base + 0.044 * std::fabs(saturnDU * DegPerRad) - 2.60 * sinB + 1.25 * sinB * sinB;
    }
    case 7:
      return -7.19 + base;
    case 8:
      return -6.87 + base;
    case 9:
      return -1.00 + base;
    default:
      return v10 + base;
  }
}

namespace {

// Heliocentric ecliptic spherical coordinates: longitude l, latitude b
// (radians) and radius vector r (AU).
struct HelioPoint {
  double l;
  double b;
  double r;
};

// One periodic term of Pluto's series (Meeus, "Astronomical Algorithms",
// 2nd ed., table 37.A): multiples of the arguments J, S, P and the sine and
// cosine coefficients of longitude and latitude (1e-6 degree) and of the
// radius vector (1e-7 AU).
struct TPlutoTerm {
  int8_t j, s, p;
  int32_t lonA, lonB, latA, latB, radA, radB;
};

constexpr TPlutoTerm kPlutoTerms[] = {
    {0, 0, 1, -19799805, 19850055, -5452852, -14974862, 66865439, 68951812},
    {0, 0, 2, 897144, -4954829, 3527812, 1672790, -11827535, -332538},
    {0, 0, 3, 611149, 1211027, -1050748, 327647, 1593179, -1438890},
    {0, 0, 4, -341243, -189585, 178690, -292153, -18444, 483220},
    {0, 0, 5, 129287, -34992, 18650, 100340, -65977, -85431},
    {0, 0, 6, -38164, 30893, -30697, -25823, 31174, -6032},
    {0, 1, -1, 20442, -9987, 4878, 11248, -5794, 22161},
    {0, 1, 0, -4063, -5071, 226, -64, 4601, 4032},
    {0, 1, 1, -6016, -3336, 2030, -836, -1729, 234},
    {0, 1, 2, -3956, 3039, 69, -604, -415, 702},
    {0, 1, 3, -667, 3572, -247, -567, 239, 723},
    {0, 2, -2, 1276, 501, -57, 1, 67, -67},
    {0, 2, -1, 1152, -917, -122, 175, 1034, -451},
    {0, 2, 0, 630, -1277, -49, -164, -129, 504},
    {1, -1, 0, 2571, -459, -197, 199, 480, -231},
    {1, -1, 1, 899, -1449, -25, 217, 2, -441},
    {1, 0, -3, -1016, 1043, 589, -248, -3359, 265},
    {1, 0, -2, -2343, -1012, -269, 711, 7856, -7832},
    {1, 0, -1, 7042, 788, 185, 193, 36, 45763},
    {1, 0, 0, 1199, -338, 315, 807, 8663, 8547},
    {1, 0, 1, 418, -67, -130, -43, -809, -769},
    {1, 0, 2, 120, -274, 5, 3, 263, -144},
    {1, 0, 3, -60, -159, 2, 17, -126, 32},
    {1, 0, 4, -82, -29, 2, 5, -35, -16},
    {1, 1, -3, -36, -29, 2, 3, -19, -4},
    {1, 1, -2, -40, 7, 3, 1, -15, 8},
    {1, 1, -1, -14, 22, 2, -1, -4, 12},
    {1, 1, 0, 4, 13, 1, -1, 5, 6},
    {1, 1, 1, 5, 2, 0, -1, 3, 1},
    {1, 1, 3, -1, 0, 0, 0, 6, -2},
    {2, 0, -6, 2, 0, 0, -2, 2, 2},
    {2, 0, -5, -4, 5, 2, 2, -2, -2},
    {2, 0, -4, 4, -7, -7, 0, 14, 13},
    {2, 0, -3, 14, 24, 10, -8, -63, 13},
    {2, 0, -2, -49, -34, -3, 20, 136, -236},
    {2, 0, -1, 163, -48, 6, 5, 273, 1065},
    {2, 0, 0, 9, -24, 14, 17, 251, 149},
    {2, 0, 1, -4, 1, -2, 0, -25, -9},
    {2, 0, 2, -3, 1, 0, 0, 9, -2},
    {2, 0, 3, 1, 3, 0, 0, -8, 7},
    {3, 0, -2, -3, -1, 0, 1, 2, -10},
    {3, 0, -1, 5, -3, 0, 0, 19, 35},
    {3, 0, 0, 0, 0, 1, 0, 10, 3},
};

// Index of a planet number (1..8) in the VSOP87D tables.
constexpr int VsopIndex(int number) { return number - 1; }

// EclipticJ2000ToDate: ecliptic longitude and latitude (radians, in place)
// referred to the ecliptic and equinox of J2000.0 carried to the mean
// ecliptic and equinox of terrestrial time jdTT, by the rigorous rotation of
// Meeus ("Astronomical Algorithms", eq. 21.5) with Lieske's angles η, Π, p.
void EclipticJ2000ToDate(double jdTT, double& lambda, double& beta) {
  const double t = (jdTT - 2451545.0) / 36525.0;
  const double arcsec = kDegToRad / 3600.0;
  const double eta = (47.0029 - 0.03302 * t + 0.000060 * t * t) * t * arcsec;
  const double Pi = 174.876384 * kDegToRad - (869.8089 * t - 0.03536 * t * t) * arcsec;
  const double p = (5029.0966 + 1.11113 * t - 0.000006 * t * t) * t * arcsec;
  const double a = std::cos(eta) * std::cos(beta) * std::sin(Pi - lambda) - std::sin(eta) * std::sin(beta);
  const double b = std::cos(beta) * std::cos(Pi - lambda);
  const double c = std::cos(eta) * std::sin(beta) + std::sin(eta) * std::cos(beta) * std::sin(Pi - lambda);
  lambda = ModTwoPi(p + Pi - std::atan2(a, b));
  beta = std::asin(c);
}

// Heliocentric position of a planet on its mean-element ellipse D days
// after its epoch: the ecliptic coordinates of J2000.0 of the elements.
HelioPoint PlanetFromElements(const TSolSysBody& body, double D) {
  // Mean motion angle, mean anomaly, true anomaly.
  const double N = ModTwoPi(TwoPi / 365.2422 * D / body.Period);
  const double M = N + body.MeanLongitude - body.Perihelion;
  const double e = body.Eccentricity;
  const double nu = KeplerTrueAnomaly(e, M);
  const double u = nu + body.Perihelion - body.Node;  // argument of latitude
  const double r = body.SemiMajorAxis * (1.0 - e * e) / (1.0 + e * std::cos(nu));
  const double l = ArcTan2R(std::cos(u), std::sin(u) * std::cos(body.Inclination)) + body.Node;
  return {ModTwoPi(l), ArcSinR(std::sin(u) * std::sin(body.Inclination)), r};
}

}  // namespace

bool PlutoHeliocentricJ2000(double jdTT, double& l, double& b, double& r) {
  if (!std::isfinite(jdTT)) return false;
  const double T = (jdTT - 2451545.0) / 36525.0;
  // Mean longitudes of Jupiter, Saturn and Pluto, degrees.
  const double J = (34.35 + 3034.9057 * T) * kDegToRad;
  const double S = (50.08 + 1222.1138 * T) * kDegToRad;
  const double P = (238.96 + 144.9600 * T) * kDegToRad;
  double sumL = 0, sumB = 0, sumR = 0;
  for (const TPlutoTerm& t : kPlutoTerms) {
    const double alpha = t.j * J + t.s * S + t.p * P;
    const double sa = std::sin(alpha), ca = std::cos(alpha);
    sumL += t.lonA * sa + t.lonB * ca;
    sumB += t.latA * sa + t.latB * ca;
    sumR += t.radA * sa + t.radB * ca;
  }
  l = ModTwoPi((238.958116 + 144.96 * T + sumL * 1e-6) * kDegToRad);
  b = (-3.908239 + sumB * 1e-6) * kDegToRad;
  r = 40.7241346 + sumR * 1e-7;
  return true;
}

namespace {

// Heliocentric ecliptic place of date of a body at terrestrial time jdTT:
// VSOP87D for Mercury to Neptune, Pluto's series carried from J2000.0 to the
// date, and for any other record its mean elements carried likewise.
HelioPoint HelioOfDate(int number, const TSolSysBody& body, double jdTT, double jdUT) {
  HelioPoint p{};
  if (number >= 1 && number <= 8) {
    VsopHeliocentric(VsopIndex(number), jdTT, p.l, p.b, p.r);
    return p;
  }
  if (number == 9)
    PlutoHeliocentricJ2000(jdTT, p.l, p.b, p.r);
  else
    p = PlanetFromElements(body, jdUT - body.Epoch);
  EclipticJ2000ToDate(jdTT, p.l, p.b);
  return p;
}

// The Earth's heliocentric place of date at jdTT, kept for the last instant
// of the calling thread: the eight planets of one chart share it.
HelioPoint EarthOfDate(double jdTT) {
  thread_local double lastJD = std::nan("");
  thread_local HelioPoint earth{};
  if (jdTT != lastJD) {
    VsopHeliocentric(VsopIndex(kEarthNumber), jdTT, earth.l, earth.b, earth.r);
    lastJD = jdTT;
  }
  return earth;
}

// Geocentric ecliptic rectangular coordinates (AU) of a heliocentric place
// seen from the Earth's heliocentric place.
void Geocentric(const HelioPoint& p, const HelioPoint& earth, double& x, double& y, double& z) {
  x = p.r * std::cos(p.b) * std::cos(p.l) - earth.r * std::cos(earth.b) * std::cos(earth.l);
  y = p.r * std::cos(p.b) * std::sin(p.l) - earth.r * std::cos(earth.b) * std::sin(earth.l);
  z = p.r * std::sin(p.b) - earth.r * std::sin(earth.b);
}

// The Earth's record has no geocentric position; a record that is no planet
// needs a closed orbit of its own.
bool CanBePlaced(int number, const TSolSysBody& body) {
  if (number == kEarthNumber) return false;
  return number != 0 || (body.Period > 0.0 && body.Eccentricity >= 0.0 && body.Eccentricity < 1.0);
}

}  // namespace

void EarthHeliocentricOfDate(double jdTT, double& l, double& b, double& r) {
  const HelioPoint e = EarthOfDate(jdTT);
  l = e.l;
  b = e.b;
  r = e.r;
}

bool PlanetApparentGeocentric(const TObserverTime& rec, TSolSysBody& body, double& ra, double& dec) {
  const int number = PlanetNumberFromName(body.Name.view());
  if (!CanBePlaced(number, body)) return false;
  const HelioPoint earth = EarthOfDate(rec.JD_TT);
  // Two passes: the planet now, then at the time its light left it.
  HelioPoint p{};
  double x = 0, y = 0, z = 0, delta = 0, tau = 0;
  for (int pass = 0; pass < 2; ++pass) {
    p = HelioOfDate(number, body, rec.JD_TT - tau, rec.JD_UT - tau);
    Geocentric(p, earth, x, y, z);
    delta = std::sqrt(x * x + y * y + z * z);
    tau = LightTimeDays(delta);
  }
  // Geocentric ecliptic place of date, corrected for light time.
  const double lambda = ModTwoPi(ArcTan2R(x, y));
  const double beta = std::atan2(z, std::hypot(x, y));
  body.EclLongitude = lambda;
  body.EclLatitude = beta;
  body.HelioLongitude = p.l;
  body.HelioLatitude = p.b;
  body.RadiusVector = p.r;
  body.Distance = delta;
  // Apparent place: annual aberration (the Sun opposite the Earth), the
  // record's nutation in longitude, then its true obliquity.
  double lambdaApp = lambda, betaApp = beta;
  AnnualAberration(rec.JD_TT, ModTwoPi(earth.l + kPi), lambdaApp, betaApp);
  EclipticToEquatorial(rec, ra, dec, ModTwoPi(lambdaApp + rec.NutLongitude), betaApp);
  return true;
}

void CalcPlanet(TSolarContext& ctx, const TObserverTime& rec, TSolSysBody& body) {
  const int number = PlanetNumberFromName(body.Name.view());
  if (!CanBePlaced(number, body)) return;
  if (BodyCacheHit(body, rec, rec.JD_UT)) return;
  // The Earth at this instant, written back into the context so that the
  // ring and moon routines that follow see the same Earth.
  const HelioPoint earth = EarthOfDate(rec.JD_TT);
  ctx.EarthL = earth.l;
  ctx.EarthR = earth.r;
  double ra = 0, dec = 0;
  PlanetApparentGeocentric(rec, body, ra, dec);
  const HelioPoint p{body.HelioLongitude, body.HelioLatitude, body.RadiusVector};
  const double lambda = body.EclLongitude, beta = body.EclLatitude, delta = body.Distance;
  // The observer's parallax, then the optional external position.
  double raTopo = 0, decTopo = 0;
  TopocentricParallax(rec, raTopo, decTopo, delta * kPlanetKmPerAU, ra, dec);
  if (ctx.NovasOff == 0 && number != 0) ProviderPosition(number, rec, raTopo, decTopo);
  body.RA = ModTwoPi(raTopo);
  body.Dec = decTopo;
  // Phase (difference of longitudes), magnitude, diameter, bright limb.
  body.PhaseAngle = ModTwoPi(lambda - p.l);
  const double cosPhase = (p.r * p.r + delta * delta - earth.r * earth.r) / (2.0 * p.r * delta);
  const double phase = ArcCosR(cosPhase);
  double saturnB = 0, saturnDU = 0;
  if (number == 6) SaturnRingTilt(rec.JD_TT, lambda, beta, p.l, p.b, p.r, saturnB, saturnDU);
  body.Magnitude = PlanetMagnitude(number, body.BrightnessFactor, p.r, delta, phase, saturnB, saturnDU);
  body.Diameter = body.DiameterAt1AU / delta;
  body.LimbAngle = BrightLimbAngle(ctx, body.RA, body.Dec);
}

namespace {

// Heliocentric distance r and true anomaly ν of a minor body t days after
// its epoch; false when the orbit cannot be solved. Kepler's equation
// serves every ellipse below e = 0.97, and also the more eccentric ones
// whose perihelion distance is not given: their a, M and daily motion
// describe the orbit exactly and the solver converges up to e = 0.9999.
// Landgraf's series needs q and counts t from the perihelion passage.
bool MinorBodyInOrbit(const TSolSysBody& body, double t, double& r, double& nu) {
  const double e = body.Eccentricity, q = body.PerihelionDistance;
  if (e < 0.97 || (e < 1.0 && !(q > 0.0))) {
    // Elliptic orbit (asteroids and periodic comets): Kepler's equation.
    // The mean motion is the Gaussian daily motion: sqrt(a³) is a period in
    // Gaussian (sidereal) years of 365.2568983 days, not tropical years.
    if (!(body.DailyMotion > 0.0) || !(body.SemiMajorAxis > 0.0)) return false;
    const double M = ModTwoPi(body.DailyMotion * kDegToRad * t) + body.MeanAnomaly;
    nu = KeplerTrueAnomaly(e, M);
    r = body.SemiMajorAxis * (1.0 - e * e) / (1.0 + e * std::cos(nu));
  } else {
    // Near-parabolic orbit: Landgraf's series from the perihelion distance.
    double s = 0;
    if (!(q > 0.0) || !SolveNearParabolic(s, t, e, q)) return false;
    nu = 2.0 * std::atan(s);
    r = (1.0 + e) * q / (1.0 + e * std::cos(nu));
  }
  return std::isfinite(r) && std::isfinite(nu) && r > 0.0;
}

}  // namespace

bool CalcOrbitBody(TSolarContext& ctx, const TObserverTime& rec, TSolSysBody& body) {
  if (std::fabs(body.LastJD - rec.JD_TT) < kCacheSpanDays) return body.Valid != 0;
  body.LastJD = rec.JD_TT;
  body.Valid = 0;

  // Derived elements of closed orbits.
  const double e = body.Eccentricity;
  if (e < 1.0) {
    if (body.SemiMajorAxis < 0 && body.PerihelionDistance > 0) body.SemiMajorAxis = body.PerihelionDistance / (1.0 - e);
    if (body.Period < 0 && body.SemiMajorAxis > 0) body.Period = std::sqrt(std::pow(body.SemiMajorAxis, 3.0));
    if (body.DailyMotion < 0 && body.SemiMajorAxis > 0)
      body.DailyMotion = 0.9856076686 / (body.SemiMajorAxis * std::sqrt(body.SemiMajorAxis));
  }
  if (body.Slope == -1.0) body.Slope = 0.15;

  // Two passes: the second at the time the light left the body.
  double tau = 0, r = 0, nu = 0, x = 0, y = 0, z = 0, X = 0, Y = 0, Z = 0, delta = 0;
  for (int pass = 0; pass < 2; ++pass) {
    if (!MinorBodyInOrbit(body, rec.JD_TT - tau - body.Epoch, r, nu)) return false;
    // Heliocentric equatorial J2000 coordinates from the orientation terms.
    const double u = body.Perihelion + nu;
    x = r * body.OrientFactorA * std::sin(body.OrientA + u);
    y = r * body.OrientFactorB * std::sin(body.OrientB + u);
    z = r * body.OrientFactorC * std::sin(body.OrientC + u);
    // Geocentric.
    X = ctx.SunX + x;
    Y = ctx.SunY + y;
    Z = ctx.SunZ + z;
    delta = std::sqrt(X * X + Y * Y + Z * Z);
    tau = kLightDaysPerAU * delta;
  }
  if (!(delta > 0.0) || !std::isfinite(delta)) return false;

  body.RA = ModTwoPi(ArcTan2R(X, Y));
  body.Dec = ArcSinR(Z / delta);
  body.Distance = delta;
  body.RadiusVector = r;
  ctx.EarthR = std::sqrt(ctx.SunX * ctx.SunX + ctx.SunY * ctx.SunY + ctx.SunZ * ctx.SunZ);
  double beta = 0, lambda = 0;
  EquatorialToEcliptic(rec, beta, lambda, body.RA, body.Dec);
  body.EclLatitude = beta;
  body.EclLongitude = lambda;

  // H-G magnitude at the phase angle β (Sun-body-Earth).
  const double phase = ArcCosR((X * x + Y * y + Z * z) / (r * delta));
  const double th = std::tan(phase / 2.0);
  const double phi1 = std::exp(-3.33 * PowerR(th, 0.63));
  const double phi2 = std::exp(-1.87 * PowerR(th, 1.22));
  const double G = body.Slope;
  // A negative slope can make the phase term non-positive at large phase
  // angles: no magnitude then, rather than the logarithm of a negative.
  const double phaseTerm = (1.0 - G) * phi1 + G * phi2;
  if (body.Period <= 0 || !(phaseTerm > 0))
    body.Magnitude = -100.0;
  else
    body.Magnitude = 5.0 * Log10R(r * delta) + body.AbsMagnitude - 2.5 * Log10R(phaseTerm);

  body.Valid = 1;
  return true;
}

void CheckElementConversion(TSolSysBody& body) {
  const double node = body.Node, incl = body.Inclination;
  const double ce = std::cos(kObliquityJ2000), se = std::sin(kObliquityJ2000);
  // Unit vectors towards the node (P) and 90° along the orbit from it (Q),
  // equatorial J2000.
  const double P[3] = {std::cos(node), std::sin(node) * ce, std::sin(node) * se};
  const double Q[3] = {-std::sin(node) * std::cos(incl),
                       std::cos(node) * std::cos(incl) * ce - std::sin(incl) * se,
                       std::cos(node) * std::cos(incl) * se + std::sin(incl) * ce};
  // Both must be of unit length (NaN fails too).
  const bool pFails = !(std::fabs(P[0] * P[0] + P[1] * P[1] + P[2] * P[2] - 1.0) <= 1e-7);
  const bool qFails = !(std::fabs(Q[0] * Q[0] + Q[1] * Q[1] + Q[2] * Q[2] - 1.0) <= 1e-7);
  if (pFails || qFails) {
    if (FILE* log = platform::OpenDataFileToWrite(kStartupLog, true)) {
      const std::string name = body.Name.str();
      if (pFails) std::fprintf(log, "Rect. elements (for %s) fail conversion test# 1\n", name.c_str());
      if (qFails) std::fprintf(log, "Rect. elements (for %s) fail conversion test# 2\n", name.c_str());
      std::fclose(log);
    }
  }
  // x = r a sin(A + ω + ν) with a sin A = Px, a cos A = Qx; likewise y, z.
  body.OrientA = ArcTan2R(Q[0], P[0]);
  body.OrientFactorA = std::sqrt(P[0] * P[0] + Q[0] * Q[0]);
  body.OrientB = ArcTan2R(Q[1], P[1]);
  body.OrientFactorB = std::sqrt(P[1] * P[1] + Q[1] * Q[1]);
  body.OrientC = ArcTan2R(Q[2], P[2]);
  body.OrientFactorC = std::sqrt(P[2] * P[2] + Q[2] * Q[2]);
}

void ConvertElementTable() {
  for (int i = 0; i < kPlanetCount; ++i) {
    const TPlanetElements& d = PlanetElementTable[i];
    PlanetElements[i] = {d.Period,
                         d.MeanLongitude * kDegToRad,
                         d.Perihelion * kDegToRad,
                         d.Eccentricity,
                         d.SemiMajorAxis,
                         d.Inclination * kDegToRad,
                         d.Node * kDegToRad,
                         d.DiameterAt1AU / 3600.0 * kDegToRad,
                         d.BrightnessFactor};
  }
}

void InitPlanetRecords(TSolSysBody (&planets)[kPlanetCount]) {
  static constexpr const char* kNames[kPlanetCount] = {"Mercury", "Venus",  "Earth",   "Mars", "Jupiter",
                                                      "Saturn",  "Uranus", "Neptune", "Pluto"};
  ConvertElementTable();
  for (int i = 0; i < kPlanetCount; ++i) {
    const TPlanetElements& row = PlanetElements[i];
    TSolSysBody& b = planets[i];
    b = TSolSysBody{};
    b.Name = kNames[i];
    b.Epoch = 2451545.0;
    b.Period = row.Period;
    b.MeanLongitude = row.MeanLongitude;
    b.Perihelion = row.Perihelion;
    b.Eccentricity = row.Eccentricity;
    b.SemiMajorAxis = row.SemiMajorAxis;
    b.Inclination = row.Inclination;
    b.Node = row.Node;
    b.DiameterAt1AU = row.DiameterAt1AU;
    b.BrightnessFactor = row.BrightnessFactor;
    b.LastJD = -10000000.0;
    CheckElementConversion(b);
  }
}

void InitExtraElementRecord(TSolSysBody& moon) {
  moon = TSolSysBody{};
  moon.Epoch = 2444238.5;
  moon.Period = 27.3217;
  moon.Eccentricity = 0.0549;
  moon.Inclination = 5.1453964 * kDegToRad;
  moon.SemiMajorAxis = 384401.0;
}

void InitSolarSystemUnit() {
  // A fresh, empty log; a folder that cannot be written is ignored, and so
  // is a pipe or a device in the log's place (never waited on).
  if (FILE* log = platform::OpenDataFileToWrite(kStartupLog, false)) std::fclose(log);
  ConvertElementTable();
  InitPlanetRecords(Planets);
  InitExtraElementRecord(MoonBody);
  MoonBody.LastJD = -1000000.0;
}
