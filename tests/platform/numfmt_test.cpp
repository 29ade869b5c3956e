#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>

#include "platform/numfmt.h"

using namespace platform;

TEST(InvariantNumbers, FixedLayouts) {
  EXPECT_EQ(FormatFixed(3.14159, 0, 2), "3.14");
  EXPECT_EQ(FormatFixed(3.14159, 8, 3), "   3.142");
  EXPECT_EQ(FormatFixed(-0.04, 5, 1), "  0.0");  // no "-0.0"
  EXPECT_EQ(FormatFixed(-12.5, 0, 0), "-12");     // halves to even
  EXPECT_EQ(FormatFixed(2.5, 0, 0), "2");
  EXPECT_EQ(FormatFixed(NAN, 4, 1), " NAN");
}

TEST(InvariantNumbers, GeneralForm) {
  EXPECT_EQ(FormatGeneral(0.5), "0.5");
  EXPECT_EQ(FormatGeneral(100.0), "100");
  EXPECT_EQ(FormatGeneral(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FormatGeneral(2451545.0), "2451545");
}

TEST(InvariantNumbers, IgnoreTheUserLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  // A comma-decimal locale; deps.sh generates it.
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr)
      << "locale de_DE.UTF-8 missing: run deps.sh (noctra_install_locale)";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  EXPECT_STREQ(probe, "0,5");  // the locale really writes a comma
  EXPECT_EQ(FormatFixed(0.5, 0, 1), "0.5");
  EXPECT_EQ(FormatGeneral(1.25), "1.25");
  double v = 0;
  EXPECT_TRUE(ParseDouble("0.5", v));
  EXPECT_EQ(v, 0.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(InvariantNumbers, StrictParsing) {
  double d = -1;
  EXPECT_TRUE(ParseDouble(" +12.5e1 ", d));
  EXPECT_EQ(d, 125.0);
  EXPECT_TRUE(ParseDouble(".5", d));
  EXPECT_EQ(d, 0.5);
  d = 7;
  EXPECT_FALSE(ParseDouble("12,5", d));
  EXPECT_FALSE(ParseDouble("", d));
  EXPECT_FALSE(ParseDouble("nan", d));
  EXPECT_FALSE(ParseDouble("1.5x", d));
  EXPECT_EQ(d, 7);

  int32_t i = 3;
  EXPECT_TRUE(ParseInt32("-42", i));
  EXPECT_EQ(i, -42);
  EXPECT_FALSE(ParseInt32("12.5", i));
  EXPECT_FALSE(ParseInt32("99999999999", i));
  EXPECT_EQ(FormatInt(-5, 4, true), "-005");
  EXPECT_EQ(FormatInt(42, 5), "   42");
}
