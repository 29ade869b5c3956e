// The magnifier plotter's model and render sequence (see plotter_b.h).
#include "chart/plotter_b.h"

#include <cmath>

#include "astro/planets.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "astro/trig.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/styles.h"
#include "shell/globals.h"

tPlotterB* MagnifierPlotter = nullptr;

namespace {
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180;
int32_t Near(double v) { return int32_t(std::nearbyint(v)); }
}  // namespace

tPlotterB::tPlotterB() {
  OutputKind = 0;
  ZenithView = 0;
  GalileanMoons = 1;
  Centred.Active = true;
}

bool tPlotterB::InWindows(double ra, double dec) const {
  if (dec > DecWindow[0] || dec < DecWindow[1]) return false;
  if (ra <= RAWindow[0] && ra >= RAWindow[1]) return true;
  return RAWindow[2] > RAWindow[3] && ra <= RAWindow[2] && ra >= RAWindow[3];
}

bool tPlotterB::PlacePoint(double ra, double dec, int32_t& x, int32_t& y) {
  double alt, az;
  RaDecToAltAz(ra, dec, alt, az);
  return alt > 0 && ProjectToPixel(alt, az, x, y);
}

// The windows of the candidates: the declination band of the field, and the
// right-ascension range that the field spans at that declination (with its
// part across 0h); the whole range where the field reaches a pole.
void tPlotterB::SetupWindows() {
  const double dec0 = CentreDec, hf = HalfField;
  DecWindow[0] = std::min(dec0 + hf, kHalfPi);
  DecWindow[1] = std::max(dec0 - hf, -kHalfPi);
  RAWindow[2] = RAWindow[3] = 0;
  if (std::fabs(dec0) + hf >= kHalfPi || std::fabs(dec0) > 80 * kDeg) {
    RAWindow[0] = TwoPi;
    RAWindow[1] = 0;
    return;
  }
  // Half width: the exact span of a circle of radius hf (at least the
  // rule tan|δ0|·hf + hf), which stays below π here.
  const double exact = std::asin(std::min(1.0, std::sin(hf) / std::cos(dec0)));
  const double w = std::max(exact, std::tan(std::fabs(dec0)) * hf + hf);
  RAWindow[0] = CentreRA + w;
  RAWindow[1] = CentreRA - w;
  if (RAWindow[1] < 0) {
    RAWindow[2] = TwoPi;
    RAWindow[3] = RAWindow[1] + TwoPi;
  } else if (RAWindow[0] > TwoPi) {
    RAWindow[2] = RAWindow[0] - TwoPi;
    RAWindow[3] = 0;
  }
}

// The right ascension is reduced into [0, 2π) first, so the windows are
// taken on the right side of 0h.
void tPlotterB::SetupCentredProjection() {
  CentreRA = std::fmod(CentreRA, TwoPi);
  if (CentreRA < 0) CentreRA += TwoPi;
  Centred.Active = true;
  Centred.SetCentre(CentreDec, CentreRA);
  HorizonOffset = 0;
  ScaleY = CentreY * Zoom / kHalfPi;
  ScaleX = ScaleY / Aspect;
  Proj = TProjection{};
  Proj.Sx = ScaleX * MirrorFactor;
  Proj.Sy = ScaleY * InvertFactor;
  Proj.CentreX = CentreX;
  Proj.CentreY = CentreY;
  Proj.OriginX = OriginX;
  Proj.OriginY = OriginY;
  Proj.OffLimitX = 32767;
}

void tPlotterB::Plot(platform::DrawingContext& dc, platform::Bitmap* target) {
  using platform::Brush;
  using platform::Pen;
  // 1. Target and device context.
  if (target) SetDrawTarget(*target);
  else ClearDrawTarget();
  Ctx.Dc = &dc;
  Ctx.Target = OutputKind == kOutputPrinter ? nullptr : target;
  Ctx.HorizonAltitude = 0;
  Aspect = double(DpiX) / double(DpiY) / AspectAdjust;
  const Pen keptPen = dc.CurrentPen();
  const Brush keptBrush = dc.CurrentBrush();
  dc.SelectPen(WhitePen);
  dc.SelectBrush(BlackFillBrush);
  dc.SetTextAlign(platform::kAlignCenter | platform::kAlignTop);
  dc.SetBkTransparent(true);
  // Labels stand to the left of their points first: the candidates
  // mirrored left-right.
  if (!LabelOffsetsReady) {
    InitLabelOffsets();
    for (double& fx : LabelOffsetX) fx = -fx;
  }

  // 2. Counters and geometry.
  ResetRenderGeometry();

  // 3. Projection about the centre.
  SetupCentredProjection();
  Ctx.ObjectScaleA = std::max(8, Near(Height / Aspect) / 96);
  Ctx.ObjectScaleB = std::max(8, Height / 96);

  // 4, 5. Windows; the grid and the star names use them as their band.
  Observer.ClipBelowHorizon = 0;
  SetupWindows();
  VisibleBand[0] = RAWindow[0];
  VisibleBand[1] = RAWindow[1];
  VisibleBand[2] = DecWindow[0];
  VisibleBand[3] = DecWindow[1];

  // 6. The Sun (apparent of date already: not precessed), the Earth's
  // orbit and the Moon.
  SolarContext.NovasOff = 0;
  CalcSunTopocentric(SolarContext, Observer);
  CalcSun(SolarContext, Observer);
  CalcEarthOrbit(SolarContext, Observer);
  CalcMoon(SolarContext, Observer, MoonBody);

  // 7. Grid.
  if (ShowGrid) DrawEquatorialGrid();

  // 8, 9. Deep-sky objects.
  Observer.ClipBelowHorizon = 1;
  if (ShowObjects) DrawDeepSkyObjects();

  // 10-12. Stars, their names and Bayer letters.
  Observer.ClipBelowHorizon = 1;
  DrawMagnifierStars();
  if (ShowStarNames && Zoom >= 2.0) DrawStarNames();
  if (StarIdentification && Zoom >= 1.5) DrawBayerLetters();

  // 13-16. Sun, Moon, planets with Jupiter's moons and Saturn's ring, minor
  // bodies (the main chart's layers).
  Observer.ClipBelowHorizon = 0;
  DrawSun();
  DrawMoon();
  DrawPlanets();
  DrawMinorBodies();

  // 17. Object labels.
  if (ObjectLabels) DrawObjectLabels();

  // 18. Script markers, placed about the centre; names one size unit below.
  Observer.ClipBelowHorizon = 0;
  DrawMarkers(SizeUnitY, [this](double ra, double dec, int32_t& x, int32_t& y) { return PlacePoint(ra, dec, x, y); });

  // 19. Horizon.
  DrawMagnifierHorizon();

  // 20.
  dc.SelectPen(keptPen);
  dc.SelectBrush(keptBrush);
  NeedsRender = 0;
}
