#include "astro/galilean.h"

#include <algorithm>
#include <cmath>

#include "astro/observer.h"
#include "astro/transforms.h"
#include "astro/trig.h"

namespace {

constexpr double kDegToRad = 1.0 / DegPerRad;
constexpr double kHalfPi = TwoPi / 4.0;

// sin and cos of an angle in degrees.
double S(double deg) { return std::sin(deg * kDegToRad); }
double C(double deg) { return std::cos(deg * kDegToRad); }

// Ring inclination i and node Ω on the ecliptic and equinox of date, radians
// (Meeus ch. 45), T in Julian centuries from J2000.0 (terrestrial time).
void RingPlane(double T, double& incl, double& node) {
  incl = (28.075216 - 0.012998 * T + 0.000004 * T * T) * kDegToRad;
  node = (169.50847 + 1.394681 * T + 0.000412 * T * T) * kDegToRad;
}

// One rotated position of the Galilean-moon method (Meeus ch. 44 steps
// A1..C6), from the jovicentric equatorial coordinates (X, Y, Z).
struct Rotated {
  double A6, B6, C6;
};

Rotated RotateToSky(double X, double Y, double Z, double I, double phi, double incl, double node,
                    double lambda0, double beta0) {
  // Jupiter's equator to its orbit.
  const double A1 = X, B1 = Y * std::cos(I) - Z * std::sin(I), C1 = Y * std::sin(I) + Z * std::cos(I);
  // To the orbit's node.
  const double A2 = A1 * std::cos(phi) - B1 * std::sin(phi), B2 = A1 * std::sin(phi) + B1 * std::cos(phi);
  const double C2 = C1;
  // The orbit to the ecliptic.
  const double A3 = A2, B3 = B2 * std::cos(incl) - C2 * std::sin(incl);
  const double C3 = B2 * std::sin(incl) + C2 * std::cos(incl);
  // To the equinox.
  const double A4 = A3 * std::cos(node) - B3 * std::sin(node), B4 = A3 * std::sin(node) + B3 * std::cos(node);
  const double C4 = C3;
  // To the direction of Jupiter seen from the Earth.
  const double A5 = A4 * std::sin(lambda0) - B4 * std::cos(lambda0);
  const double B5 = A4 * std::cos(lambda0) + B4 * std::sin(lambda0);
  const double C5 = C4;
  return {A5, C5 * std::sin(beta0) + B5 * std::cos(beta0), C5 * std::cos(beta0) - B5 * std::sin(beta0)};
}

}  // namespace

