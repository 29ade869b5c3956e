// The elevation grid: JPEG tiles joined into the world raster, the sea
// level found at the coasts, the grey scale, the area means, and on the
// installed marble-qt-data raster the scale against places of known height
// and depth.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "data/common.h"
#include "data/elevation.h"
#include "data/mkdata.h"
#include "data/relief.h"
#include "platform/paths.h"
#include "tests/data/data_test_util.h"
#include "tests/support/test_support.h"

#include <jpeglib.h>

using namespace mkdata;
using testing_support::TempDir;

namespace {

// Writes a grey JPEG of `width` × `height` pixels, grey(x, y) each, at
// quality 100; with `rgb` a colour one of that colour (0xRRGGBB) instead.
template <typename Grey>
void WriteGreyJpeg(const std::string& path, int width, int height, Grey grey, uint32_t rgb = 0) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  jpeg_compress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, f);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = rgb ? 3 : 1;
  info.in_color_space = rgb ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(std::size_t(width) * std::size_t(info.input_components), 0);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < width; ++x)
      if (rgb)
        for (int k = 0; k < 3; ++k) row[std::size_t(x * 3 + k)] = JSAMPLE(rgb >> (16 - 8 * k));
      else
        row[std::size_t(x)] = JSAMPLE(grey(x, int(info.next_scanline)));
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(f);
}

// A raster of one pixel a degree with every pixel `grey`.
ReliefRaster FlatRaster(uint8_t grey) {
  ReliefRaster r;
  r.perDegree = 1, r.width = 360, r.height = 180;
  r.grey.assign(360 * 180, grey);
  return r;
}

}  // namespace

// 2 rows of 4 tiles of 90 × 90 make a raster of 1 pixel a degree: tile
// (row, column) is "<row>/<row>_<column>.jpg", row 0 north, column 0 at
// 180° W; each tile here has its own grey, and a bright pixel marks the
// north-west corner of tile (1, 2).
TEST(ReliefTiles, JoinedNorthUpFromRowFolders) {
  TempDir dir;
  auto greyOf = [](int r, int c) { return 20 + 25 * (r * 4 + c); };
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c)
      WriteGreyJpeg(dir.Path() + ReliefTileFiles("")[std::size_t(r * kReliefTileColumns + c)], 90, 90,
                    [&](int x, int y) { return r == 1 && c == 2 && x < 8 && y < 8 ? 255 : greyOf(r, c); });
  EXPECT_EQ(ReliefTileFiles("/a/")[std::size_t(kReliefTileColumns + 3)], "/a/000001/000001_000003.jpg");
  const ReliefRaster raster = ReadReliefRaster(dir.Path(), 2, 4);
  ASSERT_EQ(raster.perDegree, 1);
  ASSERT_EQ(raster.width, 360);
  ASSERT_EQ(raster.height, 180);
  // JPEG at quality 100 keeps a flat block within a grey step.
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(raster.At(c * 90 + 45, r * 90 + 45), greyOf(r, c), 1) << r << " " << c;
  // 2° S, 3° E lies in tile (1, 2) next to its bright corner; 88° S, 178° E
  // in tile (1, 3); 60° N, 150° W in tile (0, 0).
  EXPECT_GE(raster.At(180 + 3, 90 + 2), 250);
  EXPECT_NEAR(raster.At(180 + 178, 90 + 88), greyOf(1, 3), 1);
  EXPECT_NEAR(raster.At(30, 30), greyOf(0, 0), 1);
  // A colour picture reads as its luminance: 0.299 R + 0.587 G + 0.114 B.
  WriteGreyJpeg(dir.File("colour.jpg"), 16, 8, [](int, int) { return 0; }, 0xC86432);
  const GreyImage colour = ReadJpegGrey(dir.File("colour.jpg"));
  ASSERT_EQ(colour.pixels.size(), 16u * 8u);
  for (uint8_t g : colour.pixels) EXPECT_NEAR(g, 0.299 * 200 + 0.587 * 100 + 0.114 * 50, 2);
}

