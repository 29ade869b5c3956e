// The world map on the built reference data: the relief with the city marks
// at two zooms, compared pixel for pixel with the stored pictures
// data/world_map_zoom1.png and data/world_map_zoom5.png (written instead when
// NOCTRA_WRITE_REFERENCE=1; on a difference the actual picture is written
// next to the test program), and a click on a city of the built table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include <QImage>

#include "astro/reference_files.h"
#include "chart/drawing_colors.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"
#include "tools/world_map.h"

namespace {

const std::string kFolder = NOCTRA_TOOLS_REFDATA;

class WorldMapSky : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::filesystem::exists(kFolder + "world.dat")) return;
    DataFolder = kFolder;
    LoadDataFiles();
    ColorMode = 0;
    loaded_ = MakeDrawingColors() && LoadWorldMap(kFolder);
  }
  void SetUp() override { NOCTRA_REQUIRE_REFERENCE_DATA(loaded_); }
  static QImage Render(const TMapView& v) {
    platform::Bitmap bitmap;
    RenderWorldMap(WorldMap, v, bitmap);
    const TBoundarySet b = LoadBoundaryFiles(kFolder);
    DrawMapOverlay(v, b.States, b.Nations, bitmap);
    return bitmap.Image().convertToFormat(QImage::Format_RGB32);
  }
  static void Compare(const QImage& actual, const std::string& name) {
    const QString path = QString::fromStdString(std::string(NOCTRA_TOOLS_TEST_DATA) + "/" + name);
    if (const char* w = std::getenv("NOCTRA_WRITE_REFERENCE"); w && std::string(w) == "1") {
      ASSERT_TRUE(actual.save(path));
      GTEST_SKIP() << "reference written to " << path.toStdString();
    }
    const QImage ref = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(ref.isNull()) << "missing " << path.toStdString();
    ASSERT_EQ(ref.size(), actual.size());
    int differing = 0;
    for (int y = 0; y < ref.height(); ++y)
      for (int x = 0; x < ref.width(); ++x) differing += ((ref.pixel(x, y) ^ actual.pixel(x, y)) & 0xFFFFFFu) != 0;
    if (differing) actual.save(QString::fromStdString(name));
    EXPECT_EQ(differing, 0) << name << ": actual picture written to the test folder";
  }
  static inline bool loaded_ = false;
};

// Europe and Africa at the smallest scale; south-east England at scale 40.
TEST_F(WorldMapSky, ReliefWithCityMarksAtTwoZooms) {
  TMapView wide;
  wide.Width = 480, wide.Height = 320, wide.Latitude = 35, wide.WestLongitude = 345, wide.Zoom = 1;
  Compare(Render(wide), "world_map_zoom1.png");
  TMapView close = wide;
  close.Latitude = 51.5, close.WestLongitude = 0.5, close.Zoom = 5;
  Compare(Render(close), "world_map_zoom5.png");
}

// Centred on the 180° meridian: Chukotka west of it and Alaska east of it
// are both land.
TEST_F(WorldMapSky, AntimeridianViewDrawsBothSides) {
  TMapView v;
  v.Width = 480, v.Height = 320, v.Latitude = 64, v.WestLongitude = 180, v.Zoom = 2;
  const QImage img = Render(v);
  img.save("world_map_antimeridian.png");
  // A land pixel has one of the land colours, a sea pixel none.
  auto isLand = [&](QRgb pixel) {
    for (int k = 0; k < 11; ++k)
      if ((pixel & 0xFFFFFFu) == (platform::ColorRefToPixel(GlobeLandColors[0][k]) & 0xFFFFFFu)) return true;
    return false;
  };
  struct Place {
    double lon, lat;
    bool isLand;
  } places[] = {{175.0, 67.0, true}, {-166.0, 65.5, true}, {-175.0, 58.0, false}, {-178.0, 60.0, false}};
  for (const Place& p : places) {
    int x, y;
    LonLatToPixel(v, p.lon, p.lat, x, y);
    ASSERT_TRUE(x > 0 && y > 0 && x < v.Width && y < v.Height) << p.lon;
    EXPECT_EQ(isLand(img.pixel(x, y)), p.isLand) << p.lon << " " << p.lat;
  }
}

