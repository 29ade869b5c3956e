// Text, number and date routines, and the shared guarded float-to-integer
// conversion the formatters use.
#include "astro/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string>
#include <thread>

#include "astro/timescales.h"
#include "astro/trig.h"
#include "platform/dialogs.h"
#include "platform/float_to_int.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Deg(double d) { return d / DegPerRad; }
double HoursToRad(double h) { return h * 15 / DegPerRad; }

TEST(Strings, TrimPadCaseAndSearch) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces(" x"), "x");
  // TrimNumber drops trailing zeros after a point; a trailing blank hides
  // them, and without a point they stay.
  for (auto [in, out] : {std::pair{"  12.5000 ", "  12.5000 "}, {"  12.5000", "12.5"}, {"3.000", "3"},
                         {"100", "100"}}) {
    std::string s = in;
    TrimNumber(s);
    EXPECT_EQ(s, TrimBlanks(out)) << in;
  }
  EXPECT_EQ(CopyTrimZeros("ab 1.250cd", 3, 6), "1.25");
  EXPECT_EQ(ZeroFill(" 5 3"), "0503");
  EXPECT_EQ(PadRight("abcdef", 3), "abc");
  EXPECT_EQ(PadRight("ab", 4), "ab  ");
  EXPECT_EQ(PadLeft("ab", 4), "  ab");
  EXPECT_EQ(PadLeft("abcdef", 3), "abc");
  EXPECT_EQ(PadLeft("5°", 4), "  5°");  // widths count characters
  EXPECT_EQ(PadRight("x", 1000).size(), 255u);
  EXPECT_EQ(UpperCaseStr("ngc 224é"), "NGC 224é");
  // RPosN: position (1-based) of the n-th occurrence from the right; 0 if none.
  EXPECT_EQ(RPosN("a", "banana", 2), 4);
  EXPECT_EQ(RPosN("a", "banana", 1), 6);
  EXPECT_EQ(RPosN("x", "banana", 1), 0);
  EXPECT_EQ(RPosN("ana", "banana", 2), 2);  // overlapping
  EXPECT_EQ(RPosN("a", "banana", 4), 0);
  EXPECT_EQ(RPosN("bananas", "banana", 1), 0);
  // Binary text: other characters count as 0; saturates at INT32_MAX.
  for (auto [text, value] : {std::pair<std::string, int>{"00101", 5}, {"", 0}, {"0000", 0}, {"1x1", 5},
                             {"11111111", 255}, {std::string(31, '1'), 2147483647},
                             {"1" + std::string(40, '0'), 2147483647}})
    EXPECT_EQ(BinStrToInt(text), value) << text;
}

