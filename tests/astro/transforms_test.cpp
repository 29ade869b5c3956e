// Refraction and coordinate transforms.
#include "astro/transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "tests/astro/astro_test_support.h"

namespace {

using namespace astro_test;

// Bennett's refraction for an APPARENT altitude (Meeus eq. 16.3), radians,
// at 1010 mbar and 10 °C: an independent formula for the inverse problem.
double Bennett(double apparent) {
  double h = apparent * DegPerRad;
  return 1.0 / std::tan((h + 7.31 / (h + 4.4)) / DegPerRad) * kArcmin;
}

TEST(Refraction, TableAgreesWithBennettsInverseFormula) {
  // Meeus ch. 16: Saemundsson's formula and Bennett's agree to about 4";
  // the table steps of 0.01° add nothing here (whole-step altitudes).
  auto rec = Fresh();
  for (double h : {0.0, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 45.0, 80.0}) {
    double alt = h / DegPerRad;
    Refract(*rec, alt);
    EXPECT_NEAR(alt - Bennett(alt), h / DegPerRad, 5 * kArcsec) << h;
  }
  // At the horizon the refraction is about 29' (true altitude 0).
  EXPECT_NEAR(rec->RefractionTable[0] / kArcmin, 29.0, 0.2);
  // Saemundsson's formula gives -0.12" at the zenith.
  EXPECT_NEAR(rec->RefractionTable[9000], 0.0, 0.2 * kArcsec);
  EXPECT_GT(rec->RefractionTable[-200], rec->RefractionTable[0]);
}

TEST(Refraction, SetAtmosphereScalesOrRefuses) {
  auto rec = Fresh();
  const double standard = rec->RefractionTable[500];
  // Unphysical values (dividing by zero at -273 °C, or swapped arguments)
  // leave the record as it was.
  for (auto [t, p] : {std::pair{-273.0, 1010.0}, {10.0, 2000.0}, {10.0, -5.0}, {NAN, 1010.0}, {1010.0, 10.0}})
    EXPECT_FALSE(SetAtmosphere(*rec, t, p)) << t << " " << p;
  EXPECT_EQ(rec->Temperature, 10.0);
  EXPECT_EQ(rec->Pressure, 1010.0);
  EXPECT_EQ(rec->RefractionTable[500], standard);
  // Meeus ch. 16: multiply by (P/1010)(283/(273 + T)).
  ASSERT_TRUE(SetAtmosphere(*rec, -10.0, 1030.0));
  EXPECT_NEAR(rec->RefractionTable[500] / standard, (1030.0 / 1010) * (283.0 / 263), 1e-12);
  EXPECT_EQ(rec->Temperature, -10.0);
  EXPECT_EQ(rec->Pressure, 1030.0);
  // Vacuum is allowed: no refraction.
  EXPECT_TRUE(SetAtmosphere(*rec, 10.0, 0.0));
  EXPECT_EQ(rec->RefractionTable[0], 0.0);
}

TEST(Refraction, RangesAndInverse) {
  auto rec = Fresh();
  for (double deg : {-3.0, 91.0}) {
    double alt = deg / DegPerRad;
    Refract(*rec, alt);
    EXPECT_EQ(alt, deg / DegPerRad);
  }
  double alt = -0.1 / DegPerRad;
  Unrefract(*rec, alt);
  EXPECT_EQ(alt, -0.1 / DegPerRad);
  alt = NAN;
  Refract(*rec, alt);
  Unrefract(*rec, alt);
  EXPECT_TRUE(std::isnan(alt));
  // Unrefract undoes Refract up to one table step: the table has no
  // interpolation, so near a cell edge the iteration can settle in the
  // neighbouring cell, off by the change of refraction over 0.01° (3.4" at
  // 1°, 0.4" at 10°).
  for (double deg = 1.0; deg <= 90.0; deg += 0.0137) {
    double a = deg / DegPerRad;
    Refract(*rec, a);
    Unrefract(*rec, a);
    int i = int(deg * 100);
    double step = rec->RefractionTable[i] - rec->RefractionTable[i + 1];
    EXPECT_LE(std::fabs(a - deg / DegPerRad), step + 1e-12) << deg;
  }
  // Dense cold air: near the horizon the true altitude falls below -2°;
  // the lookups stay inside the table.
  ASSERT_TRUE(SetAtmosphere(*rec, -90.0, 1500.0));
  alt = 0.2 / DegPerRad;
  Unrefract(*rec, alt);
  EXPECT_TRUE(std::isfinite(alt));
  EXPECT_LT(alt, -0.5 / DegPerRad);
}

TEST(Horizontal, AgreesWithErfa) {
  // ERFA eraHd2ae(LST - RA, Dec, φ): altitude and azimuth (north through
  // east), radians; exact formulas: 1e-10 rad.
  struct Case {
    double phi, lst, ra, dec, alt, az;
  } cases[] = {
      {0.898441393720, 1.0, 0.9, 0.3, 0.967098600933, 3.310397613737},
      {0.898441393720, 5.5, -0.2, 1.1, 1.202827429098, 0.767580113486},
      {-0.591122073699, 2.0, 4.0, -1.2, 0.405210501473, 2.774905828443},
      {0.0, 0.0, 0.5, 0.5, 0.879078086074, 0.720290818866},
      {1.396263401595, 3.0, 6.0, 0.7, 0.527004168705, 0.125205184005},
      {0.898441393720, 0.4, 0.4, 0.0, 0.672354933075, M_PI},  // on the meridian, south
  };
  auto rec = Fresh();
  for (const Case& c : cases) {
    SetObserverLocation(*rec, 0, c.phi, 0);
    rec->LocalSidereal = c.lst;
    double alt, az;
    EquatorialToHorizontal(*rec, alt, az, c.ra, c.dec);
    EXPECT_NEAR(alt, c.alt, 1e-10);
    EXPECT_NEAR(az, c.az, 1e-10);
    // And back (azimuth first).
    double ra, dec;
    HorizontalToEquatorial(*rec, ra, dec, c.az, c.alt);
    EXPECT_NEAR(std::remainder(ra - c.ra, TwoPi), 0.0, 1e-10);
    EXPECT_NEAR(dec, c.dec, 1e-10);
    EXPECT_GE(ra, 0.0);
    EXPECT_LT(ra, TwoPi);
  }
}

TEST(Horizontal, ClipBelowHorizon) {
  auto rec = Fresh();
  SetObserverLocation(*rec, 0, 0.5, 0);
  rec->LocalSidereal = 0.0;
  rec->ClipBelowHorizon = 1;
  double alt, az;
  EquatorialToHorizontal(*rec, alt, az, M_PI, 0.0);  // lower culmination
  EXPECT_EQ(alt, -1.0);
  EXPECT_EQ(az, 0.0);
  EquatorialToHorizontal(*rec, alt, az, 0.0, 0.0);
  EXPECT_NEAR(alt, M_PI / 2 - 0.5, 1e-12);
  EXPECT_NEAR(az, M_PI, 1e-12);
  rec->ClipBelowHorizon = 0;
  EquatorialToHorizontal(*rec, alt, az, M_PI, 0.0);
  EXPECT_NEAR(alt, -(M_PI / 2 - 0.5), 1e-12);
  EXPECT_NEAR(az, 0.0, 1e-12);
}

TEST(Ecliptic, MeeusPollux) {
  // Meeus ex. 13.a: Pollux α = 116.328942°, δ = 28.026183° with
  // ε = 23.4392911° gives λ = 113.215630°, β = 6.684170° (six decimals).
  auto rec = Fresh();
  rec->Obliquity = 23.4392911 / DegPerRad;
  double beta, lambda;
  EquatorialToEcliptic(*rec, beta, lambda, 116.328942 / DegPerRad, 28.026183 / DegPerRad);
  EXPECT_NEAR(beta * DegPerRad, 6.684170, 2e-6);
  EXPECT_NEAR(lambda * DegPerRad, 113.215630, 2e-6);
  double ra, dec;
  EclipticToEquatorial(*rec, ra, dec, 113.215630 / DegPerRad, 6.684170 / DegPerRad);
  EXPECT_NEAR(ra * DegPerRad, 116.328942, 2e-6);
  EXPECT_NEAR(dec * DegPerRad, 28.026183, 2e-6);
  // The equinox and the solstice point.
  EclipticToEquatorial(*rec, ra, dec, 0, 0);
  EXPECT_NEAR(ra, 0.0, 1e-15);
  EXPECT_NEAR(dec, 0.0, 1e-15);
  EclipticToEquatorial(*rec, ra, dec, M_PI / 2, 0);
  EXPECT_NEAR(ra, M_PI / 2, 1e-15);
  EXPECT_NEAR(dec, rec->Obliquity, 1e-15);
  // Longitudes come back in [0, 2π).
  EquatorialToEcliptic(*rec, beta, lambda, 6.2, -0.1);
  EXPECT_GE(lambda, 0.0);
  EXPECT_LT(lambda, TwoPi);
}

TEST(Parallax, AgreesWithVectorSubtraction) {
  // Reference: geocentric body vector minus the observer's geocentric
  // vector (ERFA eraGd2gce, a = 6378.14 km, b/a = 0.996647), rotated by the
  // local sidereal time. 0.05" (the distance unit 6378.16 km and rounding).
  struct Case {
    double phiDeg, height, lst, ra, dec, km, raTopo, decTopo;
  } cases[] = {
      {33.356111, 1706.0, 1.2, 0.9, 0.3, 384400.0, 0.895646985498, 0.295172611689},
      {-40.0, 0.0, 5.0, 5.8, -0.4, 370000.0, 5.810402660372, -0.393332118921},
      {60.0, 500.0, 2.0, 2.0, 1.2, 405000.0, 2.0, 1.202474857875},
  };
  auto rec = Fresh();
  for (const Case& c : cases) {
    SetObserverLocation(*rec, 0, c.phiDeg / DegPerRad, c.height);
    rec->LocalSidereal = c.lst;
    double ra, dec;
    TopocentricParallax(*rec, ra, dec, c.km, c.ra, c.dec);
    EXPECT_NEAR(ra, c.raTopo, 0.05 * kArcsec) << c.phiDeg;
    EXPECT_NEAR(dec, c.decTopo, 0.05 * kArcsec) << c.phiDeg;
  }
}

}  // namespace
