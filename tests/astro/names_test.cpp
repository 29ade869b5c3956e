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

TEST(Dictionaries, RepeatedKeys) {
  for (const char* k : {"MC", "#N", "N#", "PB", "RR", "SHARP"})
    EXPECT_EQ(Count(NgcAbbreviations, k), 2) << k;
  EXPECT_EQ(Count(NgcNoteAbbreviations, "S&F"), 2);
  EXPECT_EQ(Count(NgcAbbreviations, "GBM"), 1);
}

TEST(Dictionaries, ExpandDreyersAbbreviations) {
  // The meanings listed in the introduction of the New General Catalogue
  // (Dreyer 1888): B bright, F faint, L large, S small, R round, E extended,
  // gbM gradually brighter in the middle, Cl cluster, rrr well resolved,
  // clearly consisting of stars, * a star, ** a double star, ab about,
  // alm almost, sev several, vF very faint, eF extremely faint.
  std::map<std::string, std::string> d = Dictionary(NgcAbbreviations);
  EXPECT_EQ(d["B"], "bright");
  EXPECT_EQ(d["F"], "faint");
  EXPECT_EQ(d["L"], "large");
  EXPECT_EQ(d["S"], "small");
  EXPECT_EQ(d["R"], "round");
  EXPECT_EQ(d["E"], "extended");
  EXPECT_EQ(d["GBM"], "gradually brighter in the middle");
  EXPECT_EQ(d["CL"], "cluster");
  EXPECT_EQ(d["RRR"], "well resolved, clearly consisting of stars");
  EXPECT_EQ(d["*"], "star");
  EXPECT_EQ(d["**"], "double star");
  EXPECT_EQ(d["AB"], "about");
  EXPECT_EQ(d["ALM"], "almost");
  EXPECT_EQ(d["SEV"], "several");
  EXPECT_EQ(d["VF"], "very faint");
  EXPECT_EQ(d["EF"], "extremely faint");
  EXPECT_EQ(d["BP"], "brighter toward preceding side");
  EXPECT_EQ(d["ANEBULA"], "a nebula");
  EXPECT_EQ(d["PRAESEPE"], "Praesepe (The Beehive)");
  EXPECT_EQ(d["'P"], "arc-minutes preceeding");
  EXPECT_EQ(d[")"], "?)");
  std::map<std::string, std::string> n = Dictionary(NgcNoteAbbreviations);
  EXPECT_EQ(n["APPEARANCE"], "appearance");
  EXPECT_EQ(n["ALGOL"], "Algol");
  EXPECT_EQ(n["*"], "star(s)");
  EXPECT_EQ(n["'"], "arc-minutes");
  EXPECT_EQ(n["OF SMC"], "of the Small Magellanic Cloud");
  EXPECT_EQ(n["NF "], "north following");
  std::map<std::string, std::string> s = Dictionary(NgcNoteSources);
  EXPECT_EQ(s["NF"], "not found");
  EXPECT_EQ(s["NOCL"], "no cluster");
}

TEST(NameTables, Contents) {
  ASSERT_EQ(ObjectTypeNames.size(), 10u);
  EXPECT_EQ(ObjectTypeNames[0], "Unverified southern object");
  EXPECT_EQ(ObjectTypeNames[5], "Galaxy ");
  EXPECT_EQ(ObjectTypeNames[9], "in Small Magellanic Cloud");
  EXPECT_STREQ(GreekLetterAbbreviations[0], "   ");
  EXPECT_STREQ(GreekLetterAbbreviations[1], "ALP");
  EXPECT_STREQ(GreekLetterAbbreviations[12], "MU ");
  EXPECT_STREQ(GreekLetterAbbreviations[24], "OME");
  EXPECT_STREQ(PlanetNames[3], "Earth");
  EXPECT_STREQ(PlanetNames[9], "Pluto");
  EXPECT_STREQ(GalileanMoonNames[3], "Ganymede");
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
