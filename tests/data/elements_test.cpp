// The default element files: the native fixed-column layout byte for byte,
// and the element lists they are made from.
#include <gtest/gtest.h>

#include "catalog/element_files.h"
#include "data/common.h"
#include "data/elements.h"
#include "tests/support/test_support.h"

using namespace mkdata;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

// The files start with the program's header (its layout is checked in
// tests/catalog) and hold one fixed-column line per body, CR LF ended.
std::string Header(TElementKind kind) {
  std::string h;
  for (const std::string& line : ElementFileHeader(kind)) h += line + "\r\n";
  return h;
}

}  // namespace

TEST(ElementFiles, AsteroidLinesOf119Characters) {
  const AsteroidElements a{"(1) Ceres",       2459800.5,         334.3271698971151, 2.766619044655007,
                           0.07863575691875528, 73.53162522557164, 80.2664361119415,  10.58679512153367,
                           3.33,              0.12};
  AsteroidElements longName = a;
  longName.name = std::string(35, 'N');  // cut to 30
  const std::string numbers = " 2459800.5000 334.32717 2.7666190 0.0786358 73.53163  80.26644  10.58680  3.33  0.12 \r\n";
  EXPECT_EQ(FormatAsteroidFile({a, longName}), Header(TElementKind::Asteroid) + "Y   (1) Ceres                     " +
                                                   numbers + "Y   " + std::string(30, 'N') + numbers);
}

TEST(ElementFiles, CometLinesOf109Characters) {
  const CometElements c{"1P/Halley",       2446467.395317050925, 0.585978111516909, 0.967142908462304,
                        111.3324851045177, 58.42008097656843,    162.262690579161,  5.5,
                        4.0};
  EXPECT_EQ(FormatCometFile({c}),
            Header(TElementKind::Comet) +
                "Y   1P/Halley                      2446467.3953 0.5859781 0.9671429 111.33249 58.42008  162.26269 "
                "5.50  4.00 \r\n");
  EXPECT_EQ(FormatCometFile({}), Header(TElementKind::Comet));
}

TEST(ElementFiles, NumbersFitTheirFields) {
  EXPECT_EQ(FitNumber(2.766619044655007, 9, 7), "2.7666190");
  EXPECT_EQ(FitNumber(42.123456789, 9, 7), "42.123457");
  EXPECT_EQ(FitNumber(1234.5678, 9, 7), "1234.5678");
  EXPECT_EQ(FitNumber(-1.5, 5, 2), "-1.50");
  EXPECT_EQ(FitNumber(12345.6, 5, 2), "12346");
}

TEST(ElementLists, AsteroidsAndCometsRead) {
  TempDir dir;
  // Names are split by scanning: a 50,000-character name once exhausted the
  // stack in a regular expression. No blank after the number, or no number
  // at all, is skipped.
  const auto row = [](const std::string& name) {
    return R"(,[")" + name + R"(","9",null,"59800","0.1","5.2","4.6","2","3","4","5"])";
  };
  WriteText(dir.File("ast.json"),
            R"J({"fields":["full_name","H","G","epoch_mjd","e","a","q","i","om","w","ma"],"data":[
               ["     1 Ceres (A801 AA)","3.33","0.12","59800",".0786","2.7666","2.549","10.59","80.27","73.53","334.33"],
               ["  4000 Nohelement","9.1",null,"59800","0.1",null,"2.6","2","3","4","5"])J" +
                row("  3708 (1974 FV1)") + row("  7 " + std::string(50000, 'x') + " (" + std::string(100, 'y') + ")") +
                row("  8 Flora  (A847 UA)") + row("  10 Hygiea") + row("11Parthenope") + row("Eros") + "]}");
  int skipped = 0;
  const auto ast = ReadAsteroidList(dir.File("ast.json"), &skipped);
  ASSERT_EQ(ast.size(), 5u);
  EXPECT_EQ(skipped, 3);
  EXPECT_EQ(ast[0].name, "(1) Ceres");
  EXPECT_DOUBLE_EQ(ast[0].epoch, 2459800.5);  // MJD + 2400000.5
  EXPECT_DOUBLE_EQ(ast[0].g, 0.12);
  EXPECT_EQ(ast[1].name, "(3708) 1974 FV1");
  EXPECT_DOUBLE_EQ(ast[1].g, 0.15);  // missing slope
  EXPECT_EQ(ast[2].name, "(7) " + std::string(50000, 'x'));
  EXPECT_EQ(ast[3].name, "(8) Flora");
  EXPECT_EQ(ast[4].name, "(10) Hygiea");
  WriteText(dir.File("cmt.json"),
            R"J({"fields":["full_name","epoch.mjd","q","e","i","w","om","tp","M1"],"data":[
               ["    1P/Halley",49400,"0.586","0.967","162.26","111.33","58.42","2446467.3953","5.5"],
               ["    C/2099 A1 (Nomag)",49400,"0.5","0.9","1","2","3","2488000.5",null]]})J");
  const auto cmt = ReadCometList(dir.File("cmt.json"), &skipped);
  ASSERT_EQ(cmt.size(), 1u);
  EXPECT_EQ(cmt[0].name, "1P/Halley");
  EXPECT_DOUBLE_EQ(cmt[0].epoch, 2446467.3953);  // the perihelion time
  EXPECT_DOUBLE_EQ(cmt[0].h, 5.5);
}

TEST(ElementLists, SelectionOfBrightBodies) {
  const AsteroidElements vesta{.name = "(4) Vesta", .a = 2.362, .e = 0.089, .h = 3.2};
  AsteroidElements faint = vesta;
  faint.name = "faint";
  faint.h = 12;
  AsteroidElements nearEarth = vesta;  // q below 1: no opposition magnitude
  nearEarth.a = 1.0;
  const auto a = SelectBrightAsteroids({faint, vesta, nearEarth});
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].name, "(4) Vesta");
  const CometElements halley{"1P/Halley", 2446467.4, 0.586, 0.967, 0, 0, 0, 5.5, 4};
  CometElements dim = halley;
  dim.name = "300P/Dim";
  dim.h = 14;
  const CometElements recent{"C/2020 F3 (NEOWISE)", 2459034.7, 0.29, 0.9992, 0, 0, 0, 7.0, 4};
  CometElements old = recent;
  old.name = "C/1995 O1 (Hale-Bopp)";
  old.epoch = 2450539.6;
  CometElements hyperbolic = recent;
  hyperbolic.e = 1.3;
  const auto c = SelectBrightComets({halley, dim, recent, old, hyperbolic});
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].name, "1P/Halley");
  EXPECT_EQ(c[1].name, "C/2020 F3 (NEOWISE)");
}
