// The whole chart render on synthetic skies (no catalogues): what a render
// leaves behind for the next, minor-body tracks, markers, the twilight
// arcs' guard, night vision, and a sky compared with a stored picture.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "astro/transforms.h"
#include "catalog/bounds.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/headless_scene.h"
#include "chart/render_inputs.h"
#include "tests/chart/layer_scene.h"
#include "tests/support/reference_picture.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180.0;
constexpr double kLatitude = 50 * kDeg;
// 2026 January 15, 22h UT: night at 50° north.
constexpr double kNight = 2461056.4166667;
// 2026 January 15, 16h30 UT: the Sun a few degrees below the horizon at 10° east.
constexpr double kDusk = 2461056.1875;

uint32_t Brightness(uint32_t p) { return std::max({(p >> 16) & 255u, (p >> 8) & 255u, p & 255u}); }

class Render : public ::testing::Test {
 protected:
  void SetUp() override {
    InitHeadlessSky();
    p_ = std::make_unique<tPlotter>();
    MainPlotter = p_.get();
    p_->Width = 800;
    p_->Height = 600;
    p_->DpiX = p_->DpiY = 96;
    p_->ShowObjects = 0;
    p_->ShowGrid = 0;
    p_->ShowHorizon = 0;
    p_->PlanetLabels = p_->MoonLabel = p_->SunLabel = 0;
    SetObserverLocation(p_->Observer, -10 * kDeg, kLatitude, 0);
  }
  void TearDown() override {
    ClearDrawTarget();
    MainPlotter = nullptr;
    MoonBitmap = nullptr;
    SetChartInputs({});
    AsteroidCount = 0;
  }
  void Plot(double jd) {
    SetObserverUT(p_->Observer, jd);
    bitmap_ = std::make_unique<platform::Bitmap>(p_->Width, p_->Height);
    platform::DrawingContext dc(*bitmap_);
    p_->Plot(dc, bitmap_.get());
  }
  std::unique_ptr<tPlotter> p_;
  std::unique_ptr<platform::Bitmap> bitmap_;
};

// Each render starts afresh: a zoom no chart can show is brought back into
// range, and the object label list left by an earlier render is emptied.
TEST_F(Render, ZoomIsBroughtIntoRangeAndLabelsBelongToOneRender) {
  const struct {
    double zoom, rendered;
  } cases[] = {{std::nan(""), 0.95}, {0.0, 0.95}, {-2.0, 0.95}, {1e-9, 0.001}, {1e12, 10000.0}, {8.0, 8.0}};
  p_->ObjectLabels = 1;
  for (const auto& c : cases) {
    p_->Zoom = c.zoom;
    p_->ObjectLabelCount = 5;
    Plot(kNight);
    EXPECT_EQ(p_->Zoom, c.rendered) << c.zoom;
    EXPECT_EQ(p_->ObjectLabelCount, 0) << c.zoom;
    EXPECT_EQ(p_->Replot, 0);
  }
}

// (1) Ceres, osculating elements of epoch 2026 January 11.0 TT (JPL small-body
// database, equinox J2000): a 2.7666 AU, e 0.0796, i 10.588°, Ω 80.25°,
// ω 73.29°, M 247.0°.
TSolSysBody Ceres() {
  TSolSysBody b{};
  b.ShowCode.assign("M2");
  b.Name.assign("Ceres");
  b.Epoch = 2461051.5;
  b.EquinoxEpoch = 2451545.0;
  b.SemiMajorAxis = 2.7666;
  b.Eccentricity = 0.0796;
  b.Inclination = 10.588 * kDeg;
  b.Node = 80.25 * kDeg;
  b.Perihelion = 73.29 * kDeg;
  b.MeanAnomaly = 247.0 * kDeg;
  b.DailyMotion = -1;
  b.PerihelionDistance = -1;
  b.Period = -1;
  b.AbsMagnitude = 3.34;
  b.Slope = 0.12;
  b.LastJD = -1e7;
  CheckElementConversion(b);
  return b;
}

