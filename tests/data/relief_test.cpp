// The globe's surface file: TopoJSON land decoding, the land fraction of the
// grid nodes, and the cells byte by byte.
#include <gtest/gtest.h>

#include "data/common.h"
#include "data/relief.h"
#include "platform/codec.h"
#include "tests/support/test_support.h"

using namespace mkdata;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

// The node of latitude lat and east longitude lon (1..360).
double At(const std::vector<std::vector<double>>& f, int lat, int lon) {
  return f[std::size_t(lat + 90)][std::size_t(lon - 1)];
}

}  // namespace

TEST(Relief, TopoJsonArcsQuantisedAndReversed) {
  TempDir dir;
  // Two arcs forming a box from 10°E to 20°E and 10°N to 20°N: arc 0 goes
  // (10,10) → (20,10) → (20,20), arc 1 goes (10,10) → (10,20) → (20,20)
  // and is used reversed. Quantised with scale 0.5 and delta-encoded.
  WriteText(dir.File("land.json"),
            R"({"type":"Topology","transform":{"scale":[0.5,0.5],"translate":[0,0]},
                "objects":{"land":{"type":"GeometryCollection","geometries":[{"type":"MultiPolygon","arcs":[[[0,-2]]]}]}},
                "arcs":[[[20,20],[20,0],[0,20]],[[20,20],[0,20],[20,0]]]})");
  const auto rings = ReadTopoJsonLand(dir.File("land.json"));
  ASSERT_EQ(rings.size(), 1u);
  const std::vector<std::pair<double, double>> expect = {{10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}};
  EXPECT_EQ(rings[0], expect);
  WriteText(dir.File("empty.json"), R"({"type":"Topology","objects":{"land":{"type":"GeometryCollection","geometries":[]}},"arcs":[]})");
  EXPECT_THROW(ReadTopoJsonLand(dir.File("empty.json")), SourceError);
}

TEST(Relief, LandFractionsOfNodes) {
  // The box 10..20°E, 10..20°N; a ring cut at the antimeridian (170°E to
  // 170°W, 0..5°N) given as two pieces joined across ±180°; and an
  // Antarctic ring around the south pole north to 80°S.
  const LonLatRing box = {{10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}};
  const LonLatRing island = {{170, 0}, {180, 0}, {-170, 0}, {-170, 5}, {-180, 5}, {170, 5}, {170, 0}};
  LonLatRing pole;
  for (int lon = -180; lon <= 180; lon += 10) pole.push_back({lon, -80.0});
  const auto f = LandFractions({box, island, pole});
  EXPECT_NEAR(At(f, 15, 15), 1.0, 1e-9);
  EXPECT_DOUBLE_EQ(At(f, 25, 15), 0.0);
  // A node on the box's edge is partly land: of the samples at 9.6 .. 10.4°E
  // those east of 10° lie inside.
  EXPECT_NEAR(At(f, 15, 10), 0.4, 1e-9);
  EXPECT_NEAR(At(f, 2, 175), 1.0, 1e-9);
  EXPECT_NEAR(At(f, 2, 360 - 175), 1.0, 1e-9);  // 175°W
  EXPECT_NEAR(At(f, 2, 180), 1.0, 1e-9);
  EXPECT_DOUBLE_EQ(At(f, 2, 160), 0.0);
  EXPECT_NEAR(At(f, -85, 45), 1.0, 1e-9);
  EXPECT_DOUBLE_EQ(At(f, -75, 45), 0.0);
}

TEST(Relief, CellsOfTheFile) {
  std::vector<std::vector<double>> f(kReliefRows, std::vector<double>(kReliefColumns, 0.0));
  f[100][9] = 1.0;   // latitude +10, longitude 10°E: land
  f[100][10] = 0.4;  // less than half land: water
  int land = 0;
  const std::vector<uint8_t> b = EncodeRelief(f, &land);
  ASSERT_EQ(b.size(), 456120u);  // 181 × 360 × 7
  auto cell = [&](int row, int c) { return b.data() + (std::size_t(row) * 360 + std::size_t(c)) * 7; };
  EXPECT_EQ(land, 360 + 1);  // the south pole row and the one node
  EXPECT_EQ(platform::GetI16(cell(100, 9)), kLandElevation);
  EXPECT_EQ(cell(100, 9)[2], 'E');
  EXPECT_NE(cell(100, 10)[2], 'E');
  // The sea deepens with the distance from land.
  EXPECT_EQ(platform::GetI16(cell(100, 10)), -200);
  EXPECT_EQ(platform::GetI16(cell(100, 11)), -2000);
  EXPECT_EQ(platform::GetI16(cell(100, 12)), -4000);
  EXPECT_EQ(platform::GetI16(cell(1, 0)), -200);  // next to the south pole row
  // Row 0 is land with white in its colour slots; other slots are zero.
  EXPECT_EQ(cell(0, 123)[2], 'E');
  EXPECT_EQ(platform::GetU32(cell(0, 123) + 3), 0x00FFFFFFu);
  EXPECT_EQ(platform::GetU32(cell(100, 9) + 3), 0u);
  // The north pole row is sea.
  EXPECT_NE(cell(180, 0)[2], 'E');
  EXPECT_THROW(EncodeRelief({}), SourceError);
}
