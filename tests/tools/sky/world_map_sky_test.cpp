// The world map on the built reference data: the relief with the city marks
// at two zooms, compared pixel for pixel with the stored pictures
// data/world_map_zoom1.png and data/world_map_zoom5.png (written instead when
// NOCTRA_WRITE_REFERENCE=1; on a difference the actual picture is written
// next to the test program), and a click on a city of the built table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <QImage>

#include "astro/reference_files.h"
#include "chart/drawing_colors.h"
#include "shell/globals.h"
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
  void SetUp() override {
    if (!loaded_) {
      const char* ci = std::getenv("CI");
      if (ci && *ci) FAIL() << "the reference data were not built";
      GTEST_SKIP() << "the reference data were not built (public sources not installed)";
    }
  }
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
  const QRgb land = platform::ColorRefToPixel(GlobeLandColors[0][3]) & 0xFFFFFFu;
  struct Place {
    double lon, lat;
    bool isLand;
  } places[] = {{175.0, 67.0, true}, {-166.0, 65.5, true}, {-175.0, 58.0, false}, {-178.0, 60.0, false}};
  for (const Place& p : places) {
    int x, y;
    LonLatToPixel(v, p.lon, p.lat, x, y);
    ASSERT_TRUE(x > 0 && y > 0 && x < v.Width && y < v.Height) << p.lon;
    EXPECT_EQ((img.pixel(x, y) & 0xFFFFFFu) == land, p.isLand) << p.lon << " " << p.lat;
  }
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
