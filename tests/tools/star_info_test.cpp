// The star record's decoding without the catalogue: spectral texts, the
// dynamical parallax, the range checks of the Bayer and constellation bytes
// and the distance rules, on records written here.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "astro/observer.h"
#include "platform/codec.h"
#include "tools/star_info.h"

namespace {

TEST(StarInfo, SpectralClassTexts) {
  const struct {
    uint16_t code;
    const char* text;
  } cases[] = {{512, "G1 II"}, {1305, "WR0 V"}, {1405, "WP0 V"}, {426, "F2 Ia"}, {427, "F2 Ib"},
               {420, "F2"},    {1505, "No data"}, {5, "No data"}};
  for (const auto& c : cases) EXPECT_EQ(SpectralClassText(c.code), c.text) << c.code;
}

TEST(StarInfo, DynamicalParallaxLastLineWins) {
  EXPECT_DOUBLE_EQ(DynamicalParallaxOf({"N:   Vega", "DYN: 0.123abc"}), 0.123);
  EXPECT_DOUBLE_EQ(DynamicalParallaxOf({"DYN: 0.5", "DYN: 0.25 pc"}), 0.25);
  EXPECT_DOUBLE_EQ(DynamicalParallaxOf({"N:   Vega"}), 0.0);
}

TEST(StarInfo, AbsoluteMagnitudeHasSevenLuminosityRows) {
  // G2: V 4.8 (the Sun, 4.83), Ia -7.5 and Ib -4.7 (Schmidt-Kaler 1982).
  EXPECT_NEAR(StarAbsoluteMagnitude(5, 5, 2), 4.8, 0.05);
  EXPECT_NEAR(StarAbsoluteMagnitude(6, 5, 2), -7.5, 0.05);
  EXPECT_NEAR(StarAbsoluteMagnitude(7, 5, 2), -4.7, 0.05);
  EXPECT_EQ(StarAbsoluteMagnitude(8, 5, 2), -9.0);
  EXPECT_EQ(StarAbsoluteMagnitude(5, 8, 2), -9.0);
}

// A record with the given fields, the rest zero.
std::array<uint8_t, 31> Record(uint8_t bayer, uint8_t flamsteed, uint8_t constellation, uint16_t spectral,
                               uint8_t mag, uint16_t parallax, uint32_t hd) {
  std::array<uint8_t, 31> r{};
  platform::PutU32(r.data() + 2, hd);
  r[6] = bayer;
  r[7] = flamsteed;
  r[8] = constellation;
  r[21] = mag;
  platform::PutU16(r.data() + 23, spectral);
  platform::PutU16(r.data() + 25, parallax);
  return r;
}

// The disc of the size picture takes the chart's colour of the star's
// class: from the spectral letter (Vega, A0: class 3; a carbon star, R:
// as M), else from the colour index, else none.
TEST(StarInfo, DiscColourFromSpectralClassOrColourIndex) {
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  auto colourClass = [&](uint16_t spectral, uint8_t colourByte) {
    auto r = Record(0, 0, 0, spectral, 20, 65535, 0);
    r[22] = colourByte;  // B-V = byte / 40 - 0.5
    return MakeStarInfo(1, r.data(), {}, *obs).ColourClass;
  };
  EXPECT_EQ(colourClass(305, 20), 3);   // A0 V (Vega); the class wins over the index
  EXPECT_EQ(colourClass(725, 0), 7);    // M2 V
  EXPECT_EQ(colourClass(805, 0), 7);    // R5
  EXPECT_EQ(colourClass(105, 0), 1);    // O0 V
  EXPECT_EQ(colourClass(0, 20), 3);     // B-V 0.00: A0
  EXPECT_EQ(colourClass(0, 46), 5);     // B-V 0.65: G (the Sun, G2, 0.65)
  EXPECT_EQ(colourClass(0, 80), 7);     // B-V 1.50: M
  EXPECT_EQ(colourClass(0, 6), 1);      // B-V -0.35: O
  EXPECT_EQ(colourClass(0, 0), 0);      // neither: no colour class
  // A class begins at its index in Allen's table.
  EXPECT_EQ(ColourClassOfIndex(-0.30), 2);
  EXPECT_EQ(ColourClassOfIndex(0.80), 5);
}

TEST(StarInfo, IdentificationBytesAreRangeChecked) {
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  const struct {
    uint8_t bayer, flamsteed, constellation;
    const char* id;
  } cases[] = {{12, 0, 1, "Alp2 And"}, {250, 7, 1, "7 And"}, {10, 0, 200, "Alp"}, {0, 0, 0, ""}, {0, 58, 60, "58 Ori"}};
  for (const auto& c : cases) {
    const auto r = Record(c.bayer, c.flamsteed, c.constellation, 0, 0, 65535, 0);
    EXPECT_EQ(MakeStarInfo(1, r.data(), {}, *obs).Identification, c.id);
  }
}

TEST(StarInfo, DistanceRules) {
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  // G2 V (M_V 4.83) of magnitude 4.8: spectral distance 9.86 pc, shown as 10.
  const struct {
    uint16_t parallax;
    std::vector<std::string> notes;
    const char* distance;
  } cases[] = {
      {65535, {}, "10 pc (33 ly)"},                          // spectral only
      {132, {}, "10 pc (33 ly) (-1%)"},                       // 0.100″ trigonometric
      {40, {}, "10 pc (33 ly)"},                             // 0.008″: spectral
      {40, {"DYN: 0.05"}, "20 pc (65 ly) (-51%)"},           // dynamical wins
  };
  for (const auto& c : cases) {
    const auto r = Record(0, 0, 0, 525, 68, c.parallax, 0);
    EXPECT_EQ(MakeStarInfo(1, r.data(), c.notes, *obs).Distance, c.distance) << c.parallax;
  }
  // G2 without a luminosity class is estimated as G2 V (the Sun: logL 0.0).
  const auto noClass = MakeStarInfo(1, Record(0, 0, 0, 520, 68, 65535, 0).data(), {}, *obs);
  EXPECT_EQ(noClass.Sentences[0], "About the same luminosity as our sun.");
  EXPECT_FALSE(noClass.PhysicalNote.empty());
  EXPECT_TRUE(MakeStarInfo(1, Record(0, 0, 0, 525, 68, 65535, 0).data(), {}, *obs).PhysicalNote.empty());
  const auto noSpectrum = Record(0, 0, 0, 0, 68, 40, 0);
  EXPECT_EQ(MakeStarInfo(1, noSpectrum.data(), {}, *obs).Distance, ">40pc (130ly)");
  const auto none = Record(0, 0, 0, 0, 68, 65535, 0);
  const TStarInfo s = MakeStarInfo(77, none.data(), {}, *obs);
  EXPECT_EQ(s.Distance, "No data");
  EXPECT_EQ(StarPoiName(s), "SAO77");
}

}  // namespace
