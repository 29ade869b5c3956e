// The yearly visibility chart: rows of the hours, visibility classes, the
// Moon's rise and set and the twilight against reference times, and the
// chart at 78° N with its polar day and polar night.
#include <gtest/gtest.h>

#include <cmath>

#include "astro/observer.h"
#include "platform/bitmap.h"
#include "platform/drawing.h"
#include "tools/solsys_info.h"
#include "tools/yearly_chart.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180;

TEST(YearlyChart, HourRowsSpanSixteenToEight) {
  const struct {
    double h;
    int y;
  } cases[] = {{16, 0}, {0, 150}, {8, 300}, {20, 75}, {4, 225}};
  for (const auto& c : cases) EXPECT_EQ(YearlyChartRow(c.h, 300), c.y) << c.h;
}

TEST(YearlyChart, VisibilityClasses) {
  EXPECT_EQ(VisibilityClass(45 * kDeg, {89 * kDeg}), 1);
  EXPECT_EQ(VisibilityClass(45 * kDeg, {-50 * kDeg}), -1);
  EXPECT_EQ(VisibilityClass(45 * kDeg, {0.0}), 0);
  EXPECT_EQ(VisibilityClass(-30 * kDeg, {-70 * kDeg}), 1);
  EXPECT_EQ(VisibilityClass(-30 * kDeg, {70 * kDeg}), -1);
}

TEST(YearlyChart, YearLine) {
  EXPECT_EQ(YearLineText(2026.4), "For the year 2026AD");
  EXPECT_EQ(YearLineText(0), "For the year 0BC");
  EXPECT_EQ(YearLineText(-44), "For the year 44BC");
}

// Clock hours of h:m:s.
constexpr double Hours(int h, int m, int s) { return h + m / 60.0 + s / 3600.0; }

TEST(YearlyChart, MoonAndTwilightAgainstReferenceTimes) {
  // Reference times computed once with astropy 5.2 (built-in ephemeris, no
  // refraction in the altitude): moonrise and moonset when the topocentric
  // upper limb stands at -34′; dusk and dawn when the Sun's centre stands at
  // -15°. Each sample holds the night of its date, from noon to noon.
  constexpr double kTolerance = 2.0 / 60;  // 2 minutes
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  const std::vector<double> zero(365, 0.0);
  // The Moon at Washington, D.C. (38.8977° N, 77.0365° W, UT-5), 2025.
  SetObserverLocation(*obs, 77.0365 * kDeg, 38.8977 * kDeg, 0);
  obs->TimeZone.Bias = 300;
  SetObserverUT(*obs, 2460676.5);
  const auto moon = ComputeYearlySamples(*obs, 365, zero, zero, 2025, BodyPlaceFor(kSelectSolarSystem, 9, *obs));
  ASSERT_EQ(moon.size(), 365u);
  const struct {
    int dayOfYear;
    double rise, set;
  } moonTimes[] = {{10, Hours(13, 43, 4), Hours(5, 37, 14)},   // 10 January; sets on the 11th
                   {171, Hours(1, 15, 47), Hours(14, 24, 51)}, // 20 June; rises on the 21st
                   {257, Hours(22, 56, 24), Hours(14, 1, 14)}}; // 14 September
  for (const auto& m : moonTimes) {
    EXPECT_NEAR(moon[size_t(m.dayOfYear - 1)].rise, m.rise, kTolerance) << m.dayOfYear;
    EXPECT_NEAR(moon[size_t(m.dayOfYear - 1)].set, m.set, kTolerance) << m.dayOfYear;
  }
  // Twilight at Reykjavik (64.1° N, 21.9° W, UT), December 2025: more than
  // two hours from sunset to dusk.
  SetObserverLocation(*obs, 21.9 * kDeg, 64.1 * kDeg, 0);
  obs->TimeZone.Bias = 0;
  SetObserverUT(*obs, 2460676.5);
  const auto north = ComputeYearlySamples(*obs, 365, zero, zero, 2025);
  const struct {
    int dayOfYear;
    double dusk, dawn;
  } twilight[] = {{335, Hours(18, 32, 58), Hours(8, 1, 37)},   // 1 December, dawn on the 2nd
                  {344, Hours(18, 27, 28), Hours(8, 14, 25)},  // 10 December
                  {355, Hours(18, 28, 42), Hours(8, 23, 25)}}; // 21 December
  for (const auto& t : twilight) {
    const TYearlySample& s = north[size_t(t.dayOfYear - 1)];
    EXPECT_NEAR(s.dusk, t.dusk, kTolerance) << t.dayOfYear;
    EXPECT_NEAR(s.dawn, t.dawn, kTolerance) << t.dayOfYear;
    EXPECT_FALSE(s.whiteNight);
  }
  // Berlin (52.5° N, 13.4° E, UT+1) at midsummer: the Sun stays above -15°
  // (astropy, as above), a night without dark hours.
  SetObserverLocation(*obs, -13.4 * kDeg, 52.5 * kDeg, 0);
  obs->TimeZone.Bias = -60;
  SetObserverUT(*obs, 2460676.5);
  const TYearlySample june = ComputeYearlySamples(*obs, 365, zero, zero, 2025)[171];
  EXPECT_TRUE(june.whiteNight);
  EXPECT_EQ(june.dusk, june.dawn);
}

