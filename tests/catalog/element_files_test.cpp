#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>
#include <tuple>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "catalog/element_files.h"
#include "catalog/solar_system_options.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"

using testing_support::ReadText;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

void SetRow(TElementGrid& g, int row, const std::vector<std::string>& cells) {
  if (g.RowCount() < row + 2) g.SetRowCount(row + 2);
  for (std::size_t c = 0; c < cells.size(); ++c) g.SetCell(int(c), row, cells[c]);
}

TElementGrid AsteroidGrid() {
  TElementGrid g(11);
  SetElementTitles(TElementKind::Asteroid, g);
  SetRow(g, 1, {"Yes", "1 Ceres", "2461000.5", "60.0786", "2.766", "0.0789", "73.6", "80.25",
                "10.59", "3.34", "0.12"});
  SetRow(g, 2, {"3", "433 Eros", "2461000.5", "310.5", "1.458", "0.2228", "178.9", "304.3", "10.83",
                "10.38", "0.46"});
  return g;
}

TElementGrid CometGrid() {
  TElementGrid g(10);
  SetElementTitles(TElementKind::Comet, g);
  SetRow(g, 1, {"No", "1P/Halley", "2446470.9", "0.586", "0.967", "111.33", "58.42", "162.26",
                "5.5", "8"});
  return g;
}

// A temporary folder, scripted dialogs, and the current asteroid file put back.
struct ElementFiles : ::testing::Test {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  bool templateUsed = false;
  void TearDown() override { AsteroidElementsFile = "default.ast"; }
};

}  // namespace

// The whole files, byte for byte: header, title and ruler lines, then one
// fixed-column line per body (asteroids 119 characters, comets 109). Read
// back and saved again, the asteroid file stays the same.
TEST_F(ElementFiles, NativeFileLayoutAndReadBack) {
  const std::string head = ";Noctra Planetarium 3.27\r\n;Ecliptic plane and equinox=J2000.0\r\n";
  const std::string titles =
      " %                           julian epoch %         a         e         Peri      Node      Incl      H     G\r\n"
      ";23 123456789012345678901234567890 123456789012 123456789 123456789 123456789 123456789 123456789 123456789 "
      "12345 12345\r\n";
  auto title = [&](const char* sh, const char* name, const char* q) {
    std::string t = ";" + std::string(sh) + titles;
    t.replace(t.find('%'), 1, name);
    return t.replace(t.find('%'), 1, q);
  };
  ASSERT_TRUE(SaveAsteroidElements(AsteroidGrid(), dir.File("list.ast")));
  EXPECT_EQ(ReadText(dir.File("list.ast")),
            ";Minor planet elements\r\n" + head + title("Sh", "NAME", "M") +
                "Y   1 Ceres                        2461000.5    60.0786   2.766     0.0789    73.6      80.25     "
                "10.59     3.34  0.12 \r\n"
                "3M  433 Eros                       2461000.5    310.5     1.458     0.2228    178.9     304.3     "
                "10.83     10.38 0.46 \r\n");
  ASSERT_TRUE(SaveCometElements(CometGrid(), dir.File("list.cmt")));
  EXPECT_EQ(ReadText(dir.File("list.cmt")),
            ";Comet elements\r\n" + head + title("sh", "name", "q") +
                "N   1P/Halley                      2446470.9    0.586     0.967     111.33    58.42     162.26    "
                "5.5   8    \r\n");
  // A template named after the file must not change how a native file reads.
  AsteroidElementsFile = dir.File("list.ast");
  const std::string first = ReadText(AsteroidElementsFile);
  const TElementGrid g = AsteroidGrid();
  WriteText(dir.File("list.ast.template"), "[NAME]\nSTART=1\nLEN=3\n");
  TElementGrid back(11);
  ASSERT_TRUE(LoadAsteroidElements(back, AsteroidElementsFile, false, templateUsed));
  EXPECT_TRUE(templateUsed);
  ASSERT_EQ(back.RowCount(), 4);
  for (int c = 0; c < 11; ++c) EXPECT_EQ(back.Cell(c, 1), g.Cell(c, 1)) << c;
  EXPECT_EQ(std::tuple(back.Cell(0, 2), AsteroidCount, Asteroids[1].ShowCode.str()),
            std::tuple("3M", 2, "3M"));
  ASSERT_TRUE(SaveAsteroidElements(back, AsteroidElementsFile));  // the current file: no question
  EXPECT_EQ(ReadText(AsteroidElementsFile), first);
  EXPECT_EQ(dialogs.Count(), 0u);
}

