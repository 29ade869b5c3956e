// The globe's surface files: TopoJSON land and border decoding, the land
// fraction of the grid nodes and the cells byte by byte, and the location
// window's relief map with its land mask, depths and tiles.
#include <gtest/gtest.h>

#include "data/common.h"
#include "data/elevation.h"
#include "data/relief.h"
#include "data/worldmap.h"
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

// An elevation grid of one pixel a degree, every pixel `metres`.
ElevationSource FlatSource(float metres) {
  ElevationSource s;
  s.raster.perDegree = 1, s.raster.width = 360, s.raster.height = 180;
  s.raster.grey.assign(360 * 180, 0);
  s.metres.assign(360 * 180, metres);
  return s;
}
// The pixel of the grid at a place.
float& Pixel(ElevationSource& s, double lat, double lon) {
  return s.metres[std::size_t(90 - int(std::ceil(lat))) * 360 + std::size_t(int(std::floor(lon)) + 180)];
}

// The world map sample holding a place.
std::size_t Sample(double lat, double lon) {
  const int row = int((90.0 - lat) * kWorldSamplesPerDegree);
  const int col = int((lon + 180.0) * kWorldSamplesPerDegree);
  return std::size_t(row) * kWorldColumns + std::size_t(col);
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

TEST(Relief, LandPointsOffTheGlobeAreRefusedAndRingsCrossTheAntimeridian) {
  TempDir dir;
  const std::string head = R"({"type":"Topology","objects":{"land":{"type":"GeometryCollection","geometries":[)"
                           R"({"type":"Polygon","arcs":[[0]]}]}},"arcs":[[)";
  // A longitude of -2e42 once made the ring unwrapping step 360° at a time.
  for (const char* point : {"[-2e42, 10]", "[10, 91]", "[181, 0]"}) {
    WriteText(dir.File("land.json"), head + "[0,0],[10,0]," + point + ",[0,0]]]}");
    EXPECT_THROW(ReadTopoJsonLand(dir.File("land.json")), SourceError) << point;
  }
  WriteText(dir.File("land.json"), head + "[170,0],[-170,0],[-170,10],[170,0]]]}");
  const auto rings = ReadTopoJsonLand(dir.File("land.json"));
  ASSERT_EQ(rings.size(), 1u);
  // The ring across the antimeridian covers the cells on both sides of it.
  const auto frac = LandFractions(rings);
  EXPECT_GT(frac[90 + 2][179], 0.0);  // 180° east, 2° north
  EXPECT_EQ(frac[90 + 2][100], 0.0);
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

TEST(WorldMapWriter, LandMaskAndDepthsOf5MinuteSamples) {
  // A square island 10°..20° E, 0°..10° N, and one across the antimeridian.
  const std::vector<LonLatRing> rings = {{{10, 0}, {20, 0}, {20, 10}, {10, 10}, {10, 0}},
                                         {{178, -20}, {-178, -20}, {-178, -16}, {178, -16}, {178, -20}}};
  const auto mask = WorldLandMask(rings);
  ASSERT_EQ(mask.size(), std::size_t(180 * 12) * (360 * 12));
  EXPECT_EQ(mask[Sample(5, 15)], 1);
  EXPECT_EQ(mask[Sample(9.96, 10.04)], 1);  // the corner sample inside
  EXPECT_EQ(mask[Sample(10.04, 10.04)], 0);
  EXPECT_EQ(mask[Sample(-18, 179.5)], 1);
  EXPECT_EQ(mask[Sample(-18, -179.5)], 1);
  EXPECT_EQ(mask[Sample(-18, 170)], 0);
  const auto e = WorldElevations(mask);
  EXPECT_EQ(e[Sample(5, 15)], 200);
  EXPECT_EQ(e[Sample(5, 20.5)], -200);   // within 1° of the coast
  EXPECT_EQ(e[Sample(5, 22.5)], -2000);  // within 3°
  EXPECT_EQ(e[Sample(5, 30)], -4000);
}

// With an elevation grid each node takes the mean of its 1° cell (the
// node at latitude row - 90, east longitude cell + 1, 181..360 being west
// longitudes), kept to its kind.
TEST(Relief, CellsTakeTheMeanOfTheirDegreeFromTheElevationGrid) {
  ElevationSource src = FlatSource(-3000);
  // The node at 11° N 11° E spans 10.5..11.5°: a quarter of four pixels.
  for (double lat : {10.5, 11.5}) Pixel(src, lat, 10.5) = 1000, Pixel(src, lat, 11.5) = 2000;
  // 20° S 160° W (cell 199) and 159° W: land of 800 m around them.
  for (double lat : {-20.5, -19.5})
    for (double lon : {-160.5, -159.5, -158.5}) Pixel(src, lat, lon) = 800;
  std::vector<std::vector<double>> f(kReliefRows, std::vector<double>(kReliefColumns, 0.0));
  f[101][10] = 1.0;  // 11° N 11° E land
  f[120][50] = 1.0;  // 30° N 51° E land over the sea's depths
  f[70][199] = 1.0;  // 20° S 160° W
  f[70][200] = 0.0;  // 20° S 159° W: water over land
  const std::vector<uint8_t> b = EncodeRelief(f, nullptr, &src);
  auto elevation = [&](int row, int c) { return platform::GetI16(b.data() + (std::size_t(row) * 360 + std::size_t(c)) * 7); };
  EXPECT_EQ(elevation(101, 10), 1500);
  EXPECT_EQ(elevation(101, 12), -3000);
  EXPECT_EQ(elevation(120, 50), kLowestLand);  // no land below the Dead Sea's shore
  EXPECT_EQ(elevation(70, 199), 800);
  EXPECT_EQ(elevation(70, 200), -1);  // water at least 1 m deep
  EXPECT_EQ(b[(std::size_t(70) * 360 + 199) * 7 + 2], 'E');
  // The poles: the south pole row land, the north pole row water.
  EXPECT_EQ(elevation(0, 0), kLowestLand);
  EXPECT_EQ(elevation(180, 0), -3000);
}

TEST(WorldMapWriter, SamplesTakeTheirCellsMeanAsStoredUnits) {
  ElevationSource src = FlatSource(-3000);
  Pixel(src, 5.5, 15.5) = 1234;   // land
  Pixel(src, 5.5, 16.5) = 5;      // water over a land pixel
  Pixel(src, 5.5, 17.5) = -1000;  // land over a deep hole
  std::vector<uint8_t> mask(std::size_t(kWorldRows) * kWorldColumns, 0);
  for (double lon : {15.5, 17.5}) mask[Sample(5.5, lon)] = 1;
  const std::vector<int16_t> e = WorldElevations(mask, src);
  EXPECT_EQ(e[Sample(5.5, 15.5)], 1234);
  EXPECT_EQ(e[Sample(5.5, 16.5)], -20);  // one stored unit deep
  EXPECT_EQ(e[Sample(5.5, 17.5)], kLowestLand);
  EXPECT_EQ(e[Sample(-40, -100)], -3000);
  // Stored as the nearest 20 m, land not below -420 m, water below 0.
  EXPECT_EQ(WorldUnits(1234, true), 62);
  EXPECT_EQ(WorldUnits(-1235, false), -62);
  EXPECT_EQ(WorldUnits(kLowestLand, true), -21);
  EXPECT_EQ(WorldUnits(5, false), -1);
  EXPECT_EQ(WorldUnits(-5, true), 0);
  const WorldMapFiles f = EncodeWorldMap(mask, &src);
  EXPECT_EQ(f.steepTiles, 0);
  EXPECT_EQ(f.idx.size(), std::size_t(360 * 180));
}

TEST(WorldMapWriter, FilesHoldEveryTileWithinItsLimits) {
  std::vector<uint8_t> mask(std::size_t(kWorldRows) * kWorldColumns, 0);
  for (int r = 900; r < 1000; ++r)
    for (int c = 2000; c < 2100 + r % 7; ++c) mask[std::size_t(r) * kWorldColumns + std::size_t(c)] = 1;
  const auto f = EncodeWorldMap(mask);
  ASSERT_EQ(f.idx.size(), std::size_t(360 * 180));
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

TEST(WorldMapWriter, BordersAreTheArcsTwoCountriesShare) {
  // Two countries sharing arc 0 (a border), each with its own coast arc.
  TempDir dir;
  WriteText(dir.File("c.json"), R"({"type":"Topology",
    "transform":{"scale":[0.5,0.5],"translate":[10,40]},
    "arcs":[[[0,0],[0,4]], [[0,4],[-2,0],[0,-4],[2,0]], [[0,0],[2,0],[0,4],[-2,0]]],
    "objects":{"countries":{"type":"GeometryCollection","geometries":[
      {"type":"Polygon","arcs":[[0,1]]},
      {"type":"MultiPolygon","arcs":[[[2,-1]]]}]}}})");
  const auto borders = ReadTopoJsonBorders(dir.File("c.json"));
  ASSERT_EQ(borders.size(), 1u);
  ASSERT_EQ(borders[0].size(), 2u);
  EXPECT_DOUBLE_EQ(borders[0][0].first, 10.0);
  EXPECT_DOUBLE_EQ(borders[0][1].second, 42.0);
  // Regions: 0 North America, 1 South America, 2 Europe, 3 Asia, 4 Africa.
  EXPECT_EQ(BorderRegion(borders[0]), 2);
  EXPECT_EQ(BorderRegion({{-100, 40}}), 0);
  EXPECT_EQ(BorderRegion({{-60, -20}}), 1);
  EXPECT_EQ(BorderRegion({{100, 30}}), 3);
  EXPECT_EQ(BorderRegion({{20, 0}}), 4);
}
