// Each inset rendered at a fixed instant and place and compared pixel for
// pixel with its stored reference picture in data/ (see
// reference_image_test.cpp for the rules: fixed fonts, NOCTRA_WRITE_REFERENCE=1
// stores new references, differences are written next to the test program).
#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "app/globals.h"
#include "astro/observer.h"
#include "astro/timescales.h"
#include "chart/clock.h"
#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "chart/graph_misc.h"
#include "chart/mask.h"
#include "chart/plotter.h"
#include "chart/screen_layout.h"
#include "chart/star_sphere.h"
#include "catalog/stars.h"
#include "chart/ring.h"
#include "chart/styles.h"
#include "tests/support/reference_picture.h"
#include "tests/support/star_table.h"
#include "tests/support/test_support.h"

namespace {

void ExpectMatchesReference(const QImage& rendered, const std::string& name) {
  ExpectMatchesReference(rendered, QStringLiteral(NOCTRA_CHART_TEST_DATA "/") + QString::fromStdString(name) + ".png",
                         QString::fromStdString(name));
}

class InsetImages : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeAllAutoBitmaps();
    MaskBitmap = ClockFaceBitmap = ClockBitmap = GlobeBitmap = SphereFrameBitmap = SphereChartBitmap = nullptr;
    ColorMode = 0;
    InsetAspect = 1.0;
    TimeFlow = 1;
    TimeRate = 0;
    SetDefaultObjectColors();
    ASSERT_TRUE(MakeDrawingColors());
    MakeRingRamps();
    // Berlin, 2024 March 10, 12:34 UT.
    InitObserver(ObserverTime);
    TIME_ZONE_INFORMATION tzi;
    ASSERT_TRUE(platform::TimeZoneFromPosix("CET-1CEST,M3.5.0,M10.5.0/3", tzi));
    SetObserverLocation(ObserverTime, -13.40 / DegPerRad, 52.52 / DegPerRad, 0);
    SetObserverTimeZone(ObserverTime, tzi, 1);
    SetObserverUT(ObserverTime, 2460379.5 + (12 + 34 / 60.0) / 24);
  }
  void TearDown() override {
    FreeAllAutoBitmaps();
    MaskBitmap = ClockFaceBitmap = ClockBitmap = GlobeBitmap = SphereFrameBitmap = SphereChartBitmap = nullptr;
    TimeFlow = 0;
  }
};

TEST_F(InsetImages, Clock) {
  ASSERT_TRUE(InitClockBuffers());
  SetClockSize(150);
  DrawClock(1);
  ExpectMatchesReference(ClockBitmap->Image(), "inset_clock");
}

// A relief of simple shapes: land (200 m) in a band 0..60° N, 1..90° E and
// a square 30..40° S, 20..40° W at 3,000 m, sea deepening away from the
// equator; white at the south pole.
std::vector<uint8_t> ShapesRelief() {
  std::vector<uint8_t> bytes(kGlobeReliefBytes, 0);
  for (int row = 0; row < kGlobeRows; ++row)
    for (int cell = 0; cell < kGlobeColumns; ++cell) {
      uint8_t* p = &bytes[size_t(row * kGlobeColumns + cell) * kGlobeCellBytes];
      const int lat = row - 90, lon = cell + 1 > 180 ? cell + 1 - 360 : cell + 1;
      const bool band = lat >= 0 && lat <= 60 && lon >= 1 && lon <= 90;
      const bool square = lat <= -30 && lat >= -40 && lon >= -40 && lon <= -20;
      const int16_t e = band ? 200 : square ? 3000 : int16_t(-500 - 80 * std::abs(lat));
      p[0] = uint8_t(e & 0xFF);
      p[1] = uint8_t((e >> 8) & 0xFF);
      p[2] = band || square ? 'E' : 'W';
      if (row == 0) p[3] = p[4] = p[5] = 0xFF;
    }
  return bytes;
}

TEST_F(InsetImages, GlobeWithTheObserversCross) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("scripps2.dat"), ShapesRelief());
  DataFolder = dir.Path();
  GlobeReliefLoaded = 0;
  ASSERT_TRUE(MakeGlobeTexture());
  GlobeSize = 0;  // no animation: the view is set below
  ChangeObserverLocation("Berlin", ObserverTime.TimeZone, 1, 52.52 / DegPerRad, -13.40 / DegPerRad, THorizonArray{});
  DoneGlobe();
  GlobeSize = 150;
  MapWidth = 1000;
  SetGlobeView(30 / DegPerRad, -10 / DegPerRad);
  DataFolder.clear();
  ExpectMatchesReference(GlobeBitmap->Image(), "inset_globe");
}

TEST_F(InsetImages, StarSphereWithTheFieldOfView) {
  ASSERT_TRUE(InitStarSphereBuffers());
  // The Plough and a few more bright stars (Hipparcos J2000 positions,
  // rounded): Vega, Deneb, Capella, Arcturus.
  std::vector<CatalogueStar> stars = kPloughStars;
  stars.insert(stars.end(), {{18.6156, 38.784, 0.0}, {20.6905, 45.280, 1.3}, {5.2782, 45.998, 0.1}, {14.2610, 19.182, -0.1}});
  ScopedStarTable table(stars, 2);
  tPlotter main, sphere;
  MainPlotter = &main;
  SpherePlotter = &sphere;
  SetObserverUT(ObserverTime, 2460379.5 + 22.0 / 24);  // night
  main.Observer = ObserverTime;
  main.ZenithView = 0;
  main.Zoom = 2.0;
  main.CentreOnHorizon = 1;
  main.HeldAlt = main.CentreAlt = 45 / DegPerRad;  // looking east, half way up
  main.HeldAz = 90 / DegPerRad;
  ObserverLocationSet = 1;
  SetStarSphereSize(150);
  static_cast<TPlotterState&>(sphere) = static_cast<const TPlotterState&>(main);
  DrawStarSphere();
  ExpectMatchesReference(SphereChartBitmap->Image(), "inset_star_sphere");
  MainPlotter = SpherePlotter = nullptr;
  ObserverLocationSet = 0;
  GuideSize = 0;
}

TEST_F(InsetImages, MaskOfEachKind) {
  BackBufferWidth = MapWidth = 320;
  BackBufferHeight = MapHeight = 200;
  ASSERT_TRUE(CreateOvalMask());
  QImage sheet(320, 5 * 200, QImage::Format_RGB32);
  QPainter p(&sheet);
  for (int kind = 0; kind < 5; ++kind) {
    OvalMaskKind = kind;
    UpdateOvalMask();
    p.drawImage(0, kind * 200, MaskBitmap->Image());
  }
  p.end();
  OvalMaskKind = 2;
  ExpectMatchesReference(sheet, "inset_mask");
}

}  // namespace