TEST_F(Render, MinorBodyIsPrecessedAndItsTrackLeavesTheChartInstant) {
  Asteroids[0] = Ceres();
  AsteroidCount = 1;
  p_->ShowAsteroids = 1;
  // The position of the chart instant, precessed from J2000 to the date.
  TObserverTime obs = p_->Observer;
  SetObserverUT(obs, kNight);
  SetPrecession(obs, 2451545.0, obs.JD_TT);
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  CalcSun(ctx, obs);
  CalcEarthOrbit(ctx, obs);
  TSolSysBody fresh = Ceres();
  ASSERT_TRUE(CalcOrbitBody(ctx, obs, fresh));
  double ra = fresh.RA, dec = fresh.Dec;
  Precess(obs, ra, dec);
  p_->Observer = obs;
  p_->Observer.PrecessionOn = 1;
  // At zoom 20 (1° = 67 pixels) the 0.36° of precession since 2000 is 24
  // pixels: the body's dot (2 pixels across) sits on the centre only when
  // it is precessed.
  EquatorialToHorizontal(obs, p_->HeldAlt, p_->HeldAz, ra, dec);
  p_->ZenithView = 0;
  p_->CentreOnHorizon = 1;
  p_->Zoom = 20;
  Plot(kNight);
  uint32_t best = 0;
  for (int y = 298; y <= 302; ++y)
    for (int x = 398; x <= 402; ++x) best = std::max(best, Brightness(bitmap_->Pixel(x, y)));
  EXPECT_GE(best, 200u);
  // The track's 120 other days moved only a copy and the plotter's records.
  EXPECT_EQ(p_->Observer.JD_UT, kNight);
  EXPECT_NEAR(Asteroids[0].LastJD, obs.JD_TT, 1e-6);
  EXPECT_NEAR(Asteroids[0].RA, fresh.RA, 1e-9);
  EXPECT_NEAR(Asteroids[0].Dec, fresh.Dec, 1e-9);
  // The track is kept between renders only while the elements stay: moved
  // elements (as the solar-system window applies them) move the dot and its
  // track (a day is 0.25°, 17 pixels) away from the centre.
  auto dotsNearCentre = [&] {
    int n = 0;
    for (int y = 260; y <= 340; ++y)
      for (int x = 360; x <= 440; ++x) n += Brightness(bitmap_->Pixel(x, y)) >= 200;
    return n;
  };
  EXPECT_GT(dotsNearCentre(), 10);
  Asteroids[0].MeanAnomaly += 90 * kDeg;
  Asteroids[0].LastJD = -1e7;
  Plot(kNight);
  EXPECT_EQ(dotsNearCentre(), 0);
}

TEST_F(Render, TrackedCometWithoutAnOrbitCentresOnTheZenith) {
  Comets[0] = Ceres();
  Comets[0].Eccentricity = std::nan("");  // no orbit can be solved
  CometCount = 1;
  p_->ZenithView = 0;
  p_->CentreOnHorizon = 1;
  p_->HeldAlt = 20 * kDeg;
  p_->TrackKind = kTrackComet;
  p_->TrackIndex = 0;
  p_->TrackName.assign("C/2099 A1");
  Plot(kNight);
  CometCount = 0;
  EXPECT_EQ(p_->CentreAlt, kPi / 2);
  EXPECT_EQ(p_->TrackName.str(), "");
  EXPECT_EQ(p_->TrackKind, kTrackComet);
  EXPECT_EQ(p_->TrackIndex, 0);
}

