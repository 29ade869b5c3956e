// The observer's horizon on the chart: the chart line segment shared by the
// line layers, the horizon line, the ground that covers everything below
// it, and the compass directions written just above it.
#include <cmath>

#include "chart/drawing_colors.h"
#include "chart/fill_polygon.h"
#include "chart/graph_misc.h"
#include "chart/plotter.h"
#include "chart/styles.h"

using platform::DrawingContext;

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
// Chord of the horizon line and the ground: 1/100 of a turn.
constexpr double kHorizonStep = TwoPi / 100;
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

// The horizon line: 100 chords around the horizon, 4 pixels wide on the
// screen, stopping where they meet a near-white pixel. A chord is drawn only
// when both of its ends are visible, so the line breaks where the horizon
// leaves the projection.
void tPlotter::DrawHorizonLine() {
  DrawingContext& dc = *Ctx.Dc;
  const bool paper = OutputKind == kOutputPrinter || !Ctx.Target;
  if (paper)
    dc.SelectPen(OutputKind == kOutputPrinter ? DarkGreyWidePen
                                              : platform::Pen::Solid(4, platform::PixelToColorRef(HorizonPixel)));
  const double h = Ctx.HorizonAltitude;
  double az = 0;
  int32_t px = 0, py = 0;
  bool prevVisible = ProjectToPixel(h, az, px, py);
  while (az < TwoPi) {
    az += kHorizonStep;
    int32_t x = 0, y = 0;
    const bool visible = ProjectToPixel(h, az, x, y);
    if (visible && prevVisible) {
      if (paper)
        DrawChartSegment(dc, px, py, x, y, HorizonPixel);
      else
        DrawPatternLine(px, py, x, y, HorizonPixel, NearWhitePixel, 4, 0xFFFFFFFFu);
    }
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

  std::vector<QPointF> poly;
  poly.reserve(64);
  for (int half = 0; half < 2; ++half) {
    const double from = half * kPi, to = from + kPi;
    poly.clear();
    poly.push_back(horizon(from));
    for (int a = half * 180; a <= half * 180 + 180; a += kOuterStep) poly.push_back(outer(a));
    double az = to;
    poly.push_back(horizon(az));
    while (float(from + kHorizonStep) < float(az)) {
      az -= kHorizonStep;
      poly.push_back(horizon(az));
    }
    poly.push_back(horizon(from));
    FillClippedPolygon(dc, poly, ChartLeft, ChartTop, ChartRight, ChartBottom);
  }
}

// The eight compass directions at altitude 5°, centred on their points
// (charts more than 400 pixels high; smaller ones get the render's own).
void tPlotter::DrawCompass() {
  if (!ShowCompass || !(CentreY > 200)) return;
  DrawingContext& dc = *Ctx.Dc;
  const TStyleEntry& style = Styles[kStyleCompassDirections];
  dc.SelectFont(style.Handle);
  dc.SetTextColor(ColorRefForMode(style.Color));
  dc.SetTextAlign(platform::kAlignCenter | platform::kAlignBottom);
  const int32_t hX = dc.TextExtent("X").height();
  for (int k = 0; k < 8; ++k) {
    int32_t x, y;
    if (!ProjectToPixel(kCompassAltitude, k * (kPi / 4), x, y)) continue;
    dc.TextOut(x, y + hX / 2, kCompassTexts[k]);
    Ctx.WorkX = x;
    Ctx.WorkY = y;
  }
}
