// The observer's horizon on the chart: the chart line segment shared by the
// line layers, the horizon line, the ground that covers everything below
// it, and the compass directions written just above it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "chart/drawing_colors.h"
#include "chart/fill_polygon.h"
#include "chart/graph_misc.h"
#include "chart/plotter.h"
#include "chart/styles.h"

using platform::DrawingContext;

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
// Chords of the horizon line and the ground: at least 100 to a turn, more
// at high zoom (see HorizonChords), at most 2^16.
constexpr int kMinHorizonChords = 100;
constexpr int kMaxHorizonChords = 65536;
// Largest gap (pixels) between a chord and the circle it cuts.
constexpr double kHorizonSagitta = 0.25;
// The compass directions, by azimuth from north in steps of 45°.
const char* const kCompassTexts[8] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
// Angle between the points of the ground's outer circle, degrees: chords
// of 4° cut at most 0.06 % of the radius into the circle, where chords of
// 36° would cut 5 % and at high zoom uncover sky below the horizon.
constexpr int kOuterStep = 4;
// Altitude of the compass texts: 5°.
constexpr double kCompassAltitude = 0.08726646259971647;

}  // namespace

// A chart line: with the selected pen on paper (or on a target without
// pixels), else a one-pixel line into the back buffer.
void tPlotter::DrawChartSegment(DrawingContext& dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                uint32_t color) {
  if (OutputKind == kOutputPrinter || !Ctx.Target) {
    dc.MoveTo(x1, y1);
    dc.LineTo(x2, y2);
  } else {
    DrawLine(x1, y1, x2, y2, color);
  }
}

// The horizon at altitude h projects to a circle of radius (π/2 − h) times
// the scale about the zenith's image (21,000 pixels at zoom 40 on a chart
// 1,080 pixels high). Its chords are made short enough that none lies more
// than a quarter pixel inside it; an even number, so the ground's halves
// meet at azimuths 0 and π.
int32_t tPlotter::HorizonChords(double h) const {
  const double r = (kHalfPi - h) * std::max(std::fabs(Proj.Sx), std::fabs(Proj.Sy));
  if (!(r > kHorizonSagitta)) return kMinHorizonChords;
  const double n = std::ceil(TwoPi / (2 * std::acos(1 - kHorizonSagitta / r)));
  if (!(n < kMaxHorizonChords)) return kMaxHorizonChords;
  return std::max(kMinHorizonChords, int32_t(n) + (int32_t(n) & 1));
}

// Whether a chart point lies below the horizon: its distance from the
// zenith's image, as a zenith distance, beyond that of the horizon
// altitude. Never on a chart about another centre or without a projection.
bool tPlotter::BelowHorizon(double x, double y) const {
  if (Centred.Active || Proj.Sx == 0 || Proj.Sy == 0) return false;
  const double dx = (x - Proj.CentreX - Proj.OriginX) / Proj.Sx;
  const double dy = (y - Proj.CentreY - Proj.OriginY + Proj.HorizonOffset) / Proj.Sy;
  return dx * dx + dy * dy > (kHalfPi - Ctx.HorizonAltitude) * (kHalfPi - Ctx.HorizonAltitude);
}

// The horizon line: chords around the horizon (HorizonChords), 4 pixels
// wide on the screen, stopping where they meet a near-white pixel, through
// the pixels nearest each chord (so within a pixel of the horizon at any
// zoom). On paper a chord is drawn only when both of its ends are visible,
// so the line breaks where the horizon leaves the projection.
void tPlotter::DrawHorizonLine() {
  DrawingContext& dc = *Ctx.Dc;
  const bool paper = OutputKind == kOutputPrinter || !Ctx.Target;
  if (paper)
    dc.SelectPen(OutputKind == kOutputPrinter ? DarkGreyWidePen
                                              : platform::Pen::Solid(4, platform::PixelToColorRef(HorizonPixel)));
  const double h = Ctx.HorizonAltitude;
  const int32_t n = HorizonChords(h);
  int32_t px = 0, py = 0;
  bool prevVisible = ProjectToPixel(h, 0, px, py);
  double fx, fy;
  Proj.Unclamped(h, 0, fx, fy);
  for (int32_t i = 1; i <= n; ++i) {
    const double az = TwoPi * i / n;
    if (!paper) {
      double x, y;
      Proj.Unclamped(h, az, x, y);
      DrawPatternLineF(fx, fy, x, y, HorizonPixel, NearWhitePixel, 4, 0xFFFFFFFFu);
      fx = x;
      fy = y;
      continue;
    }
    int32_t x = 0, y = 0;
    const bool visible = ProjectToPixel(h, az, x, y);
    if (visible && prevVisible) DrawChartSegment(dc, px, py, x, y, HorizonPixel);
    px = x;
    py = y;
    prevVisible = visible;
  }
  Ctx.WorkX = px;
  Ctx.WorkY = py;
}

