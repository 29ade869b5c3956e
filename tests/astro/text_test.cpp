// Text, number and date routines.
#include "astro/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <thread>

#include "astro/timescales.h"
#include "astro/trig.h"
#include "platform/dialogs.h"
#include "tests/support/test_support.h"

namespace {

double Deg(double d) { return d / DegPerRad; }
double HoursToRad(double h) { return h * 15 / DegPerRad; }

TEST(Strings, TrimPadAndCase) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces(" x"), "x");
  std::string s = "  12.5000 ";
  TrimNumber(s);
  EXPECT_EQ(s, "12.5000");  // the trailing blank hides the zeros
  s = "  12.5000";
  TrimNumber(s);
  EXPECT_EQ(s, "12.5");
  s = "3.000";
  TrimNumber(s);
  EXPECT_EQ(s, "3");
  s = "100";
  TrimNumber(s);
  EXPECT_EQ(s, "100");  // no point: zeros stay
  EXPECT_EQ(CopyTrimZeros("ab 1.250cd", 3, 6), "1.25");
  EXPECT_EQ(ZeroFill(" 5 3"), "0503");
  EXPECT_EQ(PadRight("abcdef", 3), "abc");
  EXPECT_EQ(PadRight("ab", 4), "ab  ");
  EXPECT_EQ(PadLeft("ab", 4), "  ab");
  EXPECT_EQ(PadLeft("abcdef", 3), "abc");
  EXPECT_EQ(PadLeft("5°", 4), "  5°");  // widths count characters
  EXPECT_EQ(PadRight("x", 1000).size(), 255u);
  EXPECT_EQ(UpperCaseStr("ngc 224é"), "NGC 224é");
}

TEST(Strings, RPosNAndBinary) {
  EXPECT_EQ(RPosN("a", "banana", 2), 4);
  EXPECT_EQ(RPosN("a", "banana", 1), 6);
  EXPECT_EQ(RPosN("x", "banana", 1), 0);
  EXPECT_EQ(RPosN("ana", "banana", 2), 2);  // overlapping
  EXPECT_EQ(RPosN("a", "banana", 4), 0);
  EXPECT_EQ(RPosN("bananas", "banana", 1), 0);
  EXPECT_EQ(BinStrToInt("00101"), 5);
  EXPECT_EQ(BinStrToInt(""), 0);
  EXPECT_EQ(BinStrToInt("0000"), 0);
  EXPECT_EQ(BinStrToInt("1x1"), 5);
  EXPECT_EQ(BinStrToInt("11111111"), 255);
  EXPECT_EQ(BinStrToInt(std::string(31, '1')), 2147483647);
  EXPECT_EQ(BinStrToInt("1" + std::string(40, '0')), 2147483647);  // saturates
}

TEST(Formatting, RightAscension) {
  EXPECT_EQ(FormatRA_HMS(0), " 0h00m00s");
  EXPECT_EQ(FormatRA_HMS(-M_PI / 12), "23h00m00s");
  EXPECT_EQ(FormatRA_HM(HoursToRad(5.1175)), " 5h07m");
  EXPECT_EQ(FormatRA_HMSs(HoursToRad(12 + 34 / 60.0 + 56.74 / 3600)), "12h34m56.7s");
  // Whole hours from degrees never print "60".
  for (int h = 1; h < 24; ++h) {
    std::string want = (h < 10 ? " " : "") + std::to_string(h) + "h00m00s";
    EXPECT_EQ(FormatRA_HMS(Deg(15.0 * h)), want) << h;
    EXPECT_EQ(FormatRA_HM(Deg(15.0 * h)), want.substr(0, 6)) << h;
  }
  EXPECT_EQ(FormatRA_HMSs(HoursToRad(59 / 60.0 + 59.96 / 3600)), " 1h00m00.0s");
  EXPECT_EQ(FormatRA_HMSs(HoursToRad(23.99999999)), " 0h00m00.0s");
}

TEST(Formatting, DegreesAndHours) {
  EXPECT_EQ(FormatDMS(Deg(-10.9999999)), "-11°00'00\"");
  EXPECT_EQ(FormatDMS(Deg(-0.5)), " -0°30'00\"");
  EXPECT_EQ(FormatDMS(Deg(12 + 34 / 60.0 + 56.4 / 3600)), " 12°34'56\"");
  EXPECT_EQ(FormatDMS(Deg(89.99999)), " 90°00'00\"");
  EXPECT_EQ(FormatDegMin(Deg(10.9999)), " 11°00.0'");
  EXPECT_EQ(FormatDegMin(Deg(-0.5)), " -0°30.0'");
  EXPECT_EQ(FormatDegMin(Deg(51.4769)), " 51°28.6'");
  EXPECT_EQ(FormatDegrees1(Deg(23.44)), " 23.4°");
  EXPECT_EQ(FormatDegrees1(Deg(-5.25)), " -5.2°");  // halves to even
  EXPECT_EQ(FormatHoursHM(5.9999), "  6:00 ");
  EXPECT_EQ(FormatHoursHM(23.9999), "  0:00 ");
  EXPECT_EQ(FormatHoursHM(-1.5), " 22:30 ");
  EXPECT_EQ(FormatHoursHM2(5.1175), "  5:07:03");
  EXPECT_EQ(FormatHoursHM2(13.999999999), " 13:59:59");  // truncated, never ":60"
  EXPECT_EQ(FormatHoursHM2(14.0 - 1e-14), " 14:00:00");
}

