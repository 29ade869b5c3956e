// Chart and magnifier details a person sees: the horizontal grid's labels
// between whole degrees, the magnifier's inset ring, its mirrored phase
// discs, its script markers and its nebula outlines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "app/globals.h"
#include "chart/graph_misc.h"
#include "chart/layers.h"
#include "chart/magnifier_inset.h"
#include "chart/ring.h"
#include "tests/chart/layer_scene.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180.0;

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