// The state and province lines built from Debian's gmt-dcw: the one
// between Colorado and Utah lies on the meridian of 109° 02' 48" W (the Four
// Corners monument, 36.9990° N 109.0452° W), the one between Alberta and
// Saskatchewan on 110° W (the Fourth Meridian of the Dominion Land Survey),
// each within 5 km and within a country (class 1). The line between
// Washington and British Columbia, the treaty line of the 49th parallel,
// is not among them: the national file draws it (within 5 km of 49° N).
TEST_F(WorldMapSky, StateLinesFromTheChartOfTheWorld) {
  NOCTRA_REQUIRE_TOOL(std::filesystem::exists("/usr/share/gmt-dcw/dcw-gmt.nc"), "the Digital Chart of the World",
                      "gmt-dcw");
  const TBoundarySet b = LoadBoundaryFiles(kFolder);
  EXPECT_TRUE(b.Problems.empty());
  EXPECT_GT(b.States.size(), 60u);
  for (const TBoundaryLine& l : b.States) EXPECT_EQ(l.Class, 1);
  // Where the lines of a class cross a meridian (or a parallel) within a
  // band: the other coordinate of each crossing.
  auto crossingsOf = [](const std::vector<TBoundaryLine>& lines, int cls, bool meridian, double at, double from,
                        double to) {
    std::vector<double> found;
    for (const TBoundaryLine& l : lines) {
      if (cls >= 0 && l.Class != cls) continue;
      for (std::size_t i = 1; i < l.Points.size(); ++i) {
        auto [x1, y1] = l.Points[i - 1];
        auto [x2, y2] = l.Points[i];
        if (!meridian) std::swap(x1, y1), std::swap(x2, y2);
        if ((x1 - at) * (x2 - at) > 0 || x1 == x2) continue;
        const double other = y1 + (y2 - y1) * (at - x1) / (x2 - x1);
        if (other >= from && other <= to) found.push_back(other);
      }
    }
    return found;
  };
  auto crossings = [&](int cls, bool meridian, double at, double from, double to) {
    return crossingsOf(b.States, cls, meridian, at, from, to);
  };
  constexpr double k5Km = 5.0 / 111.2;  // degrees of latitude
  for (double lon : {-122.7, -122.0, -120.0, -118.0, -117.1}) {
    EXPECT_TRUE(crossings(-1, true, lon, 48.5, 49.5).empty()) << lon;
    const std::vector<double> lats = crossingsOf(b.Nations, -1, true, lon, 48.0, 50.0);
    ASSERT_FALSE(lats.empty()) << lon;
    for (double lat : lats) EXPECT_NEAR(lat, 49.0, k5Km) << lon;
  }
  for (double lat : {37.2, 39.0, 40.8}) {
    const std::vector<double> lons = crossings(1, false, lat, -110.0, -108.0);
    ASSERT_EQ(lons.size(), 1u) << lat;
    EXPECT_NEAR(lons[0], -109.0452, k5Km / std::cos(lat * 3.14159265358979 / 180)) << lat;
  }
  for (double lat : {50.0, 53.0, 57.0}) {
    const std::vector<double> lons = crossings(1, false, lat, -111.0, -109.0);
    ASSERT_EQ(lons.size(), 1u) << lat;
    EXPECT_NEAR(lons[0], -110.0, k5Km / std::cos(lat * 3.14159265358979 / 180)) << lat;
  }
}