TEST(Formatting, AnglesAndTimes) {
  using Formatter = std::string (*)(double);
  struct {
    Formatter f;
    double value;
    const char* text;
  } const cases[] = {
      {FormatRA_HMS, 0, " 0h00m00s"}, {FormatRA_HMS, -M_PI / 12, "23h00m00s"},
      {FormatRA_HM, HoursToRad(5.1175), " 5h07m"},
      {FormatRA_HMSs, HoursToRad(12 + 34 / 60.0 + 56.74 / 3600), "12h34m56.7s"},
      {FormatRA_HMSs, HoursToRad(59 / 60.0 + 59.96 / 3600), " 1h00m00.0s"},
      {FormatRA_HMSs, HoursToRad(23.99999999), " 0h00m00.0s"}, {FormatDMS, Deg(-10.9999999), "-11°00'00\""},
      {FormatDMS, Deg(-0.5), " -0°30'00\""}, {FormatDMS, Deg(12 + 34 / 60.0 + 56.4 / 3600), " 12°34'56\""},
      {FormatDMS, Deg(89.99999), " 90°00'00\""}, {FormatDegMin, Deg(10.9999), " 11°00.0'"},
      {FormatDegMin, Deg(-0.5), " -0°30.0'"}, {FormatDegMin, Deg(51.4769), " 51°28.6'"},
      {FormatDegrees1, Deg(23.44), " 23.4°"},
      {FormatDegrees1, Deg(-5.25), " -5.2°"},  // halves to even
      {FormatHoursHM, 5.9999, "  6:00 "}, {FormatHoursHM, 23.9999, "  0:00 "},
      {FormatHoursHM, -1.5, " 22:30 "}, {FormatHoursHM2, 5.1175, "  5:07:03"},
      {FormatHoursHM2, 13.999999999, " 13:59:59"},  // truncated, never ":60"
      {FormatHoursHM2, 14.0 - 1e-14, " 14:00:00"},
      // Degree fields are three wide at least and never cut: -120° once
      // showed as "-12°". 500,000° is within the 32-bit count of arcseconds
      // (596,523°), 3,000,000° within the tenths of arcminutes (3,579,139°).
      {FormatDMS, Deg(-120.0), "-120°00'00\""}, {FormatDegMin, Deg(1234.5), "1234°30.0'"},
      {FormatDMS, Deg(500000.0), "500000°00'00\""}, {FormatDMS, Deg(-500000.0), "-500000°00'00\""},
      {FormatDegMin, Deg(3000000.0), "3000000°00.0'"},
      // Angles whose smallest unit overflows 32 bits are refused (1e20
      // radians once printed "-25°-30'-8\"").
      {FormatDMS, 1e20, NoAngleText}, {FormatDMS, -1e20, NoAngleText}, {FormatDMS, 1e300, NoAngleText},
      {FormatDMS, 1e5, NoAngleText}, {FormatDegMin, 1e20, NoAngleText}, {FormatDegMin, -1e20, NoAngleText},
      {FormatDegMin, 1e300, NoAngleText}, {FormatDegMin, 1e5, NoAngleText},
  };
  for (const auto& c : cases) EXPECT_EQ(c.f(c.value), c.text) << c.value;
  // Whole hours from degrees never print "60".
  for (int h = 1; h < 24; ++h) {
    std::string want = (h < 10 ? " " : "") + std::to_string(h) + "h00m00s";
    EXPECT_EQ(FormatRA_HMS(Deg(15.0 * h)), want) << h;
    EXPECT_EQ(FormatRA_HM(Deg(15.0 * h)), want.substr(0, 6)) << h;
  }
  // No value: "--" for NaN and infinities from every formatter.
  for (Formatter f : {FormatRA_HMSs, FormatRA_HMS, FormatRA_HM, FormatDMS, FormatDegMin, FormatDegrees1,
                      FormatHoursHM, FormatHoursHM2})
    for (double v : {kNaN, kInf, -kInf}) EXPECT_EQ(f(v), NoAngleText) << v;
  // Times are reduced into one day whatever their size.
  EXPECT_EQ(FormatRA_HMS(1e20).size(), FormatRA_HMS(1.0).size());
  EXPECT_EQ(FormatHoursHM2(-1e300).size(), FormatHoursHM2(1.0).size());
}