// Markers: an unset marker (RA -1) is not drawn and breaks the line that
// joins its neighbours.
TEST_F(Render, UnsetMarkerBreaksTheJoiningLine) {
  for (const bool gap : {false, true}) {
    std::vector<TChartMarker> markers(3);
    TObserverTime obs = p_->Observer;
    SetObserverUT(obs, kNight);
    // Two points 30° up in the south-east and south-west, joined.
    for (int i : {0, 2}) {
      double ra, dec;
      HorizontalToEquatorial(obs, ra, dec, (i == 0 ? 150 : 210) * kDeg, 30 * kDeg);
      markers[std::size_t(i)].RA = ra;
      markers[std::size_t(i)].Dec = dec;
      markers[std::size_t(i)].Join = 1;
      markers[std::size_t(i)].Color = 0x00FFFFFF;
    }
    markers[1] = markers[0];
    // An unset marker keeps its other fields; here a declination that would
    // put RA -1 rad high in the northern sky if it were drawn.
    if (gap) markers[1].RA = -1.0, markers[1].Dec = 80 * kDeg;
    TChartInputs in;
    in.markerCount = [] { return 3; };
    in.marker = [&](int32_t i, TChartMarker& m) {
      m = markers[std::size_t(i - 1)];
      return true;
    };
    SetChartInputs(in);
    p_->ZenithView = 1;
    p_->Zoom = 1;
    Plot(kNight);
    // The line's midpoint: due south at the altitude where the chord of the
    // two points crosses the meridian (about 32°, 58% of the way from the
    // centre to the horizon at y 600); look along that column.
    bool lit = false;
    for (int y = 450; y < 530 && !lit; ++y) lit = Brightness(bitmap_->Pixel(400, y)) > 200;
    EXPECT_EQ(lit, !gap);
    if (gap) {
      double alt, az, x, y;
      EquatorialToHorizontal(obs, alt, az, -1.0, 80 * kDeg);
      ASSERT_TRUE(p_->ProjectToChart(alt, az, x, y));
      uint32_t near = 0;
      for (int j = int(y) - 3; j <= int(y) + 3; ++j)
        for (int i = int(x) - 3; i <= int(x) + 3; ++i) near = std::max(near, Brightness(bitmap_->Pixel(i, j)));
      EXPECT_LT(near, 200u);
    }
  }
}

// The Moon's face against astropy 5.2 (topocentric, no refraction): the lit
// fraction (1 + cos i) / 2 of phase angle i, and a point 0.2° from the Moon
// toward the Sun (horizontal-frame position angle, directional_offset_by),
// for a high and a low Moon at 50° N 10° E and 33.9° S 18.4° E. At zoom 100
// and at zoom 1 (the least disc, 8 pixels across) the shadow leaves that
// fraction lit (0.01) and the lit limb's middle (disc point 27) lies along
// the projected way to the Sun (2°).
TEST_F(Render, MoonsFaceLitByThePhaseAngleTowardTheSun) {
  struct Case {
    double jd, eastLongitude, latitude, fraction, alt, az, towardAlt, towardAz;
  };
  const Case cases[] = {{2461067.2500000, 10.0, 50.0, 0.5619, 59.6449, 191.3448, 59.5599, 191.7025},
                        {2461067.5416667, 10.0, 50.0, 0.5898, 5.3346, 296.8414, 5.1729, 296.9595},
                        {2461078.6250000, 18.4, -33.9, 0.7258, 67.4515, 354.9997, 67.5449, 355.4619},
                        {2461066.3750000, 18.4, -33.9, 0.4602, 5.5136, 294.1449, 5.4106, 293.9727}};
  p_->ZenithView = 0;
  p_->MoonImage = 0;
  for (const Case& c : cases)
    for (const double zoom : {100.0, 1.0}) {
      p_->Zoom = zoom;
      SetObserverLocation(p_->Observer, -c.eastLongitude * kDeg, c.latitude * kDeg, 0);
      p_->HeldAlt = c.alt * kDeg;
      p_->HeldAz = c.az * kDeg;
      Plot(c.jd);
      EXPECT_NEAR(1 - PolygonArea(PhaseShadowPoints[1], 38) / PolygonArea(PhaseDiscPoints[1], 37), c.fraction, 0.01)
          << c.jd;
      double x1, y1, x2, y2;
      ASSERT_TRUE(p_->ProjectToChart(c.alt * kDeg, c.az * kDeg, x1, y1));
      ASSERT_TRUE(p_->ProjectToChart(c.towardAlt * kDeg, c.towardAz * kDeg, x2, y2));
      const QPointF limb = PhaseDiscPoints[1][27] * 2 - PhaseDiscPoints[1][0] - PhaseDiscPoints[1][18];
      const double drawn = std::atan2(limb.y(), limb.x());
      EXPECT_NEAR(std::remainder(drawn - std::atan2(y2 - y1, x2 - x1), 2 * kPi) / kDeg, 0, 2) << c.jd << " " << zoom;
    }
}

