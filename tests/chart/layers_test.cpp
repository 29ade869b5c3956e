// The chart's sky layers, each called alone on a prepared plotter (see
// layer_scene.h): the star size table and the naked-eye limits, the deep-sky
// zoom gate, object cap and outline bounds, the grid spacing and thinning
// near the pole and its labels, the ground at high zoom, and the phase
// discs; and the magnifier's mirrored phase discs and ring, its markers and
// nebula outlines and its bezel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "astro/planets.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "astro/transforms.h"
#include "catalog/stars.h"
#include "chart/layers.h"
#include "chart/magnifier_inset.h"
#include "chart/plotter_b.h"
#include "chart/render_inputs.h"
#include "chart/ring.h"
#include "platform/codec.h"
#include "shell/globals.h"
#include "tests/chart/auto_bitmaps.h"
#include "tests/chart/layer_scene.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180.0;
constexpr double kHalfPi = 1.5707963267948966;

// Equatorial position of (altitude, azimuth) for the scene's observer.
void RaDecOf(const tPlotter& p, double alt, double az, double& ra, double& dec) {
  HorizontalToEquatorial(p.Observer, ra, dec, az, alt);
}

// Worked example of the star size table: bright -1.0, faint 6.0, unit 4:
// b = 10, f = 80; entry 80 is (2, 2) (half a unit), entry 10 is (10, 10)
// (70/71 * 8 = 7.89 -> 8, plus 2); everything outside 10..80 is 0.
TEST(StarLayer, SizeTableEnds) {
  LayerScene s(100, 100, 1, kHalfPi, -3.141592653589793, 0);
  tPlotter& p = *s.p;
  struct Case {
    double bright, faint, adjust;
    int byte, radius;
  };
  const Case cases[] = {
      {-1.0, 6.0, 0, 80, 2},  {-1.0, 6.0, 0, 10, 10}, {-1.0, 6.0, 0, 9, 0},  {-1.0, 6.0, 0, 81, 0},
      {-1.0, 6.0, 0, 0, 0},   {-1.0, 6.0, 0, 140, 0}, {-1.0, 6.0, -100, 10, 2}, {-1.0, 6.0, -100, 80, 2},
      {6.0, -1.0, 0, 40, 0},  {-3.0, 13.0, 0, 0, 9},  {-3.0, 13.0, 0, 140, 2},
  };
  for (const Case& c : cases) {
    p.MakeStarSizeTable(c.bright, c.faint, c.adjust);
    EXPECT_EQ(p.StarSizeTable[c.byte][0], c.radius) << c.bright << " " << c.faint << " byte " << c.byte;
    EXPECT_EQ(p.StarSizeTable[c.byte][1], c.radius);
    EXPECT_EQ(p.StarWidth(uint8_t(c.byte)), 2 * c.radius);
  }
  EXPECT_EQ(p.StarWidth(141), 0);
  EXPECT_EQ(p.StarHeight(200), 0);
}

// Four stars 10° from the zenith of magnitudes 6.0, 6.1, 7.0 and 7.1: with
// naked-eye stars only, zoom 1 shows magnitude 6.0, zoom 2.5 up to 7.0,
// zoom 3.5 every star; without the option every star at any zoom.
TEST(StarLayer, NakedEyeLimitsByZoom) {
  const uint8_t bytes[4] = {80, 81, 90, 91};
  struct Case {
    double zoom;
    uint8_t nakedEye;
    bool drawn[4];
  };
  const Case cases[] = {
      {1.0, 1, {true, false, false, false}}, {1.5, 1, {true, false, false, false}},
      {2.5, 1, {true, true, true, false}},   {3.5, 1, {true, true, true, true}},
      {1.0, 0, {true, true, true, true}},
  };
  for (const Case& c : cases) {
    LayerScene s(400, 400, c.zoom, kHalfPi, -3.141592653589793, 50 * kDeg);
    tPlotter& p = *s.p;
    p.NakedEyeOnly = c.nakedEye;
    std::vector<TSaoStar> stars(4);
    for (int i = 0; i < 4; ++i) {
      double ra, dec;
      RaDecOf(p, 80 * kDeg, i * 90 * kDeg, ra, dec);
      stars[std::size_t(i)] = TSaoStar{float(ra), float(dec), 0, 0, 0, 0, bytes[i], 4, 0};
    }
    SaoStars = stars;
    SaoStarCount = 4;
    p.DrawStars();
    for (int i = 0; i < 4; ++i) {
      double alt, az;
      int32_t x, y;
      p.RaDecToAltAz(stars[std::size_t(i)].RA, stars[std::size_t(i)].Dec, alt, az);
      ASSERT_TRUE(p.ProjectToPixel(alt, az, x, y));
      EXPECT_EQ(s.At(x, y) != 0, c.drawn[i]) << "zoom " << c.zoom << " byte " << int(bytes[i]);
    }
  }
  SaoStars.clear();
  SaoStarCount = 0;
}

