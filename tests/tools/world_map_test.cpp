// The relief map files: tiles decoded from hand-made bytes, damaged files
// refused, the generator's tiles read back; boundary files; the view's
// conversions and a click on a city.
#include <gtest/gtest.h>

#include <cstring>

#include "astro/reference_files.h"
#include "data/worldmap.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "shell/data_files.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"
#include "tools/world_map.h"

namespace {

// A world of 2 × 2-sample tiles (h1 = h3 = 2, 20 m a unit, 4-bit run
// codes): every tile whole sea, base 0 (5 bytes), except the first three.
struct HandMadeWorld {
  std::vector<uint8_t> dat{0, 0, 2, 0, 20, 0, 2, 0, 4, 0}, idx;
  HandMadeWorld() {
    // Tile 0: whole land, base 10, offset 1, no step bits: 10, 11, 12, 13.
    Add({0x10, 10, 0, 1, 0});
    // Tile 1: a land bit in every value, 3-bit steps, offset -2. Base
    // 2 × 5 + 0 (land). Steps 7 (step 3, sea), 4 (step 2, land), 1 (step
    // 0, sea) packed from the lowest bit: 0x67, 0x00. Values 5, 6, 6, 4.
    Add({0x03, 10, 0, 0xFE, 0xFF, 0x67, 0x00});
    // Tile 2: whole sea, run coded, 2-bit steps, base -10, offset 0: code
    // 6 (three equal steps) then the step 1: 0x16. Values -10 .. -7.
    Add({0x70 | 0x02, 0xF6, 0xFF, 0, 0, 0x16});
    while (idx.size() < 64800) Add({0x30, 0, 0, 0, 0});
  }
  void Add(std::vector<uint8_t> tile) {
    idx.push_back(uint8_t(tile.size()));
    dat.insert(dat.end(), tile.begin(), tile.end());
  }
};

TEST(WorldMapFile, HandMadeTilesDecode) {
  HandMadeWorld w;
  TWorldMapData map;
  ASSERT_TRUE(ParseWorldMap(w.dat, w.idx, map));
  struct Case {
    int tile;
    std::vector<int16_t> elevation;
    std::vector<uint8_t> land;
  } cases[] = {{0, {200, 220, 240, 260}, {1, 1, 1, 1}},
               {1, {100, 120, 120, 80}, {1, 0, 1, 0}},
               {2, {-200, -180, -160, -140}, {0, 0, 0, 0}},
               {64799, {0, 0, 0, 0}, {0, 0, 0, 0}}};
  for (const Case& c : cases) {
    std::vector<int16_t> e;
    std::vector<uint8_t> l;
    ASSERT_TRUE(DecodeWorldTile(map, c.tile, e, l)) << c.tile;
    EXPECT_EQ(e, c.elevation) << c.tile;
    EXPECT_EQ(l, c.land) << c.tile;
  }
  std::vector<int16_t> e;
  std::vector<uint8_t> l;
  EXPECT_FALSE(DecodeWorldTile(map, 64800, e, l));
}

TEST(WorldMapFile, DamagedFilesAndTilesRefused) {
  TWorldMapData map;
  {
    HandMadeWorld w;  // index one entry short
    w.idx.pop_back();
    EXPECT_FALSE(ParseWorldMap(w.dat, w.idx, map));
  }
  {
    HandMadeWorld w;  // lengths do not add up to the data
    w.idx[5] += 1;
    EXPECT_FALSE(ParseWorldMap(w.dat, w.idx, map));
  }
  {
    HandMadeWorld w;  // h3 differs from h1
    w.dat[6] = 3;
    EXPECT_FALSE(ParseWorldMap(w.dat, w.idx, map));
  }
  EXPECT_FALSE(ParseWorldMap({1, 2, 3}, {}, map));
  EXPECT_FALSE(map.Loaded());
  // Tiles whose steps or runs reach past their bytes.
  HandMadeWorld w;
  w.dat[10 + 5 + 7 + 5] = 0x1E;  // tile 2's code: 7 equal steps where 3 remain
  w.dat[10 + 5] = 0x07;          // tile 1: 7-bit steps need 3 bytes, it has 2
  ASSERT_TRUE(ParseWorldMap(w.dat, w.idx, map));
  std::vector<int16_t> e;
  std::vector<uint8_t> l;
  EXPECT_FALSE(DecodeWorldTile(map, 1, e, l));
  EXPECT_FALSE(DecodeWorldTile(map, 2, e, l));
  EXPECT_TRUE(DecodeWorldTile(map, 0, e, l));
  EXPECT_FALSE(DecodeWorldTile(map, -1, e, l));
}

// What is wrong is named with the file it is in; the start-up's load tells
// it (a missing file too) and keeps a map whose damaged tiles are black.
TEST(WorldMapFile, DamageIsNamedAndTheLoadTellsIt) {
  TWorldMapData map;
  TWorldMapDamage damage;
  auto parse = [&](const std::vector<uint8_t>& dat, const std::vector<uint8_t>& idx) {
    damage = {};
    EXPECT_FALSE(ParseWorldMap(dat, idx, map, &damage));
    return std::tuple(damage.code, damage.file, damage.reason);
  };
  HandMadeWorld w;
  EXPECT_EQ(parse({1, 2, 3}, w.idx), std::tuple(int16_t(101), "world.dat", "3 bytes, shorter than its head of 10 bytes"));
  std::vector<uint8_t> head = w.dat;
  head[2] = 0;  // no samples a tile
  EXPECT_EQ(parse(head, w.idx),
            std::tuple(int16_t(100), "world.dat",
                       "its head gives 0 samples a tile side, 2 a degree, 20 metres a unit and 4-bit run codes, "
                       "which make no map"));
  std::vector<uint8_t> idx = w.idx;
  idx.pop_back();
  EXPECT_EQ(parse(w.dat, idx),
            std::tuple(int16_t(101), "world.idx", "64,799 bytes where the index of the map's 64800 tiles takes 64,800 bytes"));
  std::vector<uint8_t> cut(w.dat.begin(), w.dat.end() - 7);
  EXPECT_EQ(parse(cut, w.idx),
            std::tuple(int16_t(101), "world.dat",
                       "its tiles take 323,996 bytes where its index \"world.idx\" gives 324,003 bytes (one of the "
                       "two was cut short or written over)"));

  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  ForgetDataFileProblemsForTest();
  EXPECT_FALSE(LoadWorldMap(dir.Path()));  // missing
  HandMadeWorld damaged;
  damaged.dat[10 + 5] = 0x07;  // tile 1 reaches past its bytes
  testing_support::WriteFile(dir.File("world.dat"), damaged.dat);
  testing_support::WriteFile(dir.File("world.idx"), damaged.idx);
  ForgetDataFileProblemsForTest();
  EXPECT_TRUE(LoadWorldMap(dir.Path()));
  EXPECT_TRUE(WorldMap.Loaded());
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Records()[0].text,
                                          "Warning: Can't open file \"world.dat\": the file is missing."));
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text,
                                          "Warning: Can't read file \"world.dat\": 1 of its 64800 tiles do not decode "
                                          "(the first is tile 1); the map is black there."));
  WorldMap = TWorldMapData{};
  ForgetDataFileProblemsForTest();
}

