// Name tables, description dictionaries and spectral tables.
#include "astro/names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <string>

#include "astro/spectral.h"

namespace {

std::string Key(const std::string& entry) { return entry.substr(0, entry.find(':')); }

// First expansion of each key.
std::map<std::string, std::string> Dictionary(const std::vector<std::string>& table) {
  std::map<std::string, std::string> d;
  for (const std::string& e : table) d.emplace(Key(e), e.substr(e.find(':') + 2));
  return d;
}

int Count(const std::vector<std::string>& table, const std::string& key) {
  return int(std::count_if(table.begin(), table.end(),
                           [&](const std::string& e) { return Key(e) == key; }));
}

TEST(Dictionaries, SizesAndEntryForm) {
  EXPECT_EQ(NgcAbbreviations.size(), 457u);
  EXPECT_EQ(NgcNoteAbbreviations.size(), 395u);
  EXPECT_EQ(NgcNoteSources.size(), 14u);
  using Table = const std::vector<std::string>*;
  for (Table table : {Table(&NgcAbbreviations), Table(&NgcNoteAbbreviations), Table(&NgcNoteSources)})
    for (const std::string& e : *table) {
      // Key, colon, one blank, non-empty expansion; the first colon ends
      // the key.
      std::size_t colon = e.find(':');
      ASSERT_NE(colon, std::string::npos) << e;
      EXPECT_GT(colon, 0u) << e;
      ASSERT_GE(e.size(), colon + 3) << e;
      EXPECT_EQ(e[colon + 1], ' ') << e;
      EXPECT_NE(e[colon + 2], ' ') << e;
      EXPECT_LE(e.size(), 255u) << e;
    }
}

TEST(Dictionaries, RepeatedKeysAndExpansions) {
  for (const char* k : {"MC", "#N", "N#", "PB", "RR", "SHARP"}) EXPECT_EQ(Count(NgcAbbreviations, k), 2) << k;
  EXPECT_EQ(Count(NgcNoteAbbreviations, "S&F"), 2);
  EXPECT_EQ(Count(NgcAbbreviations, "GBM"), 1);
  // The meanings listed in the introduction of the New General Catalogue
  // (Dreyer 1888): B bright, F faint, L large, S small, R round, E extended,
  // gbM gradually brighter in the middle, Cl cluster, rrr well resolved,
  // clearly consisting of stars, * a star, ** a double star, ab about,
  // alm almost, sev several, vF very faint, eF extremely faint.
  const std::map<std::string, std::string> d[3] = {
      Dictionary(NgcAbbreviations), Dictionary(NgcNoteAbbreviations), Dictionary(NgcNoteSources)};
  struct {
    int table;
    const char *key, *expansion;
  } const cases[] = {
      {0, "B", "bright"}, {0, "F", "faint"}, {0, "L", "large"}, {0, "S", "small"}, {0, "R", "round"},
      {0, "E", "extended"}, {0, "GBM", "gradually brighter in the middle"}, {0, "CL", "cluster"},
      {0, "RRR", "well resolved, clearly consisting of stars"}, {0, "*", "star"}, {0, "**", "double star"},
      {0, "AB", "about"}, {0, "ALM", "almost"}, {0, "SEV", "several"}, {0, "VF", "very faint"},
      {0, "EF", "extremely faint"}, {0, "BP", "brighter toward preceding side"}, {0, "ANEBULA", "a nebula"},
      {0, "PRAESEPE", "Praesepe (The Beehive)"}, {0, "'P", "arc-minutes preceeding"}, {0, ")", "?)"},
      {1, "APPEARANCE", "appearance"}, {1, "ALGOL", "Algol"}, {1, "*", "star(s)"}, {1, "'", "arc-minutes"},
      {1, "OF SMC", "of the Small Magellanic Cloud"}, {1, "NF ", "north following"}, {2, "NF", "not found"},
      {2, "NOCL", "no cluster"},
  };
  for (const auto& c : cases) {
    const auto it = d[c.table].find(c.key);
    ASSERT_NE(it, d[c.table].end()) << c.table << " " << c.key;
    EXPECT_EQ(it->second, c.expansion) << c.table << " " << c.key;
  }
}

TEST(SpectralTables, TheSunAndVega) {
  // The Sun is G2 V (class 5, spectral class 5, subclass 2): M_V = 4.83
  // (IAU 2015 B3 nominal values), luminosity, radius and mass 1.
  EXPECT_NEAR(AbsMagnitudeTable[5][5][2], 4.83, 0.01);
  EXPECT_NEAR(SpectralTable1[5][5][2], 0.0, 0.02);
  EXPECT_NEAR(SpectralTable2[5][5][2], 0.0, 0.02);
  EXPECT_NEAR(SpectralTable3[5][5][2], 0.0, 0.02);
  // Vega, A0 V: M_V = +0.58 (Hipparcos parallax 130.23 mas, V = 0.03);
  // luminosity 40 L☉, mass 2.1 M☉ (Yoon et al. 2010). One star against a
  // class mean: 0.3 mag, 0.2 dex.
  EXPECT_NEAR(AbsMagnitudeTable[5][3][0], 0.58, 0.3);
  EXPECT_NEAR(SpectralTable1[5][3][0], 1.60, 0.2);
  EXPECT_NEAR(SpectralTable3[5][3][0], 0.32, 0.2);
  // Betelgeuse, M1-2 Ia: M_V about -5.85.
  EXPECT_NEAR(AbsMagnitudeTable[1][7][1], -5.85, 0.5);
  // Brighter towards early types and luminous classes.
  EXPECT_LT(AbsMagnitudeTable[5][2][0], AbsMagnitudeTable[5][4][0]);
  EXPECT_LT(AbsMagnitudeTable[1][5][0], AbsMagnitudeTable[3][5][0]);
  EXPECT_GT(AbsMagnitudeTable[5][7][9], 14.0);
}

TEST(SpectralTables, MiddleRowsAreMeansOrMissing) {
  for (const TSpectralTable* t : {&SpectralTable1, &SpectralTable2, &SpectralTable3})
    for (int c = 1; c <= 7; ++c)
      for (int s = 0; s <= 9; ++s) {
        float i = (*t)[1][c][s], iii = (*t)[3][c][s], v = (*t)[5][c][s];
        if (i == SpectralMissing || iii == SpectralMissing)
          EXPECT_EQ((*t)[2][c][s], SpectralMissing);
        else
          EXPECT_FLOAT_EQ((*t)[2][c][s], (i + iii) / 2);
        if (iii == SpectralMissing || v == SpectralMissing)
          EXPECT_EQ((*t)[4][c][s], SpectralMissing);
        else
          EXPECT_FLOAT_EQ((*t)[4][c][s], (iii + v) / 2);
      }
  // O0..O2 do not exist.
  EXPECT_EQ(SpectralTable1[5][1][0], SpectralMissing);
  EXPECT_EQ(SpectralTable1[2][1][2], SpectralMissing);
  EXPECT_EQ(AbsMagnitudeTable[4][1][1], SpectralMissing);
  EXPECT_NE(AbsMagnitudeTable[5][1][5], SpectralMissing);
}

}  // namespace
