// The yearly visibility chart: rows of the hours, visibility classes, and
// the chart at 78° N with its polar day and polar night.
#include <gtest/gtest.h>

#include <cmath>

#include "astro/observer.h"
#include "platform/bitmap.h"
#include "platform/drawing.h"
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
  EXPECT_LT(march.dusk, march.sunset + 2.01);
  EXPECT_GT(march.dusk, march.sunset);

  platform::Bitmap bmp(366, 300);
  {
    platform::DrawingContext dc(bmp);
    DrawYearlyVisibility(dc, 0, 0, 183, decs, ras, 300, 366, 2026, obs_);
  }
  const int y1am = YearlyChartRow(1.0, 300);
  EXPECT_EQ(bmp.Pixel(171, y1am) & 0xFFFFFF, 0x0000FFu) << "polar day: lit through the night";
  EXPECT_EQ(bmp.Pixel(354, y1am) & 0xFFFFFF, 0x000000u) << "polar night: dark";
  EXPECT_EQ(bmp.Pixel(355, YearlyChartRow(17.0, 300)) & 0xFFFFFF, 0x000000u) << "dark in the afternoon too";
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