TEST(Parsing, PlacesAndZones) {
  using Parser = double (*)(std::string_view);
  struct {
    Parser f;
    const char* text;
    double value;  // radians or hours; ParseError: refused
  } const cases[] = {
      {ParseLatitude, "51.5N", Deg(51.5)}, {ParseLatitude, " 33.9 s ", Deg(-33.9)},
      {ParseLatitude, "0.5N", Deg(0.5)},  // the equator's neighbourhood is valid
      {ParseLatitude, "51.5", ParseError}, {ParseLatitude, "+51.5N", ParseError},
      {ParseLatitude, "91N", ParseError},  {ParseLatitude, "N", ParseError},
      {ParseLongitude, "0.1E", Deg(359.9)}, {ParseLongitude, "75W", Deg(75)},
      {ParseLongitude, "0E", 0.0},         {ParseLongitude, "181W", ParseError},
      {ParseLongitude, "-75W", ParseError}, {ParseTimeZone, "5.5", ParseError},
      {ParseTimeZone, "  -8  ", -8.0},     {ParseTimeZone, "13", ParseError},
      {ParseHours, "05h30m15s", HoursToRad(5 + 30 / 60.0 + 15 / 3600.0)},
      {ParseHours, "05:30:15", HoursToRad(5 + 30 / 60.0 + 15 / 3600.0)},
      {ParseHours, "5:30", HoursToRad(5.5)},
      {ParseHours, "5:30:7", HoursToRad(5 + 30 / 60.0 + 7 / 3600.0)},  // one seconds digit
      {ParseHours, "5.5", HoursToRad(5.5)}, {ParseDegrees, "-05:30", Deg(-5.5)},
      {ParseDegrees, "5d30m", Deg(5.5)},   {ParseDegrees, "+12°30'36\"", Deg(12.51)},
      {ParseDegrees, "-0*30", Deg(-0.5)},  {ParseDegrees, "-12.25", Deg(-12.25)},
  };
  for (const auto& c : cases) {
    if (c.value == ParseError)
      EXPECT_EQ(c.f(c.text), ParseError) << c.text;
    else
      EXPECT_NEAR(c.f(c.text), c.value, 1e-12) << c.text;
  }
  // Fields that are not numbers raise.
  EXPECT_THROW(ParseHours("05:xx"), EConvertError);
  EXPECT_THROW(ParseHours("abc"), EConvertError);
  EXPECT_THROW(ParseDegrees("12dxx"), EConvertError);
  EXPECT_THROW(ParseDegrees(""), EConvertError);
}

TEST(AngleArithmetic, ReductionAndDistances) {
  double x = -0.5;
  AngleAdj(x);
  EXPECT_NEAR(x, TwoPi - 0.5, 1e-12);
  x = 1e9 + 0.25;
  AngleAdj(x);
  EXPECT_GE(x, 0.0);
  EXPECT_LT(x, TwoPi);
  int n = -1;
  AngleAdjTenths(n);
  EXPECT_EQ(n, 3599);
  n = 7205;
  AngleAdjTenths(n);
  EXPECT_EQ(n, 5);
  double h = -0.5;
  AdjHours(h);
  EXPECT_EQ(h, 23.5);
  EXPECT_NEAR(AngleDifference(0.1, TwoPi - 0.1), 0.2, 1e-12);
  EXPECT_NEAR(AngleDifference(1.0, 4.0), 3.0, 1e-12);
  EXPECT_NEAR(AngularDistance(0.1, 0.3, TwoPi - 0.2, 0.7), 0.5, 1e-12);
}

TEST(AngleArithmetic, OutOfRangeAngleWarnsAndGivesZero) {
  platform::ScopedScriptedDialogs dialogs;
  for (double bad : {2e10, -2e10, kInf, kNaN}) {
    double x = bad;
    AngleAdj(x);
    EXPECT_EQ(x, 0.0);
  }
  ASSERT_EQ(dialogs.Count(), 4u);
  platform::DialogRecord box = dialogs.Last();
  EXPECT_EQ(box.text, "Error in \"AngleAdj\", parameter out of range.");
  EXPECT_EQ(box.caption, "Noctra Planetarium");
  EXPECT_EQ(box.icon, platform::MsgIcon::Exclamation);
}

TEST(Calendar, RoundNiceLeapYearsMonthsWeekdays) {
  // 1, 2, 5 steps of the decade below; 175 is 3.5 steps of 50: halves to even.
  for (auto [in, out] : {std::pair{12345.0, 10000.0}, {1260.0, 1500.0}, {175.0, 200.0}, {12.4, 10.0},
                         {2.5, 2.0}, {0.347, 0.3}, {0.0347, 0.03}, {0.00347, 0.003}, {0.0005, 0.0005}})
    EXPECT_NEAR(RoundNice(in), out, 1e-15) << in;
  for (auto [year, leap] : {std::pair{2000, true}, {1900, false}, {2024, true}, {2023, false}})
    EXPECT_EQ(IsLeapYear(year), leap) << year;
  for (auto [month, days] : {std::pair{2, 28}, {4, 30}, {1, 31}, {13, 0}})
    EXPECT_EQ(DaysInMonth(2023, month), days) << month;
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  // 2000 January 1 was a Saturday, also after noon (never 7).
  EXPECT_EQ(WeekdayFromJulianDay(2451544.5), 6);
  EXPECT_EQ(WeekdayFromJulianDay(2451545.4), 6);
  EXPECT_EQ(WeekdayFromJulianDay(2451545.6), 0);
}

