// Precession, nutation, aberration and proper motion.
#include "astro/precession.h"

#include <cmath>

#include "astro/observer.h"
#include "astro/transforms.h"
#include "platform/numfmt.h"

namespace {

// Arcseconds per radian.
constexpr double kArcsecPerRad = 206264.80624709636;
constexpr double kJ2000 = 2451545.0;

}  // namespace

void Nutation(const TObserverTime& rec, double& dPsi, double& dEps, double& eps, double& eps0) {
  NutationAt(rec.JD_TT, dPsi, dEps, eps, eps0);
}

void NutationAt(double jdTT, double& dPsi, double& dEps, double& eps, double& eps0) {
  double t = (jdTT - kJ2000) / 36525.0;
  // Longitude of the Moon's ascending node, mean longitudes of Sun and Moon.
  double om = (125.04452 - 1934.136261 * t + 0.0020708 * t * t + t * t * t / 450000.0) / DegPerRad;
  double l = (280.4665 + 36000.7698 * t) / DegPerRad;
  double lm = (218.3165 + 481267.8813 * t) / DegPerRad;
  // The four largest terms of each series, arcseconds.
  double psi = -17.20 * std::sin(om) - 1.32 * std::sin(2 * l) - 0.23 * std::sin(2 * lm) +
               0.21 * std::sin(2 * om);
  double de = 9.20 * std::cos(om) + 0.57 * std::cos(2 * l) + 0.10 * std::cos(2 * lm) -
              0.09 * std::cos(2 * om);
  // Mean obliquity, Laskar's series in units of 10,000 Julian years.
  static constexpr double c[] = {84381.448, -4680.93, -1.55, 1999.25, -51.38, -249.67,
                                 -39.05,    7.12,     27.87, 5.79,    2.45};
  double u = t / 100.0;
  double e0 = 0;
  for (int k = 10; k >= 0; --k) e0 = e0 * u + c[k];
  // Radians.
  dPsi = psi / kArcsecPerRad;
  dEps = de / kArcsecPerRad;
  eps0 = e0 / kArcsecPerRad;
  eps = eps0 + dEps;
}

void UpdateNutation(TObserverTime& rec) {
  double dPsi, dEps, eps, eps0;
  Nutation(rec, dPsi, dEps, eps, eps0);
  rec.NutLongitude = dPsi;
  rec.NutObliquity = dEps;
  rec.Obliquity = eps;
  rec.MeanObliquity = eps0;
  rec.NutationUT = rec.JD_UT;
}

void SetPrecession(TObserverTime& rec, double fromJD, double toJD) {
  rec.EpochFrom = fromJD;
  rec.EpochTo = toJD;
  // Label: "J" and the Julian year of the target epoch.
  rec.EpochLabel = "J" + platform::FormatFixed((toJD - kJ2000) / 365.25 + 2000.0, 0, 1);
  if (fromJD == toJD) return;
  double zeta = 0, z = 0, theta = 0;
  PrecessionAngles(fromJD, toJD, zeta, z, theta);
  rec.PrecZeta = zeta;
  rec.PrecZ = z;
  rec.PrecSinTheta = std::sin(theta);
  rec.PrecCosTheta = std::cos(theta);
}

void PrecessionAngles(double fromJD, double toJD, double& zeta, double& z, double& theta) {
  // T from J2000 to the source, t from the source to the target, Julian
  // centuries; the angles in arcseconds.
  double bigT = (fromJD - kJ2000) / 36525.0;
  double t = (toJD - fromJD) / 36525.0;
  double w = 2306.2181 + 1.39656 * bigT - 0.000139 * bigT * bigT;
  zeta = (w * t + (0.30188 - 0.000344 * bigT) * t * t + 0.017998 * t * t * t) / kArcsecPerRad;
  z = (w * t + (1.09468 + 0.000066 * bigT) * t * t + 0.018203 * t * t * t) / kArcsecPerRad;
  theta = ((2004.3109 - 0.85330 * bigT - 0.000217 * bigT * bigT) * t - (0.42665 + 0.000217 * bigT) * t * t -
           0.041833 * t * t * t) /
          kArcsecPerRad;
}

