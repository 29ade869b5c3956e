// Each inset rendered in Berlin at the fixture's instant and compared pixel
// for pixel with its stored reference picture in data/.
#include <gtest/gtest.h>

#include <QPainter>

#include "chart/magnifier_inset.h"
#include "chart/screen_layout.h"
#include "tests/chart/inset_support.h"
#include "tests/support/star_table.h"
#include "tests/support/test_support.h"

using namespace inset_support;

namespace {

using InsetImages = InsetFixture;

TEST_F(InsetImages, Clock) {
  ASSERT_TRUE(InitClockBuffers());
  SetClockSize(150);
  DrawClock(1);
  ExpectMatchesPicture(ClockBitmap->Image(), "inset_clock");
}

// The globe of the shapes relief in `dir` as the data folder's, with the
// observer's cross on Berlin.
void MakeBerlinGlobe(const testing_support::TempDir& dir) {
  testing_support::WriteFile(dir.File("scripps2.dat"), ShapesRelief());
  DataFolder = dir.Path();
  GlobeReliefLoaded = 0;
  ASSERT_TRUE(MakeGlobeTexture());
  GlobeSize = 0;  // no animation: the view is set afterwards
  ChangeObserverLocation("Berlin", ObserverTime.TimeZone, 1, 52.52 / DegPerRad, -13.40 / DegPerRad, THorizonArray{});
  DoneGlobe();
}

// The cross on Berlin, seen from 30° N, 10° E.
TEST_F(InsetImages, GlobeWithTheObserversCross) {
  testing_support::TempDir dir;
  MakeBerlinGlobe(dir);
  GlobeSize = 150;
  MapWidth = 1000;
  SetGlobeView(30 / DegPerRad, -10 / DegPerRad);
  DataFolder.clear();
  ExpectMatchesPicture(GlobeBitmap->Image(), "inset_globe");
}

// Night vision, switched on as the colours window's OK does it, turns the
// globe (with its cross), the clock, the star sphere's frame (as the
// sphere's chart bitmap starts) and the magnifier's frame with its caption
// red: no pixel but the transparent key keeps green or blue.
TEST_F(InsetImages, NightVisionTurnsEveryInsetRed) {
  testing_support::TempDir dir;
  MakeBerlinGlobe(dir);
  ASSERT_TRUE(InitClockBuffers() && InitStarSphereBuffers() && InitMagnifierBuffers());
  GlobeSize = ClockSize = GuideSize = 150;
  MapWidth = 1000;
  SetGlobeView(52.52 / DegPerRad, -13.40 / DegPerRad);
  ColorMode = 2;
  MakeDrawingColors();
  RefreshScreen();
  UpdateMagnifierFrame(150, 4);  // the main window's part of the refresh
  DataFolder.clear();
  int inset = 0;  // globe, clock, star sphere, magnifier
  for (const Bitmap* b : {GlobeBitmap, ClockBitmap, SphereChartBitmap, MagnifierFrameBitmap}) {
    int coloured = 0, red = 0;
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 400; ++x) {
        const uint32_t p = b->Pixel(x, y) & platform::kRgbMask;
        coloured += p != b->Key() && (p & 0xFFFF) != 0;
        red += p > 0xFFFF;
      }
    EXPECT_EQ(coloured, 0) << "inset " << inset;
    EXPECT_GT(red, 10000) << "inset " << inset++;
  }
  ColorMode = 0;
  MakeDrawingColors();
}

// Looking east, half way up, at night.
TEST_F(InsetImages, StarSphereWithTheFieldOfView) {
  ASSERT_TRUE(InitStarSphereBuffers());
  // The Plough and a few more bright stars (Hipparcos J2000 positions,
  // rounded): Vega, Deneb, Capella, Arcturus.
  std::vector<CatalogueStar> stars = kPloughStars;
  stars.insert(stars.end(),
               {{18.6156, 38.784, 0.0}, {20.6905, 45.280, 1.3}, {5.2782, 45.998, 0.1}, {14.2610, 19.182, -0.1}});
  ScopedStarTable table(stars, 2);
  tPlotter main, sphere;
  MainPlotter = &main;
  SpherePlotter = &sphere;
  SetObserverUT(ObserverTime, 2460379.5 + 22.0 / 24);
  main.Observer = ObserverTime;
  main.ZenithView = 0;
  main.Zoom = 2.0;
  main.CentreOnHorizon = 1;
  main.HeldAlt = main.CentreAlt = 45 / DegPerRad;
  main.HeldAz = 90 / DegPerRad;
  ObserverLocationSet = 1;
  SetStarSphereSize(150);
  static_cast<TPlotterState&>(sphere) = static_cast<const TPlotterState&>(main);
  DrawStarSphere();
  ExpectMatchesPicture(SphereChartBitmap->Image(), "inset_star_sphere");
  SpherePlotter = nullptr;
  ObserverLocationSet = 0;
  GuideSize = 0;
}

// The five kinds on a small chart, one below the other.
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
  ExpectMatchesPicture(sheet, "inset_mask");
}

}  // namespace