// The Moon's picture at 1992 April 12, 0h TT, the instant of Meeus's
// examples 48.a and 53.a ("Astronomical Algorithms", 2nd ed.): 68% lit,
// the position angle of its axis P = 15.08°. Seen from 40° N 70° W it
// stands near the meridian, 64° high. At three places on a 1200 x 900
// chart (its middle, near the left edge, near the top right corner) the
// picture's north spot lies along the way to position angle 15.08° as the
// chart draws it (3°), and its east spot (Mare Crisium's limb) along the
// way to 285.08°, the sky's west side.
TEST_F(Render, MoonPictureTurnsWithItsAxis) {
  constexpr double kP = 15.08 * kDeg;
  UseMarkedMoonPicture();
  p_->Width = 1200;
  p_->Height = 900;
  p_->ZenithView = 0;
  p_->Zoom = 40;
  p_->MoonImage = 1;
  SetObserverLocation(p_->Observer, 70 * kDeg, 40 * kDeg, 0);
  const double jd = 2448724.5 - 59.0 / 86400;  // TT - UT = 59 s
  TObserverTime obs = p_->Observer;
  SetObserverUT(obs, jd);
  TSolarContext ctx{};
  CalcMoon(ctx, obs, MoonBody);
  double moonAlt, moonAz;
  EquatorialToHorizontal(obs, moonAlt, moonAz, MoonBody.RA, MoonBody.Dec);
  ASSERT_GT(moonAlt, 60 * kDeg);
  const double offsets[3][2] = {{0, 0}, {0, 2.2}, {-1.5, -2.0}};  // view centre minus the Moon, degrees alt, az
  std::vector<std::pair<int, int>> places;
  for (const auto& o : offsets) {
    p_->HeldAlt = moonAlt + o[0] * kDeg;
    p_->HeldAz = moonAz + o[1] * kDeg / std::cos(moonAlt);
    Plot(jd);
    double alt, az;
    int32_t x, y;
    ASSERT_TRUE(p_->PlaceRaDec(MoonBody.RA, MoonBody.Dec, alt, az, x, y));
    places.push_back({x, y});
    // Where the chart draws position angles P and P + 270° from the Moon.
    auto expected = [&](double pa) {
      double ra2 = 0, dec2 = 0, alt2 = 0, az2 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
      OffsetByPositionAngle(MoonBody.RA, MoonBody.Dec, pa, 0.3 * kDeg, ra2, dec2);
      p_->RaDecToAltAz(MoonBody.RA, MoonBody.Dec, alt, az);
      p_->RaDecToAltAz(ra2, dec2, alt2, az2);
      EXPECT_TRUE(p_->ProjectToChart(alt, az, x1, y1) && p_->ProjectToChart(alt2, az2, x2, y2));
      return std::atan2(y2 - y1, x2 - x1);
    };
    double north = 0, east = 0;
    ASSERT_TRUE(SpotDirection(*bitmap_, x, y, 60, 60, IsWhiteSpot, north)) << x << ", " << y;
    ASSERT_TRUE(SpotDirection(*bitmap_, x, y, 60, 60, IsGreenSpot, east)) << x << ", " << y;
    EXPECT_NEAR(std::remainder(north - expected(kP), 2 * kPi) / kDeg, 0, 3) << x << ", " << y;
    // The chart's azimuthal equidistant projection stretches directions
    // along the altitude circles (3.5% at 64°), so an undistorted disc
    // turned north-true meets the west only within 2° here.
    EXPECT_NEAR(std::remainder(east - expected(kP + 1.5 * kPi), 2 * kPi) / kDeg, 0, 4) << x << ", " << y;
  }
  EXPECT_LT(std::abs(places[0].first - 600) + std::abs(places[0].second - 450), 4);
  EXPECT_LT(places[1].first, 200);
  EXPECT_GT(places[2].first, 1000);
  EXPECT_LT(places[2].second, 150);
}