// The generator's tiles read back exactly: a coast tile with a bit in every
// sample and a steep uniform slope that run coding packs.
TEST(WorldMapFile, GeneratedTilesReadBack) {
  std::vector<int16_t> coast(144), slope(144, -200);
  std::vector<uint8_t> coastLand(144), sea(144, 0);
  for (int j = 0; j < 144; ++j) {
    coastLand[j] = (j % 12) < (j / 12);
    coast[j] = int16_t(coastLand[j] ? 10 : (j % 3 == 0 ? -100 : -10));
  }
  for (int j = 100; j < 144; ++j) slope[j] = int16_t(-200 + (j - 100) * 2);
  for (const auto& [units, land] : {std::pair{coast, coastLand}, std::pair{slope, sea}}) {
    const std::vector<uint8_t> tile = mkdata::EncodeWorldTile(units, land);
    ASSERT_LE(tile.size(), 255u);
    EXPECT_LE(tile[0] & 15, 9);
    std::vector<uint8_t> dat{0, 0, 12, 0, 20, 0, 12, 0, 8, 0}, idx(64800, 5);
    dat.insert(dat.end(), tile.begin(), tile.end());
    idx[0] = uint8_t(tile.size());
    for (int t = 1; t < 64800; ++t) dat.insert(dat.end(), {0x30, 0, 0, 0, 0});
    TWorldMapData map;
    ASSERT_TRUE(ParseWorldMap(dat, idx, map));
    std::vector<int16_t> e;
    std::vector<uint8_t> l;
    ASSERT_TRUE(DecodeWorldTile(map, 0, e, l));
    for (int j = 0; j < 144; ++j) {
      EXPECT_EQ(e[j], units[j] * 20) << j;
      EXPECT_EQ(l[j], land[j]) << j;
    }
  }
}

