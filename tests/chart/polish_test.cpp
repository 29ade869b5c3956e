// Chart and magnifier details a person sees: the horizontal grid's labels
// between whole degrees, the magnifier's inset ring, its mirrored phase
// discs, its script markers and its nebula outlines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

#include "app/globals.h"
#include "astro/planets.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "chart/layers.h"
#include "chart/magnifier_inset.h"
#include "chart/plotter_b.h"
#include "chart/render_inputs.h"
#include "chart/ring.h"
#include "platform/codec.h"
#include "tests/chart/layer_scene.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180.0;

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
  // Other tests free every auto bitmap: start from fresh magnifier bitmaps.
  FreeAllAutoBitmaps();
  MagnifierFrameBitmap = MagnifierChartBitmap = MagnifierScreenBitmap = nullptr;
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
  FreeAllAutoBitmaps();
  MagnifierFrameBitmap = MagnifierChartBitmap = MagnifierScreenBitmap = nullptr;
}

}  // namespace
