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
  // positions rotated by eraRz(-z)·eraRy(θ)·eraRz(-ζ). The same IAU 1976
  // expressions: 1 mas.
  struct Pair {
    double from, to, zeta, z, theta;
    double out[5][2];
  } pairs[] = {
      {2451545.0, 2469807.5, 5.590807228493123e-03, 5.591768253442589e-03, 4.858044261678820e-03,
       {{0.011182641454, 0.004857968337}, {1.584091104662, 0.410120083400},
        {0.995277556118, 1.561278208779}, {0.258659585216, -1.567344700271},
        {4.880894153925, 0.677700251554}}},
      {2433282.423, 2451545.0, 5.589138234068785e-03, 5.590099018652555e-03, 4.859098979715672e-03,
       {{0.011179303234, 0.004859023084}, {1.584088225030, 0.410120083384},
        {0.995366375350, 1.561278794508}, {0.258582036528, -1.567343677107},
        {4.880889976992, 0.677700414620}}},
      {2451545.0, 2415020.5, -1.117933154509290e-02, -1.117548904128768e-02,
       -9.718906031475972e-03,
       {{6.260829958633, -0.009718298697}, {1.544216688820, 0.410023195543},
        {0.361198978725, 1.549396038021}, {3.051306166326, -1.559540569919},
        {4.858916406350, 0.675413683447}}},
  };
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
  for (auto [to, label] : {std::pair{2451545.0, "J2000.0"}, {2469807.5, "J2050.0"}, {2433282.423, "J1950.0"}}) {
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
  // Reference: ERFA eraPnm80(TT) · eraAb(p, v_earth/c, r_sun, β⁻¹) with the
  // Earth's barycentric velocity from eraEpv00, for J2000 positions; the
  // Sun's geometric longitude of date from eraEpv00, eraPmat76, eraObl80.
  // The observer is at the pole (no diurnal aberration). The four-term
  // nutation (0.5") dominates: 1".
  struct Case {
    double tt, sun;
    double pos[4][2];
  } cases[] = {
      {2452545.3, 3.220325677969,
       {{0.717272709291, 0.859368709835}, {1.768253044596, -0.291717290514},
        {3.733938084277, 0.334644173649}, {6.109463003460, -1.046972200986}}},
      {2460402.3125, 0.219221074336,
       {{0.723494092685, 0.860997672928}, {1.772499216984, -0.292235901943},
        {3.738574015879, 0.332779354707}, {6.114651380124, -1.044882322285}}},
      {2462088.69, 4.037440514716,
       {{0.725287210243, 0.861365836473}, {1.773549610426, -0.292256794196},
        {3.739404788618, 0.332454209556}, {6.116113276266, -1.044470786935}}},
  };
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
  // ERFA eraAb with the Earth's barycentric velocity (eraEpv00) in the
  // ecliptic of J2000 (eraEcm06); the Sun's geometric longitude from the
  // same. The classical κ formula with the e-terms (heliocentric velocity)
  // follows it to 0.03″; the e-terms alone are up to 0.34″.
  struct Case {
    double tt, sun, lambda, beta, lambdaAb, betaAb;
  } cases[] = {
      {2452545.3, 3.2196579706783774, 0.6981317007977318, 0.3490658503988659, 0.6982185069971069, 0.34904657872601386},
      {2452545.3, 3.2196579706783774, 3.490658503988659, -0.9599310885968813, 3.4904912659057192, -0.9599515909638784},
      {2452545.3, 3.2196579706783774, 5.235987755982989, 1.3089969389957472, 5.236147415264566, 1.309083980978621},
      {2460402.3125, 0.21330821587680998, 0.6981317007977318, 0.3490658503988659, 0.6980389099827812, 0.34908220948334345},
      {2460402.3125, 0.21330821587680998, 3.490658503988659, -0.9599310885968813, 3.4908298623132343, -0.9599186980351696},
      {2460402.3125, 0.21330821587680998, 5.235987755982989, 1.3089969389957472, 5.235864345412061, 1.3089059768643523},
  };
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