// A coast too steep for 9-bit steps: in every row six samples of land at
// 3,000 m, then six of sea 9,000 m deep (steps of -600 and +600 units,
// where the flags leave room for 255). The tile reads back with its flags,
// every sample within the change the generator reports, land above the
// sea, and a gentle tile unchanged.
TEST(WorldMapFile, SteepTileKeepsItsFlagsAndTheNearestFittingValues) {
  std::vector<int16_t> steep(144), gentle(144);
  std::vector<uint8_t> land(144);
  for (int j = 0; j < 144; ++j) {
    land[j] = j % 12 < 6;
    steep[j] = int16_t(land[j] ? 150 : -450);
    gentle[j] = int16_t(land[j] ? 10 + j % 5 : -3 - j % 7);
  }
  auto readBack = [](const std::vector<uint8_t>& tile, std::vector<int16_t>& e, std::vector<uint8_t>& l) {
    std::vector<uint8_t> dat{0, 0, 12, 0, 20, 0, 12, 0, 8, 0}, idx(64800, 5);
    dat.insert(dat.end(), tile.begin(), tile.end());
    idx[0] = uint8_t(tile.size());
    for (int t = 1; t < 64800; ++t) dat.insert(dat.end(), {0x30, 0, 0, 0, 0});
    TWorldMapData map;
    return ParseWorldMap(dat, idx, map) && DecodeWorldTile(map, 0, e, l);
  };
  int changed = -1;
  std::vector<int16_t> e;
  std::vector<uint8_t> l;
  ASSERT_TRUE(readBack(mkdata::EncodeWorldTile(gentle, land, &changed), e, l));
  EXPECT_EQ(changed, 0);
  for (int j = 0; j < 144; ++j) EXPECT_EQ(e[j], gentle[j] * 20) << j;
  ASSERT_TRUE(readBack(mkdata::EncodeWorldTile(steep, land, &changed), e, l));
  // The least change, by hand: steps lie in [o, o + 255] and land stays at
  // -21 units (-420 m) or above. Sample 6 of a row is at least -21 + o,
  // wanted -450; sample 0 of the next row at most 255 + o above sample 11,
  // and at least -21. With o = -128 the changes are 301 and 302; any other
  // offset makes one of them larger.
  EXPECT_EQ(changed, 302);
  int lowestLand = 0x7FFF, highestSea = -0x8000;
  for (int j = 0; j < 144; ++j) {
    EXPECT_EQ(l[j], land[j]) << j;
    EXPECT_LE(std::abs(e[j] - steep[j] * 20), changed * 20) << j;
    (land[j] ? lowestLand = std::min<int>(lowestLand, e[j]) : highestSea = std::max<int>(highestSea, e[j]));
  }
  EXPECT_GE(lowestLand, -420);
  EXPECT_LT(highestSea, 0);
  EXPECT_GT(lowestLand, highestSea);
  // A cliff, land at 8,000 m beside sea 20 m deep: the change falls on the
  // land, the sea stays below sea level. A coast of 2,000 m beside 4,000 m
  // of sea, steps of 300 units: still too wide, never more than 9 bits.
  for (const auto& [top, bottom] : {std::pair{400, -1}, std::pair{100, -200}}) {
    for (int j = 0; j < 144; ++j) steep[j] = int16_t(land[j] ? top : bottom);
    const std::vector<uint8_t> tile = mkdata::EncodeWorldTile(steep, land, &changed);
    EXPECT_LE(tile[0] & 15, 9);
    ASSERT_TRUE(readBack(tile, e, l));
    EXPECT_GT(changed, 0);
    for (int j = 0; j < 144; ++j) {
      EXPECT_EQ(l[j], land[j]) << j;
      EXPECT_LE(std::abs(e[j] - steep[j] * 20), changed * 20) << j;
      if (!land[j]) {
        EXPECT_LT(e[j], 0) << j;
      }
    }
  }
}