// A named star with a Bayer letter and an open cluster 0.2° below the true
// horizon, lifted about 0.3° above it by refraction: with refraction on all
// are drawn (the star where its refracted altitude projects), else none.
TEST(StarLayer, RefractionLiftsEveryLayerAboveTheHorizon) {
  for (uint8_t refraction : {1, 0}) {
    LayerScene s(400, 400, 8, 1 * kDeg, 3.141592653589793, 50 * kDeg);
    tPlotter& p = *s.p;
    p.Refraction = refraction;
    p.Observer.ClipBelowHorizon = 1;
    ObserverTime = p.Observer;
    double ra, dec;
    RaDecOf(p, -0.2 * kDeg, 3.141592653589793, ra, dec);
    SaoStars = {TSaoStar{float(ra), float(dec), 0, 0, 1, 0, 30, 4, 1}};
    StarNames = {"Test"};
    SaoStarCount = StarNameCount = 1;
    ObjectRows rows;
    rows.Add("1", ra, dec, 5.0, 300, kNoSize);
    rows.Open();
    double alt = -0.2 * kDeg;
    Refract(p.Observer, alt);
    int32_t x, y;
    ASSERT_TRUE(p.ProjectToPixel(alt, 3.141592653589793, x, y));
    p.ShowStarNames = 1;
    p.DrawStars();
    p.DrawStarNames();
    p.DrawBayerLetters();
    const int32_t labels = p.OccupiedCount;
    p.DrawDeepSkyObjects();
    EXPECT_EQ(s.At(x, y) != 0, refraction == 1);
    EXPECT_EQ(labels, refraction == 1 ? 2 : 0);
    EXPECT_EQ(p.ObjectLabelCount, refraction == 1 ? 1 : 0);
  }
  SaoStars.clear();
  SaoStarCount = StarNameCount = 0;
}

// A variable star of class 5 (plus-sign image) at zoom 2: with spectral
// colours its image takes the class's colour and a ring 2 pixels out; with
// them off, class 0's colour and no ring.
TEST(StarLayer, ImagesByClassAndVariableRing) {
  for (uint8_t coloured : {1, 0}) {
    LayerScene s(100, 100, 2, kHalfPi, -3.141592653589793, 0);
    s.p->StarOptionA = coloured;
    s.p->DrawStarImage(*s.dc, 50, 50, 30, 0x80 | 5);
    EXPECT_EQ(s.At(50, 50), StarPixels[0][coloured ? 5 : 0] & platform::kRgbMask);
    EXPECT_EQ(s.At(51, 50), s.At(50, 49));  // the plus sign
    int ring = 0;
    for (int y = 45; y <= 55; ++y)
      for (int x = 45; x <= 55; ++x)
        if (std::abs(std::hypot(x - 50, y - 50) - 2.0) < 0.6 && std::abs(x - 50) + std::abs(y - 50) > 1)
          ring += s.At(x, y) == (platform::ColorRefToPixel(GridPen.color) & platform::kRgbMask);
    EXPECT_EQ(ring > 0, coloured == 1);
  }
}

TEST(DeepSkyLayer, MagnitudeGateByZoom) {
  struct Case {
    double zoom, mv;
    bool drawn;
  };
  const Case cases[] = {
      {1.5, 9.9, true},   {1.5, 10.0, false}, {2.0, 9.9, true},   {2.0, 10.0, false}, {2.5, 11.9, true},
      {5.0, 12.0, false}, {5.01, 12.0, true}, {6.0, 13.9, true},  {6.0, 14.0, false}, {10.5, 14.9, true},
      {16.5, 15.9, true}, {16.5, 16.0, false}, {32.5, 17.9, true}, {39.0, 18.0, false}, {39.5, 30.0, true},
  };
  for (const Case& c : cases) EXPECT_EQ(DeepSkyZoomGate(c.zoom, c.mv), c.drawn) << c.zoom << " " << c.mv;
}

// 3,005 open clusters around the zenith, all on the chart: the pass draws
// and remembers the first 3,000 and no more.
TEST(DeepSkyLayer, AtMost3000Objects) {
  LayerScene s(1000, 1000, 8, kHalfPi, -3.141592653589793, 40 * kDeg);
  tPlotter& p = *s.p;
  ObserverTime = p.Observer;
  ObjectRows rows;
  for (int i = 0; i < 3005; ++i) {
    double ra, dec;
    RaDecOf(p, (86 + 0.07 * (i / 60)) * kDeg, (i % 60) * 6 * kDeg, ra, dec);
    rows.Add("1", ra, dec, 5.0, 100, kNoSize);
  }
  rows.Open();
  p.DrawDeepSkyObjects();
  EXPECT_EQ(p.ObjectLabelCount, kMaxObjectLabels);
  EXPECT_EQ(p.OccupiedCount, kMaxObjectLabels);
  EXPECT_EQ(p.ObjectLabelList[kMaxObjectLabels].Record, kMaxObjectLabels - 1);
  EXPECT_EQ(p.ObjectLabelList[kMaxObjectLabels].Occupied, kMaxObjectLabels);
}

// At a deep zoom the star and object passes read only what lies in the
// field, found by position: for a field across 0h of right ascension and
// one holding the celestial pole, every star and object standing on the
// chart (10 pixels or more inside) is drawn, and of the objects no other;
// after the object filter drops the fainter objects, only the others.
TEST(DeepZoomSelection, DrawsTheFieldWhereverItLies) {
  for (const double fieldDec : {30 * kDeg, 89.8 * kDeg}) {
    double alt, az;
    EquatorialToHorizontal(LayerScene(4, 4, 1, 0, 0, 50 * kDeg).p->Observer, alt, az, 0.0005, fieldDec);
    LayerScene s(400, 300, 40, alt, az, 50 * kDeg);
    tPlotter& p = *s.p;
    ObserverTime = p.Observer;
    ObjectRows rows;
    std::vector<TSaoStar> stars;
    std::vector<std::pair<int, int>> points;
    int inside = 0, insideBright = 0;
    for (int x = -90; x <= 450; x += 60)
      for (int y = -90; y <= 390; y += 60) {
        double ra, dec, a, z;
        p.ScreenToRaDec(x, y, ra, dec, a, z);
        stars.push_back(TSaoStar{float(ra), float(dec), 0, 0, 0, 0, 60, 4, 0});
        rows.Add("1", ra, dec, stars.size() % 2 ? 5.0 : 15.0, 100, kNoSize);
        points.emplace_back(x, y);
        const bool in = x > 0 && x < 400 && y > 0 && y < 300;
        inside += in;
        insideBright += in && stars.size() % 2;
      }
    SaoStars = stars;
    SaoStarCount = int32_t(stars.size());
    p.DrawStars();
    for (const auto& [x, y] : points)
      if (x > 0 && x < 400 && y > 0 && y < 300) {
        EXPECT_NE(s.At(x, y), 0u) << x << " " << y;
      }
    rows.Open();
    p.DrawDeepSkyObjects();
    EXPECT_EQ(p.ObjectLabelCount, inside);
    TObjectFilter filter;
    filter.HighMagLimit = 10;
    ObjectCatalog->SetFilter(filter);
    p.ResetOccupied();
    p.DrawDeepSkyObjects();
    EXPECT_EQ(p.ObjectLabelCount, insideBright);
  }
  SaoStars.clear();
  SaoStarCount = 0;
}