TEST(ReliefTiles, MissingOrDamagedTilesAreRefused) {
  TempDir dir;
  const std::vector<std::string> files = ReliefTileFiles(dir.Path());
  const std::string& odd = files[std::size_t(kReliefTileColumns + 2)];  // tile (1, 2)
  auto flat = [](int, int) { return 100; };
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c) WriteGreyJpeg(files[std::size_t(r * kReliefTileColumns + c)], 90, 90, flat);
  ASSERT_EQ(ReadReliefRaster(dir.Path(), 2, 4).width, 360);
  // Tiles that make no whole-degree 2:1 world picture.
  data_test::ExpectRefused([&] { ReadReliefRaster(dir.Path(), 2, 2); }, "2:1");
  data_test::ExpectRefused([&] { ReadReliefRaster(dir.Path(), 2, 3); }, "2:1");
  WriteGreyJpeg(odd, 90, 60, flat);
  data_test::ExpectRefused([&] { ReadReliefRaster(dir.Path(), 2, 4); }, "another size");
  testing_support::WriteText(odd, "not a picture");
  data_test::ExpectRefused([&] { ReadReliefRaster(dir.Path(), 2, 4); }, odd + ": not a readable JPEG");
  std::filesystem::remove(odd);
  data_test::ExpectRefused([&] { ReadReliefRaster(dir.Path(), 2, 4); }, odd);
  // Without the package nothing is refused: the source says what is missing.
  const ElevationSource none = ReadElevationSource(dir.File("nowhere/"), {});
  EXPECT_FALSE(none.Available());
  EXPECT_NE(none.missing.find("apt-get install marble-qt-data"), std::string::npos) << none.missing;
}

// The greys of the pixels beside the coasts decide, wherever the coast
// runs. Land west of 0°, sea east of it (and across 180°): the coast
// pixels whose western neighbour is of the other kind (land at 180° W, sea
// at 0°) carry land 100 and sea 97, those whose eastern neighbour is (land
// just west of 0°, sea just west of 180°) land 96 or 99 and sea 94; pixels
// away from the coast greys that would suggest another level. Grey 98 or
// 99 and up as land misplace the fewest (90 pixels; 180 from 95, 96 or
// 100 up, 270 from 97 up): sea level lies between them, at 98. Either
// side alone would give 98.5 or 95.
TEST(ReliefScale, SeaLevelIsTheGreyThatSplitsTheCoastBest) {
  ReliefRaster r = FlatRaster(0);
  std::vector<uint8_t> mask(r.grey.size(), 0);
  auto at = [&](int x, int y) -> uint8_t& { return r.grey[std::size_t(y) * 360 + std::size_t(x)]; };
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 360; ++x) {
      mask[std::size_t(y) * 360 + std::size_t(x)] = x < 180;
      at(x, y) = x < 180 ? 20 : 230;
    }
  for (int y = 0; y < 180; ++y) {
    at(0, y) = 100, at(180, y) = 97;                      // west neighbour of the other kind
    at(179, y) = uint8_t(y % 2 ? 99 : 96), at(359, y) = 94;  // east neighbour of the other kind
  }
  EXPECT_DOUBLE_EQ(SeaLevelGrey(r, mask), 98.0);
  // Land north of the equator, sea south of it, with a gap between the
  // coast greys (land 99, sea 95): sea level in the middle of the gap.
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 360; ++x) {
      mask[std::size_t(y) * 360 + std::size_t(x)] = y < 90;
      at(x, y) = y == 89 ? 99 : y == 90 ? 95 : y < 90 ? 10 : 250;
    }
  EXPECT_DOUBLE_EQ(SeaLevelGrey(r, mask), 97.0);
  // No coast, no level.
  data_test::ExpectRefused([&] { SeaLevelGrey(r, std::vector<uint8_t>(r.grey.size(), 1)); }, "no coast");
  data_test::ExpectRefused([&] { SeaLevelGrey(r, std::vector<uint8_t>(10, 1)); }, "does not match");
}

TEST(ReliefScale, RisesWithTheGreyAndIsZeroAtSeaLevel) {
  for (double sea : {90.0, 96.9, 97.5, 104.0}) {
    EXPECT_DOUBLE_EQ(GreyToMetres(sea, sea), 0.0) << sea;
    double before = GreyToMetres(-1, sea);
    for (double g = -0.75; g <= 256; g += 0.25) {
      const double m = GreyToMetres(g, sea);
      ASSERT_GT(m, before) << "grey " << g << ", sea level " << sea;
      EXPECT_EQ(m < 0, g < sea) << g;
      before = m;
    }
  }
  // The scale spans the Earth's relief: the trenches near grey 0, the
  // highest summits near the top.
  EXPECT_LT(GreyToMetres(0, 97.5), -10000);
  EXPECT_GT(GreyToMetres(255, 97.5), 8000);
}

