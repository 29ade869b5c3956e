// The description expander, the tidying, the size texts and the survey
// request of the deep-sky window, on small tables written here.
#include <gtest/gtest.h>

#include "tools/object_info.h"

#include <map>
#include <memory>
#include <string>

#include "astro/observer.h"
#include "astro/reference_files.h"
#include "catalog/sqlite_db.h"
#include "tests/support/object_database.h"

namespace {

TEST(DescriptionExpander, SortPutsLongerKeysFirst) {
  std::vector<std::string> t = {"B: bright", "VB: very bright", "pB: pretty bright", "vFvS: very faint"};
  SortDescriptionAbbreviations(t);
  EXPECT_EQ(t[0], "vFvS: very faint");
  EXPECT_EQ(t.back(), "B: bright");
}

TEST(DescriptionExpander, ExpandsKeysRecursively) {
  std::vector<std::string> t = {"vB: very bright", "L: large", "E: extended", "B: bright", ",: ,"};
  SortDescriptionAbbreviations(t);
  EXPECT_EQ(TidyExpandedText(ExpandDescription("vB, L, E", t, false)), "very bright, large, extended");
  EXPECT_EQ(ExpandDescription("Nothing here", {"Q: q"}, false), "nothing here");
  // Newer descriptions: letter keys match whole words only, so a name is
  // kept whole while a separate key beside it is still expanded.
  const std::vector<std::string> n = {"UGC: Uppsala General Catalogue", "N: north", "D: double", "R: round"};
  EXPECT_EQ(TidyExpandedText(ExpandDescription("ANDROMEDA GALAXY; UGC 454, N", n, false)),
            "andromeda galaxy; Uppsala General Catalogue 454, north");
  EXPECT_EQ(ExpandDescription("", t, false), "");
  EXPECT_EQ(ExpandDescription("x", {}, false), "");
}

TEST(DescriptionExpander, MarkedKeysOf1888) {
  // "#s" needs a digit, quote, apostrophe or full stop before it; "p#"
  // one after it; "st@" matches "st" with no condition; "^" glues on.
  const std::vector<std::string> t = {"#s: seconds", "p#: preceding", "st@: stars", "*: star^"};
  EXPECT_EQ(ExpandDescription("5s", t, true), "5 seconds");
  EXPECT_EQ(ExpandDescription("s", t, true), "s");
  EXPECT_EQ(ExpandDescription("p5", t, true), "preceding 5");
  EXPECT_EQ(ExpandDescription("st", t, true), "stars");
  EXPECT_EQ(ExpandDescription("* 10", t, true), "star10");
  // Marks at the text's edges never read outside it; an empty key never matches.
  EXPECT_EQ(ExpandDescription("sp", {"#s: x", "p#: y", "@: z", "#: w"}, true), "sp");
}

TEST(DescriptionExpander, Tidy) {
  EXPECT_EQ(TidyExpandedText("bright , large ,  round, "), "bright, large, round");
  EXPECT_EQ(TidyExpandedText("a   b  c"), "a b c");
  EXPECT_EQ(TidyExpandedText("a,b"), "a, b");
}

TEST(ObjectTexts, SizeAndSurveyField) {
  const struct {
    int cls, maA, miA;
    const char* text;
    int field;
  } cases[] = {{1, 32768, 32768, "No data", 3}, {4, 45, 32768, "45\"", 0}, {5, 120, 60, "12.0' x 6.0'", 4},
               {2, 900, 0, "90.0'", 9},         {7, 100, 0, "No data", 3}};
  for (const auto& c : cases) {
    const std::string t = ObjectSizeText(c.cls, c.maA, c.miA);
    EXPECT_EQ(t, c.text);
    EXPECT_EQ(SurveyFieldIndex(t), c.field) << t;
  }
}

TEST(ObjectTexts, SurveyRequest) {
  // M31's J2000 place 00h42m44.35s +41°16′08.6″ (SIMBAD) at 60′.
  constexpr double kPi = 3.141592653589793;
  const double ra = (0 + 42 / 60.0 + 44.35 / 3600) * 15 * kPi / 180;
  const double dec = (41 + 16 / 60.0 + 8.6 / 3600) * kPi / 180;
  SurveyServer = "https://survey.example";
  EXPECT_EQ(SurveyRequestUrl(0, 9, ra, dec),
            "https://survey.example/cgi-bin/dss_search?v=poss2ukstu_red&r=00+42+44.35&d=41+16+08.6"
            "&e=J2000&h=60.0&w=60.0&f=gif&c=none&fov=NONE&v3=");
  EXPECT_NE(SurveyRequestUrl(5, 2, ra, -dec).find("v=quickv&r=00+42+44.35&d=-41+16+08.6&e=J2000&h=05.0&w=05.0"),
            std::string::npos);
}

}  // namespace

// The Messier number belongs to the NGC object alone: IC 224 of an added IC
// table is not M31.
TEST(ObjectTexts, MessierNumberOnlyForTheNgcObject) {
  ObjectDatabase base;
  {
    TSQLiteDatabase db(base.path, false);
    db.Execute(std::string("CREATE TABLE IC") + kObjectSchema);
    db.Execute("INSERT INTO IC (idx, ID, SubID, CL) VALUES (1, '224', '', '5')");
  }
  const int32_t kept = MessierToRngc[31];
  MessierToRngc[31] = 224;  // as "messier_rngc.dat" has it
  tCO catalogue(base.path, {"BASE_OBJECT_CATALOG", "IC"});
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  std::map<std::string, std::string> messier;
  ASSERT_TRUE(catalogue.SeekRecord(0));
  do {
    messier[catalogue.DisplayName()] = MakeObjectInfo(catalogue, *obs).Messier;
  } while (catalogue.Next());
  EXPECT_EQ(messier.at("NGC224"), "31");
  EXPECT_EQ(messier.at("IC224"), "");
  MessierToRngc[31] = kept;
}