void EclipticOfDateToJ2000(double jdTT, double& x, double& y, double& z) {
  // Ecliptic to equator of date: about the x axis by the mean obliquity.
  double dPsi, dEps, eps, eps0;
  NutationAt(jdTT, dPsi, dEps, eps, eps0);
  const double ce = std::cos(eps0), se = std::sin(eps0);
  double v[3] = {x, ce * y - se * z, se * y + ce * z};
  // Equator of date to J2000: R3(ζ) R2(-θ) R3(z), applied right to left.
  double zeta, zz, theta;
  PrecessionAngles(kJ2000, jdTT, zeta, zz, theta);
  auto r3 = [&v](double a) {  // R3(a): axes turned about z by a
    const double c = std::cos(a), s = std::sin(a), x0 = v[0];
    v[0] = c * x0 + s * v[1];
    v[1] = -s * x0 + c * v[1];
  };
  r3(zz);
  const double ct = std::cos(theta), st = std::sin(theta), x0 = v[0];
  v[0] = ct * x0 + st * v[2];  // R2(-θ)
  v[2] = -st * x0 + ct * v[2];
  r3(zeta);
  x = v[0];
  y = v[1];
  z = v[2];
}

void UpdatePrecession(TObserverTime& rec) {
  // Whole days since J2000 (toward zero), for TT and for the target epoch.
  double n = std::trunc(rec.JD_TT - kJ2000);
  if (!std::isfinite(n)) return;
  if (std::trunc(rec.EpochTo - kJ2000) != n) SetPrecession(rec, rec.EpochFrom, kJ2000 + n);
}

void Precess(const TObserverTime& rec, double& ra, double& dec) {
  if (rec.EpochFrom == rec.EpochTo) return;
  double sinT = rec.PrecSinTheta, cosT = rec.PrecCosTheta;
  // Rotate by ζ, θ and z (Meeus eq. 21.4).
  double a = ra + rec.PrecZeta;
  double cd = std::cos(dec), sd = std::sin(dec);
  double ca = std::cos(a);
  double A = cd * std::sin(a);
  double B = cosT * cd * ca - sinT * sd;
  double C = sinT * cd * ca + cosT * sd;
  ra = ArcTan2R(B, A) + rec.PrecZ;
  // Near the poles the declination from its cosine is better conditioned.
  if (std::fabs(C) <= 0.9999) {
    dec = ArcSinR(C);
  } else {
    dec = ArcCosR(std::sqrt(A * A + B * B));
    if (C < 0) dec = -dec;
  }
}

void ApplyProperMotion(const TObserverTime& rec, double& ra, double& dec, double pmRA,
                       double pmDec) {
  double years = (rec.JD_TT - kJ2000) / 365.25;
  ra += pmRA * years;
  dec += pmDec * years;
}

void ApparentPlace(TObserverTime& rec, double& ra, double& dec, double sunLongitude) {
  // Nutation of the record's instant.
  UpdateNutation(rec);
  const double dPsi = rec.NutLongitude, eps = rec.Obliquity, eps0 = rec.MeanObliquity;
  // Ecliptic coordinates on the mean ecliptic and equinox of date.
  double beta, lambda;
  EquatorialToEclipticEps(eps0, beta, lambda, ra, dec);
  // Nutation in longitude.
  lambda += dPsi;
  // Annual aberration with the e-terms.
  AnnualAberration(rec.JD_TT, sunLongitude, lambda, beta);
  // Back to the true equator of date (the true obliquity adds Δε).
  EclipticToEquatorialEps(eps, ra, dec, lambda, beta);
  // Diurnal aberration for the observer.
  DiurnalAberration(rec, ra, dec);
}

void AnnualAberration(double jdTT, double sunLongitude, double& lambda, double& beta) {
  const double t = (jdTT - kJ2000) / 36525.0;
  // Eccentricity and longitude of perihelion of the Earth's orbit.
  const double e = 0.016708617 - 0.000042037 * t - 0.0000001236 * t * t;
  const double peri = (102.93735 + 1.71953 * t + 0.00046 * t * t) / DegPerRad;
  const double kappa = 20.49552 / kArcsecPerRad;
  const double dLambda =
      (-kappa * std::cos(sunLongitude - lambda) + e * kappa * std::cos(peri - lambda)) / std::cos(beta);
  const double dBeta = -kappa * std::sin(beta) * (std::sin(sunLongitude - lambda) - e * std::sin(peri - lambda));
  lambda += dLambda;
  beta += dBeta;
}

void DiurnalAberration(const TObserverTime& rec, double& ra, double& dec) {
  // 0.3198" times cos φ, towards the east point; H = local hour angle.
  const double k = 0.3198 / kArcsecPerRad * rec.CosLatitude;
  double h = rec.LocalSidereal - ra;
  double cd = std::cos(dec);
  if (cd != 0.0) ra += k * std::cos(h) / cd;
  dec += k * std::sin(h) * std::sin(dec);
  ReduceRadians(ra);
}
