// The solar-system window's content for the Moon and Jupiter, and its
// number texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/text.h"
#include "tests/tools/window_sites.h"
#include "tools/solsys_info.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180;

class SolSysWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ConvertElementTable();
    InitPlanetRecords(Planets);
    obs_ = std::make_unique<TObserverTime>();
    InitObserver(*obs_);
    SetObserverLocation(*obs_, 0.0, 51.4769 * kDeg, 46);
  }
  std::unique_ptr<TObserverTime> obs_;
};

TEST_F(SolSysWindow, MoonOfMeeusExample47a) {
  // Meeus, "Astronomical Algorithms", 2nd ed., example 47.a: 1992 April 12,
  // 0h TD: λ = 133.162655°, β = -3.229126°, Δ = 368409.7 km.
  SetObserverTT(*obs_, 2448724.5);
  TSolSysInfo s;
  ASSERT_TRUE(MakeSolSysInfo(kSelectSolarSystem, 9, *obs_, s));
  EXPECT_EQ(s.Name, "The Moon");
  EXPECT_EQ(s.Magnitude, "No Data");
  EXPECT_EQ(s.DistanceLabel, "Distance (KM):");
  // 368409.7 km (228919.2 miles): whole kilometres, ±1 km of the series.
  EXPECT_TRUE(s.Distance == "368409 (228919 miles)" || s.Distance == "368410 (228919 miles)") << s.Distance;
  EXPECT_EQ(s.EclLong, TrimBlanks(FormatDegMin(133.162655 * kDeg)));
  EXPECT_EQ(s.EclLat, TrimBlanks(FormatDegMin(-3.229126 * kDeg)));
  EXPECT_TRUE(s.ShowElements && !s.ShowPhysical && s.ShowVisibility);
  EXPECT_EQ(s.Period, "27.322");
  EXPECT_EQ(s.SemiMajor, "384401 (238855 miles)");
  // The Moon's mass 7.35 × 10^25 g and diameter 3475.6 km: 3.34 g/cm³
  // (published mean density 3.344).
  EXPECT_EQ(s.Mass, "7.35 x 10^22 kg (0.0123 x Earth's)");
  EXPECT_EQ(s.Density, "3.34");
}

TEST_F(SolSysWindow, JupiterAtOpposition2026) {
  // Jupiter at opposition, 2026 January 10 (USNO/Sky & Telescope almanac):
  // 4.22 AU from the Earth, 46.7″ across, magnitude -2.7.
  SetObserverUT(*obs_, 2461050.5);
  TSolSysInfo s;
  ASSERT_TRUE(MakeSolSysInfo(kSelectSolarSystem, 4, *obs_, s));
  EXPECT_EQ(s.Name, "The planet Jupiter");
  EXPECT_EQ(s.Distance, "4.2");
  EXPECT_EQ(s.AngularSize, "0.8'");
  EXPECT_EQ(s.Magnitude, "-2.7");
  EXPECT_EQ(s.Title, "Apparent Topocentric Coordinates, Keplerian Model:");
  EXPECT_TRUE(s.ShowElements && s.ShowPhysical && s.ShowVisibility);
  EXPECT_EQ(s.Diameter, "140558 km (11 x Earth's)");
  EXPECT_EQ(s.Mass, "1.90164 x 10^27 kg (318 x Earth's)");
  EXPECT_EQ(s.Density, "1.31");
  // At opposition it stands in the south near local midnight (00:00 UT at
  // Greenwich): altitude 90° - 51.5° + δ (δ ≈ +22.9°) ≈ 61°; a private
  // observer copy never clips it.
  EXPECT_NEAR(s.AltitudeRad, 61.4 * kDeg, 1.5 * kDeg);
}

TEST_F(SolSysWindow, SunHasNoElementsOrVisibility) {
  SetObserverUT(*obs_, 2461050.5);
  obs_->ClipBelowHorizon = 1;  // the live chart's clipping must not reach the window
  TSolSysInfo s;
  ASSERT_TRUE(MakeSolSysInfo(kSelectSolarSystem, 10, *obs_, s));
  EXPECT_EQ(s.Name, "The Sun");
  EXPECT_EQ(s.Magnitude, "No Data");
  EXPECT_FALSE(s.ShowElements || s.ShowVisibility);
  EXPECT_LT(s.AltitudeRad, 0) << "midnight: below the horizon, not clipped to -1";
  EXPECT_EQ(s.Distance, "1.0");
  EXPECT_FALSE(MakeSolSysInfo(kSelectSolarSystem, 2, *obs_, s)) << "the Earth";
}