// Symbols at the chart centre with one degree = 60 pixels: classes 0, 7 and
// a class text that is no number draw nothing; a nebula outline whose start
// lies beyond the outline table draws nothing; an outline longer than the
// polygon buffer is drawn from the points the buffer holds.
TEST(DeepSkyLayer, SymbolClassesAndOutlineBounds) {
  LayerScene s(600, 600, 1, kHalfPi, -3.141592653589793, 40 * kDeg);
  tPlotter& p = *s.p;
  ObserverTime = p.Observer;
  // An outline of 150 points 2° around the zenith, then the end marker.
  const int kPoints = 150;
  for (int k = 1; k <= kPoints; ++k) {
    double ra, dec;
    RaDecOf(p, 88 * kDeg, k * 360.0 / kPoints * kDeg, ra, dec);
    NebulaOutlineTable[k] = TNebulaOutlinePoint{0, 0, ra, dec};
  }
  NebulaOutlineTable[kPoints + 1] = TNebulaOutlinePoint{kOutlineEnd, 0, 0, 0};
  NebulaOutlineCount = kPoints;
  ObjectRows rows;
  double ra, dec;
  RaDecOf(p, kHalfPi, 0, ra, dec);
  struct Case {
    const char* cl;
    int pa;
    bool drawn;
  };
  const Case cases[] = {{"0", kNoSize, false}, {"7", kNoSize, false}, {"x", kNoSize, false},
                        {"3", 1, true},        {"3", 5000, false},    {"3", kNoSize, true},
                        {"1", kNoSize, true},  {"2", kNoSize, true},  {"4", kNoSize, true},
                        {"5", kNoSize, true},  {"6", 5000, true}};
  for (const Case& c : cases) rows.Add(c.cl, ra, dec, 5.0, 300, c.pa);
  rows.Open();
  const double cx = 300, cy = 300;
  int n = 0;
  for (const Case& c : cases) {
    TObjectsLock lock;
    ASSERT_TRUE(ObjectCatalog->SeekRecord(n++));
    EXPECT_EQ(p.DrawObjectSymbol(*s.dc, 1, cx, cy, cx, cy + 60), c.drawn) << c.cl << " " << c.pa;
  }
  NebulaOutlineCount = 0;
  NebulaOutlineTable[1] = TNebulaOutlinePoint{kOutlineEnd, 0, 0, 0};
}

// A star drawn before a large nebula without an outline (5° wide, 1° = 60
// pixels) still shows through the symbol.
TEST(DeepSkyLayer, StarBehindALargeNebulaStillShows) {
  LayerScene s(600, 600, 1, kHalfPi, -3.141592653589793, 40 * kDeg);
  ObserverTime = s.p->Observer;
  ObjectRows rows;
  rows.Add("3", 0, 0, 5.0, 3000, kNoSize);
  rows.Open();
  s.p->DrawStarImage(*s.dc, 290, 300, 30, 4);
  TObjectsLock lock;
  ASSERT_TRUE(ObjectCatalog->SeekRecord(0));
  ASSERT_TRUE(s.p->DrawObjectSymbol(*s.dc, 1, 300, 300, 300, 360));
  EXPECT_GT(int(s.At(290, 300) >> 16), int(s.At(280, 300) >> 16) + 100);  // red of the star, of the sky
}

// Number of separate lit runs of pixels met on the circle of radius r
// about the chart centre.
int CrossingsOnCircle(const LayerScene& s, double r) {
  const int n = int(8 * 3.141592653589793 * r);
  const double cx = s.p->CentreX, cy = s.p->CentreY;
  if (cx - r < 0 || cy - r < 0 || cx + r >= s.bitmap.Width() || cy + r >= s.bitmap.Height()) {
    ADD_FAILURE() << "circle of radius " << r << " leaves the chart";
    return -1;
  }
  auto lit = [&](int i) {
    const double a = 2 * 3.141592653589793 * i / n;
    return s.At(int(std::lround(cx + r * std::cos(a))), int(std::lround(cy + r * std::sin(a)))) != 0;
  };
  int runs = 0;
  for (int i = 0; i < n; ++i)
    if (lit(i) && !lit((i + n - 1) % n)) ++runs;
  return runs;
}