TGalileanOrbits GalileanOrbits(double t) {
  // Mean longitudes l, longitudes of the perijoves π and of the nodes ω on
  // Jupiter's equator, degrees.
  const double l1 = 106.07947 + 203.488955432 * t, l2 = 175.72938 + 101.374724550 * t;
  const double l3 = 120.55434 + 50.317609110 * t, l4 = 84.44868 + 21.571071314 * t;
  const double p1 = 58.3329 + 0.16103936 * t, p2 = 132.8959 + 0.04647985 * t;
  const double p3 = 187.2887 + 0.00712740 * t, p4 = 335.3418 + 0.00183998 * t;
  const double w1 = 311.0793 - 0.13279430 * t, w2 = 100.5099 - 0.03263047 * t;
  const double w3 = 119.1688 - 0.00717704 * t, w4 = 322.5729 - 0.00175934 * t;
  // Principal inequality of Jupiter, free libration, node of Jupiter's
  // equator, mean anomalies of Jupiter (G) and Saturn (G'), perihelion of
  // Jupiter (Π).
  const double gam = 0.33033 * S(163.679 + 0.0010512 * t) + 0.03439 * S(34.486 - 0.0161731 * t);
  const double phl = 191.8132 + 0.17390023 * t;
  const double psi = 316.5182 - 0.00000208 * t;
  const double G = 30.23756 + 0.0830925701 * t + gam;
  const double Gp = 31.97853 + 0.0334597339 * t;
  const double PI = 13.469942;

  // Periodic terms in longitude, degrees.
  const double sum1 =
      0.47259 * S(2 * (l1 - l2)) - 0.03480 * S(p3 - p4) - 0.01756 * S(p1 + p3 - 2 * PI - 2 * G) +
      0.01080 * S(l2 - 2 * l3 + p3) + 0.00757 * S(phl) + 0.00663 * S(l2 - 2 * l3 + p4) + 0.00453 * S(l1 - p3) +
      0.00453 * S(l2 - 2 * l3 + p2) - 0.00354 * S(l1 - l2) - 0.00317 * S(2 * psi - 2 * PI) -
      0.00269 * S(l2 - 2 * l3 + p1) + 0.00263 * S(l1 - p4) + 0.00186 * S(l1 - p1) - 0.00186 * S(G) +
      0.00167 * S(p2 - p3) + 0.00158 * S(4 * (l1 - l2)) - 0.00155 * S(l1 - l3) -
      0.00142 * S(psi + w3 - 2 * PI - 2 * G) - 0.00115 * S(2 * (l1 - 2 * l2 + w2)) + 0.00089 * S(p2 - p4) +
      0.00084 * S(w2 - w3) + 0.00084 * S(l1 + p3 - 2 * PI - 2 * G) + 0.00053 * S(psi - w2);
  const double sum2 =
      1.06476 * S(2 * (l2 - l3)) + 0.04253 * S(l1 - 2 * l2 + p3) + 0.03579 * S(l2 - p3) +
      0.02383 * S(l1 - 2 * l2 + p4) + 0.01977 * S(l2 - p4) - 0.01843 * S(phl) + 0.01299 * S(p3 - p4) -
      0.01142 * S(l2 - l3) + 0.01078 * S(l2 - p2) - 0.01058 * S(G) + 0.00870 * S(l2 - 2 * l3 + p2) -
      0.00775 * S(2 * (psi - PI)) + 0.00524 * S(2 * (l1 - l2)) - 0.00460 * S(l1 - l3) +
      0.00450 * S(l2 - 2 * l3 + p1) + 0.00327 * S(psi - 2 * G + w3 - 2 * PI) -
      0.00296 * S(p1 + p3 - 2 * PI - 2 * G) - 0.00151 * S(2 * G) + 0.00146 * S(psi - w3) +
      0.00125 * S(psi - w4) - 0.00117 * S(l1 - 2 * l3 + p3) - 0.00095 * S(2 * (l2 - w2)) +
      0.00086 * S(2 * (l1 - 2 * l2 + w2)) - 0.00086 * S(5 * Gp - 2 * G + 52.225) - 0.00078 * S(l2 - l4) -
      0.00064 * S(l1 - 2 * l3 + p4) - 0.00063 * S(3 * l3 - 7 * l4 + 4 * p4) + 0.00061 * S(p1 - p4) +
      0.00058 * S(2 * (psi - PI - G)) + 0.00058 * S(w3 - w4) + 0.00056 * S(2 * (l2 - l4)) +
      0.00055 * S(2 * (l1 - l3)) + 0.00052 * S(3 * l3 - 7 * l4 + p3 + 3 * p4) - 0.00043 * S(l1 - p3) +
      0.00042 * S(p3 - p2) + 0.00041 * S(5 * (l2 - l3)) + 0.00041 * S(p4 - PI) + 0.00038 * S(l2 - p1) +
      0.00032 * S(w2 - w3) + 0.00032 * S(2 * (l3 - G - PI)) + 0.00029 * S(p1 - p3);
  const double sum3 =
      0.16477 * S(l3 - p3) + 0.09062 * S(l3 - p4) - 0.06907 * S(l2 - l3) + 0.03786 * S(p3 - p4) +
      0.01844 * S(2 * (l3 - l4)) - 0.01340 * S(G) + 0.00703 * S(l2 - 2 * l3 + p3) - 0.00670 * S(2 * (psi - PI)) -
      0.00540 * S(l3 - l4) + 0.00481 * S(p1 + p3 - 2 * PI - 2 * G) - 0.00409 * S(l2 - 2 * l3 + p2) +
      0.00379 * S(l2 - 2 * l3 + p4) + 0.00235 * S(psi - w3) + 0.00198 * S(psi - w4) + 0.00180 * S(phl) +
      0.00129 * S(3 * (l3 - l4)) + 0.00124 * S(l1 - l3) - 0.00119 * S(5 * Gp - 2 * G + 52.225) +
      0.00109 * S(l1 - l2) - 0.00099 * S(3 * l3 - 7 * l4 + 4 * p4) + 0.00091 * S(w3 - w4) +
      0.00081 * S(3 * l3 - 7 * l4 + p3 + 3 * p4) - 0.00076 * S(2 * l2 - 3 * l3 + p3) + 0.00069 * S(p4 - PI) -
      0.00058 * S(2 * l3 - 3 * l4 + p4) + 0.00057 * S(l3 + p3 - 2 * PI - 2 * G) -
      0.00057 * S(l3 - 2 * l4 + p4) - 0.00052 * S(p2 - p3) - 0.00052 * S(l2 - 2 * l3 + p1) +
      0.00048 * S(l3 - 2 * l4 + p3) - 0.00045 * S(2 * l2 - 3 * l3 + p4) - 0.00041 * S(p2 - p4) -
      0.00038 * S(2 * G) - 0.00033 * S(p3 - p4 + w3 - w4) - 0.00032 * S(3 * l3 - 7 * l4 + 2 * p3 + 2 * p4) +
      0.00030 * S(4 * (l3 - l4)) - 0.00029 * S(w3 + psi - 2 * PI - 2 * G) +
      0.00029 * S(l3 + p4 - 2 * PI - 2 * G) + 0.00026 * S(l3 - PI - G) + 0.00024 * S(l2 - 3 * l3 + 2 * l4) +
      0.00021 * S(2 * (l3 - PI - G)) - 0.00021 * S(l3 - p2) + 0.00017 * S(2 * (l3 - p3));
  const double sum4 =
      0.84109 * S(l4 - p4) + 0.03429 * S(p4 - p3) - 0.03305 * S(2 * (psi - PI)) - 0.03211 * S(G) -
      0.01860 * S(l4 - p3) + 0.01182 * S(psi - w4) + 0.00622 * S(l4 + p4 - 2 * G - 2 * PI) +
      0.00385 * S(2 * (l4 - p4)) - 0.00284 * S(5 * Gp - 2 * G + 52.225) - 0.00233 * S(2 * (psi - p4)) -
      0.00223 * S(l3 - l4) - 0.00208 * S(l4 - PI) + 0.00177 * S(psi + w4 - 2 * p4) + 0.00134 * S(p4 - PI) +
      0.00125 * S(2 * (l4 - G - PI)) - 0.00117 * S(2 * G) - 0.00112 * S(2 * (l3 - l4)) +
      0.00106 * S(3 * l3 - 7 * l4 + 4 * p4) + 0.00102 * S(l4 - G - PI) + 0.00096 * S(2 * l4 - psi - w4) +
      0.00087 * S(2 * (psi - w4)) - 0.00087 * S(3 * l3 - 7 * l4 + p3 + 3 * p4) +
      0.00085 * S(l3 - 2 * l4 + p4) - 0.00081 * S(2 * (l4 - psi)) + 0.00071 * S(l4 + p4 - 2 * PI - 3 * G) +
      0.00060 * S(l1 - l4) - 0.00056 * S(psi - w3) - 0.00055 * S(l3 - 2 * l4 + p3) + 0.00051 * S(l2 - l4) +
      0.00042 * S(2 * (psi - G - PI)) + 0.00039 * S(2 * (p4 - w4)) + 0.00036 * S(psi + PI - p4 - w4) +
      0.00035 * S(2 * Gp - G + 188.37) - 0.00035 * S(l4 - p4 + 2 * PI - 2 * psi) -
      0.00032 * S(l4 + p4 - 2 * PI - G) + 0.00030 * S(3 * l3 - 7 * l4 + 2 * p3 + 2 * p4) +
      0.00030 * S(2 * Gp - 2 * G + 149.15) + 0.00028 * S(l4 - p4 + 2 * psi - 2 * PI) -
      0.00028 * S(2 * (l4 - w4)) - 0.00027 * S(p3 - p4 + w3 - w4) - 0.00026 * S(5 * Gp - 3 * G + 188.37) +
      0.00025 * S(w4 - w3) - 0.00025 * S(l2 - 3 * l3 + 2 * l4) - 0.00023 * S(3 * (l3 - l4)) +
      0.00021 * S(2 * l4 - 2 * PI - 3 * G) - 0.00021 * S(2 * l3 - 3 * l4 + p4) + 0.00019 * S(l4 - p4 - G) -
      0.00019 * S(2 * l4 - p3 - p4) - 0.00018 * S(l4 - p4 + G) - 0.00016 * S(l4 + p3 - 2 * PI - 2 * G);

  // True longitudes without precession.
  const double L1 = l1 + sum1, L2 = l2 + sum2, L3 = l3 + sum3, L4 = l4 + sum4;

  // Periodic terms in latitude: tangents of the latitudes.
  const double tb1 = 0.0006502 * S(L1 - w1) + 0.0001835 * S(L1 - w2) + 0.0000329 * S(L1 - w3) -
                     0.0000311 * S(L1 - psi) + 0.0000093 * S(L1 - w4) +
                     0.0000075 * S(3 * L1 - 4 * l2 - 1.9927 * sum1 + w2) + 0.0000046 * S(L1 + psi - 2 * PI - 2 * G);
  const double tb2 = 0.0081275 * S(L2 - w2) + 0.0004512 * S(L2 - w3) - 0.0003286 * S(L2 - psi) +
                     0.0001164 * S(L2 - w4) + 0.0000273 * S(l1 - 2 * l3 + 1.0146 * sum2 + w2) +
                     0.0000143 * S(L2 + psi - 2 * PI - 2 * G) - 0.0000143 * S(L2 - w1) +
                     0.0000035 * S(L2 - psi + G) - 0.0000028 * S(l1 - 2 * l3 + 1.0146 * sum2 + w3);
  const double tb3 = 0.0032364 * S(L3 - w3) - 0.0016911 * S(L3 - psi) + 0.0006849 * S(L3 - w4) -
                     0.0002806 * S(L3 - w2) + 0.0000321 * S(L3 + psi - 2 * PI - 2 * G) +
                     0.0000051 * S(L3 - psi + G) - 0.0000045 * S(L3 - psi - G) - 0.0000045 * S(L3 + psi - 2 * PI) +
                     0.0000037 * S(L3 + psi - 2 * PI - 3 * G) + 0.0000030 * S(2 * l2 - 3 * L3 + 4.03 * sum3 + w2) -
                     0.0000021 * S(2 * l2 - 3 * L3 + 4.03 * sum3 + w3);
  const double tb4 = -0.0076579 * S(L4 - psi) + 0.0044148 * S(L4 - w4) - 0.0005106 * S(L4 - w3) +
                     0.0000773 * S(L4 + psi - 2 * PI - 2 * G) + 0.0000104 * S(L4 - psi + G) -
                     0.0000102 * S(L4 - psi - G) + 0.0000088 * S(L4 + psi - 2 * PI - 3 * G) -
                     0.0000038 * S(L4 + psi - 2 * PI - G);

  // Periodic terms in the radius vectors (relative).
  const double rho1 = -0.0041339 * C(2 * (l1 - l2)) - 0.0000395 * C(l1 - p3) - 0.0000214 * C(l1 - p4) +
                      0.0000170 * C(l1 - l2) - 0.0000162 * C(l1 - p1) - 0.0000130 * C(4 * (l1 - l2)) +
                      0.0000106 * C(l1 - l3) - 0.0000063 * C(l1 + p3 - 2 * PI - 2 * G);
  const double rho2 = 0.0093847 * C(l1 - l2) - 0.0003114 * C(l2 - p3) - 0.0001738 * C(l2 - p4) -
                      0.0000941 * C(l2 - p2) + 0.0000553 * C(l2 - l3) + 0.0000523 * C(l1 - l3) -
                      0.0000290 * C(2 * (l1 - l2)) + 0.0000166 * C(2 * (l2 - w2)) +
                      0.0000107 * C(l1 - 2 * l3 + p3) - 0.0000102 * C(l2 - p1) - 0.0000091 * C(2 * (l1 - l3));
  const double rho3 = -0.0014377 * C(l3 - p3) - 0.0007904 * C(l3 - p4) + 0.0006342 * C(l2 - l3) -
                      0.0001758 * C(2 * (l3 - l4)) + 0.0000294 * C(l3 - l4) - 0.0000156 * C(3 * (l3 - l4)) +
                      0.0000155 * C(l1 - l3) - 0.0000153 * C(l1 - l2) + 0.0000070 * C(2 * l2 - 3 * l3 + p3) -
                      0.0000051 * C(l3 + p3 - 2 * PI - 2 * G);
  const double rho4 = -0.0073391 * C(l4 - p4) + 0.0001620 * C(l4 - p3) + 0.0000974 * C(l3 - l4) -
                      0.0000541 * C(l4 + p4 - 2 * PI - 2 * G) - 0.0000269 * C(2 * (l4 - p4)) +
                      0.0000182 * C(l4 - PI) + 0.0000177 * C(2 * (l3 - l4)) - 0.0000167 * C(2 * l4 - psi - w4) +
                      0.0000167 * C(psi - w4) - 0.0000155 * C(2 * (l4 - PI - G)) + 0.0000142 * C(2 * (l4 - psi)) +
                      0.0000104 * C(l1 - l4) + 0.0000092 * C(l2 - l4) - 0.0000089 * C(l4 - PI - G) -
                      0.0000062 * C(l4 + p4 - 2 * PI - 3 * G) + 0.0000048 * C(2 * (l4 - w4));

  TGalileanOrbits o{};
  const double L[5] = {0, L1, L2, L3, L4};
  const double tb[5] = {0, tb1, tb2, tb3, tb4};
  const double rho[5] = {0, rho1, rho2, rho3, rho4};
  static constexpr double kMeanRadius[5] = {0, 5.9073, 9.39912, 14.9924, 26.3699};
  for (int i = 1; i <= 4; ++i) {
    o.Longitude[i] = L[i] * kDegToRad;
    o.Latitude[i] = std::atan(tb[i]);
    o.Radius[i] = kMeanRadius[i] * (1.0 + rho[i]);
  }
  o.NodeLongitude = psi * kDegToRad;
  return o;
}

