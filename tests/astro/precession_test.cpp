// Precession, nutation, aberration and proper motion.
#include "astro/precession.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "tests/astro/astro_test_support.h"

namespace {

using namespace astro_test;

TEST(Nutation, FourTermSeriesAgainstIau1980) {
  // ERFA eraNut80 (Δψ, Δε) and eraObl80 (ε0), arcseconds, at TT.
  // Four-term series: 0.5" in Δψ and 0.1" in Δε (Meeus ch. 22); Laskar's
  // ε0 and the IAU 1980 ε0 differ by well under 0.01" in 1900-2100.
  struct Case {
    double tt, dpsi, deps, eps0;
  } cases[] = {
      {2415020.0, 17.339404, -2.295139, 84428.260597},
      {2433465.125, 0.096702, 8.581010, 84404.621061},
      {2451545.0, -13.923385, -5.773808, 84381.448000},
      {2460402.3125, -5.053347, 9.166718, 84370.095354},
      {2479194.425, -16.984986, -1.061428, 84346.009493},
      {2488070.0, 3.267519, 8.578467, 84334.634223},
  };
  auto rec = Fresh();
  for (const Case& c : cases) {
    SetObserverTT(*rec, c.tt);
    double dPsi, dEps, eps, eps0;
    Nutation(*rec, dPsi, dEps, eps, eps0);
    EXPECT_NEAR(dPsi / kArcsec, c.dpsi, 0.5) << c.tt;
    EXPECT_NEAR(dEps / kArcsec, c.deps, 0.1) << c.tt;
    EXPECT_NEAR(eps0 / kArcsec, c.eps0, 0.01) << c.tt;
    EXPECT_EQ(eps, eps0 + dEps);
  }
}

TEST(Precession, AnglesAndRotationMatchIau1976) {
  // ERFA eraPrec76 angles (ζ, z, θ, radians) between the epochs, and the
  // positions rotated by eraRz(-z)·eraRy(θ)·eraRz(-ζ) (data file). The same
  // IAU 1976 expressions: 1 mas.
  struct Pair {
    double from, to, zeta, z, theta;
    double out[5][2];
  };
  const auto pairs = ReferenceRows<Pair>("precession_erfa.txt");
  ASSERT_EQ(pairs.size(), 3u);

  // Inputs: (0,0), (6h, +23.5°), Polaris (+89.26°), (10h, -89.9°), Vega.
  const double in[5][2] = {{0.0, 0.0},
                           {1.570796326795, 0.410152374219},
                           {0.662432049839, 1.557952605386},
                           {2.617993877991, -1.569050997543},
                           {4.873565508019, 0.676903068421}};
  auto rec = Fresh();
  for (const Pair& p : pairs) {
    SetPrecession(*rec, p.from, p.to);
    EXPECT_NEAR(rec->PrecZeta, p.zeta, kMas);
    EXPECT_NEAR(rec->PrecZ, p.z, kMas);
    EXPECT_NEAR(std::asin(rec->PrecSinTheta), p.theta, kMas);
    for (int i = 0; i < 5; ++i) {
      double ra = in[i][0], dec = in[i][1];
      Precess(*rec, ra, dec);
      EXPECT_LT(Separation(ra, dec, p.out[i][0], p.out[i][1]), kMas) << p.from << " star " << i;
      EXPECT_NEAR(dec, p.out[i][1], kMas);
    }
  }
}

TEST(Precession, RoundTripAndPoles) {
  auto rec = Fresh();
  // J2000 -> J2050 -> J2000 within a milliarcsecond, also near the pole.
  for (double dec0 : {-0.3, 0.5, 89.9 / DegPerRad}) {
    double ra = 1.2, dec = dec0;
    SetPrecession(*rec, 2451545.0, 2469807.5);
    Precess(*rec, ra, dec);
    SetPrecession(*rec, 2469807.5, 2451545.0);
    Precess(*rec, ra, dec);
    EXPECT_LT(Separation(ra, dec, 1.2, dec0), kMas) << dec0;
  }
  // The poles of J2000 in J2050 coordinates (ERFA, as above): the north
  // pole at (π + z, 90° - θ), the south pole at (z, -90° + θ).
  SetPrecession(*rec, 2451545.0, 2469807.5);
  double ra = 0, dec = M_PI / 2;
  Precess(*rec, ra, dec);
  EXPECT_NEAR(ra, 3.147184421843, 1e-9);
  EXPECT_NEAR(dec, 1.565938282533, kMas);
  ra = 0;
  dec = -M_PI / 2;
  Precess(*rec, ra, dec);
  EXPECT_NEAR(ra, 0.005591768253, 1e-9);
  EXPECT_NEAR(dec, -1.565938282533, kMas);
  // Equal epochs: no change.
  SetPrecession(*rec, 2451545.0, 2451545.0);
  ra = 1.0;
  dec = 0.5;
  Precess(*rec, ra, dec);
  EXPECT_EQ(ra, 1.0);
  EXPECT_EQ(dec, 0.5);
  // The epoch label names the target epoch.
  for (auto [to, label] :
       {std::pair{2451545.0, "J2000.0"}, {2469807.5, "J2050.0"}, {2433282.423, "J1950.0"}}) {
    SetPrecession(*rec, 2451545.0, to);
    EXPECT_EQ(rec->EpochLabel.str(), label);
  }
}

TEST(Precession, UpdateMovesTheTargetOncePerDay) {
  auto rec = Fresh();
  SetObserverTT(*rec, 2460400.1);
  UpdatePrecession(*rec);
  EXPECT_EQ(rec->EpochTo, 2460400.0);
  EXPECT_EQ(rec->EpochFrom, 2451545.0);
  double zeta = rec->PrecZeta;
  SetObserverTT(*rec, 2460400.9);
  UpdatePrecession(*rec);
  EXPECT_EQ(rec->EpochTo, 2460400.0);
  EXPECT_EQ(rec->PrecZeta, zeta);
  SetObserverTT(*rec, 2460401.05);
  UpdatePrecession(*rec);
  EXPECT_EQ(rec->EpochTo, 2460401.0);
  EXPECT_GT(rec->PrecZeta, zeta);
}

TEST(ProperMotion, LinearInJulianYearsFromJ2000) {
  auto rec = Fresh();
  SetObserverTT(*rec, 2451545.0 + 36525.0);  // one Julian century later
  double ra = 1.0, dec = 0.2;
  ApplyProperMotion(*rec, ra, dec, 10 * kMas, -20 * kMas);
  EXPECT_NEAR((ra - 1.0) / kArcsec, 1.0, 1e-9);
  EXPECT_NEAR((dec - 0.2) / kArcsec, -2.0, 1e-9);
}

TEST(ApparentPlace, NutationAndAberrationAgainstErfa) {
  // Reference: ERFA eraPnm80(TT) · eraAb(p, v_earth/c, r_sun, β⁻¹) for J2000
  // positions, the observer at the pole (data file). The four-term nutation
  // (0.5") dominates: 1".
  struct Case {
    double tt, sun;
    double pos[4][2];
  };
  const auto cases = ReferenceRows<Case>("apparent_erfa.txt");
  ASSERT_EQ(cases.size(), 3u);

  const double in[4][2] = {{0.716457657944, 0.859195920160},
                           {1.767794349964, -0.291751260600},
                           {3.733526305391, 0.334796038435},
                           {6.108652381980, -1.047197551197}};
  auto rec = Fresh();
  SetObserverLocation(*rec, 0, M_PI / 2, 0);
  for (const Case& c : cases) {
    SetObserverTT(*rec, c.tt);
    SetPrecession(*rec, 2451545.0, c.tt);
    for (int i = 0; i < 4; ++i) {
      double ra = in[i][0], dec = in[i][1];
      Precess(*rec, ra, dec);
      ApparentPlace(*rec, ra, dec, c.sun);
      EXPECT_LT(Separation(ra, dec, c.pos[i][0], c.pos[i][1]), 1.0 * kArcsec)
          << c.tt << " star " << i;
      EXPECT_GE(ra, 0.0);
      EXPECT_LT(ra, TwoPi);
    }
  }
}

TEST(ApparentPlace, AnnualAberrationWithItsETermsAgainstErfa) {
  // ERFA eraAb with the Earth's barycentric velocity in the ecliptic of
  // J2000 (data file). The classical κ formula with the e-terms
  // (heliocentric velocity) follows it to 0.03″; the e-terms alone are up
  // to 0.34″.
  struct Case {
    double tt, sun, lambda, beta, lambdaAb, betaAb;
  };
  const auto cases = ReferenceRows<Case>("aberration_erfa.txt");
  ASSERT_EQ(cases.size(), 6u);

  for (const Case& c : cases) {
    double lambda = c.lambda, beta = c.beta;
    AnnualAberration(c.tt, c.sun, lambda, beta);
    EXPECT_LT(Separation(lambda, beta, c.lambdaAb, c.betaAb), 0.03 * kArcsec) << c.tt << " " << c.lambda;
  }
}

TEST(ApparentPlace, DiurnalAberrationPointsEast) {
  // Explanatory Supplement (1992) 3.26: 0.320" cos φ towards the east
  // point. On the equator a star on the meridian at δ = 0 moves east (+RA)
  // by 0.32"; a star 6 h west at δ = 45° moves north by 0.32" sin 45°.
  auto rec = Fresh();
  SetObserverLocation(*rec, 0, 0, 0);
  rec->LocalSidereal = 1.0;
  double ra = 1.0, dec = 0.0;
  DiurnalAberration(*rec, ra, dec);
  EXPECT_NEAR((ra - 1.0) / kArcsec, 0.32, 0.005);
  EXPECT_NEAR(dec, 0.0, 1e-15);
  ra = 1.0 - M_PI / 2;
  dec = M_PI / 4;
  DiurnalAberration(*rec, ra, dec);
  EXPECT_NEAR((dec - M_PI / 4) / kArcsec, 0.32 * std::sqrt(0.5), 0.005);
}

}  // namespace