TEST_F(ElementFiles, ShowCodesCutsAndOverwriting) {
  TElementGrid g(11);
  SetRow(g, 1, {"yes", std::string(35, 'n'), "2461000.512345678"});
  SetRow(g, 2, {"YES"});
  SetRow(g, 3, {"9m"});
  SetRow(g, 4, {"maybe", "X"});
  // Names cut to 30 characters, epochs to 12; an unknown code writes "N   ": the name stays in its columns.
  const std::string lines[] = {"Y   " + std::string(30, 'n') + " 2461000.5123", "Y   ", "9M  ", "N   X"};
  for (int r = 1; r <= 4; ++r) {
    const std::string& line = lines[r - 1];
    EXPECT_EQ(ElementFileLine(TElementKind::Asteroid, g, r).substr(0, line.size()), line) << r;
  }
  // An existing file other than the current one needs a Yes.
  const std::string other = dir.File("other.ast");
  WriteText(other, "keep");
  dialogs.QueueAnswer(platform::IDNO);
  EXPECT_FALSE(SaveAsteroidElements(g, other));
  EXPECT_EQ(ReadText(other), "keep");
  // No is the default button: Return keeps the file.
  EXPECT_EQ(std::tuple(dialogs.Last().text, dialogs.Last().buttons, dialogs.Last().defaultResult),
            std::tuple("Overwrite existing file?", platform::MsgButtons::YesNo, platform::IDNO));
  dialogs.QueueAnswer(platform::IDYES);
  EXPECT_TRUE(SaveAsteroidElements(g, other));
  // The current file, named in other letter cases, is saved without asking.
  AsteroidElementsFile = dir.File("OTHER.AST");
  dialogs.Clear();
  EXPECT_TRUE(SaveAsteroidElements(g, other));
  EXPECT_EQ(dialogs.Count(), 0u);
  // A file that cannot be created: coded message 105 with the quoted name.
  const std::string bad = dir.File("no/such/folder.ast");
  EXPECT_FALSE(SaveAsteroidElements(g, bad));
  EXPECT_EQ(dialogs.Last().text, "Error: Can't create file \"" + bad + "\"");
}

TEST_F(ElementFiles, ApplyChecksRanges) {
  const auto A = TElementKind::Asteroid, C = TElementKind::Comet;
  struct Case {
    TElementKind kind;
    int col;
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {A, 5, "1.2", true},        {A, 5, "1.2000001", false}, {A, 4, "0", false},  {A, 4, "1000000", true},
      {A, 8, "-180", true},       {A, 8, "-180.5", false},    {C, 9, "12", true},  {A, 10, "12", false},
      {A, 2, "2451545.0", true},  {A, 2, "2086274.0", false}, {A, 3, "12,5", false}, {A, 3, "360.5", false},
      {A, 6, "360", true},        {A, 6, "360.5", false},     {C, 8, "30", true},  {C, 8, "30.5", false},
      {C, 9, "30.5", false},
      {C, 3, "0", false},  // perihelion distance above 0
  };
  for (const Case& c : cases) {
    TElementGrid g = c.kind == A ? AsteroidGrid() : CometGrid();
    g.SetCell(c.col, 1, c.text);
    EXPECT_EQ(ParseElementRow(c.kind, g, 1).valid, c.valid) << c.col << " " << c.text;
  }
  EXPECT_EQ(ParseElementRow(A, AsteroidGrid(), 1).show, "YES");

  TElementGrid g = AsteroidGrid();
  g.SetCell(1, 1, std::string(40, 'c'));
  g.SetCell(9, 2, "abc");
  ApplyAsteroidGrid(g);
  ASSERT_EQ(AsteroidCount, 2);
  const auto& a = Asteroids[0];
  EXPECT_EQ(std::tuple(a.ShowCode.str(), a.Name.str()), std::tuple("YES", std::string(30, 'c')));
  // Semi-major axis given, perihelion distance marked unknown, equinox J2000 as stored.
  EXPECT_EQ(std::tuple(double(a.SemiMajorAxis), double(a.PerihelionDistance), double(a.EquinoxEpoch)),
            std::tuple(2.766, -1.0, 2451511.5));
  EXPECT_NEAR(double(a.Inclination), 10.59 / 57.29577951308232, 1e-15);
  EXPECT_NE(double(a.OrientFactorA), 0.0);  // orientation terms were built
  // The bad magnitude marks the row.
  EXPECT_EQ(std::tuple(g.Cell(0, 2), Asteroids[1].ShowCode.str(), double(Asteroids[1].AbsMagnitude)),
            std::tuple("No", "NO", 3.4E38));

  TElementGrid c = CometGrid();
  ApplyCometGrid(c);
  ASSERT_EQ(CometCount, 1);
  // A comet's epoch is its perihelion: mean anomaly 0 there, no semi-major axis.
  const auto& halley = Comets[0];
  EXPECT_EQ(std::tuple(double(halley.PerihelionDistance), double(halley.MeanAnomaly), double(halley.SemiMajorAxis),
                       double(halley.Slope)),
            std::tuple(0.586, 0.0, -1.0, 8.0));
  // An empty grid empties the table; more than 1,000 rows fill 1,000 records.
  TElementGrid empty(11);
  ApplyAsteroidGrid(empty);
  EXPECT_EQ(AsteroidCount, 0);
  TElementGrid big = AsteroidGrid();
  big.SetRowCount(1202);
  ApplyAsteroidGrid(big);
  EXPECT_EQ(AsteroidCount, 1000);
}

