// The Sun, the Moon and the planets on the chart (render steps 20 and
// 21.1 to 21.3): discs or pictures, the phase discs turned toward the Sun as
// this chart draws it, Jupiter's moons in front of or behind the planet by
// their depth, Saturn's ring, and their labels.
#include <algorithm>
#include <cmath>
#include <string>

#include "astro/galilean.h"
#include "astro/names.h"
#include "astro/planets.h"
#include "astro/sun_moon.h"
#include "astro/transforms.h"
#include "astro/trig.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/plotter.h"
#include "chart/styles.h"
#include "chart/sun_moon_images.h"

using platform::DrawingContext;
using platform::Pen;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kDeg = kPi / 180.0;
// Kilometres per astronomical unit (IAU 2012).
constexpr double kKmPerAU = 149597870.7;
// Zoom above which Jupiter's moons carry their names.
constexpr double kMoonNamesZoom = 200;

int32_t Near(double v) { return int32_t(std::nearbyint(v)); }

// The phase of the Moon's disc: π minus its phase angle i at the observer
// (the angle Sun–Moon–observer), from the elongation ψ of the (topocentric)
// Moon from the Sun and their distances: tan i = R sin ψ / (Δ − R cos ψ)
// (Meeus, "Astronomical Algorithms", eq. 48.2 and 48.3). The disc's lit
// fraction is then (1 + cos i) / 2.
double MoonDiscPhase(const TSolarContext& ctx, const TSolSysBody& moon) {
  const double cosPsi = std::sin(ctx.SunDec) * std::sin(moon.Dec) +
                        std::cos(ctx.SunDec) * std::cos(moon.Dec) * std::cos(ctx.SunRA - moon.RA);
  const double psi = std::acos(std::clamp(cosPsi, -1.0, 1.0));
  const double R = ctx.SunRadiusVector * kKmPerAU;
  return kPi - std::atan2(R * std::sin(psi), moon.Distance - R * std::cos(psi));
}

// Copies a Sun or Moon sprite onto the chart with its disc's centre on
// (x, y): the sprite routine centres the disc on column W / 2 and on row
// H / 2 counted from the bottom, which is row H - 1 - H / 2 from the top.
void BlitSprite(Bitmap& image, Bitmap& target, int32_t x, int32_t y) {
  BlitTransparent(image, 0, 0, image.Width(), image.Height(), target, x - image.Width() / 2,
                  y - (image.Height() - 1 - image.Height() / 2));
}

}  // namespace

// Step 20: the Sun as a disc, or as its picture when the disc is larger than
// 10 pixels on the screen; "SUN" beside it.
void tPlotter::DrawSun() {
  DrawingContext& dc = *Ctx.Dc;
  dc.SelectPen(YellowPen);
  dc.SelectBrush(YellowBrush);
  SelectStyle(dc, kStyleSolarSystemObjects);
  const double size = SolarContext.SunDiameter;
  const int32_t rx = std::max(Near(size * Ctx.SizeScaleX * Zoom), 2 * SizeUnitX);
  const int32_t ry = std::max(Near(size * Ctx.SizeScaleY * Zoom), 2 * SizeUnitY);
  double alt, az;
  int32_t x, y;
  if (!PlaceRaDec(SolarContext.SunRA, SolarContext.SunDec, alt, az, x, y) || !(alt > 0) || !OnChart(x, y)) return;
  const bool disc = ry <= 10 || !SunImage || OutputKind == kOutputPrinter || OutputKind == kOutputStarSphere ||
                    !Ctx.Target;
  // The picture follows the view's mirror and invert factors.
  Bitmap* image = disc ? nullptr : MakeSunImage(ry, MirrorFactor, InvertFactor, float(Aspect));
  if (image) {
    BlitSprite(*image, *Ctx.Target, x, y);
    FreeAutoBitmap(image);
  } else {
    dc.Ellipse(x - rx / 2, y - ry / 2, x + rx / 2 + 1, y + ry / 2 + 1);
  }
  LabelBody(x, y, rx, ry, OutputKind != kOutputStarSphere && SunLabel ? "SUN" : "");
}