TEST(Files, NamesAndOpening) {
  for (auto [name, valid] : {std::pair<std::string, bool>{"con", true}, {"COM1.txt", false}, {"NUL", false},
                             {"COM10", true}, {"", false}, {"a?b", false}, {"a/b", false},
                             {std::string("a") + char(31), false}, {"Orion nebula.fits", true}})
    EXPECT_EQ(IsValidFileName(name), valid) << name;
  testing_support::TempDir dir;
  EXPECT_FALSE(FileCanOpen(dir.File("missing.dat")));
  testing_support::WriteText(dir.File("present.dat"), "x");
  EXPECT_TRUE(FileCanOpen(dir.File("present.dat")));
}

TEST(Files, FindFilesReturnsTheNewestMatch) {
  testing_support::TempDir dir;
  TSearchRec rec;
  EXPECT_FALSE(FindFiles(dir.Path(), "*.bmp", rec));
  EXPECT_EQ(rec.Name, "");
  testing_support::WriteText(dir.File("old.bmp"), "1");
  testing_support::WriteText(dir.File("other.jpg"), "22");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  testing_support::WriteText(dir.File("NEW.BMP"), "333");
  ASSERT_TRUE(FindFiles(dir.Path(), "\\*.bmp", rec));
  EXPECT_EQ(rec.Name, "NEW.BMP");
  EXPECT_EQ(rec.Size, 3);
  EXPECT_GT(rec.Time, 1e9);
  ASSERT_TRUE(FindFiles(dir.Path().substr(0, dir.Path().size() - 1), "o*.?pg", rec));
  EXPECT_EQ(rec.Name, "other.jpg");
}

TEST(Files, BrowseForFolderKeepsPathOnCancel) {
  platform::ScopedScriptedDialogs dialogs;
  std::string path = "/data";
  EXPECT_FALSE(BrowseForFolder("Pick", path));
  EXPECT_EQ(path, "/data");
  dialogs.QueueFolder("/home/user/images");
  EXPECT_TRUE(BrowseForFolder(nullptr, "Pick", path));
  EXPECT_EQ(path, "/home/user/images");
  EXPECT_EQ(dialogs.Last().text, "Pick");
  int* p = new int(5);
  EXPECT_TRUE(DeleteGdiObject(p));
  EXPECT_EQ(p, nullptr);
}

TEST(FloatToInt, ConvertsOnlyWhatTheTypeHoldsOrClamps) {
  struct {
    double v;
    bool ok;
    int32_t want;
  } const cases[] = {{0.0, true, 0},
                     {-2.9, true, -2},  // toward zero
                     {2147483647.0, true, INT32_MAX},  {2147483647.9, true, INT32_MAX},
                     {2147483648.0, false, 0},         {-2147483648.0, true, INT32_MIN},
                     {-2147483648.9, true, INT32_MIN}, {-2147483649.0, false, 0},
                     {kNaN, false, 0},                 {kInf, false, 0},
                     {-kInf, false, 0},                {1e300, false, 0}};
  for (const auto& c : cases) {
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
  // Clamping saturates and maps NaN to the fallback.
  EXPECT_EQ(platform::ClampFloatToInt<int16_t>(1e9), INT16_MAX);
  EXPECT_EQ(platform::ClampFloatToInt<int16_t>(-kInf), INT16_MIN);
  EXPECT_EQ(platform::ClampFloatToInt<int16_t>(kNaN), 0);
  EXPECT_EQ(platform::ClampFloatToInt<uint8_t>(kNaN, uint8_t(9)), 9);
  EXPECT_EQ(platform::ClampFloatToInt<int16_t>(-123.7), -123);
}

}  // namespace