TEST(Parsing, LatitudeLongitudeZone) {
  EXPECT_NEAR(ParseLatitude("51.5N"), 0.898844, 1e-6);
  EXPECT_NEAR(ParseLatitude(" 33.9 s "), Deg(-33.9), 1e-12);
  EXPECT_NEAR(ParseLatitude("0.5N"), Deg(0.5), 1e-12);  // the equator's neighbourhood is valid
  EXPECT_EQ(ParseLatitude("51.5"), ParseError);
  EXPECT_EQ(ParseLatitude("+51.5N"), ParseError);
  EXPECT_EQ(ParseLatitude("91N"), ParseError);
  EXPECT_EQ(ParseLatitude("N"), ParseError);
  EXPECT_NEAR(ParseLongitude("0.1E"), 6.281, 1e-3);  // 359.9°
  EXPECT_NEAR(ParseLongitude("75W"), 1.309, 1e-3);
  EXPECT_EQ(ParseLongitude("0E"), 0.0);
  EXPECT_EQ(ParseLongitude("181W"), ParseError);
  EXPECT_EQ(ParseLongitude("-75W"), ParseError);
  EXPECT_EQ(ParseTimeZone("5.5"), ParseError);
  EXPECT_EQ(ParseTimeZone("  -8  "), -8.0);
  EXPECT_EQ(ParseTimeZone("13"), ParseError);
}

TEST(Parsing, HoursAndDegrees) {
  const double want = HoursToRad(5 + 30 / 60.0 + 15 / 3600.0);
  EXPECT_NEAR(ParseHours("05h30m15s"), want, 1e-12);
  EXPECT_NEAR(ParseHours("05:30:15"), want, 1e-12);
  EXPECT_NEAR(ParseHours("5:30"), HoursToRad(5.5), 1e-12);
  EXPECT_NEAR(ParseHours("5:30:7"), HoursToRad(5 + 30 / 60.0 + 7 / 3600.0), 1e-12);  // one seconds digit
  EXPECT_NEAR(ParseHours("5.5"), HoursToRad(5.5), 1e-12);
  EXPECT_NEAR(ParseDegrees("-05:30"), Deg(-5.5), 1e-12);
  EXPECT_NEAR(ParseDegrees("5d30m"), Deg(5.5), 1e-12);
  EXPECT_NEAR(ParseDegrees("+12°30'36\""), Deg(12.51), 1e-12);
  EXPECT_NEAR(ParseDegrees("-0*30"), Deg(-0.5), 1e-12);
  EXPECT_NEAR(ParseDegrees("-12.25"), Deg(-12.25), 1e-12);
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
  for (double bad : {2e10, -2e10, double(INFINITY), double(NAN)}) {
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
  EXPECT_EQ(RoundNice(12345), 10000);
  EXPECT_EQ(RoundNice(1260), 1500);
  EXPECT_EQ(RoundNice(175), 200);  // 3.5 steps of 50: halves to even
  EXPECT_EQ(RoundNice(12.4), 10);
  EXPECT_EQ(RoundNice(2.5), 2);
  EXPECT_NEAR(RoundNice(0.347), 0.3, 1e-15);
  EXPECT_NEAR(RoundNice(0.0347), 0.03, 1e-15);
  EXPECT_NEAR(RoundNice(0.00347), 0.003, 1e-15);
  EXPECT_EQ(RoundNice(0.0005), 0.0005);
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2023, 2), 28);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 1), 31);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
  // 2000 January 1 was a Saturday, also after noon (never 7).
  EXPECT_EQ(WeekdayFromJulianDay(2451544.5), 6);
  EXPECT_EQ(WeekdayFromJulianDay(2451545.4), 6);
  EXPECT_EQ(WeekdayFromJulianDay(2451545.6), 0);
}

TEST(Files, NamesAndOpening) {
  EXPECT_TRUE(IsValidFileName("con"));
  EXPECT_FALSE(IsValidFileName("COM1.txt"));
  EXPECT_FALSE(IsValidFileName("NUL"));
  EXPECT_TRUE(IsValidFileName("COM10"));
  EXPECT_FALSE(IsValidFileName(""));
  EXPECT_FALSE(IsValidFileName("a?b"));
  EXPECT_FALSE(IsValidFileName("a/b"));
  EXPECT_FALSE(IsValidFileName(std::string("a") + char(31)));
  EXPECT_TRUE(IsValidFileName("Orion nebula.fits"));
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

}  // namespace
