// The constellation tables.
#include "astro/constellations.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

namespace {

TEST(Constellations, NumberedAlphabeticallyByLatinName) {
  EXPECT_STREQ(ConstellationNames[1], "Andromeda");
  EXPECT_STREQ(ConstellationNames[13], "Canes Venatici");
  EXPECT_STREQ(ConstellationNames[60], "Orion");
  EXPECT_STREQ(ConstellationNames[88], "Vulpecula");
  for (int n = 2; n <= ConstellationCount; ++n)
    EXPECT_LT(std::strcmp(ConstellationNames[n - 1], ConstellationNames[n]), 0) << n;
  for (int n = 1; n <= ConstellationCount; ++n)
    EXPECT_LE(std::strlen(ConstellationNames[n]), 20u) << n;
}

TEST(Constellations, AbbreviationsAreUniqueIgnoringCase) {
  std::set<std::string> seen;
  for (int n = 1; n <= ConstellationCount; ++n) {
    std::string a = ConstellationAbbreviations[n];
    ASSERT_EQ(a.size(), 3u) << n;
    for (char& c : a) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(seen.insert(a).second) << a;
    // Each abbreviation starts with the first letter of its name.
    EXPECT_EQ(ConstellationAbbreviations[n][0], ConstellationNames[n][0]) << n;
  }
}

TEST(Constellations, LookupByAbbreviation) {
  EXPECT_EQ(ConstellationNumber("And"), 1);
  EXPECT_EQ(ConstellationNumber("ORI"), 60);
  EXPECT_EQ(ConstellationNumber(" uma "), 83);
  EXPECT_EQ(ConstellationNumber("CVn"), 13);
  EXPECT_EQ(ConstellationNumber("Vul"), 88);
  EXPECT_EQ(ConstellationNumber("Xyz"), 0);
  EXPECT_EQ(ConstellationNumber("Or"), 0);
  EXPECT_EQ(ConstellationNumber(""), 0);
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