void CalcGalileanMoons(TSolarContext& ctx, const TObserverTime& rec, const TSolSysBody& jupiter) {
  if (std::fabs(ctx.MoonsLastJD - rec.JD_UT) < kCacheSpanDays) return;
  ctx.MoonsLastJD = rec.JD_UT;

  // Geocentric ecliptic position of Jupiter.
  const double l = jupiter.HelioLongitude, b = jupiter.HelioLatitude, r = jupiter.RadiusVector;
  const double sunLon = ctx.SunTrueLongitude, R = ctx.SunRadiusVector;
  const double x = r * std::cos(b) * std::cos(l) + R * std::cos(sunLon);
  const double y = r * std::cos(b) * std::sin(l) + R * std::sin(sunLon);
  const double z = r * std::sin(b);
  const double delta = std::sqrt(x * x + y * y + z * z);
  const double lambda0 = ArcTan2R(x, y);
  const double beta0 = std::atan(z / std::sqrt(x * x + y * y));

  // The moons at the time the light left them.
  const double t = rec.JD_TT - 2443000.5 - LightTimeDays(delta);
  TGalileanOrbits o = GalileanOrbits(t);

  // Precession from B1950 to the date.
  const double T0 = (rec.JD_TT - 2433282.423) / 36525.0;
  const double P = (1.3966626 * T0 + 0.0003088 * T0 * T0) * kDegToRad;
  const double psi = o.NodeLongitude + P;
  // Inclination of Jupiter's equator to its orbit.
  const double T = (rec.JD_UT - 2414987.5) / 36525.0;
  const double I = (3.120262 + 0.0006 * T) * kDegToRad;
  const double node = jupiter.Node, incl = jupiter.Inclination;
  const double phi = psi - node;

  // The auxiliary fifth satellite on Jupiter's axis gives the rotation D of
  // Jupiter's equator against the sky's axes.
  const Rotated pole = RotateToSky(0.0, 0.0, 1.0, I, phi, incl, node, lambda0, beta0);
  const double D = ArcTan2R(pole.C6, pole.A6);

  static constexpr double kK[5] = {0, 17295, 21819, 27558, 36548};
  for (int i = 4; i >= 1; --i) {
    // Coordinates in Jupiter's equatorial frame.
    const double Ri = o.Radius[i], Bi = o.Latitude[i], Li = o.Longitude[i] + P;
    const double X = Ri * std::cos(Li - psi) * std::cos(Bi);
    const double Y = Ri * std::sin(Li - psi) * std::cos(Bi);
    const double Z = Ri * std::sin(Bi);
    const Rotated s = RotateToSky(X, Y, Z, I, phi, incl, node, lambda0, beta0);
    double Xs = s.A6 * std::cos(D) - s.C6 * std::sin(D);
    const double Ys = s.A6 * std::sin(D) + s.C6 * std::cos(D);
    const double Zs = s.B6;
    // Differential light time; the root's argument is clamped at 0 where
    // rounding makes it slightly negative at greatest elongation.
    const double q = Xs / Ri;
    Xs += std::fabs(Zs) / kK[i] * std::sqrt(std::max(0.0, 1.0 - q * q));
    // Perspective.
    const double W = delta / (delta + Zs / 2095.0);
    ctx.MoonX[i] = Xs * W;
    ctx.MoonY[i] = Ys * W;
    ctx.MoonZ[i] = Zs;
  }
}