TEST_F(ElementFiles, FieldTextAndEpochs) {
  struct FieldCase {
    const char* line;
    TElementSpan span;
    const char* text;
  };
  const FieldCase fields[] = {
      {"x 0.1500", {2, 7}, "0.15"},      {"  2.000", {1, 7}, "2"},   {"1.500  ", {1, 7}, "1.500"},
      {" 1.5E-10", {1, 8}, "1.5E-10"},  // exponents keep their zeros
      {" 12.  ", {1, 6}, "12"},          {"abc", {2, 10}, "bc"},     // cut at the line's end
      {"abc", {5, 2}, ""},               {"abc", {-1, 2}, "ab"},     // a start below 1 counts as 1
      {"abc", {1, -1}, ""},
  };
  for (const FieldCase& c : fields) EXPECT_EQ(ElementFieldText(c.line, c.span), c.text) << c.line;
  const std::pair<char, int> digits[] = {{'0', 0}, {'9', 9}, {'A', 10}, {'Z', 35}, {'a', -1}};
  for (auto [c, d] : digits) EXPECT_EQ(Base36Digit(c), d) << c;
  // Packed dates (the Minor Planet Center's form) and their Julian dates;
  // malformed dates fall back to 2000 January 1.0.
  const std::pair<const char*, const char*> packed[] = {
      {"K107N", "2455400.5"}, {"J9611", "2450083.5"}, {"K10AV", "2455500.5"}, {"K10", "2451544.5"},
      {"K1A7N", "2451544.5"}, {"K10ZZ", "2451544.5"}, {"K10A0", "2451544.5"}, {"k107N", "2451544.5"},
      {"", "2451544.5"}};
  for (auto [date, jd] : packed) EXPECT_EQ(PackedEpochText(date), jd) << date;
  EXPECT_EQ(std::tuple(DateEpochText("23.5", "7", "2010"), DateEpochText("x", "7", "2010"),
                       DateEpochText("1", "13", "2010")),
            std::tuple("2455401", "2451544.5", "2451544.5"));

  const std::pair<const char*, const char*> templates[] = {
      {"/lists/2026-12-06.mpc.ast", "/lists/mpc.ast.template"},
      {"/lists/bright.ast", "/lists/bright.ast.template"},
      {"/lists/bright", "/lists/bright.template"},
      {"x.mpc.cmt", "mpc.cmt.template"}};
  for (auto [file, name] : templates) EXPECT_EQ(ElementTemplateName(file), name);
}

