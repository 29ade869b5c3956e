// The shaded ring: its two colour ramps in each colour mode and the bezel
// it draws.
#include "chart/ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "app/globals.h"
#include "chart/drawing_colors.h"

using platform::MakePixel;

namespace {

struct RampCase {
  uint8_t mode;
  int k;
  uint32_t warm, grey;
};

// Expected pixels from the core's colour table formulas (warm entry
// 31 + i: red trunc(v / 1.1) + 20, green trunc(v / 2) + 20, blue
// trunc(v / 3.5) + 20 with v = 6.71875 i; grey entry 63 + i: trunc(5 i /
// 1.7) + 20), worked by hand, each × 0.6 truncated, then the colour mode:
// night vision puts the mean of the three into red, three-level grey maps a
// mean below 128 to 0.
const RampCase kRampCases[] = {
    {0, 0, MakePixel(15, 13, 12), MakePixel(13, 13, 13)},   // (26, 23, 21), 22
    {0, 10, MakePixel(52, 33, 24), MakePixel(31, 31, 31)},  // (87, 56, 41), 52
    {0, 31, MakePixel(129, 76, 48), MakePixel(68, 68, 68)}, // (215, 127, 81), 114
    {2, 0, MakePixel(13, 0, 0), MakePixel(13, 0, 0)},       // (15 + 13 + 12) / 3
    {2, 31, MakePixel(84, 0, 0), MakePixel(68, 0, 0)},      // (129 + 76 + 48) / 3
    {1, 31, MakePixel(0, 0, 0), MakePixel(0, 0, 0)},
};

TEST(ShadedRing, RampsFollowTheColourModeWithRedNightVision) {
  for (const RampCase& c : kRampCases) {
    ColorMode = c.mode;
    MakeRingRamps();
    EXPECT_EQ(RingRampA[c.k], c.warm) << "mode " << int(c.mode) << " k " << c.k;
    EXPECT_EQ(RingRampB[c.k], c.grey) << "mode " << int(c.mode) << " k " << c.k;
  }
  ColorMode = 0;
  MakeRingRamps();
}

TEST(ShadedRing, BezelLiesInItsBandLitFromTheUpperLeft) {
  ColorMode = 0;
  MakeRingRamps();
  InsetAspect = 1.0;
  platform::Bitmap b(200, 200);
  DrawRing(b, 100, 100, 77, 3, 1);
  const std::set<uint32_t> warm(std::begin(RingRampA), std::end(RingRampA));
  int written = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x) {
      if (b.Pixel(x, y) == 0) continue;
      ++written;
      // Row y + 1 holds ring row y (the ring is drawn one row up).
      const double r = std::hypot(x - 100.0, y + 1 - 100.0);
      EXPECT_TRUE(r > 72.5 && r < 81.5) << x << "," << y;
      EXPECT_EQ(warm.count(b.Pixel(x, y)), 1u);
    }
  EXPECT_GT(written, int(M_PI * 2 * 77 * 5));  // more than 5 pixels across the band, all round
  // Outer edge: bright at the upper left, dark at the lower right.
  const uint32_t upperLeft = b.Pixel(100 - 56, 100 - 56), lowerRight = b.Pixel(100 + 56, 100 + 54);
  EXPECT_GT(upperLeft & 0xFF0000, lowerRight & 0xFF0000);
  InsetAspect = 1.0;
}

TEST(ShadedRing, FirstRampZeroDrawsGreyAndLeavesTheRampsInPlace) {
  ColorMode = 0;
  MakeRingRamps();
  uint32_t a[kRingRampSize], g[kRingRampSize];
  std::copy(std::begin(RingRampA), std::end(RingRampA), a);
  std::copy(std::begin(RingRampB), std::end(RingRampB), g);
  platform::Bitmap b(100, 100);
  DrawRing(b, 50, 50, 40, 2, 0);
  const std::set<uint32_t> grey(std::begin(RingRampB), std::end(RingRampB));
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x)
      if (b.Pixel(x, y) != 0) {
        EXPECT_EQ(grey.count(b.Pixel(x, y)), 1u);
      }
  EXPECT_TRUE(std::equal(std::begin(a), std::end(a), RingRampA));
  EXPECT_TRUE(std::equal(std::begin(g), std::end(g), RingRampB));
}

}  // namespace