bool CalcSaturnRings(TSolarContext& ctx, const TObserverTime& rec, const TSolSysBody& saturn) {
  if (std::fabs(ctx.RingsLastJD - rec.JD_UT) < kCacheSpanDays) return true;
  ctx.RingsLastJD = rec.JD_UT;

  const double T = (rec.JD_TT - 2451545.0) / 36525.0;
  double incl = 0, node = 0;
  RingPlane(T, incl, node);
  // Geocentric ecliptic position of Saturn (the Earth at latitude 0).
  const double l = saturn.HelioLongitude, b = saturn.HelioLatitude, r = saturn.RadiusVector;
  const double L = ctx.EarthL, R = ctx.EarthR;
  const double x = r * std::cos(b) * std::cos(l) - R * std::cos(L);
  const double y = r * std::cos(b) * std::sin(l) - R * std::sin(L);
  const double z = r * std::sin(b);
  const double delta = std::sqrt(x * x + y * y + z * z);
  double lambda = ArcTan2R(x, y);
  double beta = std::atan(z / std::sqrt(x * x + y * y));
  // Semi-axes of the outer edge: 375.35″ at 1 AU.
  const double a = 0.0018197481520446433 / delta;
  const double B = ArcSinR(std::sin(incl) * std::cos(beta) * std::sin(lambda - node) - std::cos(incl) * std::sin(beta));
  ctx.RingMajorAxis = a;
  ctx.RingMinorAxis = a * std::sin(std::fabs(B));
  // Pole of the ring plane.
  double lambda0 = node - kHalfPi;
  const double beta0 = kHalfPi - incl;
  // Aberration of Saturn.
  const double k = 0.005693 * kDegToRad;
  const double dLambda = k * std::cos(l - lambda) / std::cos(beta);
  const double dBeta = k * std::sin(l - lambda) * std::sin(beta);
  lambda += dLambda;
  beta += dBeta;
  // Nutation in longitude, then equatorial coordinates.
  lambda0 += rec.NutLongitude;
  lambda += rec.NutLongitude;
  double ra0 = 0, dec0 = 0, ra = 0, dec = 0;
  EclipticToEquatorial(rec, ra0, dec0, lambda0, beta0);
  EclipticToEquatorial(rec, ra, dec, lambda, beta);
  // Position angle of the pole's projection.
  ctx.RingPositionAngle = ArcTan2R(std::sin(dec0) * std::cos(dec) - std::cos(dec0) * std::sin(dec) * std::cos(ra0 - ra),
                                   std::cos(dec0) * std::sin(ra0 - ra));
  return true;
}