TEST(BoundaryFile, RoundTripAndDamage) {
  // Short steps either way, and long ones (more than 64" or 128").
  // Written by the generator.
  mkdata::BoundaryLine a{3, {{-0.5, 51.0}, {-0.49, 51.01}, {-0.51, 50.99}, {2.0, 48.0}, {-1.0, 49.0}}};
  mkdata::BoundaryLine skipped{0, {{10, 10}, {11, 11}}};
  const auto bytes = mkdata::EncodeBoundaryFile({a, skipped});
  std::vector<TBoundaryLine> lines;
  ASSERT_EQ(ParseBoundaryFile(bytes, lines), 0);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].Points.size(), a.points.size());
  EXPECT_EQ(lines[0].Class, 3);
  for (std::size_t i = 0; i < a.points.size(); ++i) {
    EXPECT_NEAR(lines[0].Points[i].first, a.points[i].first, 0.5 / 3600);
    EXPECT_NEAR(lines[0].Points[i].second, a.points[i].second, 0.5 / 3600);
  }
  auto magic = bytes, index = bytes, count = bytes, points = bytes;
  magic[0] ^= 1;
  platform::PutI32(index.data() + 4, 1 << 30);
  platform::PutI32(count.data() + 8, 1 << 30);  // more segments than the index holds
  const int32_t seg = platform::GetI32(bytes.data() + platform::GetI32(bytes.data() + 4) + 20);
  platform::PutU16(points.data() + seg + 12, 60000);  // more points than the segment's bytes
  EXPECT_EQ(ParseBoundaryFile(magic, lines), 100);
  EXPECT_EQ(ParseBoundaryFile(index, lines), 101);
  EXPECT_EQ(ParseBoundaryFile({1, 2}, lines), 103);
  EXPECT_EQ(ParseBoundaryFile(count, lines), 0);
  EXPECT_EQ(lines.size(), 1u);
  EXPECT_EQ(ParseBoundaryFile(points, lines), 0);
  EXPECT_EQ(lines[0].Points.size(), a.points.size());
  // Steps adding up beyond the pole end the segment; a segment starting off
  // the globe is left out.
  mkdata::BoundaryLine pole{2, {{0, 89.0}, {0, 89.5}, {0, 1e5}, {0, 89.9}}}, off{2, {{0, -1e5}, {0, 0}}};
  ASSERT_EQ(ParseBoundaryFile(mkdata::EncodeBoundaryFile({pole, off}), lines), 0);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Points.size(), 2u);
  int x = 0, y = 0;  // a place far off the globe: held a million pixels out
  LonLatToPixel(TMapView{}, 1e300, -1e12, x, y);
  EXPECT_EQ(y, 1000000);
}

TEST(MapView, ConversionsPanAndClickOnACity) {
  TMapView v;
  v.Width = 400, v.Height = 200, v.Latitude = 50, v.WestLongitude = 359.9, v.Zoom = 4, v.Aspect = 1.0;
  EXPECT_EQ(v.Scale(), 30);
  // A view across the antimeridian keeps both sides.
  TMapView pacific = v;
  pacific.WestLongitude = 180;  // centre 180° E
  int x, y;
  LonLatToPixel(pacific, 179.0, 0, x, y);
  EXPECT_EQ(x, 200 - 30);
  LonLatToPixel(pacific, -179.0, 0, x, y);
  EXPECT_EQ(x, 200 + 30);
  // Click on a city: its pixel gives back the city.
  const TCityRecord saved = Cities[7];
  std::strcpy(Cities[7].Name, "London");
  Cities[7].Latitude = 51.5, Cities[7].Longitude = -0.13;
  LonLatToPixel(v, -0.13, 51.5, x, y);
  double lon, lat;
  PixelToLonLat(v, x, y, lon, lat);
  EXPECT_NEAR(lon, -0.13, 1.0 / 30);
  EXPECT_NEAR(lat, 51.5, 1.0 / 30);
  EXPECT_EQ(NearestCity(lon, lat), 7);
  EXPECT_EQ(NearestCity(lon + 3, lat), -1);
  Cities[7] = saved;
  // Pan steps: 2° of latitude at scale 10, 1° at scale 100; the pole stops.
  v.Zoom = 1, v.Latitude = 89;
  PanMap(v, 0);
  EXPECT_EQ(v.Latitude, 90);
  PanMap(v, 1);
  EXPECT_EQ(v.Latitude, 88);
  v.Zoom = 7;
  PanMap(v, 2);
  EXPECT_NEAR(v.WestLongitude, 1.9, 1e-9);
}

}  // namespace