// Means over areas that cut pixels, keep to the place's kind and cross 180°.
TEST(ReliefSampling, AreaMeansWeighPixelPartsAndKeepTheKind) {
  const ReliefRaster r = FlatRaster(0);
  std::vector<float> m(r.grey.size(), 100.0f);
  auto at = [&](double lat, double lon) -> float& {
    return m[std::size_t(90 - int(std::ceil(lat))) * 360 + std::size_t(int(std::floor(lon)) + 180)];
  };
  at(10.5, 20.5) = 1000;  // the pixel 10..11° N, 20..21° E
  at(10.5, 21.5) = -500;  // and the one east of it: sea
  // Half of the land pixel and a quarter of its western neighbour (100 m).
  EXPECT_NEAR(AreaMean(r, m, 11, 10, 19.75, 20.5, true), (0.5 * 1000 + 0.25 * 100) / 0.75, 1e-9);
  // Over both: land counts the land pixel, sea the sea pixel.
  EXPECT_NEAR(AreaMean(r, m, 11, 10, 20, 22, true), 1000, 1e-9);
  EXPECT_NEAR(AreaMean(r, m, 11, 10, 20, 22, false), -500, 1e-9);
  // Sea over land only: the mean of all, which SurfaceMetres keeps below 0.
  EXPECT_NEAR(AreaMean(r, m, 11, 10, 20, 21, false), 1000, 1e-9);
  EXPECT_EQ(SurfaceMetres(r, m, 11, 10, 20, 21, false, 20), -20);
  // Land in a deep hole stops at the lowest dry land.
  at(-5.5, 100.5) = -3000;
  EXPECT_EQ(SurfaceMetres(r, m, -5, -6, 100, 101, true, 20), kLowestLand);
  // Across the antimeridian: 179..180° E and 180..179° W.
  at(0.5, 179.5) = 300;
  at(0.5, -179.5) = 500;
  EXPECT_NEAR(AreaMean(r, m, 1, 0, 179, 181, true), 400, 1e-9);
  EXPECT_NEAR(AreaMean(r, m, 1, 0, -181, -179, true), 400, 1e-9);
}

// --- The installed raster ---------------------------------------------------------------

class PackageRelief : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string land = platform::JoinPath(DefaultSourcesFolder(), "world-atlas/package/land-50m.json");
    if (!platform::FileExists(ReliefTileFiles(kReliefTileFolder).back()) || !platform::FileExists(land)) return;
    source_ = new ElevationSource(ReadElevationSource(kReliefTileFolder, ReadTopoJsonLand(land)));
  }
  static void TearDownTestSuite() {
    delete source_;
    source_ = nullptr;
  }
  void SetUp() override {
    NOCTRA_REQUIRE_TOOL(platform::FileExists(ReliefTileFiles(kReliefTileFolder).back()),
                        "marble-qt-data relief tiles", "marble-qt-data");
    NOCTRA_REQUIRE_REFERENCE_DATA(source_ != nullptr);  // the land outlines of world-atlas
  }
  // The mean height over a square of `side` degrees about a place.
  static double Mean(double lat, double lon, bool land, double side = 0.1) {
    return AreaMean(source_->raster, source_->metres, lat + side / 2, lat - side / 2, lon - side / 2, lon + side / 2,
                    land);
  }
  static inline ElevationSource* source_ = nullptr;
};