TEST_F(ElementFiles, TemplatesSkippingAndMerging) {
  // An MPC-style list read through its template (sections and keys in any case).
  WriteText(dir.File("mpc.ast.template"),
            "[use]\nstart=-1\n[Name]\nStart=1\nLen=10\n[EPOCH CODED]\nSTART=12\nLEN=5\n"
            "[MEAN ANOMALY]\nSTART=18\nLEN=6\n[SEMI MAJOR AXIS]\nSTART=25\nLEN=6\n"
            "[ECCENTRICITY]\nSTART=32\nLEN=6\n[LONGITUDE OF PERIHELION]\nSTART=39\nLEN=5\n"
            "[LONGITUDE OF ASCENDING NODE]\nSTART=45\nLEN=5\n[INCLINATION]\nSTART=51\nLEN=5\n"
            "[ABSOLUTE MAGNITUDE]\nSTART=57\nLEN=4\n[MAGNITUDE SLOPE]\nSTART=62\nLEN=4\n");
  const std::string list = dir.File("2026-12-06.mpc.ast");
  WriteText(list,
            "Name       Epoch M      a      e      Peri  Node  Incl  H    G\r\n"
            "; a comment line that is long enough to be read otherwise\r\n"
            "12345678901234567890\r\n"
            "Ceres      K107N 60.080 2.7660 0.0790 73.60 80.25 10.59 3.34 0.12\r\n"
            "Eros       J9611 310.50 1.4580 0.2228 178.9 304.3 10.83 10.4 0.46\r\n");
  TElementGrid g(11);
  ASSERT_TRUE(LoadAsteroidElements(g, list, false, templateUsed));
  EXPECT_TRUE(templateUsed);
  ASSERT_EQ(g.BodyCount(), 3);  // the title line is longer than 20 characters and is read
  // Use (no USE field: "Yes"), name, packed epoch, mean anomaly, semi-major axis.
  for (auto [c, text] : std::vector<std::pair<int, const char*>>{
           {0, "Yes"}, {1, "Ceres"}, {2, "2455400.5"}, {3, "60.08"}, {4, "2.766"}})
    EXPECT_EQ(g.Cell(c, 2), text) << c;
  EXPECT_EQ(g.Cell(2, 3), "2450083.5");
  EXPECT_EQ(g.Cell(0, 1), "No");  // the title line does not convert
  EXPECT_EQ(AsteroidCount, 3);
  // A list of another name without its template reads with the native layout.
  WriteText(dir.File("bright.ast"), ReadText(list));
  ASSERT_TRUE(LoadAsteroidElements(g, dir.File("bright.ast"), false, templateUsed));
  EXPECT_FALSE(templateUsed);
  // 20 characters are skipped, 21 read; merge replaces by name, ignoring case.
  const std::string native = dir.File("m.ast");
  TElementGrid base = AsteroidGrid();
  ASSERT_TRUE(SaveAsteroidElements(base, native));
  ASSERT_TRUE(LoadAsteroidElements(g, native, false, templateUsed));
  ASSERT_EQ(g.BodyCount(), 2);
  g.SetRowCount(4);  // the empty row for typing stays
  const std::string merge = dir.File("merge.ast");
  TElementGrid extra(11);
  SetRow(extra, 1, {"No", "433 EROS", "2461001.5", "1", "1.5", "0.1", "1", "1", "1", "1", "0.1"});
  SetRow(extra, 2, {"Yes", "4 Vesta", "2461001.5", "1", "2.3", "0.1", "1", "1", "1", "1", "0.1"});
  ASSERT_TRUE(SaveAsteroidElements(extra, merge));
  WriteText(merge, ReadText(merge) + "Y   abcdefghijklmnop\r\nY   abcdefghijklmnopq\r\n");
  ASSERT_TRUE(LoadAsteroidElements(g, merge, true, templateUsed));
  ASSERT_EQ(g.BodyCount(), 4);
  // "433 EROS" overwritten in place.
  EXPECT_EQ(std::tuple(g.Cell(1, 1), g.Cell(1, 2), g.Cell(2, 2), g.Cell(1, 3), g.Cell(1, 4)),
            std::tuple("1 Ceres", "433 EROS", "2461001.5", "4 Vesta", "abcdefghijklmnopq"));
  EXPECT_EQ(AsteroidCount, 4);
}