// At the north pole the pole stands at the zenith and a circle of
// declination δ (or of altitude δ) is a circle about the chart centre: the
// number of lines crossing it shows the spacing level and the thinning.
// Equatorial grid, level 0 (zoom below 6): 24 hour lines, every 2nd above
// 70°, every 6th above 80° (0h, 6h, 12h, 18h); level 1 (zoom 6): 48, every
// 2nd above 75°, 4th above 80°, 12th above 85°; level 2 (zoom 12): 96 with
// the same thinning. Horizontal grid, level 0: 24 azimuth lines, every 2nd
// above 60°, 6th above 75°; levels 1 and 2: 48, every 2nd above 67.5°, 4th
// above 75°, 12th above 82.5°.
TEST(GridLayer, SpacingAndThinningNearThePole) {
  struct Case {
    uint8_t kind;
    int level;
    double zoom, dec;
    int lines;
  };
  // Level -1: chosen by the zoom; else the stored level.
  const Case cases[] = {{0, -1, 1, 65, 24},  {0, -1, 1, 75, 12},  {0, -1, 1, 85, 4},  {0, -1, 5.9, 85, 4},
                        {0, -1, 6, 77, 24},  {0, -1, 6, 82, 12},  {0, -1, 6, 87, 4},  {0, -1, 12, 83, 24},
                        {0, -1, 12, 87, 8},  {0, 1, 3, 77, 24},   {1, -1, 1, 52, 24}, {1, -1, 1, 67, 12},
                        {1, -1, 1, 80, 4},   {1, 1, 3, 71, 24},   {1, 1, 3, 79, 12},  {1, 2, 3, 86, 4}};
  for (const Case& c : cases) {
    LayerScene s(1000, 1000, c.zoom, kHalfPi, -3.141592653589793, 90 * kDeg);
    s.p->GridLabels = 0;
    s.p->GridKind = c.kind;
    s.p->GridAutoSpacing = c.level < 0;
    s.p->GridSpacingLevel = c.level;
    if (c.kind == 0)
      s.p->DrawEquatorialGrid();
    else
      s.p->DrawHorizontalGrid();
    const double pixelsPerDegree = 500 * c.zoom / 90;
    EXPECT_EQ(CrossingsOnCircle(s, (90 - c.dec) * pixelsPerDegree), c.lines)
        << "grid " << int(c.kind) << " level " << c.level << " zoom " << c.zoom << " at " << c.dec;
  }
}

// Grid labels (counted by the rectangles they register): none at zoom 2.0,
// some above it; none inside an inset on the screen chart, but on paper.
TEST(GridLayer, LabelsByZoomAndInsets) {
  struct Case {
    double zoom;
    bool insetEverywhere;
    uint8_t kind;
    bool labelled;
  };
  const Case cases[] = {{2.0, false, kOutputScreen, false},
                        {2.5, false, kOutputScreen, true},
                        {2.5, true, kOutputScreen, false},
                        {2.5, true, kOutputPrinter, true}};
  for (const Case& c : cases) {
    TChartInputs inputs;
    if (c.insetEverywhere) inputs.insideInset = [](int32_t, int32_t) { return true; };
    SetChartInputs(inputs);
    LayerScene s(800, 600, c.zoom, 45 * kDeg, 180 * kDeg, 50 * kDeg);
    s.p->GridLabels = 1;
    s.p->OutputKind = c.kind;
    s.p->DrawEquatorialGrid();
    EXPECT_EQ(s.p->OccupiedCount > 0, c.labelled) << c.zoom << " " << c.insetEverywhere << " " << int(c.kind);
  }
  SetChartInputs(TChartInputs{});
}

// The ground drawn over a sky-coloured chart: every pixel whose altitude
// (from the inverse projection) is more than a pixel above the horizon
// keeps the sky, every one more than a pixel below is ground, at zoom 1 and
// at zoom 40 near the horizon, where the far horizon lies beyond the
// 32767-pixel limit. The horizon line drawn over it runs within a pixel of
// the horizon in every column.
TEST(HorizonLayer, GroundStaysBelowTheHorizon) {
  struct Case {
    double zoom, alt, az;
  };
  const Case cases[] = {{1, 90, 180}, {40, 1, 180}, {40, 0.2, 10}, {8, 5, 90}, {40, -0.5, 300}, {3, 10, 45}};
  const uint32_t sky = platform::MakePixel(20, 40, 90);
  for (const Case& c : cases) {
    LayerScene s(640, 400, c.zoom, c.alt * kDeg, c.az * kDeg, 45 * kDeg);
    s.bitmap.Fill(sky);
    s.p->DrawGround();
    const double margin = 1 / (200 * c.zoom / 90);  // one pixel, degrees
    int skyCount = 0, groundCount = 0;
    for (int y = 0; y < 400; y += 5)
      for (int x = 0; x < 640; x += 5) {
        double ra, dec, alt, az;
        s.p->ScreenToRaDec(x, y, ra, dec, alt, az);
        const double altDeg = alt / kDeg;
        if (altDeg > margin) {
          ++skyCount;
          ASSERT_EQ(s.At(x, y), sky) << "zoom " << c.zoom << " at " << x << "," << y << " alt " << altDeg;
        } else if (altDeg < -margin) {
          ++groundCount;
          ASSERT_EQ(s.At(x, y), 0u) << "zoom " << c.zoom << " at " << x << "," << y << " alt " << altDeg;
        }
      }
    EXPECT_GT(skyCount, 100) << c.zoom;
    if (c.alt < 80) {
      EXPECT_GT(groundCount, 100) << c.zoom;
    }
    s.p->DrawHorizonLine();
    for (int x = 8; x < 632 && c.alt < 80; x += 8) {
      double ra, dec, alt, az, above = 0, horizon = -1;
      int first = -1, last = -1;
      for (int y = 4; y < 396; ++y) {
        s.p->ScreenToRaDec(x, y, ra, dec, alt, az);
        if (above > 0 && alt <= 0) horizon = y - 1 + above / (above - alt);  // where the altitude passes 0
        above = alt;
        if (s.At(x, y) == (HorizonPixel & platform::kRgbMask)) last = first < 0 ? (first = y) : y;
      }
      if (horizon > 8) {
        EXPECT_NEAR((first + last) / 2.0, horizon, 1.0) << "zoom " << c.zoom << " column " << x;
      }
    }
  }
}