// Goto and points of interest take the astrometric place: no nutation and
// no annual aberration (about 20″ together), light time kept, seen from the
// observer. References for Greenwich, 2026 January 10 0h UT: astropy 5.2
// with its built-in ephemeris (ERFA epv00 for the Sun and the Earth, plan94
// for Mercury), body at t − τ minus observer at t in ICRS: Sun 290.9751414°,
// −22.0374218°; Mercury 283.4772457°, −24.3004678°. Tolerances: 1″ for the
// Sun, 5″ for Mercury (our truncated series is within 4.9″). The apparent
// place precessed back was 16″ and 17″ off.
TEST_F(SolSysWindow, J2000PlaceIsTheAstrometricPlace) {
  SetObserverUT(*obs_, 2461050.5);
  const struct {
    int index;
    double raDeg, decDeg, tolArcsec;
  } cases[] = {{10, 290.9751414, -22.0374218, 1}, {0, 283.4772457, -24.3004678, 5}};
  for (const auto& c : cases) {
    TSolSysInfo s;
    ASSERT_TRUE(MakeSolSysInfo(kSelectSolarSystem, c.index, *obs_, s));
    const double ra = c.raDeg * kDeg, dec = c.decDeg * kDeg;
    const double cosSep = std::sin(dec) * std::sin(s.DecJ2000) +
                          std::cos(dec) * std::cos(s.DecJ2000) * std::cos(s.RaJ2000 - ra);
    EXPECT_LT(std::acos(std::min(1.0, cosSep)) / kDeg * 3600, c.tolArcsec) << s.Name;
  }
}

TEST_F(SolSysWindow, TopocentricPlacesAtFarSitesOnOtherDates) {
  // Apparent topocentric places of date and altitudes and azimuths (no
  // refraction) from astropy 5.2.1 (ERFA eraEpv00, eraMoon98, eraPlan94;
  // tests/tools/make_window_place_refs.py) at a northern site far west and
  // a southern site far east. The Moon's theory and eraPlan94's Venus are
  // good to a few arcseconds.
  const struct {
    TWindowSite site;
    double jdUT;
    int index;  // 10 the Sun, 9 the Moon, 1 Venus
    double raDeg, decDeg, altDeg, azDeg, toleranceArcsec;
  } rows[] = {
      {kAuckland, 2463038.666667, 10, 89.5957729, 23.4348326, 10.929594, 310.610270, 2},
      {kAuckland, 2463038.666667, 9, 103.2963961, 19.8081315, 21.600899, 318.782384, 5},
      {kAuckland, 2463038.666667, 1, 136.2571803, 18.2206885, 34.455487, 351.156567, 5},
      {kBoulder, 2461382.916667, 10, 255.1406462, -22.7356440, -47.068753, 80.718735, 2},
      {kBoulder, 2461382.916667, 9, 247.6628866, -26.9745050, -43.651826, 91.022805, 5},
      // 1995: astropy's UT1 is 0.25 s from the clock's UT (about 4" in azimuth).
      {kBoulder, 2449778.333333, 10, 342.2512104, -7.5299652, 41.265516, 195.450333, 6},
      {kBoulder, 2449778.333333, 9, 344.5039242, -2.8547190, 46.286510, 193.654195, 6},
  };
  for (const auto& r : rows) {
    SetWindowSite(*obs_, r.site, r.jdUT);
    TSolSysInfo s;
    ASSERT_TRUE(MakeSolSysInfo(kSelectSolarSystem, r.index, *obs_, s));
    EXPECT_LT(ArcsecBetween(s.RaShown, s.DecShown, r.raDeg * kDeg, r.decDeg * kDeg), r.toleranceArcsec)
        << r.index << " " << r.jdUT;
    EXPECT_LT(ArcsecBetween(s.AzimuthRad, s.AltitudeRad, r.azDeg * kDeg, r.altDeg * kDeg), r.toleranceArcsec)
        << r.index << " " << r.jdUT;
  }
}

TEST(SolSysTexts, SizesAndMasses) {
  constexpr double kArcmin = 3.141592653589793 / 180 / 60;
  EXPECT_EQ(AngularSizeText(0.15 * kArcmin), "9.0\"");
  EXPECT_EQ(AngularSizeText(0.2 * kArcmin), "0.2'");
  EXPECT_EQ(MassText(3.3e23), "3.3 x 10^23");
}

}  // namespace
