// The default element files: the native fixed-column layout byte for byte,
// and the element lists they are made from.
#include <gtest/gtest.h>

#include "data/common.h"
#include "catalog/element_files.h"
#include "data/elements.h"
#include "data/mkdata.h"
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
  AsteroidElements a;
  a.name = "(1) Ceres";
  a.epoch = 2459800.5;
  a.meanAnomaly = 334.3271698971151;
  a.a = 2.766619044655007;
  a.e = 0.07863575691875528;
  a.peri = 73.53162522557164;
  a.node = 80.2664361119415;
  a.incl = 10.58679512153367;
  a.h = 3.33;
  a.g = 0.12;
  AsteroidElements longName = a;
  longName.name = std::string(35, 'N');  // cut to 30
  const std::string numbers = " 2459800.5000 334.32717 2.7666190 0.0786358 73.53163  80.26644  10.58680  3.33  0.12 \r\n";
  EXPECT_EQ(FormatAsteroidFile({a, longName}), Header(TElementKind::Asteroid) + "Y   (1) Ceres                     " +
                                                   numbers + "Y   " + std::string(30, 'N') + numbers);
}

TEST(ElementFiles, CometLinesOf109Characters) {
  CometElements c;
  c.name = "1P/Halley";
  c.epoch = 2446467.395317050925;
  c.q = 0.585978111516909;
  c.e = 0.967142908462304;
  c.peri = 111.3324851045177;
  c.node = 58.42008097656843;
  c.incl = 162.262690579161;
  c.h = 5.5;
  c.g = 4.0;
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
  WriteText(dir.File("ast.json"),
            R"J({"fields":["full_name","H","G","epoch_mjd","e","a","q","i","om","w","ma"],"data":[
               ["     1 Ceres (A801 AA)","3.33","0.12","59800",".0786","2.7666","2.549","10.59","80.27","73.53","334.33"],
               ["  3708 (1974 FV1)","9.1",null,"59800","0.1","5.2","4.6","2","3","4","5"],
               ["  4000 Nohelement","9.1",null,"59800","0.1",null,"2.6","2","3","4","5"]]})J");
  int skipped = 0;
  const auto ast = ReadAsteroidList(dir.File("ast.json"), &skipped);
  ASSERT_EQ(ast.size(), 2u);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(ast[0].name, "(1) Ceres");
  EXPECT_DOUBLE_EQ(ast[0].epoch, 2459800.5);  // MJD + 2400000.5
  EXPECT_DOUBLE_EQ(ast[0].g, 0.12);
  EXPECT_EQ(ast[1].name, "(3708) 1974 FV1");
  EXPECT_DOUBLE_EQ(ast[1].g, 0.15);  // missing slope
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
  AsteroidElements vesta;
  vesta.name = "(4) Vesta";
  vesta.a = 2.362;
  vesta.e = 0.089;
  vesta.h = 3.2;
  AsteroidElements faint = vesta;
  faint.name = "faint";
  faint.h = 12;
  AsteroidElements nearEarth = vesta;  // q below 1: no opposition magnitude
  nearEarth.a = 1.0;
  const auto a = SelectBrightAsteroids({faint, vesta, nearEarth});
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].name, "(4) Vesta");
  CometElements halley{"1P/Halley", 2446467.4, 0.586, 0.967, 0, 0, 0, 5.5, 4};
  CometElements dim = halley;
  dim.name = "300P/Dim";
  dim.h = 14;
  CometElements recent{"C/2020 F3 (NEOWISE)", 2459034.7, 0.29, 0.9992, 0, 0, 0, 7.0, 4};
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