// The built relief as the window reads it: heights and depths of the
// relief raster of marble-qt-data, the coasts of the land outlines.
TEST_F(WorldMapSky, ReliefHoldsRealHeightsAndDepths) {
  NOCTRA_REQUIRE_TOOL(std::filesystem::exists("/usr/share/marble/data/maps/earth/srtm/3/000007/000007_000015.jpg"),
                      "marble-qt-data relief tiles", "marble-qt-data");
  // The sample holding a place: metres and land flag.
  auto sample = [](double lat, double lon) {
    const int r = int(std::floor(-lat)), c = int(std::floor(lon));
    std::vector<int16_t> e;
    std::vector<uint8_t> l;
    EXPECT_TRUE(DecodeWorldTile(WorldMap, (r + 90) * 360 + c + 180, e, l));
    const int j = int((-lat - r) * 12) * 12 + int((lon - c) * 12);
    return std::pair<int, bool>(e[std::size_t(j)], l[std::size_t(j)] != 0);
  };
  // The Tibetan plateau above 4,000 m; the Salar de Uyuni (3,656 m) and
  // Lake Victoria (1,134 m) within 150 m; Flevoland in the Netherlands
  // (about 4 m below sea level) near 0.
  EXPECT_TRUE(sample(32, 88).second);
  EXPECT_GT(sample(32, 88).first, 4000);
  EXPECT_NEAR(sample(-20.2, -67.6).first, 3656, 150);
  EXPECT_NEAR(sample(-1.0, 33.0).first, 1134, 150);
  EXPECT_NEAR(sample(52.5, 5.5).first, 0, 20);
  EXPECT_TRUE(sample(52.5, 5.5).second);
  // Sea: the Atlantic beside the Mid-Atlantic Ridge deeper than 2,000 m, the
  // North Sea shallower than 100 m.
  EXPECT_LT(sample(30, -42).first, -2000);
  EXPECT_FALSE(sample(30, -42).second);
  EXPECT_GT(sample(54.5, 3.0).first, -100);
  EXPECT_LT(sample(54.5, 3.0).first, 0);
  // The deepest sample of the map lies in the Mariana Trench, deeper than
  // 10,000 m; the highest in the Himalaya or Karakoram, above 6,000 m.
  std::pair<int, int> deepest{0, 0}, highest{0, 0};
  std::vector<int16_t> e;
  std::vector<uint8_t> l;
  for (int t = 0; t < WorldMap.TileCount(); ++t) {
    ASSERT_TRUE(DecodeWorldTile(WorldMap, t, e, l));
    const auto [lo, hi] = std::minmax_element(e.begin(), e.end());
    if (*lo < deepest.first) deepest = {*lo, t};
    if (*hi > highest.first) highest = {*hi, t};
  }
  const int deepLat = -(deepest.second / 360 - 90), deepLon = deepest.second % 360 - 180;
  EXPECT_LT(deepest.first, -10000);
  EXPECT_TRUE(deepLat >= 10 && deepLat <= 13 && deepLon >= 141 && deepLon <= 146) << deepLat << " " << deepLon;
  const int highLat = -(highest.second / 360 - 90), highLon = highest.second % 360 - 180;
  EXPECT_GT(highest.first, 6000);
  EXPECT_TRUE(highLat >= 27 && highLat <= 37 && highLon >= 72 && highLon <= 92) << highLat << " " << highLon;
}

TEST_F(WorldMapSky, ClickOnABuiltCityPicksIt) {
  int london = -1;
  for (int i = 0; i < kCityCount && london < 0; ++i)
    if (std::strncmp(Cities[i].Name, "London", 6) == 0 && Cities[i].Latitude > 50) london = i;
  ASSERT_GE(london, 0);
  TMapView v;
  v.Width = 480, v.Height = 320, v.Latitude = 51.5, v.WestLongitude = 0.5, v.Zoom = 5;
  int x, y;
  LonLatToPixel(v, Cities[london].Longitude, Cities[london].Latitude, x, y);
  double lon, lat;
  PixelToLonLat(v, x, y, lon, lat);
  EXPECT_EQ(NearestCity(lon, lat), london);
  // London's sample is land, the Channel south of it sea.
  EXPECT_EQ(Render(v).pixel(x, y) & 0xFFFFFFu, 0xFFFFFFu);  // the white city mark
}

}  // namespace
