// The angle and time formatters on values no display can show, and the
// shared guarded float-to-integer conversion they use.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "astro/text.h"
#include "platform/float_to_int.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kRadPerDeg = M_PI / 180.0;

}  // namespace

TEST(FormattersWithoutValue, NonFiniteAndHugeAnglesGiveTheNoValueText) {
  using Formatter = std::string (*)(double);
  const Formatter all[] = {FormatRA_HMSs, FormatRA_HMS, FormatRA_HM,   FormatDMS,
                           FormatDegMin,  FormatDegrees1, FormatHoursHM, FormatHoursHM2};
  for (Formatter f : all)
    for (double v : {kNaN, kInf, -kInf}) EXPECT_EQ(f(v), NoAngleText) << v;
  // Angles whose smallest unit overflows 32 bits are refused (1e20 radians
  // once printed "-25°-30'-8\"").
  for (double v : {1e20, -1e20, 1e300, 1e5}) {
    EXPECT_EQ(FormatDMS(v), NoAngleText) << v;
    EXPECT_EQ(FormatDegMin(v), NoAngleText) << v;
  }
  // Times are reduced into one day whatever their size.
  EXPECT_EQ(FormatRA_HMS(1e20).size(), FormatRA_HMS(1.0).size());
  EXPECT_EQ(FormatHoursHM2(-1e300).size(), FormatHoursHM2(1.0).size());
}

TEST(FormattersWithoutValue, WideDegreeFieldsAreNotCut) {
  // Three wide is the least: -120° once showed as "-12°".
  EXPECT_EQ(FormatDMS(-120.0 * kRadPerDeg), "-120°00'00\"");
  EXPECT_EQ(FormatDegMin(1234.5 * kRadPerDeg), "1234°30.0'");
  // 500,000° is within the 32-bit count of arcseconds (596,523°).
  EXPECT_EQ(FormatDMS(500000.0 * kRadPerDeg), "500000°00'00\"");
  EXPECT_EQ(FormatDMS(-500000.0 * kRadPerDeg), "-500000°00'00\"");
  // 3,000,000° fits the tenths of arcminutes (3,579,139°).
  EXPECT_EQ(FormatDegMin(3000000.0 * kRadPerDeg), "3000000°00.0'");
}

TEST(FloatToInt, ConvertsOnlyWhatTheTypeHolds) {
  struct Case {
    double v;
    bool ok;
    int32_t want;
  };
  const Case cases[] = {{0.0, true, 0},
                        {-2.9, true, -2},  // toward zero
                        {2147483647.0, true, INT32_MAX},
                        {2147483647.9, true, INT32_MAX},
                        {2147483648.0, false, 0},
                        {-2147483648.0, true, INT32_MIN},
                        {-2147483648.9, true, INT32_MIN},
                        {-2147483649.0, false, 0},
                        {kNaN, false, 0},
                        {kInf, false, 0},
                        {-kInf, false, 0},
                        {1e300, false, 0}};
  for (const Case& c : cases) {
    int32_t out = 7;
    EXPECT_EQ(platform::FloatToInt(c.v, out), c.ok) << c.v;
    EXPECT_EQ(out, c.ok ? c.want : 7) << c.v;
  }
  // 64-bit limits: 2^63 is the first value beyond.
  int64_t big = 0;
  EXPECT_FALSE(platform::FloatToInt(9223372036854775808.0, big));
  EXPECT_TRUE(platform::FloatToInt(-9223372036854775808.0, big));
  EXPECT_EQ(big, INT64_MIN);
  uint8_t byte = 0;
  EXPECT_TRUE(platform::FloatToInt(-0.5, byte));
  EXPECT_FALSE(platform::FloatToInt(-1.0, byte));
  EXPECT_FALSE(platform::FloatToInt(256.0, byte));
}

TEST(FloatToInt, ClampingSaturatesAndMapsNaN) {
  EXPECT_EQ(platform::ClampFloatToInt<int16_t>(1e9), INT16_MAX);
  EXPECT_EQ(platform::ClampFloatToInt<int16_t>(-kInf), INT16_MIN);
  EXPECT_EQ(platform::ClampFloatToInt<int16_t>(kNaN), 0);
  EXPECT_EQ(platform::ClampFloatToInt<uint8_t>(kNaN, uint8_t(9)), 9);
  EXPECT_EQ(platform::ClampFloatToInt<int16_t>(-123.7), -123);
}
