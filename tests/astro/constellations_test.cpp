// The constellation tables.
#include "astro/constellations.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <utility>

namespace {

TEST(Constellations, NamesAlphabeticalAbbreviationsUnique) {
  std::set<std::string> seen;
  for (int n = 1; n <= ConstellationCount; ++n) {
    // Numbered alphabetically by Latin name, at most 20 characters.
    if (n > 1) {
      EXPECT_LT(std::strcmp(ConstellationNames[n - 1], ConstellationNames[n]), 0) << n;
    }
    EXPECT_LE(std::strlen(ConstellationNames[n]), 20u) << n;
    // Three letters, unique ignoring case, starting with the name's first.
    std::string a = ConstellationAbbreviations[n];
    ASSERT_EQ(a.size(), 3u) << n;
    EXPECT_EQ(a[0], ConstellationNames[n][0]) << n;
    for (char& c : a) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(seen.insert(a).second) << a;
  }
  EXPECT_STREQ(ConstellationNames[1], "Andromeda");
  EXPECT_STREQ(ConstellationNames[88], "Vulpecula");
}

TEST(Constellations, LookupByAbbreviation) {
  // Any case, blanks around; 0 for no constellation.
  for (auto [text, number] : {std::pair{"And", 1}, {"ORI", 60}, {" uma ", 83}, {"CVn", 13}, {"Vul", 88},
                              {"Xyz", 0}, {"Or", 0}, {"", 0}})
    EXPECT_EQ(ConstellationNumber(text), number) << text;
  EXPECT_STREQ(ConstellationNames[ConstellationNumber("ori")], "Orion");
  EXPECT_STREQ(ConstellationNames[ConstellationNumber("cvn")], "Canes Venatici");
}

TEST(Constellations, CentresLieInsideTheSky) {
  for (int n = 1; n <= ConstellationCount; ++n) {
    EXPECT_GE(ConstellationCentreRA[n], 0) << n;
    EXPECT_LT(ConstellationCentreRA[n], 240) << n;
    EXPECT_GE(ConstellationCentreDec[n], -90) << n;
    EXPECT_LE(ConstellationCentreDec[n], 90) << n;
  }
  // Orion's belt (about 5.6h, -1°) lies within a few degrees of its centre;
  // Octans holds the south celestial pole.
  EXPECT_NEAR(ConstellationCentreRA[60], 56, 3);
  EXPECT_NEAR(ConstellationCentreDec[60], 0, 8);
  EXPECT_LT(ConstellationCentreDec[58], -75);
  EXPECT_GT(ConstellationCentreDec[84], 70);  // Ursa Minor
}

}  // namespace
