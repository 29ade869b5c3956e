// The relief map generator: land from the polygons sample by sample, and the
// stand-in sea depths by distance from the coast.
#include <gtest/gtest.h>

#include "data/worldmap.h"

namespace {

std::size_t Sample(double lat, double lon) {
  const int row = int((90.0 - lat) * mkdata::kWorldSamplesPerDegree);
  const int col = int((lon + 180.0) * mkdata::kWorldSamplesPerDegree);
  return std::size_t(row) * mkdata::kWorldColumns + std::size_t(col);
}

TEST(WorldMapWriter, LandMaskAndDepths) {
  // A square island 10°..20° E, 0°..10° N, and one across the antimeridian.
  const std::vector<mkdata::LonLatRing> rings = {
      {{10, 0}, {20, 0}, {20, 10}, {10, 10}, {10, 0}},
      {{178, -20}, {-178, -20}, {-178, -16}, {178, -16}, {178, -20}}};
  const auto mask = mkdata::WorldLandMask(rings);
  ASSERT_EQ(mask.size(), std::size_t(mkdata::kWorldRows) * mkdata::kWorldColumns);
  EXPECT_EQ(mask[Sample(5, 15)], 1);
  EXPECT_EQ(mask[Sample(9.96, 10.04)], 1);  // the corner sample inside
  EXPECT_EQ(mask[Sample(10.04, 10.04)], 0);
  EXPECT_EQ(mask[Sample(-18, 179.5)], 1);
  EXPECT_EQ(mask[Sample(-18, -179.5)], 1);
  EXPECT_EQ(mask[Sample(-18, 170)], 0);
  const auto e = mkdata::WorldElevations(mask);
  EXPECT_EQ(e[Sample(5, 15)], 200);
  EXPECT_EQ(e[Sample(5, 20.5)], -200);   // within 1° of the coast
  EXPECT_EQ(e[Sample(5, 22.5)], -2000);  // within 3°
  EXPECT_EQ(e[Sample(5, 30)], -4000);
}

TEST(WorldMapWriter, FilesHoldEveryTileWithinItsLimits) {
  std::vector<uint8_t> mask(std::size_t(mkdata::kWorldRows) * mkdata::kWorldColumns, 0);
  for (int r = 900; r < 1000; ++r)
    for (int c = 2000; c < 2100 + r % 7; ++c) mask[std::size_t(r) * mkdata::kWorldColumns + std::size_t(c)] = 1;
  const auto f = mkdata::EncodeWorldMap(mask);
  ASSERT_EQ(f.idx.size(), std::size_t(mkdata::kWorldTiles));
  std::size_t sum = 0;
  for (uint8_t n : f.idx) sum += n;
  EXPECT_EQ(sum + 10, f.dat.size());
  // Each tile's step width stays at 9 bits or fewer.
  std::size_t at = 10;
  for (uint8_t n : f.idx) {
    EXPECT_LE(f.dat[at] & 15, 9);
    at += n;
  }
}

}  // namespace