void SaturnRingTilt(double jdTT, double lambda, double beta, double l, double b, double r, double& B,
                    double& deltaU) {
  const double T = (jdTT - 2451545.0) / 36525.0;
  double incl = 0, node = 0;
  RingPlane(T, incl, node);
  // Latitude of the observer on the ring plane.
  B = ArcSinR(std::sin(incl) * std::cos(beta) * std::sin(lambda - node) - std::cos(incl) * std::sin(beta));
  // Saturn's heliocentric place corrected for the Sun's aberration.
  const double N = (113.6655 + 0.8771 * T) * kDegToRad;
  const double lp = l - 0.01759 * kDegToRad / r;
  const double bp = b - 0.000764 * kDegToRad * std::cos(l - N) / r;
  // Saturnicentric longitudes of the Sun (U1) and the observer (U2).
  const double U1 = std::atan2(std::sin(incl) * std::sin(bp) + std::cos(incl) * std::cos(bp) * std::sin(lp - node),
                               std::cos(bp) * std::cos(lp - node));
  const double U2 = std::atan2(std::sin(incl) * std::sin(beta) + std::cos(incl) * std::cos(beta) * std::sin(lambda - node),
                               std::cos(beta) * std::cos(lambda - node));
  deltaU = std::fabs(std::remainder(U1 - U2, TwoPi));
}
