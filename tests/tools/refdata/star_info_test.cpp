// The star information window's fields for Sirius, Polaris and Betelgeuse
// from the built catalogue: numbers, names and J2000 places against
// published values, the apparent place and altitude-azimuth against the
// astronomy core.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/sun_moon.h"
#include "astro/transforms.h"
#include "refdata_fixture.h"
#include "tools/star_info.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180;
constexpr double kArcsec = kDeg / 3600;

// Published identifiers and ICRS (J2000) places: SIMBAD, from the Hipparcos
// new reduction (van Leeuwen 2007); the SAO, HD and HR numbers from the
// SAO, Henry Draper and Yale Bright Star catalogues.
struct Star {
  uint32_t sao;
  const char *name, *id, *hd, *hr;
  double raDeg, decDeg;
  bool variable;
  const char *vmagPrefix, *spectralPrefix;
};
constexpr Star kStars[] = {
    {151881, "Sirius", "Alp CMa", "48915", "2491", 101.28715533, -16.71611586, false, "-1.4", "A"},
    {308, "Polaris", "Alp UMi", "8890", "424", 37.95456067, 89.26410897, true, "2.0", "F7 Ib"},
    {113271, "Betelgeuse", "Alp Ori", "39801", "2061", 88.79293899, 7.40706400, true, "0.4", "M1"},
};

class StarWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UseReferenceData()) GTEST_SKIP();
    obs_ = std::make_unique<TObserverTime>();
    InitObserver(*obs_);
    // Greenwich, 2026 March 1, 21:00 UT, chart epoch of date.
    SetObserverLocation(*obs_, 0.0, 51.4769 * kDeg, 46);
    SetObserverUT(*obs_, 2461101.375);
    obs_->PrecessionOn = 1;
    SetPrecession(*obs_, 2451545.0, obs_->JD_TT);
  }
  std::unique_ptr<TObserverTime> obs_;
};

TEST_F(StarWindow, IdentifiersAndJ2000Places) {
  for (const Star& st : kStars) {
    TStarInfo s;
    ASSERT_TRUE(LoadStarInfo(st.sao, *obs_, s)) << st.name;
    EXPECT_EQ(s.Name, st.name);
    EXPECT_EQ(s.Identification, st.id);
    EXPECT_EQ(s.HdText, st.hd);
    EXPECT_EQ(s.BscText, st.hr);
    EXPECT_EQ(s.Variable, st.variable) << st.name;
    EXPECT_EQ(s.VMag.rfind(st.vmagPrefix, 0), 0u) << s.VMag;
    EXPECT_EQ(s.Spectral.rfind(st.spectralPrefix, 0), 0u) << s.Spectral;
    // The built catalogue carries the places of its own sources (0.0006″
    // steps); they agree with the new reduction within 0.5″.
    EXPECT_NEAR(s.RaJ2000Rad, st.raDeg * kDeg, 0.5 * kArcsec) << st.name;
    EXPECT_NEAR(s.DecJ2000Rad, st.decDeg * kDeg, 0.5 * kArcsec) << st.name;
    EXPECT_EQ(StarPoiName(s), std::string("HD") + st.hd);
  }
}

TEST_F(StarWindow, SiriusTextsFromPublishedValues) {
  TStarInfo s;
  ASSERT_TRUE(LoadStarInfo(151881, *obs_, s));
  // SIMBAD: 06 45 08.917 -16 42 58.02; parallax 379.21 mas (2.64 pc, shown
  // to a whole parsec); proper motion -546.01 mas/yr in α cos δ (-570.2 in
  // α: -0.038 s of time) and -1223.07 mas/yr in δ.
  EXPECT_EQ(s.RaJ2000, "6h45m08.9s");
  EXPECT_EQ(s.DecJ2000, "-16°42'58\"");
  EXPECT_EQ(s.EpochJ2000, "J2000.0");
  EXPECT_EQ(s.Distance, "3 pc (10 ly)");
  EXPECT_EQ(s.ProperRA, "-0.038\"");
  EXPECT_EQ(s.ProperDec, "-1.223\"");
}

TEST_F(StarWindow, ApparentAndHorizontalPlacesFromTheCore) {
  for (const Star& st : kStars) {
    TStarInfo s;
    ASSERT_TRUE(LoadStarInfo(st.sao, *obs_, s));
    ASSERT_TRUE(s.ShowApparent);
    auto rec = std::make_unique<TObserverTime>(*obs_);
    rec->ClipBelowHorizon = 0;
    TSolarContext ctx{};
    ctx.NovasOff = 1;
    CalcSun(ctx, *rec);
    double ra = s.RaJ2000Rad, dec = s.DecJ2000Rad, alt, az;
    Precess(*rec, ra, dec);
    ApparentPlace(*rec, ra, dec, ctx.SunTrueLongitude);
    EquatorialToHorizontal(*rec, alt, az, ra, dec);
    EXPECT_NEAR(std::remainder(s.RaShown - ra, 2 * kPi), 0, 1e-9) << st.name;
    EXPECT_NEAR(s.DecShown, dec, 1e-9) << st.name;
    EXPECT_NEAR(s.AltitudeRad, alt, 1e-9) << st.name;
    EXPECT_NEAR(s.AzimuthRad, az, 1e-9) << st.name;
    EXPECT_EQ(s.EpochApparent, "J2026.2");
    // 26.2 years of precession move the place by 0.3° to 0.6° (about 50″ a year
    // in longitude): a check that the apparent place is not the J2000 one.
    const double sep = std::acos(std::sin(dec) * std::sin(s.DecJ2000Rad) +
                                 std::cos(dec) * std::cos(s.DecJ2000Rad) * std::cos(ra - s.RaJ2000Rad));
    EXPECT_GT(sep, 0.1 * kDeg) << st.name;
    EXPECT_LT(sep, 0.7 * kDeg) << st.name;
  }
  // Polaris is always up at Greenwich: about 51.5° high, near the north point.
  TStarInfo polaris;
  ASSERT_TRUE(LoadStarInfo(308, *obs_, polaris));
  EXPECT_NEAR(polaris.AltitudeRad, 51.48 * kDeg, 1.0 * kDeg);
}

TEST_F(StarWindow, J2000ChartHidesTheApparentRow) {
  obs_->PrecessionOn = 0;
  TStarInfo s;
  ASSERT_TRUE(LoadStarInfo(113271, *obs_, s));
  EXPECT_FALSE(s.ShowApparent);
  EXPECT_DOUBLE_EQ(s.RaShown, s.RaJ2000Rad);
}

}  // namespace
