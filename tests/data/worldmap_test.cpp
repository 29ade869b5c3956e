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

#include <fstream>

#include "tests/support/test_support.h"

namespace {

// Two countries sharing arc 0 (a border), each with its own coast arc.
TEST(WorldMapWriter, BordersAreTheArcsTwoCountriesShare) {
  testing_support::TempDir dir;
  testing_support::WriteText(dir.File("c.json"), R"({"type":"Topology",
    "transform":{"scale":[0.5,0.5],"translate":[10,40]},
    "arcs":[[[0,0],[0,4]], [[0,4],[-2,0],[0,-4],[2,0]], [[0,0],[2,0],[0,4],[-2,0]]],
    "objects":{"countries":{"type":"GeometryCollection","geometries":[
      {"type":"Polygon","arcs":[[0,1]]},
      {"type":"MultiPolygon","arcs":[[[2,-1]]]}]}}})");
  const auto borders = mkdata::ReadTopoJsonBorders(dir.File("c.json"));
  ASSERT_EQ(borders.size(), 1u);
  ASSERT_EQ(borders[0].size(), 2u);
  EXPECT_DOUBLE_EQ(borders[0][0].first, 10.0);
  EXPECT_DOUBLE_EQ(borders[0][1].second, 42.0);
  EXPECT_EQ(mkdata::BorderRegion(borders[0]), 2);  // Europe
  EXPECT_EQ(mkdata::BorderRegion({{-100, 40}}), 0);
  EXPECT_EQ(mkdata::BorderRegion({{-60, -20}}), 1);
  EXPECT_EQ(mkdata::BorderRegion({{20, 0}}), 4);
  EXPECT_EQ(mkdata::BorderRegion({{100, 30}}), 3);
}

}  // namespace
