// A small synthetic sky rendered by the whole chart render and compared
// pixel for pixel with the stored picture data/reference_sky.png, so that a
// change in any layer shows: stars in every magnitude band and several
// spectral classes (a variable with its ring, proper names, Bayer letters),
// one deep-sky object of each class (an outlined nebula, a galaxy labelled
// as a Messier object), the equatorial grid with labels, the ecliptic, the
// horizon, the ground, a compass direction and the Moon near first quarter.
//
// The objects are placed by altitude and azimuth around the view centre
// (converted with the astronomy core) and written to a small object
// database; the stars go straight into the star array.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>

#include "astro/planets.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "astro/transforms.h"
#include "catalog/bounds.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/render_inputs.h"
#include "tests/chart/layer_scene.h"
#include "tests/support/reference_picture.h"

namespace {

const QString kReference = QStringLiteral(NOCTRA_CHART_TEST_DATA "/reference_sky.png");
constexpr double kDeg = 3.141592653589793 / 180.0;

// 2026-01-26 0h UT at 50° N on the prime meridian: the Moon, 87° from the
// Sun, stands 6° above the western horizon; the Sun is far below.
constexpr double kInstant = 2461066.50;
constexpr double kLatitude = 50 * kDeg;
// The view: 7° above the horizon at azimuth 278°, zoom 10.
constexpr double kViewAlt = 7 * kDeg;
constexpr double kViewAz = 278 * kDeg;

struct SkyObject {
  const char* id;
  const char* cl;
  double alt, az;  // degrees
  int maA, miA, pa;
};

class SyntheticSky : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<tPlotter> plotter = std::make_unique<tPlotter>();
  ObjectRows rows;
};

void SyntheticSky::SetUp() {
  ColorMode = 0;
  PrintScale = 1;
  SetDefaultObjectColors();
  SetDefaultStyleFonts();
  MakeDrawingColors();
  SetChartInputs(TChartInputs{});
  ConvertElementTable();
  InitPlanetRecords(Planets);
  InitExtraElementRecord(MoonBody);
  MoonBody.LastJD = -1000000.0;
  ConstellationLineCount = 0;
  MilkyWayCount = 0;
  BoundaryPoints.clear();
  BoundaryPointCount = 0;

  StarOptions = RegistryDefaultStarOptions();  // magnitude range of star discs
  tPlotter& p = *plotter;
  SetObserverLocation(p.Observer, 0, kLatitude, 0);
  SetObserverUT(p.Observer, kInstant);
  p.Observer.PrecessionOn = 0;
  ObserverTime = p.Observer;
  auto raDec = [&](double altDeg, double azDeg, double& ra, double& dec) {
    HorizontalToEquatorial(p.Observer, ra, dec, azDeg * kDeg, altDeg * kDeg);
  };

  // Stars: magnitude bytes of every image band, several classes.
  struct SkyStar {
    double alt, az;
    uint8_t magnitude, spectral, greek;
    uint16_t name;
  };
  const SkyStar skyStars[] = {
      {12.0, 276.0, 10, 1, 1, 1},  {10.5, 274.0, 20, 2, 2, 0},   {13.5, 279.5, 30, 3, 8, 2},
      {9.0, 277.5, 40, 5, 0, 0},   {11.0, 271.0, 50, 6, 10, 0},  {8.0, 280.5, 60, 7, 0, 0},
      {14.5, 283.0, 70, 4, 0, 0},  {12.5, 285.0, 80, 6, 0, 0},   {6.0, 275.0, 95, 3, 0, 0},
      {7.5, 279.0, 120, 2, 0, 0},  {10.0, 287.5, 0, 4, 0, 0},    {4.5, 286.0, 45, 7 | 128, 0, 0},
      {15.0, 274.5, 35, 5 | 128, 0, 0},
  };
  SaoStars.clear();
  for (const SkyStar& s : skyStars) {
    double ra, dec;
    raDec(s.alt, s.az, ra, dec);
    SaoStars.push_back(TSaoStar{float(ra), float(dec), 0, 0, s.name, 0, s.magnitude, s.spectral, s.greek});
  }
  SaoStarCount = int32_t(SaoStars.size());
  StarNames = {"Testar", "Secunda"};
  StarNameCount = 2;

  // A nebula outline of 9 points.
  const double outline[9][2] = {{3.5, 285.0}, {4.6, 286.2}, {4.2, 287.5}, {3.0, 288.0}, {2.2, 287.0},
                                {2.6, 286.4}, {1.9, 285.6}, {2.5, 284.6}, {3.5, 285.0}};
  for (int k = 0; k < 9; ++k) {
    double ra, dec;
    raDec(outline[k][0], outline[k][1], ra, dec);
    NebulaOutlineTable[k + 1] = TNebulaOutlinePoint{0, 0, ra, dec};
  }
  NebulaOutlineTable[10] = TNebulaOutlinePoint{kOutlineEnd, 0, 0, 0};
  NebulaOutlineCount = 10;
  MessierToRngc[31] = 224;

  // One object of each class (and one of class 7, never drawn).
  const SkyObject objects[] = {
      {"1039", "1", 10.5, 288.5, 300, 300, kNoSize},  {"1912", "1", 9.0, 275.5, 150, 150, kNoSize},
      {"6205", "2", 12.0, 287.0, 250, 250, kNoSize},  {"7000", "3", 9.5, 282.0, 200, 200, kNoSize},
      {"2070", "3", 3.0, 286.0, 300, 300, 1},         {"6720", "4", 11.0, 284.5, 200, 200, kNoSize},
      {"224", "5", 13.0, 273.5, 400, 150, 30},        {"2244", "6", 5.5, 276.0, 300, 300, kNoSize},
      {"9999", "7", 8.0, 280.0, 300, 300, kNoSize},
  };
  for (const SkyObject& o : objects) {
    double ra, dec;
    raDec(o.alt, o.az, ra, dec);
    rows.Add(o.cl, ra, dec, 8.0, o.maA, o.pa, o.id, o.miA);
  }
  rows.Open();

  p.Width = 960;
  p.Height = 480;
  p.DpiX = p.DpiY = 100;
  p.Zoom = 10;
  p.ZenithView = 0;
  p.CentreOnHorizon = 1;
  p.HeldAlt = kViewAlt;
  p.HeldAz = kViewAz;
  p.GridLabels = 1;
  p.ShowStarNames = 1;
  p.MoonImage = 0;
  p.StarOptionA = 1;
}