// Labels keep off the compass texts and the ground: one at the letter "S"
// (5° up) lands clear of it, one 0.2° up lands wholly above the horizon.
TEST(HorizonLayer, LabelsKeepOffTheCompassAndTheGround) {
  LayerScene s(640, 480, 8, 3 * kDeg, 3.141592653589793, 45 * kDeg);
  tPlotter& p = *s.p;
  p.DrawCompass(true);
  for (double alt : {5.0, 0.2}) {
    int32_t x, y;
    ASSERT_TRUE(p.ProjectToPixel(alt * kDeg, 3.141592653589793, x, y));
    p.PlaceLabel(*s.dc, -1, x, y, "Label", true);
  }
  ASSERT_EQ(p.OccupiedCount, 10);  // "N" to "NW", then the two labels
  const TLabelRect &south = p.OccupiedRects[5], &r = p.OccupiedRects[9], &low = p.OccupiedRects[10];
  EXPECT_TRUE(r.Right <= south.Left || r.Left >= south.Right || r.Bottom <= south.Top || r.Top >= south.Bottom);
  double ra, dec, alt, az;
  p.ScreenToRaDec(low.Left, low.Bottom, ra, dec, alt, az);
  EXPECT_GT(alt, 0);
}

// Disc of radius 40: full (phase π) leaves no shadow, new (0 or 2π) shades
// it whole, quarter (π/2, and 3π/2 alike) shades half; with rotation 0 the
// shadow is the lower half, a rotation of π/2 moves it to the right.
TEST(PhaseLayer, DiscsAtNewQuarterAndFull) {
  LayerScene s(200, 200, 1, kHalfPi, -3.141592653589793, 0);
  tPlotter& p = *s.p;
  const double pi = 3.141592653589793;
  p.MakePhasePolygons(1, 100, 100, 40, 40, 0, pi);
  const double disc = PolygonArea(PhaseDiscPoints[1], 37);
  EXPECT_NEAR(disc, pi * 1600, 0.02 * pi * 1600);
  EXPECT_LT(PolygonArea(PhaseShadowPoints[1], 38), 0.01 * disc);
  for (double phase : {0.0, 2 * pi}) {
    p.MakePhasePolygons(1, 100, 100, 40, 40, 0, phase);
    EXPECT_NEAR(PolygonArea(PhaseShadowPoints[1], 38), disc, 0.02 * disc) << phase;
  }
  for (double phase : {pi / 2, 3 * pi / 2}) {
    p.MakePhasePolygons(1, 100, 100, 40, 40, 0, phase);
    EXPECT_NEAR(PolygonArea(PhaseShadowPoints[1], 38), disc / 2, 0.02 * disc) << phase;
  }
  // Drawn: white disc, near-black shadow below (rotation 0), right (π/2).
  const uint32_t shade = platform::MakePixel(23, 23, 23), white = platform::MakePixel(255, 255, 255);
  p.MakePhasePolygons(1, 100, 100, 40, 40, 0, pi / 2);
  p.DrawPhaseDisc(*s.dc, 1);
  EXPECT_EQ(s.At(100, 120), shade);
  EXPECT_EQ(s.At(100, 80), white);
  p.MakePhasePolygons(1, 100, 100, 40, 40, pi / 2, pi / 2);
  p.DrawPhaseDisc(*s.dc, 1);
  EXPECT_EQ(s.At(120, 100), shade);
  EXPECT_EQ(s.At(80, 100), white);
  // Night vision keeps the Moon's white disc red.
  ColorMode = 2;
  MakeDrawingColors();
  p.MakePhasePolygons(1, 100, 100, 40, 40, 0, pi / 2);
  p.DrawPhaseDisc(*s.dc, 1);
  EXPECT_EQ(s.At(100, 80), platform::MakePixel(255, 0, 0));
  ColorMode = 0;
  MakeDrawingColors();
}

TEST(PhaseLayer, ScreenAngle) {
  LayerScene s(100, 100, 1, kHalfPi, -3.141592653589793, 0);
  struct Case {
    int x1, y1, x2, y2;
    double aspect;
    int angle;
  };
  const Case cases[] = {{60, 50, 50, 50, 1, -90}, {50, 60, 50, 50, 1, 0},   {50, 40, 50, 50, 1, 180},
                        {40, 50, 50, 50, 1, 90},  {60, 60, 50, 50, 1, -45}, {60, 60, 50, 50, 2, -63}};
  for (const Case& c : cases) {
    s.p->Aspect = c.aspect;
    EXPECT_EQ(s.p->ScreenAngle(c.x1, c.y1, c.x2, c.y2), c.angle) << c.x1 << "," << c.y1;
  }
}

// A 400 x 400 magnifier for an observer at 50° north on the Greenwich
// meridian at `jdUT`, with the given half field (radians), only the
// solar-system layers switched on.
struct MagScene {
  std::unique_ptr<tPlotterB> m = std::make_unique<tPlotterB>();
  platform::Bitmap bitmap{400, 400};

  MagScene(double jdUT, double halfField) {
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
    MakeDrawingColors();
    InitPlanetRecords(Planets);
    tPlotterB& p = *m;
    SetObserverLocation(p.Observer, 0, 50 * kDeg, 0);
    SetObserverUT(p.Observer, jdUT);
    p.Observer.PrecessionOn = 0;
    p.Width = p.Height = 400;
    p.DpiX = p.DpiY = 100;
    p.OutputKind = kOutputMagnifier;
    p.HalfField = halfField;
    p.Zoom = MagnifierScaleFor(190, halfField);
    p.ShowGrid = 0;
    p.ShowObjects = 0;
    p.ObjectLabels = 0;
    p.MoonLabel = p.SunLabel = p.PlanetLabels = 0;
    p.MoonImage = 0;
    CalcSunTopocentric(p.SolarContext, p.Observer);
    CalcSun(p.SolarContext, p.Observer);
    CalcEarthOrbit(p.SolarContext, p.Observer);
  }
  // Renders centred on (ra, dec) with the factors; the body's chart point.
  std::pair<int32_t, int32_t> Render(double ra, double dec, int32_t mirror, int32_t invert) {
    tPlotterB& p = *m;
    p.MirrorFactor = mirror;
    p.InvertFactor = invert;
    p.CentreRA = ra;
    p.CentreDec = dec;
    bitmap.Fill(0);
    {
      platform::DrawingContext dc(bitmap);
      p.Plot(dc, &bitmap);
    }
    ClearDrawTarget();
    int32_t x = 0, y = 0;
    EXPECT_TRUE(p.PlacePoint(ra, dec, x, y));
    return {x, y};
  }
  int Grey(int x, int y) const { return int(bitmap.Pixel(x, y) & 0xFF); }
};