// Registers the disc of a Sun, Moon or planet drawn at (x, y), rx by ry
// pixels, as occupied, so that no later label covers it, and writes its
// label (when not empty) beside the disc, below it first.
void tPlotter::LabelBody(int32_t x, int32_t y, int32_t rx, int32_t ry, const std::string& label) {
  const int32_t anchor = AddOccupied({x - rx / 2, y - ry / 2, x + rx / 2 + 1, y + ry / 2 + 1}) ? OccupiedCount : -1;
  if (!label.empty()) PlaceLabel(*Ctx.Dc, anchor, x, y, label, true);
}

// The direction on the chart (ScreenAngle) from the body at (x, y) towards
// the placed position (ra, dec); false when that position has no place.
bool tPlotter::DirectionTo(int32_t x, int32_t y, double ra, double dec, int32_t& angle) {
  double alt, az;
  int32_t x2, y2;
  const uint8_t clip = Observer.ClipBelowHorizon;
  Observer.ClipBelowHorizon = 0;
  const bool ok = PlaceRaDec(ra, dec, alt, az, x2, y2);
  Observer.ClipBelowHorizon = clip;
  if (!ok) return false;
  angle = ScreenAngle(x2, y2, x, y);
  return true;
}

// The direction on this chart in which the great circle from (ra, dec)
// towards (toRA, toDec) leaves the first position: radians, clockwise from
// the chart's +x axis (device y grows downwards), horizontal distances
// multiplied by Aspect so that it is the angle as seen. It is taken over a
// step of 0.001 rad along the circle, so the chart's own distortions
// (azimuthal equidistant, refraction, mirror and invert factors) turn it as
// they turn what is drawn there. False when the positions coincide or are
// opposite.
bool tPlotter::ChartDirection(double ra, double dec, double toRA, double toDec, double& angle) {
  const double u[3] = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
  const double v[3] = {std::cos(toDec) * std::cos(toRA), std::cos(toDec) * std::sin(toRA), std::sin(toDec)};
  const double uv = u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
  double t[3] = {v[0] - uv * u[0], v[1] - uv * u[1], v[2] - uv * u[2]};
  const double n = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
  if (!(n > 1e-9)) return false;
  constexpr double kStep = 0.001;
  double p[3];
  for (int k = 0; k < 3; ++k) p[k] = std::cos(kStep) * u[k] + std::sin(kStep) * t[k] / n;
  const uint8_t clip = Observer.ClipBelowHorizon;
  Observer.ClipBelowHorizon = 0;
  double alt1, az1, alt2, az2, x1, y1, x2, y2;
  RaDecToAltAz(ra, dec, alt1, az1);
  RaDecToAltAz(std::atan2(p[1], p[0]), std::asin(std::clamp(p[2], -1.0, 1.0)), alt2, az2);
  Observer.ClipBelowHorizon = clip;
  Proj.Unclamped(alt1, az1, x1, y1);
  Proj.Unclamped(alt2, az2, x2, y2);
  angle = std::atan2(y2 - y1, (x2 - x1) * Aspect);
  return std::isfinite(angle);
}

// The phase polygons of body `number` at (x, y) with radii rx, ry, its lit
// side turned toward the Sun's direction on this chart. With rotation 0 the
// polygons light the upper half (screen angle 3π/2).
void tPlotter::MakeBodyPhase(int32_t number, int32_t x, int32_t y, double rx, double ry, double ra, double dec,
                             double phase) {
  double toSun = 1.5 * kPi;
  ChartDirection(ra, dec, SolarContext.SunRA, SolarContext.SunDec, toSun);
  MakePhasePolygons(number, x, y, rx, ry, 1.5 * kPi - toSun, phase);
}

// The turn of the Moon's picture on this chart (whole degrees clockwise,
// [0, 360), as MakeMoonImage takes it) and its mirror sign. The picture
// shows the Moon as the eye sees it with lunar north up: Mare Crisium, on
// the limb of lunar east, at its right. Its top is turned along the Moon's
// axis as this chart draws it at the Moon's place (its position angle,
// within 25° of celestial north); a view that reflects the sky (mirrored
// or inverted, Handedness) mirrors the picture too.
void tPlotter::MoonPictureTurn(int32_t& angle, int32_t& xSign) {
  double poleRA = 0, poleDec = 0;
  MoonAxisPole(Observer, poleRA, poleDec);
  double north = 1.5 * kPi;
  ChartDirection(MoonBody.RA, MoonBody.Dec, poleRA, poleDec, north);
  xSign = Handedness();
  // The picture's top turned clockwise by a quarter turn from the chart's
  // +x axis points up.
  angle = int32_t(WrapAngle(std::nearbyint(north / kDeg) + 90, 0, 360));
  if (angle == 360) angle = 0;
}