class Arctic : public ::testing::Test {
 protected:
  void SetUp() override {
    InitObserver(obs_);
    // Longyearbyen, 78.22° N 15.65° E, standard time UT+1.
    SetObserverLocation(obs_, -15.65 * kDeg, 78.22 * kDeg, 0);
    obs_.TimeZone.Bias = -60;
    SetObserverUT(obs_, 2461100.5);  // 2026 Feb 28
  }
  TObserverTime obs_;
};

TEST_F(Arctic, PolarDayAndPolarNightColumns) {
  // At Longyearbyen the Sun stays up from about 19 April to 23 August and
  // stays down from about 26 October to 15 February (published sun tables
  // of the Norwegian Polar Institute; the dates are ±2 days by refraction).
  const std::vector<double> ras(183, 0.0), decs(183, 0.0);
  const auto s = ComputeYearlySamples(obs_, 183, decs, ras, 2026);
  ASSERT_EQ(s.size(), 183u);
  auto at = [&](int dayOfYear) { return s[size_t(std::lround((dayOfYear - 1) / (365.2422 / 183)))]; };
  EXPECT_TRUE(at(172).polarDay);     // 21 June
  EXPECT_TRUE(at(125).polarDay);     // 5 May
  EXPECT_TRUE(at(355).polarNight);   // 21 December
  EXPECT_TRUE(at(15).polarNight);    // 15 January
  const auto march = at(79);         // 20 March: rises and sets near 6 h and 18 h local
  EXPECT_FALSE(march.polarDay || march.polarNight);
  EXPECT_NEAR(march.sunrise, 6.0, 0.6);
  EXPECT_NEAR(march.sunset, 18.3, 0.6);
  // The Sun goes no lower than 90° - 78.22° = 11.8° below the horizon.
  EXPECT_TRUE(march.whiteNight);

  platform::Bitmap bmp(366, 300);
  {
    platform::DrawingContext dc(bmp);
    DrawYearlyVisibility(dc, 0, 0, 183, decs, ras, 300, 366, 2026, obs_);
  }
  const int y1am = YearlyChartRow(1.0, 300);
  EXPECT_EQ(bmp.Pixel(171, y1am) & 0xFFFFFF, 0x0000FFu) << "polar day: lit through the night";
  EXPECT_EQ(bmp.Pixel(354, y1am) & 0xFFFFFF, 0x000000u) << "polar night: dark";
  EXPECT_EQ(bmp.Pixel(355, YearlyChartRow(17.0, 300)) & 0xFFFFFF, 0x000000u) << "dark in the afternoon too";
  EXPECT_NE(bmp.Pixel(78, YearlyChartRow(0.0, 300)) & 0xFFFFFF, 0x000000u) << "a white night has no dark hours";
}

TEST_F(Arctic, CircumpolarStarHasNoCurves) {
  for (double dec : {85.0, 0.0}) {
    const std::vector<double> ras(183, 2 * 15 * kDeg), decs(183, dec * kDeg);
    platform::Bitmap bmp(366, 300);
    {
      platform::DrawingContext dc(bmp);
      DrawYearlyVisibility(dc, 0, 0, 183, decs, ras, 300, 366, 2026, obs_);
    }
    int green = 0;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 366; ++x)
        if ((bmp.Pixel(x, y) & 0xFFFFFF) == 0x008000u) ++green;
    if (dec > 80)
      EXPECT_EQ(green, 0) << "always visible: no rise curve";
    else
      EXPECT_GT(green, 100) << "the equator rises and sets";
  }
}

}  // namespace