// The first-quarter Moon of 2024 January 18 (lit on its west side), as a
// phase disc in the magnifier: north up and east left the lit side is on
// the right; a mirrored view shows it on the left, an inverted one (north
// down, east left) on the right, both together (a half turn) on the left.
TEST(MirroredMagnifier, MoonsLitSideFollowsTheFactors) {
  MagScene s(2460328.25, 0.5 * kDeg);
  CalcMoon(s.m->SolarContext, s.m->Observer, MoonBody);
  const double ra = MoonBody.RA, dec = MoonBody.Dec;
  const struct {
    int32_t mirror, invert;
    bool litRight;
  } cases[] = {{1, 1, true}, {-1, 1, false}, {1, -1, true}, {-1, -1, false}};
  for (const auto& c : cases) {
    const auto [x, y] = s.Render(ra, dec, c.mirror, c.invert);
    long left = 0, right = 0;
    for (int j = y - 60; j <= y + 60; ++j)
      for (int i = 1; i <= 60; ++i) {
        left += s.Grey(x - i, j);
        right += s.Grey(x + i, j);
      }
    EXPECT_EQ(right > 2 * left, c.litRight) << c.mirror << " " << c.invert << ": " << left << " / " << right;
    EXPECT_EQ(left > 2 * right, !c.litRight) << c.mirror << " " << c.invert << ": " << left << " / " << right;
  }
}

// The Moon's picture at the instant of Meeus's example 53.a (1992 April
// 12, 0h TT; the position angle of its axis P = 15.08°) in the magnifier
// with each pair of factors: its north spot points to position angle P as
// the view places it and its east spot (Mare Crisium's limb) to P + 270°,
// the sky's west, so a reflected view shows the picture reflected: 3°.
TEST(MirroredMagnifier, MoonPictureFollowsTheFactors) {
  constexpr double kP = 15.08 * kDeg;
  MagScene s(2448724.5 - 59.0 / 86400, 0.5 * kDeg);  // TT - UT = 59 s
  UseMarkedMoonPicture();
  s.m->MoonImage = 1;
  CalcMoon(s.m->SolarContext, s.m->Observer, MoonBody);
  const double ra = MoonBody.RA, dec = MoonBody.Dec;
  for (const auto& [mirror, invert] : {std::pair{1, 1}, {-1, 1}, {1, -1}, {-1, -1}}) {
    const auto [x, y] = s.Render(ra, dec, mirror, invert);
    auto expected = [&, x = x, y = y](double pa) {
      double ra2, dec2;
      int32_t x2 = 0, y2 = 0;
      OffsetByPositionAngle(ra, dec, pa, 0.2 * kDeg, ra2, dec2);
      EXPECT_TRUE(s.m->PlacePoint(ra2, dec2, x2, y2));
      return std::atan2(double(y2 - y), double(x2 - x));
    };
    double north = 0, east = 0;
    ASSERT_TRUE(SpotDirection(s.bitmap, x, y, 100, 100, IsWhiteSpot, north)) << mirror << " " << invert;
    ASSERT_TRUE(SpotDirection(s.bitmap, x, y, 100, 100, IsGreenSpot, east)) << mirror << " " << invert;
    EXPECT_NEAR(std::remainder(north - expected(kP), TwoPi) / kDeg, 0, 3) << mirror << " " << invert;
    EXPECT_NEAR(std::remainder(east - expected(kP + 0.75 * TwoPi), TwoPi) / kDeg, 0, 3) << mirror << " " << invert;
  }
  MoonBitmap = nullptr;
}

// The magnifier writes "MOON" at a fixed place: centred under the disc, its
// text cell's top 5 pixels below the disc's lowest row (the first-quarter
// Moon of 2024 January 18, lit on the right; a 1° half field puts its disc
// about 100 pixels high).
TEST(MirroredMagnifier, MoonLabelCentredUnderTheDisc) {
  MagScene s(2460328.25, 1.0 * kDeg);
  CalcMoon(s.m->SolarContext, s.m->Observer, MoonBody);
  const auto [x, y] = s.Render(MoonBody.RA, MoonBody.Dec, 1, 1);
  const QImage plain = s.bitmap.Image().copy();
  s.m->MoonLabel = 1;
  s.Render(MoonBody.RA, MoonBody.Dec, 1, 1);
  // The disc's lowest row (its shadowed part is dark grey, not black).
  int discBottom = y;
  for (int j = y; j < 400; ++j)
    for (int i = 0; i < 400; ++i)
      if (plain.pixel(i, j) & platform::kRgbMask) discBottom = j;
  ASSERT_GT(discBottom - y, 40);
  int left = 400, right = -1, top = 400, bottom = -1;
  for (int j = 0; j < 400; ++j)
    for (int i = 0; i < 400; ++i)
      if ((plain.pixel(i, j) ^ s.bitmap.Pixel(i, j)) & platform::kRgbMask)
        left = std::min(left, i), right = std::max(right, i), top = std::min(top, j), bottom = std::max(bottom, j);
  ASSERT_GE(right, left) << "no label drawn";
  // The cell's top 5 pixels below the disc (±1 for the disc's rounding);
  // the glyphs start up to 3 pixels (the font's leading) lower.
  EXPECT_GE(top - discBottom, 4);
  EXPECT_LE(top - discBottom, 9);
  EXPECT_LE(bottom - top, 20);
  EXPECT_LE(std::abs((left + right) / 2 - x), 2) << left << ".." << right << " about " << x;
}