// Step 21.1: the Moon with its phase: its lit fraction from its phase
// angle, its bright limb toward the Sun as this chart draws the way there,
// and its picture turned with its axis (MoonPictureTurn).
void tPlotter::DrawMoon() {
  DrawingContext& dc = *Ctx.Dc;
  const double size = MoonBody.Diameter;
  int32_t rx = Near(size * Ctx.SizeScaleX * Zoom);
  int32_t ry = Near(size * Ctx.SizeScaleY * Zoom);
  if (rx < 2 * SizeUnitX) rx = Near(2 * SizeUnitX / Aspect);
  if (ry < 2 * SizeUnitY) ry = 2 * SizeUnitY;
  double alt, az;
  int32_t x, y;
  if (!PlaceRaDec(MoonBody.RA, MoonBody.Dec, alt, az, x, y) || !(alt > 0) || !OnChart(x, y)) return;
  MakeBodyPhase(1, x, y, rx / 2.0, ry / 2.0, MoonBody.RA, MoonBody.Dec, MoonDiscPhase(SolarContext, MoonBody));
  const bool disc = ry < 11 || !MoonImage || OutputKind == kOutputPrinter || !Ctx.Target;
  Bitmap* image = nullptr;
  if (!disc) {
    int32_t angle = 0, xSign = 1;
    MoonPictureTurn(angle, xSign);
    image = MakeMoonImage(angle, ry, xSign, 1, float(Aspect));
  }
  if (image) {
    BlitSprite(*image, *Ctx.Target, x, y);
    FreeAutoBitmap(image);
    DrawPhaseShadow(dc, 1);
  } else {
    DrawPhaseDisc(dc, 1);
  }
  SelectStyle(dc, kStyleSolarSystemObjects);
  if (!Centred.Active) {
    LabelBody(x, y, rx, ry, MoonLabel ? "MOON" : "");
    return;
  }
  // The magnifier writes "MOON" at a fixed place, centred 5 pixels under
  // the disc; disc and label are kept free of later labels.
  LabelBody(x, y, rx, ry, "");
  if (!MoonLabel) return;
  const int32_t top = y + ry / 2 + 5;
  const QSize extent = dc.TextExtent("MOON");
  dc.SetTextAlign(platform::kAlignCenter | platform::kAlignTop);
  dc.TextOut(x, top, "MOON");
  AddOccupied({x - extent.width() / 2, top, x + extent.width() / 2, top + extent.height()});
}

// Step 21.3: the planets with their phases, Jupiter's moons and names. The
// main chart draws a planet whose centre lies on the chart; the magnifier
// one whose centre lies within a chart's size beyond its edges, so that a
// large disc at the edge shows its part. Jupiter's moons behind the planet
// (depth 0 or more) are drawn before its disc, those in front after it;
// from zoom 200 on they carry their names.
void tPlotter::DrawPlanets() {
  DrawingContext& dc = *Ctx.Dc;
  auto inWindow = [&](int32_t x, int32_t y) {
    if (!Centred.Active) return OnChart(x, y);
    return x >= ChartLeft - ChartRight && x <= 2 * ChartRight && y >= ChartTop - ChartBottom && y <= 2 * ChartBottom;
  };
  for (int p = 1; p <= kPlanetCount; ++p) {
    if (p == kEarthNumber) continue;
    TSolSysBody& body = Planets[p - 1];
    CalcPlanet(SolarContext, Observer, body);
    const int32_t rx = std::max(Near(body.Diameter * Ctx.SizeScaleX * Zoom), SizeUnitX);
    const int32_t ry = std::max(Near(body.Diameter * Ctx.SizeScaleY * Zoom), SizeUnitY);
    double alt, az;
    int32_t x, y;
    if (!PlaceRaDec(body.RA, body.Dec, alt, az, x, y) || !(alt > 0) || !inWindow(x, y)) continue;
    MakeBodyPhase(p + 1, x, y, rx / 2.0, ry / 2.0, body.RA, body.Dec, body.PhaseAngle + kPi);
    const bool moons = p == 5 && GalileanMoons;
    if (moons) DrawGalileanMoons(body, true);
    DrawPhaseDisc(dc, p + 1);
    if (p == 6) {
      int32_t northAngle = 180;
      DirectionTo(x, y, body.RA, body.Dec + 2 * kDeg, northAngle);
      DrawSaturnRing(body, x, y, northAngle);
    }
    if (moons) DrawGalileanMoons(body, false);
    SelectStyle(dc, kStyleSolarSystemObjects);
    LabelBody(x, y, rx, ry, PlanetLabels ? PlanetNames[p] : "");
  }
}