void SyntheticSky::TearDown() {
  ClearDrawTarget();
  SaoStars.clear();
  SaoStarCount = 0;
  StarNames.clear();
  StarNameCount = 0;
  NebulaOutlineCount = 0;
  NebulaOutlineTable[1] = TNebulaOutlinePoint{kOutlineEnd, 0, 0, 0};
  MessierToRngc[31] = 0;
  SetDefaultObjectColors();
}

TEST_F(SyntheticSky, MatchesTheStoredPicture) {
  platform::Bitmap bitmap(960, 480);
  {
    platform::DrawingContext dc(bitmap);
    plotter->Plot(dc, &bitmap);
  }
  ExpectMatchesReference(bitmap.Image(), kReference, "reference_sky");
}

// The same sky on a printer page (no pixel memory: every layer draws with
// the drawing context): the brightest star as a disc, the Moon's disc dark
// as paper wants it, the horizon line in dark grey.
TEST_F(SyntheticSky, PrintedPageDrawsThroughTheDrawingContext) {
  tPlotter& p = *plotter;
  p.OutputKind = kOutputPrinter;
  QImage page(960, 480, QImage::Format_RGB32);
  page.fill(Qt::white);
  {
    platform::DrawingContext dc(&page);
    p.Plot(dc, nullptr);
  }
  auto rgb = [&](int x, int y) { return page.pixel(x, y) & 0x00FFFFFFu; };
  double alt, az;
  int32_t x, y;
  ASSERT_TRUE(p.PlaceRaDec(SaoStars[0].RA, SaoStars[0].Dec, alt, az, x, y));
  EXPECT_NE(rgb(x, y), 0x00FFFFFFu) << "no disc for the brightest star";
  ASSERT_TRUE(p.PlaceRaDec(MoonBody.RA, MoonBody.Dec, alt, az, x, y));
  int dark = 0;
  for (int dy = -3; dy <= 3; ++dy)
    for (int dx = -3; dx <= 3; ++dx) dark += rgb(x + dx, y + dy) == platform::MakePixel(23, 23, 23);
  EXPECT_GT(dark, 0) << "no dark Moon disc";
  bool horizon = false;
  for (int yy = 300; yy < 480; ++yy) horizon |= rgb(480, yy) == platform::MakePixel(85, 85, 85);
  EXPECT_TRUE(horizon);
}

}  // namespace
