// Each inset rendered at a fixed instant and place and compared pixel for
// pixel with its stored reference picture in data/ (see
// reference_image_test.cpp for the rules: fixed fonts, NOCTRA_WRITE_REFERENCE=1
// stores new references, differences are written next to the test program).
#include <gtest/gtest.h>

#include <QImage>
#include <string>

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
#include "tests/chart/inset_support.h"
#include "tests/support/reference_picture.h"
#include "tests/support/star_table.h"
#include "tests/support/test_support.h"

using namespace inset_support;

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
    PlaceObserver(52.52, 13.40, kMarch10, kBerlinZone);
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