// Jupiter's four large moons behind the planet (depth 0 or more) or in
// front of it, each a small disc offset from the planet by its position in
// Jupiter radii; named from zoom 200 on when planets are labelled.
void tPlotter::DrawGalileanMoons(const TSolSysBody& jupiter, bool behind) {
  DrawingContext& dc = *Ctx.Dc;
  CalcGalileanMoons(SolarContext, Observer, jupiter);
  const double half = jupiter.Diameter / 2;
  const double cosBeta = std::max(std::cos(jupiter.EclLatitude), 1e-6);
  const int32_t r = std::max(1, SizeUnitX / 4);
  for (int m = 1; m <= 4; ++m) {
    if ((SolarContext.MoonZ[m] >= 0) != behind) continue;
    // X grows towards the west (lower longitude), Y towards the north.
    const double lambda = jupiter.EclLongitude - SolarContext.MoonX[m] * half / cosBeta;
    const double beta = jupiter.EclLatitude + SolarContext.MoonY[m] * half;
    double mra, mdec, malt, maz;
    int32_t mx, my;
    EclipticToEquatorial(Observer, mra, mdec, lambda, beta);
    if (!PlaceRaDec(mra, mdec, malt, maz, mx, my) || !OnChart(mx, my)) continue;
    dc.SelectPen(WhiteSymbolPen);
    dc.SelectBrush(WhiteSymbolBrush);
    dc.Ellipse(mx - r, my - r, mx + r + 1, my + r + 1);
    if (PlanetLabels && Zoom > kMoonNamesZoom) {
      SelectStyle(dc, kStyleSolarSystemObjects);
      PlaceLabel(dc, -1, mx, my, GalileanMoonNames[m], true);
    }
  }
}

// Saturn's ring as the 360 points of its outer edge, once it is at least 3
// pixels across: raw pixels on the screen, painter points on paper. The
// ring's minor axis lies at its position angle (north through east) from
// the chart direction of north.
void tPlotter::DrawSaturnRing(const TSolSysBody& saturn, int32_t x, int32_t y, int32_t northAngle) {
  CalcSaturnRings(SolarContext, Observer, saturn);
  const double perRad = Height * Zoom / kPi;
  // The context holds the whole axes (Meeus ch. 45: 375.35″ / Δ is the full
  // major axis, about 41″ at opposition); the ellipse takes the semi-axes.
  const double a = SolarContext.RingMajorAxis * perRad / 2, b = SolarContext.RingMinorAxis * perRad / 2;
  if (!(a >= 3.0)) return;
  // Screen directions, clockwise from +x: north is ScreenAngle + 90°, and
  // position angles turn counter-clockwise from it (clockwise in a mirrored
  // view).
  const double minor = (northAngle + 90) * kDeg - Handedness() * SolarContext.RingPositionAngle;
  const double major = minor + kHalfPi;
  const uint32_t pixel = platform::ColorRefToPixel(ColorRefForMode(MakeColorRef(255, 255, 255)));
  DrawingContext& dc = *Ctx.Dc;
  if (!Ctx.Target) dc.SelectPen(Pen::Solid(PrintScale, ColorRefForMode(MakeColorRef(0, 0, 0))));
  for (int i = 0; i < 360; ++i) {
    const double t = i * kDeg;
    const double u = a * std::cos(t), v = b * std::sin(t);
    const int32_t px = Near(x + (u * std::cos(major) + v * std::cos(minor)) / Aspect);
    const int32_t py = Near(y + u * std::sin(major) + v * std::sin(minor));
    if (!Ctx.Target) {
      dc.MoveTo(px, py);
      dc.LineTo(px + 1, py);
    } else if (px >= 0 && py >= 0 && px < Ctx.Target->Width() && py < Ctx.Target->Height()) {
      Ctx.Target->SetPixel(px, py, pixel);
    }
  }
}

