// The chart projection's per-render values, the placing of catalogue
// positions, the inverse projection and two small chart routines.
#include "chart/projection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "astro/transforms.h"
#include "astro/trig.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/plotter.h"

namespace {
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
// Least true altitude of a usable click: 0.1°.
constexpr double kMinClickAltitude = 0.0017453292519943296;
}  // namespace

void DrawChartFrame(platform::Bitmap& target) {
  SetDrawTarget(target);
  const int32_t w = target.Width();
  const int32_t h = target.Height();
  DrawPatternLine(3, 3, w, 3, HorizonPixel, NearWhitePixel, 3, 0xFFFFFFFFu);
  DrawPatternLine(w, 3, w, h, HorizonPixel, NearWhitePixel, 3, 0xFFFFFFFFu);
  DrawPatternLine(w, h, 3, h, HorizonPixel, NearWhitePixel, 3, 0xFFFFFFFFu);
  DrawPatternLine(3, h, 3, 3, HorizonPixel, NearWhitePixel, 3, 0xFFFFFFFFu);
}

// Projection values of one render: the chart centre, the shift that puts the
// view centre at the chart centre (none for the star-sphere inset, which is
// always centred on the zenith), the scales in pixels per radian of zenith
// distance, and the rotation (centre azimuth + π, stored in CentreAz).
void tPlotter::SetupProjection() {
  CentreX = Width / 2.0;
  CentreY = Height / 2.0;
  HorizonOffset = OutputKind == kOutputStarSphere ? 0.0 : (kHalfPi - CentreAlt) / kHalfPi * CentreY * Zoom;
  CentreAz += kPi;
  Proj.Rotation = CentreAz;
  Proj.Sx = CentreY * Zoom / Aspect / kHalfPi;
  Proj.Sy = CentreY * Zoom / kHalfPi;
  Proj.HorizonOffset = HorizonOffset;
  Proj.CentreX = CentreX;
  Proj.CentreY = CentreY;
  Proj.OriginX = OriginX;
  Proj.OriginY = OriginY;
  Proj.Visible = 0;
}

void TCentredFrame::SetCentre(double dec0, double ra0) {
  SinDec0 = std::sin(dec0);
  CosDec0 = std::cos(dec0);
  RA0 = ra0;
}

void TCentredFrame::Position(double ra, double dec, double& alt, double& bearing) const {
  // 1, 2. Altitude: the complement of the angular distance from the centre.
  double delta = RA0 - ra;
  const double sd = std::sin(dec), cd = std::cos(dec);
  const double s = sd * SinDec0 + cd * CosDec0 * std::cos(delta);
  alt = ArcSinR(s);
  // 3. Bearing from north (at the centre itself: north).
  const double den = std::cos(alt) * CosDec0;
  double c = den > 1e-15 ? (sd - SinDec0 * s) / den : 1.0;
  if (!(c < 1)) c = 1;
  else if (c < -1) c = -1;
  bearing = ArcCosR(c);
  // 4. East of the centre (0 <= Δ <= π after reduction: west) turns it.
  delta = ModTwoPi(delta);
  if (delta >= 0 && delta <= kPi) bearing = TwoPi - bearing;
}

// With refraction on, the clip flag is applied to the apparent altitude:
// a position up to about 0.6° below the true horizon is lifted above it and
// is drawn where refraction puts it, by every layer alike.
void tPlotter::RaDecToAltAz(double ra, double dec, double& alt, double& az) {
  if (Centred.Active) {
    Centred.Position(ra, dec, alt, az);
    return;
  }
  if (!Refraction) {
    EquatorialToHorizontal(Observer, alt, az, ra, dec);
    return;
  }
  const uint8_t clip = Observer.ClipBelowHorizon;
  Observer.ClipBelowHorizon = 0;
  EquatorialToHorizontal(Observer, alt, az, ra, dec);
  Observer.ClipBelowHorizon = clip;
  Refract(Observer, alt);
  if (clip != 0 && !(alt > 0)) {
    alt = -1.0;
    az = 0.0;
  }
}

bool tPlotter::PlaceRaDec(double ra, double dec, double& alt, double& az, int32_t& x, int32_t& y) {
  RaDecToAltAz(ra, dec, alt, az);
  return Proj.ToPixel(alt, az, x, y);
}

// The projection's inverse, from the plane (offsets over Sx, Sy) to the
// sphere, keeps distances from the zenith's image and shrinks distances
// across (by sin z / z), so no two positions lie farther apart than their
// points in the plane: the farthest corner of the drawn area from the
// centre's point bounds the field. Refraction lifts a drawn position above
// its true place by less than 1°, which the margin holds.
bool tPlotter::FieldCap(double& ra, double& dec, double& radius) const {
  constexpr double kMargin = kPi / 180, kWidest = kPi / 3;
  if (Centred.Active || !(Proj.Sx > 0) || !(Proj.Sy > 0)) return false;
  double left = ChartLeft, top = ChartTop, right = ChartRight, bottom = ChartBottom;
  if (Ctx.Target) {
    left = std::min(left, 0.0);
    top = std::min(top, 0.0);
    right = std::max(right, double(Ctx.Target->Width()));
    bottom = std::max(bottom, double(Ctx.Target->Height()));
  }
  const double x0 = Proj.CentreX + Proj.OriginX, y0 = Proj.CentreY + Proj.OriginY;
  double far = 0;
  for (double x : {left - 1, right + 1})
    for (double y : {top - 1, bottom + 1}) far = std::max(far, std::hypot((x - x0) / Proj.Sx, (y - y0) / Proj.Sy));
  radius = far + kMargin;
  if (!(radius < kWidest)) return false;
  // The chart centre: zenith distance HorizonOffset / Sy, straight down
  // the chart from the zenith (azimuth = rotation + π).
  HorizontalToEquatorial(Observer, ra, dec, Proj.Rotation + kPi, kHalfPi - Proj.HorizonOffset / Proj.Sy);
  return std::isfinite(ra) && std::isfinite(dec);
}

// Inverse of the projection for a chart-local point. The direction of the
// point from the zenith's image gives the azimuth, its distance the zenith
// distance. The direction is ArcTan2R(dx, dy): the forward formula puts
// (dx, dy) along (-sin d, -cos d), d = azimuth - rotation, whose direction
// is -π/2 - d.
bool tPlotter::ScreenToRaDec(int32_t x, int32_t y, double& ra, double& dec, double& alt, double& az) const {
  if (CentreX == 0 || CentreY == 0 || !(Zoom > 0)) return false;
  const double dx = (x - CentreX) / CentreY / Zoom * Aspect;
  const double dy = (y - CentreY + HorizonOffset) / CentreY / Zoom;
  const double theta = ArcTan2R(dx, dy);
  // Into [0, 2π] by whole turns, in bounded time for any CentreAz.
  az = ModTwoPi(-kHalfPi - theta + CentreAz);
  alt = (1.0 - std::sqrt(dx * dx + dy * dy)) * kHalfPi;
  double trueAlt = alt;
  if (Refraction) Unrefract(Observer, trueAlt);
  HorizontalToEquatorial(Observer, ra, dec, az, trueAlt);
  return trueAlt >= kMinClickAltitude;
}
