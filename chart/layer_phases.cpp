// Phase discs of the Moon and the planets: the body's disc with its unlit
// part laid over it as a second polygon whose inner edge, the terminator, is
// a half ellipse; and the screen direction that turns the phase toward the
// Sun.
#include <cmath>

#include "chart/drawing_colors.h"
#include "chart/plotter.h"

using platform::DrawingContext;

QPointF PhaseDiscPoints[11][39];
QPointF PhaseShadowPoints[11][39];

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kDiscPoints = 37;
constexpr int kShadowPoints = 38;

// The platform's stock white brush, through the colour mode so that night
// vision stays red.
platform::Brush StockWhiteBrush() { return platform::Brush::Solid(ColorForMode(255, 255, 255)); }

bool ValidBody(int32_t body) { return body >= 0 && body <= 10; }

void DrawPoints(DrawingContext& dc, const QPointF* points, int count) {
  dc.PolygonF(std::vector<QPointF>(points, points + count));
}

}  // namespace

// Disc and shadow polygons of `body` (1 the Moon, 2..10 the planets) about
// (cx, cy) with radii rx, ry, turned by `rotation` (radians, clockwise on
// the screen), for phase `phase` (radians: 0 unlit, π fully lit; π minus
// the phase angle Sun–body–observer). The disc is 37 points at 10° steps;
// the shadow runs along the limb from 0° to 180° and back along the
// terminator, the half ellipse of half-width k = −cos p of the radius
// (−1: the opposite limb, 0: a straight line, +1: this limb), so the lit
// part is (1 − cos p) / 2 of the disc as the sphere shows it. The points
// keep their fractions of a pixel: on a disc a few pixels across, points
// rounded to whole pixels would turn the lit side by several degrees.
void tPlotter::MakePhasePolygons(int32_t body, int32_t cx, int32_t cy, double rx, double ry, double rotation,
                                 double phase) {
  if (!ValidBody(body) || !std::isfinite(phase) || !std::isfinite(rotation)) return;
  double p = std::fmod(phase, TwoPi);  // into [0, 2π] (whole turns removed at once)
  if (p < 0) p += TwoPi;
  if (p > kPi) p = TwoPi - p;
  const double k = -std::cos(p);

  QPointF* disc = PhaseDiscPoints[body];
  QPointF* shadow = PhaseShadowPoints[body];
  for (int j = 0; j < kDiscPoints; ++j) {
    const double a = 10.0 * j / DegPerRad - rotation;
    disc[j] = QPointF(std::cos(a) * rx + cx, std::sin(a) * ry + cy);
  }
  for (int j = 0; j <= 18; ++j) shadow[j] = disc[j];
  for (int j = 18; j >= 0; --j) {
    const double c = std::cos(10.0 * j / DegPerRad);
    const double s = k * std::sin(10.0 * j / DegPerRad);
    const double a = ArcTan2R(c, s);
    const double d = std::cos(a) * c + std::sin(a) * s;
    const double b = a - rotation;
    shadow[19 + (18 - j)] = QPointF(std::cos(b) * d * rx + cx, std::sin(b) * d * ry + cy);
  }
}

// The disc, then the shadow over it. On paper the colours are inverted:
// the disc dark, the unlit part white.
void tPlotter::DrawPhaseDisc(DrawingContext& dc, int32_t body) {
  if (!ValidBody(body)) return;
  const bool paper = OutputKind == kOutputPrinter;
  if (body > 1) {
    dc.SelectPen(paper ? ThinPen : WhiteSymbolPen);
    dc.SelectBrush(paper ? BlackBrush : WhiteSymbolBrush);
    DrawPoints(dc, PhaseDiscPoints[body], kDiscPoints);
    dc.SelectBrush(paper ? WhiteSymbolBrush : NearBlackBrush);
  } else {
    dc.SelectPen(GreyDotPen);
    dc.SelectBrush(paper ? NearBlackBrush : StockWhiteBrush());
    DrawPoints(dc, PhaseDiscPoints[body], kDiscPoints);
    dc.SelectBrush(paper ? StockWhiteBrush() : NearBlackBrush);
  }
  DrawPoints(dc, PhaseShadowPoints[body], kShadowPoints);
}

// Only the unlit part, laid over a Moon image.
void tPlotter::DrawPhaseShadow(DrawingContext& dc, int32_t body) {
  if (!ValidBody(body)) return;
  dc.SelectBrush(NearBlackBrush);
  dc.SelectPen(GreyDotPen);
  DrawPoints(dc, PhaseShadowPoints[body], kShadowPoints);
}

// Direction of point 1 seen from point 2 on the screen, whole degrees in
// single precision: −90 straight to the right, 0 straight below.
int32_t tPlotter::ScreenAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
  const float a = float(ArcTan2R(float(x1 - x2) * float(Aspect), float(y1 - y2)));
  return int32_t(std::nearbyint(57.29577951308232f * a)) - 90;
}