// Saturn near its 2021 opposition, its ring tilted against north: the ring
// of a mirrored view is the plain view's ring reflected left to right.
TEST(MirroredMagnifier, SaturnsRingIsMirrored) {
  MagScene s(2459428.5, 1.0 / 60 * kDeg);
  TSolSysBody& saturn = Planets[5];
  CalcPlanet(s.m->SolarContext, s.m->Observer, saturn);
  const double ra = saturn.RA, dec = saturn.Dec;
  const uint32_t ring = platform::ColorRefToPixel(ColorRefForMode(MakeColorRef(255, 255, 255)));
  auto ringPoints = [&](int32_t mirror) {
    const auto [x, y] = s.Render(ra, dec, mirror, 1);
    std::vector<std::pair<int, int>> pts;
    for (int j = 0; j < 400; ++j)
      for (int i = 0; i < 400; ++i) {
        const double d = std::hypot(i - x, j - y);
        if (d > 34 && (s.bitmap.Pixel(i, j) & platform::kRgbMask) == ring) pts.push_back({i - x, j - y});
      }
    return pts;
  };
  const auto plain = ringPoints(1);
  const auto mirrored = ringPoints(-1);
  ASSERT_GT(plain.size(), 100u);
  std::set<std::pair<int, int>> reflected;
  for (auto [dx, dy] : plain) reflected.insert({-dx, dy});
  // Points of the plain ring that are not on its own reflection: the ring
  // is tilted enough to tell the two apart.
  int asymmetric = 0, matched = 0;
  auto near = [](const std::set<std::pair<int, int>>& set, int dx, int dy) {
    for (int a = -1; a <= 1; ++a)
      for (int b = -1; b <= 1; ++b)
        if (set.count({dx + a, dy + b})) return true;
    return false;
  };
  for (auto [dx, dy] : plain) asymmetric += !near(reflected, dx, dy);
  for (auto [dx, dy] : mirrored) matched += near(reflected, dx, dy);
  ASSERT_GT(asymmetric, int(plain.size()) / 5);
  EXPECT_GT(matched, int(mirrored.size()) * 95 / 100) << matched << " of " << mirrored.size();
}

// Jupiter (2024 December) in the magnifier: from zoom 200 its four moons are
// named (four labels more than at zoom 170); its disc (47") 250 pixels west
// of the centre in a half field of 20" still shows at the left edge.
TEST(MirroredMagnifier, JupitersMoonNamesAndADiscBeyondTheEdge) {
  int32_t labels[2] = {-1, -1};
  for (double halfField : {0.5 * kDeg, 0.3 * kDeg, 20.0 / 3600 * kDeg}) {
    MagScene s(2460651.5, halfField);
    s.m->PlanetLabels = 1;
    CalcPlanet(s.m->SolarContext, s.m->Observer, Planets[4]);
    const double west = halfField < kDeg / 60 ? 250 * halfField / 190 / std::cos(Planets[4].Dec) : 0;
    s.Render(Planets[4].RA - west, Planets[4].Dec, 1, 1);
    if (west > 0) EXPECT_GT(s.Grey(2, 200), 100);
    else labels[s.m->Zoom > 200] = s.m->OccupiedCount;
  }
  EXPECT_EQ(labels[1], labels[0] + 4);
}