// The ground: two half-annuli between the horizon and a circle of radius
// Width + CentreY * Zoom (or more) about the zenith's image, filled with
// the winding rule (black on the screen, white on paper). The points are the
// projection's unclamped values, clipped to the chart, so at any zoom the
// fill stays below the horizon.
void tPlotter::DrawGround() {
  DrawingContext& dc = *Ctx.Dc;
  if (OutputKind == kOutputPrinter) {
    dc.SelectPen(WhiteOutlinePen);
    dc.SelectBrush(WhiteBrush);
  } else {
    dc.SelectBrush(BlackBrush);
    dc.SelectPen(ThinPen);
  }
  dc.SetWindingFill(true);

  const double h = Ctx.HorizonAltitude;
  auto horizon = [&](double az) {
    double x, y;
    Proj.Unclamped(h, az, x, y);
    return QPointF(x, y);
  };
  // Orientation of the outer circle: outer angle a lies at azimuth a.
  const QPointF p0 = horizon(0);
  double xz, yz;
  Proj.Unclamped(kHalfPi, kHalfPi, xz, yz);
  const double theta = -(kHalfPi + ArcTan2R((xz - p0.x()) * Aspect, yz - p0.y()));
  // Outer radius: Width beyond the horizon circle, and at least a margin
  // beyond the chart corner farthest from the zenith's image, so the outer
  // edge never cuts into the chart.
  const double zx = CentreX + ChartLeft, zy = CentreY - HorizonOffset + ChartTop;
  double R = Width + CentreY * Zoom;
  for (double cxr : {double(ChartLeft), double(ChartRight)})
    for (double cyr : {double(ChartTop), double(ChartBottom)})
      R = std::max(R, std::hypot(cxr - zx, cyr - zy) + 64);
  auto outer = [&](int degrees) {
    const double a = degrees / DegPerRad + theta;
    return QPointF(std::sin(a) * R + CentreX + ChartLeft, std::cos(a) * R - HorizonOffset + CentreY + ChartTop);
  };

  // Each half: the horizon from azimuth a0 to the outer circle, round it to
  // a0 + π, and back along the horizon in the horizon line's chords.
  const int32_t half = HorizonChords(h) / 2;
  std::vector<QPointF> poly;
  poly.reserve(std::size_t(half) + 64);
  for (int k = 0; k < 2; ++k) {
    poly.clear();
    poly.push_back(horizon(k * kPi));
    for (int a = k * 180; a <= k * 180 + 180; a += kOuterStep) poly.push_back(outer(a));
    for (int32_t i = half; i >= 0; --i) poly.push_back(horizon(k * kPi + kPi * i / half));
    FillClippedPolygon(dc, poly, ChartLeft, ChartTop, ChartRight, ChartBottom);
  }
}

// The eight compass directions at altitude 5°, centred on their points
// (charts more than 400 pixels high; smaller ones get the render's own).
// With `reserve` the texts are not written but their rectangles registered
// as occupied, so that labels keep off them as they keep off each other.
void tPlotter::DrawCompass(bool reserve) {
  if (!ShowCompass || !(CentreY > 200)) return;
  DrawingContext& dc = *Ctx.Dc;
  SelectStyle(dc, kStyleCompassDirections);
  dc.SetTextAlign(platform::kAlignCenter | platform::kAlignBottom);
  const int32_t hX = dc.TextExtent("X").height();
  for (int k = 0; k < 8; ++k) {
    int32_t x, y;
    if (!ProjectToPixel(kCompassAltitude, k * (kPi / 4), x, y)) continue;
    if (reserve) {
      const QSize e = dc.TextExtent(kCompassTexts[k]);
      AddOccupied({x - e.width() / 2, y + hX / 2 - e.height(), x + e.width() / 2 + 1, y + hX / 2});
      continue;
    }
    dc.TextOut(x, y + hX / 2, kCompassTexts[k]);
    Ctx.WorkX = x;
    Ctx.WorkY = y;
  }
}
