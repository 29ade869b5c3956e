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

TEST(YearlyChart, StarChartIsOfTheLocalYear) {
  // The star and deep-sky windows draw the year of the chart's local date:
  // New Year's morning at Auckland (UT+12) is still 31 December in
  // universal time, New Year's Eve evening at Denver (UT-7) already 1 January.
  const struct {
    double lonWest, lat;
    int bias;
    double jdUT;
    double year;
  } cases[] = {{-174.76 * kDeg, -36.85 * kDeg, -720, 2461406.5 - 3 / 24.0, 2027},  // 2027-01-01 09:00 local
               {104.99 * kDeg, 39.74 * kDeg, 420, 2461406.5 + 3 / 24.0, 2026}};   // 2026-12-31 20:00 local
  for (const auto& c : cases) {
    TObserverTime obs;
    InitObserver(obs);
    obs.TimeZone.Bias = c.bias;
    SetObserverLocation(obs, c.lonWest, c.lat, 0);
    SetObserverUT(obs, c.jdUT);
    EXPECT_EQ(MakeYearlyChartFor(0.0, 0.0, obs).year, c.year) << c.bias;
  }
}

TEST(YearlyChart, MoonAndTwilightAgainstReferenceTimes) {
  // Reference times computed once with astropy 5.2 (built-in ephemeris, no
  // refraction in the altitude): moonrise and moonset when the topocentric
  // upper limb stands at -34′; dusk and dawn when the Sun's centre stands at
  // -15°. Each sample holds the night of its date, from noon to noon.
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  const std::vector<double> zero(365, 0.0);
  auto samples = [&](double westDeg, double latDeg, int bias, bool moon) {
    SetObserverLocation(*obs, westDeg * kDeg, latDeg * kDeg, 0);
    obs->TimeZone.Bias = bias;
    SetObserverUT(*obs, 2460676.5);
    return ComputeYearlySamples(*obs, 365, zero, zero, 2025, moon ? BodyPlaceFor(kSelectSolarSystem, 9, *obs) : nullptr);
  };
  // 2025: the Moon at Washington, D.C. (38.8977° N, 77.0365° W, UT-5), the
  // twilight at Reykjavik (64.1° N, 21.9° W, UT), there more than two hours
  // after sunset and before sunrise.
  const auto moon = samples(77.0365, 38.8977, 300, true), north = samples(21.9, 64.1, 0, false);
  using S = TYearlySample;
  const struct {
    const std::vector<S>& s;
    double S::*first, S::*second;
    int day;
    double a, b;
  } cases[] = {{moon, &S::rise, &S::set, 10, Hours(13, 43, 4), Hours(5, 37, 14)},    // 10 Jan, set on the 11th
               {moon, &S::rise, &S::set, 171, Hours(1, 15, 47), Hours(14, 24, 51)},  // 20 Jun, rise on the 21st
               {moon, &S::rise, &S::set, 257, Hours(22, 56, 24), Hours(14, 1, 14)},  // 14 Sep
               {north, &S::dusk, &S::dawn, 335, Hours(18, 32, 58), Hours(8, 1, 37)},  // 1 Dec, dawn on the 2nd
               {north, &S::dusk, &S::dawn, 355, Hours(18, 28, 42), Hours(8, 23, 25)}};  // 21 Dec
  for (const auto& c : cases) {
    EXPECT_NEAR(c.s[size_t(c.day - 1)].*c.first, c.a, 2.0 / 60) << c.day;  // 2 minutes
    EXPECT_NEAR(c.s[size_t(c.day - 1)].*c.second, c.b, 2.0 / 60) << c.day;
  }
}

TEST(YearlyChart, MoonUpAllNightWhileCircumpolarAtReykjavik) {
  // 2024 at Reykjavik (64.1466° N, 21.9426° W, clock = UT): in the night
  // from 22 September the Moon sets at 16:20:57 and rises at 18:15:52, then
  // stays up until the next afternoon (astropy 5.2.1, eraMoon98, altitude
  // 0.7275 π - 0.5667°: tests/astro/data/moon_riseset_astropy.txt). Its
  // column is stippled through the night.
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  SetObserverLocation(*obs, 21.9426 * kDeg, 64.1466 * kDeg, 0);
  SetObserverUT(*obs, 2460576.0);
  const std::vector<double> zero(365, 0.0);
  const TYearlyChart chart = MakeYearlyChart(365, zero, zero, 2024, *obs, BodyPlaceFor(kSelectSolarSystem, 9, *obs));
  ASSERT_EQ(chart.samples.size(), 365u);
  const TYearlySample& night = chart.samples[265];  // 22 September
  EXPECT_NEAR(night.set, Hours(16, 20, 57), 2.0 / 60);
  EXPECT_NEAR(night.rise, Hours(18, 15, 52), 2.0 / 60);
  platform::Bitmap bmp(730, 300);
  {
    platform::DrawingContext dc(bmp);
    DrawYearlyChart(dc, 0, 0, 730, 300, chart);
  }
  // Column 530 shows sample 265; the stipple is grey on even rows and
  // columns, from 20:00 to 06:00.
  int stippled = 0, rows = 0;
  for (int y = YearlyChartRow(20.0, 300); y < YearlyChartRow(6.0, 300); y += 2, ++rows)
    if ((bmp.Pixel(530, y & ~1) & 0xFFFFFF) == 0x3F3F3Fu) ++stippled;
  EXPECT_GT(stippled, rows * 3 / 4) << "of " << rows;
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
  // 20 March: it rises and sets, but goes no lower than 11.8° below the horizon.
  EXPECT_TRUE(at(79).whiteNight);

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