// The Minor Planet Center's one-line formats (the export format of MPCORB,
// and the comet list with the perihelion date), read on a fresh folder and
// through the templates written for them: every field from its columns.
TEST_F(ElementFiles, MpcOneLineFormatsThroughTheirTemplates) {
  auto line = [](std::initializer_list<std::pair<int, std::string>> fields) {
    std::string l(200, ' ');
    for (const auto& [column, text] : fields) l.replace(std::size_t(column - 1), text.size(), text);
    return l + "\r\n";
  };
  WriteText(dir.File("2026-12-06.mpc.ast"),
            line({{1, "00001"}, {9, " 3.34"}, {15, " 0.12"}, {21, "K2555"}, {27, "188.70269"},
                  {38, " 73.27343"}, {49, " 80.25221"}, {60, " 10.58780"}, {71, "0.0794013"},
                  {81, " 0.21424651"}, {93, "  2.7660512"}, {167, "(1) Ceres"}, {195, "20250605"}}));
  WriteText(dir.File("2026-12-06.mpc.cmt"),
            line({{1, "0001P"}, {15, "1986"}, {20, "02"}, {23, " 9.4589"}, {31, " 0.587104"},
                  {42, "0.967143"}, {52, "111.8657"}, {62, " 58.8601"}, {72, "162.2422"}, {92, " 5.5"},
                  {97, " 8.0"}, {103, "1P/Halley"}}));
  TElementGrid a(11), c(10);
  ASSERT_TRUE(LoadAsteroidElements(a, dir.File("2026-12-06.mpc.ast"), false, templateUsed));
  EXPECT_TRUE(templateUsed);
  ASSERT_TRUE(LoadCometElements(c, dir.File("2026-12-06.mpc.cmt"), false, templateUsed));
  // Epochs: K2555 is 2025 May 5.0 = JD 2460800.5; 1986 February 9.4589 = JD 2446470.9589.
  const std::vector<std::string> ceres = {"Yes",      "(1) Ceres", "2460800.5", "188.70269",
                                          "2.7660512", "0.0794013", "73.27343", "80.25221",
                                          "10.5878",  "3.34",      "0.12"};
  const std::vector<std::string> halley = {"Yes", "1P/Halley", "2446470.9589", "0.587104", "0.967143",
                                           "111.8657", "58.8601", "162.2422", "5.5", "8"};
  for (std::size_t i = 0; i < ceres.size(); ++i) EXPECT_EQ(a.Cell(int(i), 1), ceres[i]) << i;
  for (std::size_t i = 0; i < halley.size(); ++i) EXPECT_EQ(c.Cell(int(i), 1), halley[i]) << i;
  // The template written for them reads the same (renamed, so that it is used).
  EnsureMpcTemplates(dir.Path());
  std::rename(dir.File("mpc.ast.template").c_str(), dir.File("x.ast.template").c_str());
  WriteText(dir.File("l.x.ast"), ReadText(dir.File("2026-12-06.mpc.ast")));
  TElementGrid t(11);
  ASSERT_TRUE(LoadAsteroidElements(t, dir.File("l.x.ast"), false, templateUsed));
  for (std::size_t i = 0; i < ceres.size(); ++i) EXPECT_EQ(t.Cell(int(i), 1), ceres[i]) << i;
}