// Script markers and a nebula outline in the magnifier, placed about its
// centre as everything else there, in the plain and the mirrored view.
// Markers: a dot north of the centre and a line from east to south of it,
// in the marker's colour. The outline from "nebula.dat" (written here: a
// triangle with corners north-east, north-west and south-east of the
// nebula, 0.3° out) is filled on its north-east side and leaves the
// south-west side empty, wherever each lies on the chart.
TEST(MagnifierPlacement, MarkersAndNebulaOutlineAboutTheCentre) {
  MagScene s(2460328.25, 1.0 * kDeg);
  const double ra = 3.0, dec = 0.5;  // far from the Sun, Moon and planets then
  auto place = [&](double east, double north, int32_t& x, int32_t& y) {
    ASSERT_TRUE(s.m->PlacePoint(ra + east * kDeg / std::cos(dec), dec + north * kDeg, x, y));
  };
  const int32_t color = 0xFF00FF;  // magenta (red in the low byte)
  std::vector<TChartMarker> markers(3);
  const double offsets[3][2] = {{0, 0.4}, {0.4, 0}, {0, -0.4}};  // east, north (degrees)
  for (int i = 0; i < 3; ++i) {
    markers[i].RA = ra + offsets[i][0] * kDeg / std::cos(dec);
    markers[i].Dec = dec + offsets[i][1] * kDeg;
    markers[i].PenWidth = 3;
    markers[i].Color = color;
    markers[i].Join = i == 2;
  }
  TChartInputs inputs;
  inputs.markerCount = [] { return 3; };
  inputs.marker = [&](int32_t i, TChartMarker& m) {
    m = markers[std::size_t(i - 1)];
    return true;
  };
  SetChartInputs(inputs);
  testing_support::TempDir dir;
  const double corners[4][2] = {{0.3, 0.3}, {-0.3, 0.3}, {0.3, -0.3}};
  std::vector<uint8_t> bytes;
  for (int k = 0; k <= 3; ++k) {
    uint8_t rec[kNebulaOutlineRecordSize] = {};
    platform::PutU16(rec, k < 3 ? 0 : kOutlineEnd);
    platform::PutF64(rec + 3, k < 3 ? ra + corners[k][0] * kDeg / std::cos(dec) : 0);
    platform::PutF64(rec + 11, k < 3 ? dec + corners[k][1] * kDeg : 0);
    bytes.insert(bytes.end(), rec, rec + kNebulaOutlineRecordSize);
  }
  testing_support::WriteFile(dir.File("nebula.dat"), bytes);
  const std::string keptFolder = DataFolder;
  DataFolder = dir.Path();
  LoadNebulae();
  ASSERT_EQ(NebulaOutlineCount, 4);
  ObserverTime = s.m->Observer;
  ObjectRows rows;
  rows.Add("3", ra, dec, 8.0, 300, 1);
  rows.Open();
  s.m->ShowObjects = 1;
  const uint32_t pixel = platform::ColorRefToPixel(ColorRefForMode(TColorRef(color)));
  for (int32_t mirror : {1, -1}) {
    s.Render(ra, dec, mirror, 1);
    int32_t x[3], y[3];
    for (int i = 0; i < 3; ++i) place(offsets[i][0], offsets[i][1], x[i], y[i]);
    EXPECT_EQ(s.bitmap.Pixel(x[0], y[0]) & platform::kRgbMask, pixel) << "dot, mirror " << mirror;
    EXPECT_EQ(s.bitmap.Pixel((x[1] + x[2]) / 2, (y[1] + y[2]) / 2) & platform::kRgbMask, pixel)
        << "line, mirror " << mirror;
    // East lies left of the centre in the plain view, right when mirrored.
    EXPECT_EQ(mirror < 0, x[1] > 200) << "mirror " << mirror;
    int32_t nx, ny;
    place(0.15, 0.15, nx, ny);
    EXPECT_NE(s.bitmap.Pixel(nx, ny) & platform::kRgbMask, 0u) << "inside the outline, mirror " << mirror;
    place(-0.15, -0.15, nx, ny);
    EXPECT_EQ(s.bitmap.Pixel(nx, ny) & platform::kRgbMask, 0u) << "outside the outline, mirror " << mirror;
  }
  SetChartInputs(TChartInputs{});
  DataFolder = keptFolder;
  LoadNebulae();
}

// Half-degree azimuth lines (7.5° spacing) carry their half degree: among
// the registered label rectangles there are ones as wide as an "x.5AZ" text
// and as wide as no text of a whole azimuth or of an altitude circle (which
// is all a label that dropped the half could be).
TEST(GridLabels, HalfDegreeAzimuthsKeepTheirDecimal) {
  LayerScene s(900, 700, 2.5, 20 * kDeg, 0, 50 * kDeg);
  tPlotter& p = *s.p;
  p.GridKind = 1;
  p.GridLabels = 1;
  p.GridAutoSpacing = 0;
  p.GridSpacingLevel = 1;
  p.OutputKind = kOutputPrinter;  // no chart mask or insets to dodge
  p.DrawHorizontalGrid();
  platform::DrawingContext& dc = *s.dc;
  dc.SelectFont(Styles[kStyleCoordinateGrid].Handle);
  auto width = [&](const std::string& t) { return dc.TextExtent(t).width() / 2 * 2; };
  std::set<int> other;
  for (int a = 0; a < 360; ++a) other.insert(width(std::to_string(a) + "AZ"));
  char buf[16];
  for (int t = 0; t < 900; t += 75) {
    std::snprintf(buf, sizeof buf, "%g", t / 10.0);
    other.insert(width(std::string(buf) + "ALT"));
  }
  std::set<int> half;
  for (int t = 75; t < 3600; t += 150) {
    std::snprintf(buf, sizeof buf, "%gAZ", t / 10.0);
    if (!other.count(width(buf))) half.insert(width(buf));
  }
  ASSERT_FALSE(half.empty());
  int halfLabels = 0;
  for (int i = 1; i <= p.OccupiedCount; ++i)
    halfLabels += half.count(p.OccupiedRects[i].Right - p.OccupiedRects[i].Left) != 0;
  EXPECT_GT(halfLabels, 0) << p.OccupiedCount << " labels";
}

// The magnifier's bezel is the shared grey ring: below the caption, the
// ring's band (within its half width of the inner radius) holds the grey
// ramp's pixels, brighter on the left (lit from the upper left) than on the
// right.
TEST(MagnifierFrame, RingIsTheSharedGreyRing) {
  // Fresh magnifier bitmaps, whatever earlier tests left.
  FreeEveryAutoBitmap();
  ASSERT_TRUE(InitMagnifierBuffers());
  InsetSizeNormal = 120;
  InsetAspect = 1.0;
  MakeRingRamps();
  UpdateMagnifierFrame(150, 4);
  const int r = 150 - MagnifierFrameWidth, w = MagnifierFrameWidth;
  std::set<uint32_t> grey(RingRampB, RingRampB + kRingRampSize);
  const platform::Bitmap& f = *MagnifierFrameBitmap;
  int band = 0, ramp = 0;
  double left = 0, right = 0;
  for (int y = 200; y < 400; ++y)
    for (int x = 0; x < 400; ++x) {
      const double d = std::hypot(x - 200.0, y - 200.0);
      if (std::fabs(d - r) > w - 1.5) continue;
      const uint32_t px = f.Pixel(x, y) & platform::kRgbMask;
      ++band;
      ramp += grey.count(px) != 0;
      if (d > r) (x < 200 ? left : right) += px & 0xFF;
    }
  ASSERT_GT(band, 1000);
  EXPECT_GT(ramp, band * 97 / 100) << ramp << " of " << band;
  EXPECT_GT(left, right);
  FreeEveryAutoBitmap();
}

}  // namespace