// Sea level sits where the outlines' coasts are, within a grey of the
// legend's 0 m (0.38 × 255 = 96.9), the scale rises through it, and the
// tiles join without a step at
// their seams: a grey step there is no larger than at the JPEG blocks'
// edges beside them (8 pixels in: each tile is compressed alone, so its
// edges are block edges too). A tile out of place would show steps of
// tens of greys.
TEST_F(PackageRelief, SeaLevelAtTheCoastsAndSeamlessTiles) {
  const ReliefRaster& r = source_->raster;
  ASSERT_EQ(r.perDegree, 30);
  EXPECT_NEAR(source_->seaLevelGrey, 96.9, 1.0);
  // The scale with that level rises with every grey and is 0 m there.
  for (int g = 1; g < 256; ++g) EXPECT_GT(GreyToMetres(g, source_->seaLevelGrey), GreyToMetres(g - 1, source_->seaLevelGrey));
  EXPECT_EQ(GreyToMetres(source_->seaLevelGrey, source_->seaLevelGrey), 0);
  const int tw = r.width / kReliefTileColumns, th = r.height / kReliefTileRows;
  ASSERT_EQ(tw, 675);
  // Mean grey step onto pixel column x (across, false) or row y (true).
  auto step = [&](int at, bool rows) {
    double sum = 0;
    const int n = rows ? r.width : r.height;
    for (int i = 0; i < n; ++i) sum += rows ? std::abs(r.At(i, at) - r.At(i, at - 1)) : std::abs(r.At(at, i) - r.At(at - 1, i));
    return sum / n;
  };
  for (const auto& [count, size, rows] : {std::tuple{kReliefTileColumns, tw, false}, std::tuple{kReliefTileRows, th, true}})
    for (int k = 1; k < count; ++k) {
      const double block = std::max(step(k * size + 8, rows), step(k * size - size % 8, rows));
      EXPECT_LT(step(k * size, rows), 1.5 * block) << (rows ? "row " : "column ") << k << "; block edges " << block;
    }
}

// Places flat over several pixels, of published height or depth: the
// scale meets them within 150 m (lake surfaces, salt flats, ice domes,
// abyssal plains), and the near-sea-level scale meets the shelf seas and
// the Caspian Sea within 30 m. In the trenches a grey step is 250 m and
// JPEG moves greys by a step or two: the deeps within 500 m.
TEST_F(PackageRelief, ScaleMeetsPlacesOfKnownHeightAndDepth) {
  struct Place {
    const char* name;
    double lat, lon, metres, tolerance;
  };
  const Place places[] = {
      {"Salar de Uyuni", -20.2, -67.6, 3656, 150},   {"Lake Titicaca", -15.8, -69.4, 3812, 150},
      {"Nam Co", 30.7, 90.6, 4718, 150},             {"Qinghai Lake", 36.9, 100.2, 3196, 150},
      {"Great Salt Lake", 41.1, -112.5, 1280, 150},  {"Lake Victoria", -1.0, 33.0, 1134, 150},
      {"Lake Baikal", 53.5, 108.0, 456, 150},        {"Lake Superior", 47.7, -87.5, 183, 150},
      {"Vostok Station", -78.46, 106.84, 3488, 150}, {"Dome A", -80.37, 77.35, 4093, 150},
      {"Euxine abyssal plain (2,000 to 2,200 m)", 43.0, 34.0, -2100, 250},
      {"Balearic abyssal plain (2,700 to 2,800 m)", 39.5, 5.5, -2750, 150},
      {"Caspian Sea surface", 42.0, 50.5, -28, 30},  {"Java Sea (mean 46 m)", -5.0, 110.0, -46, 30},
      {"Persian Gulf (mean 50 m)", 27.0, 51.0, -50, 30},
  };
  for (const Place& p : places)
    EXPECT_NEAR(Mean(p.lat, p.lon, p.metres >= 0), p.metres, p.tolerance) << p.name;
  EXPECT_NEAR(Mean(19.714, -67.311, false), -8376, 500) << "Puerto Rico Trench, Brownson Deep";
  EXPECT_NEAR(Mean(11.37, 142.59, false), -10935, 500) << "Mariana Trench, Challenger Deep";
  // Lowlands: the polder of Flevoland (about 4 m below sea level) and the
  // Netherlands near sea level.
  EXPECT_NEAR(Mean(52.5, 5.5, true), -4, 10);
  EXPECT_NEAR(Mean(52.3, 5.0, true, 0.3), 0, 10);
  // Mountains: a pixel is a 3.7 km mean, so Everest's (8,849 m) reads lower,
  // but above the Tibetan plateau around it (32° N 88° E, above 4,000 m).
  EXPECT_GT(Mean(27.988, 86.925, true, 1.0 / 30), 6500);
  EXPECT_GT(Mean(32, 88, true, 0.5), 4000);
}