TEST_F(ElementFiles, CountsAndBadFiles) {
  std::string text;
  for (int i = 0; i < 1200; ++i)
    text += "Y   " + ("body" + std::to_string(i) + std::string(30, ' ')).substr(0, 30) + " 2461000.5\r\n";
  WriteText(dir.File("many.ast"), text);
  WriteText(dir.File("many.cmt"), text);
  TElementGrid a(11), c(10);
  AsteroidCount = 7;
  TElementLoadProblem problem = TElementLoadProblem::None;
  EXPECT_FALSE(LoadAsteroidElements(a, dir.File("many.ast"), false, templateUsed, &problem));
  EXPECT_EQ(std::tuple(AsteroidCount, problem), std::tuple(7, TElementLoadProblem::TooMany));  // table untouched
  ASSERT_TRUE(LoadCometElements(c, dir.File("many.cmt"), false, templateUsed, &problem));
  EXPECT_EQ(std::tuple(c.BodyCount(), CometCount, c.Cell(1, 1000), problem),
            std::tuple(1000, 1000, "body999", TElementLoadProblem::TooMany));
  // A missing file changes nothing and is no problem to tell; a folder or a
  // named pipe in the list's place is, and is never read (a pipe nobody
  // writes to would hold the reader for ever).
  a = AsteroidGrid();
  EXPECT_FALSE(LoadAsteroidElements(a, dir.File("none.ast"), false, templateUsed, &problem));
  EXPECT_EQ(std::tuple(a.BodyCount(), problem), std::tuple(2, TElementLoadProblem::Missing));
  EXPECT_EQ(ElementLoadProblemText(TElementKind::Asteroid, "none.ast", problem), "");
  std::filesystem::create_directory(dir.File("folder.ast"));
  EXPECT_FALSE(LoadAsteroidElements(a, dir.File("folder.ast"), false, templateUsed, &problem));
  const std::string notAFile =
      " was not loaded: it is not a regular file (a named pipe, a folder or a device stands in its place). The file "
      "stays as it is.";
  EXPECT_EQ(ElementLoadProblemText(TElementKind::Asteroid, "folder.ast", problem),
            "The asteroid list \"folder.ast\"" + notAFile);
  PipeInPlace pipe(dir.File("pipe.cmt"));
  c = CometGrid();
  EXPECT_FALSE(LoadCometElements(c, dir.File("pipe.cmt"), false, templateUsed, &problem));
  EXPECT_EQ(std::tuple(c.BodyCount(), problem), std::tuple(1, TElementLoadProblem::NotAFile));
  EXPECT_EQ(ElementLoadProblemText(TElementKind::Comet, "pipe.cmt", problem), "The comet list \"pipe.cmt\"" + notAFile);
  EXPECT_EQ(ElementFileBodyCount(dir.File("pipe.cmt")), -1);
  EXPECT_FALSE(pipe.Opened());
  // Garbage reads without harm; every row it makes is marked "No".
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += char((i * 7919) % 256);
  WriteText(dir.File("junk.ast"), junk);
  ASSERT_TRUE(LoadAsteroidElements(a, dir.File("junk.ast"), false, templateUsed));
  for (int r = 1; r <= a.BodyCount(); ++r) EXPECT_EQ(a.Cell(0, r), "No") << r;
}

TEST_F(ElementFiles, NegativeSlopeGivesNoMagnitude) {
  // A near-Earth orbit seen at large phase angles with G = -0.5: the phase
  // term (1 - G)Φ1 + GΦ2 turns negative beyond about 50°.
  TElementGrid g(11);
  SetRow(g, 1, {"Yes", "test", "2461000.5", "0", "1.1", "0.1", "30", "40", "5", "15", "-0.5"});
  ApplyAsteroidGrid(g);
  ASSERT_EQ(AsteroidCount, 1);
  TObserverTime obs;
  InitObserver(obs);
  TSolarContext ctx{};
  int noMagnitude = 0;
  for (int day = 0; day < 400; day += 5) {
    SetObserverTT(obs, 2461000.5 + day);
    CalcSun(ctx, obs);
    if (!CalcOrbitBody(ctx, obs, Asteroids[0])) continue;
    ASSERT_FALSE(std::isnan(double(Asteroids[0].Magnitude))) << day;
    noMagnitude += Asteroids[0].Magnitude == -100.0;
  }
  EXPECT_GT(noMagnitude, 0);
}

// Block 3 of a settings file: the twelve switches; a block of another size
// or with a byte other than 0 or 1 is refused and changes nothing.
TEST(SolarSystemBlock, RoundTripAndDamagedBlocks) {
  TSolarSwitches s = SolarSwitchDefaults(), back{};
  s[6] = 1;
  ASSERT_TRUE(DecodeSolarBlock(EncodeSolarBlock(s), back));
  EXPECT_EQ(back, s);
  std::vector<uint8_t> wrongByte = EncodeSolarBlock(s), tooShort = wrongByte;
  wrongByte[3] = 2;
  tooShort.pop_back();
  for (const auto& block : {wrongByte, tooShort}) {
    TSolarSwitches untouched{};
    EXPECT_FALSE(DecodeSolarBlock(block, untouched));
    EXPECT_EQ(untouched, TSolarSwitches{});
  }
}