TEST_F(Render, TwilightArcsNeedARadiusOfOnePixel) {
  // At dusk the twilight arcs are drawn; a chart whose arcs would have a
  // radius below one pixel (zoom 1e-4) renders without them.
  TObserverTime obs = p_->Observer;
  SetObserverUT(obs, kDusk);
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  CalcSun(ctx, obs);
  double alt, az;
  EquatorialToHorizontal(obs, alt, az, ctx.SunRA, ctx.SunDec);
  ASSERT_LT(alt, 0);
  ASSERT_GT(alt, -15 * kDeg);
  p_->Zoom = 1e-4;
  Plot(kDusk);
  EXPECT_EQ(p_->Replot, 0);
  p_->Zoom = 1;
  Plot(kDusk);
  int blue = 0;
  for (int x = 100; x < 700; x += 10) blue += (bitmap_->Pixel(x, 300) & 255u) > 20;
  EXPECT_GT(blue, 40);
}

// Night vision keeps every pixel red, the star sphere's blue figures too.
TEST_F(Render, NightVisionStarSphereIsRedOnly) {
  const int16_t keptCount = ConstellationLineCount;
  const TConstellationLinePoint keptLines[3] = {ConstellationLineTable[1], ConstellationLineTable[2],
                                                ConstellationLineTable[3]};
  // A figure line near the zenith of 50° north at the chart instant.
  TObserverTime obs = p_->Observer;
  SetObserverUT(obs, kNight);
  double ra1, dec1, ra2, dec2;
  HorizontalToEquatorial(obs, ra1, dec1, 0.0, 60 * kDeg);
  HorizontalToEquatorial(obs, ra2, dec2, kPi, 60 * kDeg);
  auto point = [](double ra, double dec) {
    return TConstellationLinePoint{uint16_t(std::lround(ra * kConstellationLineScale)),
                                   int16_t(std::lround(dec * kConstellationLineScale)), 1};
  };
  ConstellationLineTable[1] = {0, 0, 0};
  ConstellationLineTable[2] = point(ra1, dec1);
  ConstellationLineTable[3] = point(ra2, dec2);
  ConstellationLineCount = 3;
  ColorMode = 2;
  MakeDrawingColors();
  p_->OutputKind = kOutputStarSphere;
  p_->ConstellationLines = 2;
  Plot(kNight);
  int lit = 0, coloured = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint32_t px = bitmap_->Pixel(x, y);
      lit += (px & 0xFF0000u) != 0;
      coloured += (px & 0x00FFFFu) != 0;
    }
  ColorMode = 0;
  MakeDrawingColors();
  ConstellationLineCount = keptCount;
  for (int i = 0; i < 3; ++i) ConstellationLineTable[i + 1] = keptLines[i];
  EXPECT_GT(lit, 300);  // the figure line crosses the chart
  EXPECT_EQ(coloured, 0);
}

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

const QString kReference = QStringLiteral(NOCTRA_CHART_TEST_DATA "/reference_sky.png");

// 2026-01-26 0h UT at 50° N on the prime meridian: the Moon, 87° from the
// Sun, stands 6° above the western horizon; the Sun is far below.
constexpr double kInstant = 2461066.50;
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
