// Chart and magnifier details a person sees: the horizontal grid's labels
// between whole degrees, the magnifier's inset ring, its mirrored phase
// discs, its script markers and its nebula outlines.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "chart/layers.h"
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

}  // namespace
