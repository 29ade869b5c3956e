// tPlotter::Plot: the render sequence of a chart. It works out the view
// centre for the plotter's instant, sets up the projection and then draws
// the layers in a fixed order; each step below is one numbered step of the
// sequence and calls the layer that draws it (chart/README.md).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "astro/constellations.h"
#include "astro/galilean.h"
#include "astro/names.h"
#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/sun_moon.h"
#include "astro/text.h"
#include "astro/transforms.h"
#include "astro/trig.h"
#include "catalog/bounds.h"
#include "chart/drawing_colors.h"
#include "chart/fill_polygon.h"
#include "chart/graph_misc.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "chart/styles.h"
#include "chart/sun_moon_images.h"
#include "shell/globals.h"

using platform::Brush;
using platform::DrawingContext;
using platform::Pen;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kDeg = kPi / 180.0;
// Filled shapes are clipped to the chart enlarged by this margin (pixels),
// so their outlines never reach the edges.
constexpr int kFillMargin = 64;

int32_t Near(double v) { return int32_t(std::nearbyint(v)); }

// A step's stopwatch for the benchmark's per-layer times.
class StepTimer {
 public:
  explicit StepTimer(TRenderTimes& t) : times_(t), last_(std::chrono::steady_clock::now()) {}
  void Mark(int step) {
    const auto now = std::chrono::steady_clock::now();
    times_.Step[step] += std::chrono::duration<double, std::milli>(now - last_).count();
    last_ = now;
  }

 private:
  TRenderTimes& times_;
  std::chrono::steady_clock::time_point last_;
};

// The track length in days of a minor body's display code: "M" and a digit
// d of 1..9 (in either order) ask for d × 30 days on each side; 0 otherwise.
int TrackDays(const TSolSysBody& body) {
  const std::string code = body.ShowCode.str();
  if (code.size() != 2) return 0;
  char d = 0;
  if (code[0] == 'M') d = code[1];
  else if (code[1] == 'M') d = code[0];
  return d >= '1' && d <= '9' ? (d - '0') * 30 : 0;
}

}  // namespace

namespace {

// The work of one render that the steps share.
struct TRenderWork {
  std::vector<QPointF> horizon;  // step 8: the horizon outline, unclamped
};

}  // namespace

void (*RenderFinishedHook)(const tPlotter& plotter) = nullptr;

void tPlotter::Plot(DrawingContext& dc, platform::Bitmap* target) {
  Times = TRenderTimes{};
  StepTimer timer(Times);
  TRenderWork work;
  const bool sphere = OutputKind == kOutputStarSphere;

  // 1. Solar context: the Sun (topocentric, then apparent), its altitude
  // and azimuth, the Earth's orbit and the Moon.
  Observer.ClipBelowHorizon = 0;
  SolarContext.NovasOff = 0;
  CalcSunTopocentric(SolarContext, Observer);
  CalcSun(SolarContext, Observer);
  RaDecToAltAz(SolarContext.SunRA, SolarContext.SunDec, Sun.Altitude, Sun.Azimuth);
  CalcEarthOrbit(SolarContext, Observer);
  CalcMoon(SolarContext, Observer, MoonBody);
  timer.Mark(1);

  // 2. Drawing setup.
  if (target) SetDrawTarget(*target);
  else ClearDrawTarget();
  Ctx.Dc = &dc;
  Ctx.Target = target;
  Ctx.HorizonAltitude = 0;
  Aspect = double(DpiX) / double(DpiY) / AspectAdjust;
  const Pen keptPen = dc.CurrentPen();
  const Brush keptBrush = dc.CurrentBrush();
  dc.SelectPen(WhitePen);
  dc.SelectBrush(BlackFillBrush);
  SelectStyle(dc, kStyleConstellationNames);
  dc.SetTextAlign(platform::kAlignCenter | platform::kAlignTop);
  dc.SetBkTransparent(true);

  // A zoom that no chart can show (a script or a damaged file may set any
  // number) is brought back: not a number or not positive to the default,
  // others into 0.001..10000, where every projected pixel fits its integer.
  if (!std::isfinite(Zoom) || !(Zoom > 0)) Zoom = 0.95;
  Zoom = std::clamp(Zoom, kMinChartZoom, kMaxChartZoom);

  // 3. Counters and geometry. The object-label list belongs to this render
  // alone, also when the object pass does not run.
  ResetRenderGeometry();

  // 4. View centre.
  ComputeViewCentre();
  HeldAlt = CentreAlt;
  HeldAz = CentreAz;

  // 5. Projection values.
  SetupProjection();

  // 6. Deep-sky symbol scales.
  Ctx.ObjectScaleA = std::max(8, Near(Height / Aspect) / 96);
  Ctx.ObjectScaleB = std::max(8, Height / 96);

  // 7. The declination band that can rise at the observer's latitude.
  VisibleBand[0] = TwoPi;
  VisibleBand[1] = 0;
  VisibleBand[2] = kHalfPi;
  VisibleBand[3] = -kHalfPi;
  const double lat = Observer.Latitude;
  if (lat >= 0) VisibleBand[3] = -(kHalfPi - std::fabs(lat));
  else VisibleBand[2] = kHalfPi - std::fabs(lat);

  // 8. Horizon outline (unclamped, for filling), in the horizon line's chords.
  const int32_t chords = HorizonChords(0.0);
  work.horizon.reserve(std::size_t(chords));
  for (int32_t i = 1; i <= chords; ++i) {
    double x, y;
    Proj.Unclamped(0.0, TwoPi * i / chords, x, y);
    work.horizon.emplace_back(x, y);
  }
  timer.Mark(4);

  // 9. Background of the heavens (screen chart and style preview).
  if (OutputKind == kOutputScreen || OutputKind == kOutputStylePreview) {
    if (Sun.Altitude < -15 * kDeg) DrawMilkyWay();
    timer.Mark(9);
    if (target) DrawChartFrame(*target);
    if (ColorMode != 2 && Sun.Altitude > -15 * kDeg) DrawDaylight(work.horizon);
  }
  timer.Mark(10);

  // 10. Compass here when the horizon profile is off; its places are kept
  // free of labels either way.
  DrawCompass(true);
  if (!ShowHorizon) DrawCompass();

  // 11. Coordinate grid.
  if (GridKind == 0) DrawEquatorialGrid();
  else DrawHorizontalGrid();
  timer.Mark(11);

  // 12-14. Constellation boundaries, figures and names.
  DrawBoundaries();
  timer.Mark(12);
  DrawFigures();
  timer.Mark(13);
  DrawConstellationNames();
  timer.Mark(14);

  // 15. Deep-sky objects.
  if (!sphere && ShowObjects) DrawDeepSkyObjects();
  timer.Mark(15);

  // 16-19. Stars, their names and Bayer letters, below-horizon positions clipped.
  Observer.ClipBelowHorizon = 1;
  DrawStars();
  timer.Mark(17);
  if (ShowStarNames && Zoom >= 2.0) DrawStarNames();
  if (StarIdentification && Zoom >= 1.5) DrawBayerLetters();
  timer.Mark(18);

  // 20. The Sun.
  DrawSun();

  // 21. The Moon, planets, minor bodies, object labels and the overlays.
  if (!sphere) {
    DrawMoon();
    DrawPlanets();
    timer.Mark(20);
    DrawMinorBodies();
    timer.Mark(21);
    if (ObjectLabels) DrawObjectLabels();
    timer.Mark(15);
    DrawOverlays();
  }
  timer.Mark(22);

  // 22. Horizon profile and compass.
  DrawHorizonProfile();
  timer.Mark(19);

  // 23. Style sample, the ground and the horizon line.
  if (OutputKind == kOutputStylePreview) {
    SelectStyle(dc, kStyleCompassDirections);
    const int32_t hx = dc.TextExtent("X").height();
    double alt, az;
    int32_t x, y;
    Observer.ClipBelowHorizon = 0;
    if (PlaceRaDec(105 * kDeg, -15 * kDeg, alt, az, x, y)) {
      dc.SetTextAlign(platform::kAlignCenter | platform::kAlignTop);
      dc.TextOut(x, y + hx / 2, "S");
    }
  }
  DrawGround();
  DrawHorizonLine();
  dc.SelectPen(keptPen);
  dc.SelectBrush(keptBrush);
  Replot = 0;
  timer.Mark(23);
  if (RenderFinishedHook) RenderFinishedHook(*this);
}

// Step 4: the view centre, by the first rule that applies: the zenith view,
// a tracked planet, Moon or Sun, a tracked asteroid or comet (J2000
// elements, precessed to the date when switched), the horizontal position
// held while time runs, or the equatorial position.
void tPlotter::ResetRenderGeometry() {
  ResetOccupied();
  LabelCounter2 = 0;
  ObjectLabelCount = 0;
  PixelArea = double(Width) * double(Height);
  CentreX = Width / 2.0;
  CentreY = Height / 2.0;
  Ctx.SizeScaleY = Height / kPi;
  Ctx.SizeScaleX = Height / kPi / Aspect;
  SizeUnitX = Near(DpiX * 0.04);
  SizeUnitY = Near(DpiY * 0.04);
  OriginX = ChartLeft;
  OriginY = ChartTop;
  ChartRight = ChartLeft + Width;
  ChartBottom = ChartTop + Height;
}

void tPlotter::ComputeViewCentre() {
  auto zenith = [&] {
    CentreAlt = kHalfPi;
    CentreAz = -kPi;
    HorizontalToEquatorial(Observer, CentreRA, CentreDec, CentreAz, CentreAlt);
    TrackName.assign("");
  };
  auto fromEquatorial = [&] { EquatorialToHorizontal(Observer, CentreAlt, CentreAz, CentreRA, CentreDec); };

  if (ZenithView) {
    zenith();
  } else if (TrackKind == kTrackSolarSystem) {
    if (TrackIndex >= 0 && TrackIndex < kPlanetCount && TrackIndex != kEarthNumber - 1) {
      CalcPlanet(SolarContext, Observer, Planets[TrackIndex]);
      CentreRA = Planets[TrackIndex].RA;
      CentreDec = Planets[TrackIndex].Dec;
    } else if (TrackIndex == 9) {
      CentreRA = MoonBody.RA;
      CentreDec = MoonBody.Dec;
    } else if (TrackIndex == 10) {
      CentreRA = SolarContext.SunRA;
      CentreDec = SolarContext.SunDec;
    }
    fromEquatorial();
  } else if (TrackKind == kTrackAsteroid || TrackKind == kTrackComet) {
    TSolSysBody* list = TrackKind == kTrackAsteroid ? Asteroids : Comets;
    const int32_t count = TrackKind == kTrackAsteroid ? AsteroidCount : CometCount;
    if (TrackIndex >= 0 && TrackIndex < count && CalcOrbitBody(SolarContext, Observer, list[TrackIndex])) {
      CentreRA = list[TrackIndex].RA;
      CentreDec = list[TrackIndex].Dec;
      if (Observer.PrecessionOn) Precess(Observer, CentreRA, CentreDec);
      fromEquatorial();
    } else {
      zenith();
    }
  } else if (CentreOnHorizon) {
    HorizontalToEquatorial(Observer, CentreRA, CentreDec, HeldAz, HeldAlt);
    CentreAlt = HeldAlt;
    CentreAz = HeldAz;
  } else {
    fromEquatorial();
  }
}

// Step 9.1: the Milky Way contours, each filled when one of its points is
// at or above the horizon. Contours are built from unclamped points and
// clipped to the chart.
void tPlotter::DrawMilkyWay() {
  DrawingContext& dc = *Ctx.Dc;
  dc.SelectPen(MilkyWayPen);
  dc.SelectBrush(MilkyWayBrush);
  std::vector<QPointF> poly;
  bool anyUp = false;
  const uint8_t clip = Observer.ClipBelowHorizon;
  Observer.ClipBelowHorizon = 0;
  auto flush = [&] {
    if (anyUp && poly.size() >= 3)
      FillClippedPolygon(dc, poly, ChartLeft, ChartTop, ChartRight, ChartBottom, kFillMargin);
    poly.clear();
    anyUp = false;
  };
  for (int32_t i = 1; i <= MilkyWayCount; ++i) {
    const TMilkyWayPoint& p = MilkyWayTable[i];
    if (p.RA < 0) {
      flush();
      continue;
    }
    double ra = p.RA, dec = p.Dec, alt, az, x, y;
    if (Observer.PrecessionOn) Precess(Observer, ra, dec);
    RaDecToAltAz(ra, dec, alt, az);
    Proj.Unclamped(alt, az, x, y);
    if (alt >= 0) anyUp = true;
    poly.emplace_back(x, y);
  }
  flush();
  Observer.ClipBelowHorizon = clip;
}

// Step 9.3: daylight fills the sky inside the horizon; in twilight the
// Sun's glow and the arcs of the blue ramp around it.
void tPlotter::DrawDaylight(const std::vector<QPointF>& horizon) {
  DrawingContext& dc = *Ctx.Dc;
  const double sunAltDeg = Sun.Altitude / kDeg;
  const bool day = SunRiseSetGraphics ? sunAltDeg > 2.5 : sunAltDeg > 0;
  if (day) {
    dc.SelectPen(BluePen);
    dc.SelectBrush(BlueBrush);
    FillClippedPolygon(dc, horizon, ChartLeft, ChartTop, ChartRight, ChartBottom, kFillMargin);
    return;
  }
  DrawHorizonLine();
  int32_t sx, sy;
  if (!ProjectToPixel(Sun.Altitude, Sun.Azimuth, sx, sy)) return;
  auto horizonPoint = [&](double az, int32_t& x, int32_t& y) { return ProjectToPixel(0.0, az, x, y); };
  if (Sun.Altitude >= 0) {
    int32_t hx, hy;
    if (horizonPoint(Sun.Azimuth, hx, hy)) {
      const int32_t r = Near(std::hypot(double(hx - sx), double(hy - sy))) - 1;
      if (r > 0) {
        dc.SelectPen(BluePen);
        dc.SelectBrush(BlueBrush);
        dc.Ellipse(sx - r, sy - r, sx + r, sy + r);
      }
    }
    DrawHorizonLine();
  }
  if (!Ctx.Target) return;
  // The arcs: colour band by the Sun's depth, one arc per pixel of radius.
  int n = Near((2.5 - sunAltDeg) * 1.7142);
  int k;
  if (n < 10) {
    k = std::clamp(n, 1, 40);
  } else if (n <= 29) {
    k = 10;
  } else {
    k = std::clamp(n - 40, 1, 40);
    n = 40 - k;
  }
  const double rd = Height * Zoom * kPi / 6.0;
  // No arcs on a chart too small for one; the radius is capped so that the
  // arc-cosine table step stays at least 1.
  if (!(rd >= 1.0)) return;
  const int32_t R = int32_t(std::min(std::nearbyint(rd), 50000.0));
  const int32_t last = Sun.Altitude >= 0 ? R - 1 : R - 3;
  const int32_t acStep = 50000 / R;
  int start = Near((kPi - Sun.Azimuth + CentreAz) * 1800.0 / kPi);
  AngleAdjTenths(start);
  for (int32_t i = 0; i <= last; ++i) {
    const double ac = ArcCosTable[std::min(i * acStep, 50000)];
    int c = (ac > 0 ? Near(k * kHalfPi / ac) : 40) + n;
    c = std::clamp(c, 1, 40);
    for (int half = 0; half < 2; ++half) {
      const double az = Sun.Azimuth + kPi + (half == 0 ? 1 : -1) * kPi * i / R;
      int32_t hx, hy;
      if (!horizonPoint(az, hx, hy)) continue;
      const int32_t radius = Near(std::hypot(double(hx - sx), double(hy - sy)));
      int end = Near((kHalfPi + ArcTan2R(double(hx - sx), double(hy - sy))) * 1800.0 / kPi);
      AngleAdjTenths(end);
      // Drawing runs backwards (ArcReverse 1) for the first half; an end
      // beyond the start in that direction draws nothing.
      int diff = half == 0 ? end - start : start - end;
      if (diff > 1800) diff -= 3600;
      if (diff > 0) end = start;
      ArcReverse = half == 0 ? 1 : 0;
      DrawArc(sx, sy, radius, start, end, 10, BlueRampPixels[c - 1], HorizonPixel);
    }
  }
  ArcReverse = 0;
}

// Step 12: constellation boundaries (all, or those of the selected
// constellations); a segment joins two placed points when the pen is down
// and either end is above the horizon.
void tPlotter::DrawBoundaries() {
  if (ConstellationBoundaries == 0) return;
  DrawingContext& dc = *Ctx.Dc;
  if (OutputKind == kOutputPrinter) dc.SelectPen(BoundaryPen);
  bool havePrev = false;
  int32_t px = 0, py = 0;
  double pAlt = 0;
  for (int32_t i = 0; i < BoundaryPointCount; ++i) {
    const TBoundaryPoint& p = BoundaryPoints[std::size_t(i)];
    if (ConstellationBoundaries == 1 &&
        (p.Constellation == 0 || p.Constellation > ConstellationCount || !NameSelection[p.Constellation])) {
      havePrev = false;
      continue;
    }
    double alt, az;
    int32_t x, y;
    const bool visible = PlaceRaDec(p.RA, p.Dec, alt, az, x, y);
    if (!visible) {
      havePrev = false;
      continue;
    }
    if (havePrev && p.Kind == kBoundaryFollow && (alt > 0 || pAlt > 0))
      DrawChartSegment(dc, px, py, x, y, BoundaryPixel);
    havePrev = true;
    px = x;
    py = y;
    pAlt = alt;
  }
}

// Step 13: constellation figures from the second record of the line table;
// a record with right ascension 0 breaks the figure.
void tPlotter::DrawFigures() {
  if (ConstellationLines == 0) return;
  DrawingContext& dc = *Ctx.Dc;
  const uint32_t keptPixel = ConstellationLinePixel;
  // The star sphere draws its figures in blue (190 in night vision), through
  // the colour mode like every other colour, so night vision stays red.
  if (OutputKind == kOutputStarSphere)
    ConstellationLinePixel = PixelForMode(platform::MakePixel(0, 0, ColorMode == 2 ? 190 : 200));
  if (OutputKind == kOutputPrinter)
    dc.SelectPen(Pen::Solid(PrintScale, ColorRefForMode(Styles[kStyleConstellationLines].ObjectColor)));
  bool havePrev = false;
  int32_t px = 0, py = 0;
  double pAlt = 0;
  for (int32_t i = 2; i <= ConstellationLineCount; ++i) {
    const TConstellationLinePoint& p = ConstellationLineTable[i];
    if (p.RA == 0 || p.Constellation == 0 || p.Constellation > ConstellationCount ||
        (ConstellationLines == 1 && !LineSelection[p.Constellation])) {
      havePrev = false;
      continue;
    }
    double ra = p.RA / kConstellationLineScale, dec = p.Dec / kConstellationLineScale;
    if (Observer.PrecessionOn) Precess(Observer, ra, dec);
    double alt, az;
    int32_t x, y;
    if (!PlaceRaDec(ra, dec, alt, az, x, y)) {
      havePrev = false;
      continue;
    }
    if (havePrev && (alt > 0 || pAlt > 0)) DrawChartSegment(dc, px, py, x, y, ConstellationLinePixel);
    havePrev = true;
    px = x;
    py = y;
    pAlt = alt;
  }
  ConstellationLinePixel = keptPixel;
}

// Step 14: constellation names at their centres: the abbreviation up to
// zoom 2, above it the full name with one line per word.
void tPlotter::DrawConstellationNames() {
  if (ConstellationNames == 0) return;
  DrawingContext& dc = *Ctx.Dc;
  Observer.ClipBelowHorizon = 1;
  SelectStyle(dc, kStyleConstellationNames);
  const int32_t hx = dc.TextExtent("X").height();
  for (int c = 1; c <= ConstellationCount; ++c) {
    if (ConstellationNames == 1 && !NameSelection[c]) continue;
    double ra = ConstellationCentreRA[c] * 1.5 * kDeg, dec = ConstellationCentreDec[c] * kDeg;
    if (Observer.PrecessionOn) Precess(Observer, ra, dec);
    double alt, az;
    int32_t x, y;
    if (!PlaceRaDec(ra, dec, alt, az, x, y) || !(alt > 0)) continue;
    if (Zoom <= 2.0) {
      PlaceLabel(dc, -1, x, y, ConstellationAbbreviations[c], false);
      continue;
    }
    const std::string name = ::ConstellationNames[c];
    std::vector<std::string> words;
    std::size_t s = 0;
    while (s <= name.size()) {
      const std::size_t e = std::min(name.find(' ', s), name.size());
      if (e > s) words.push_back(name.substr(s, e - s));
      s = e + 1;
    }
    int32_t ly = words.size() > 1 ? y - hx / 2 : y;
    for (const std::string& w : words) {
      PlaceLabel(dc, -1, x, ly, w, false);
      ly += hx;
    }
  }
}

// Step 21.4: asteroids and comets, with their tracks of d × 30 days each
// side for the display codes "M1".."M9". The elements give geometric J2000
// positions, precessed to the date when switched. Each body's position of
// the chart instant is computed into its record (which caches it by time;
// the cursor watch and scripts read it there).
void tPlotter::DrawMinorBodies() {
  DrawingContext& dc = *Ctx.Dc;
  struct List {
    TSolSysBody* bodies;
    int32_t count;
    uint8_t show, labels;
  };
  const List lists[2] = {{Asteroids, AsteroidCount, ShowAsteroids, AsteroidLabels},
                         {Comets, CometCount, ShowComets, CometLabels}};
  UpdateMinorBodyTracks();
  for (int l = 0; l < 2; ++l) {
    const List& list = lists[l];
    if (!list.show) continue;
    // Positions are drawn whether above the horizon or not: the ground
    // covers what lies below it.
    Observer.ClipBelowHorizon = 0;
    dc.SelectPen(WhiteSymbolPen);
    dc.SelectBrush(WhiteSymbolBrush);
    SelectStyle(dc, kStyleSolarSystemObjects);
    for (int32_t i = 0; i < std::min(list.count, kMaxMinorBodies); ++i) {
      TSolSysBody& body = list.bodies[i];
      if (body.ShowCode == "NO") continue;
      auto draw = [&](double ra, double dec, int32_t rx, int32_t ry, int32_t& x, int32_t& y) {
        double alt, az;
        if (!PlaceRaDec(ra, dec, alt, az, x, y) || !OnChart(x, y)) return false;
        dc.Ellipse(x - rx, y - ry, x + rx + 1, y + ry + 1);
        return true;
      };
      int32_t x, y;
      for (const QPointF& p : minorTracks_[l][std::size_t(i)].places)
        draw(p.x(), p.y(), SizeUnitX / 4, SizeUnitY / 4, x, y);
      if (!CalcOrbitBody(SolarContext, Observer, body)) continue;
      double ra = body.RA, dec = body.Dec;
      if (Observer.PrecessionOn) Precess(Observer, ra, dec);
      if (draw(ra, dec, SizeUnitX / 2, SizeUnitY / 2, x, y) && list.labels)
        PlaceLabel(dc, -1, x, y, body.Name.str(), true);
    }
  }
}

// The track places of the shown minor bodies, kept between renders: a
// body's track is computed again only when the plotter's observer record
// (instant, place, precession) or the body's elements changed. Track
// positions are computed on a copy of the body, with the plotter's observer
// and solar records moved in time; both records are put back afterwards,
// so the body's cached position and the chart's instant stay as they were.
void tPlotter::UpdateMinorBodyTracks() {
  TObserverTime instant = Observer;
  instant.ClipBelowHorizon = 0;
  std::vector<uint8_t> key(sizeof instant + 1);
  std::memcpy(key.data(), &instant, sizeof instant);
  key.back() = SolarContext.NovasOff;
  if (key != minorTrackKey_) {
    minorTrackKey_ = std::move(key);
    for (auto& tracks : minorTracks_) tracks.clear();
  }
  // The elements: every field before the computed ones.
  constexpr std::size_t kElementBytes = offsetof(TSolSysBody, LastJD);
  const TSolSysBody* lists[2] = {Asteroids, Comets};
  const uint8_t shown[2] = {ShowAsteroids, ShowComets};
  const int32_t counts[2] = {std::clamp(AsteroidCount, 0, kMaxMinorBodies), std::clamp(CometCount, 0, kMaxMinorBodies)};
  std::unique_ptr<TObserverTime> keptObserver;
  for (int l = 0; l < 2; ++l) {
    if (!shown[l]) continue;
    std::vector<TMinorTrack>& tracks = minorTracks_[l];
    tracks.resize(std::size_t(counts[l]));
    for (int32_t i = 0; i < counts[l]; ++i) {
      const TSolSysBody& body = lists[l][i];
      TMinorTrack& track = tracks[std::size_t(i)];
      const uint8_t* elements = reinterpret_cast<const uint8_t*>(&body);
      if (track.elements.size() == kElementBytes &&
          std::equal(elements, elements + kElementBytes, track.elements.begin()))
        continue;
      track.elements.assign(elements, elements + kElementBytes);
      track.places.clear();
      const int days = body.ShowCode == "NO" ? 0 : TrackDays(body);
      if (days == 0) continue;
      if (!keptObserver) keptObserver = std::make_unique<TObserverTime>();
      *keptObserver = Observer;
      const TSolarContext keptContext = SolarContext;
      TSolSysBody copy = body;
      for (int t = -days; t <= days; ++t) {
        if (t == 0) continue;
        SetObserverUT(Observer, keptObserver->JD_UT + t);
        CalcSunTopocentric(SolarContext, Observer);
        CalcSun(SolarContext, Observer);
        CalcEarthOrbit(SolarContext, Observer);
        if (CalcOrbitBody(SolarContext, Observer, copy)) track.places.emplace_back(copy.RA, copy.Dec);
      }
      Observer = *keptObserver;
      SolarContext = keptContext;
      if (Observer.PrecessionOn)
        for (QPointF& p : track.places) {
          double ra = p.x(), dec = p.y();
          Precess(Observer, ra, dec);
          p = QPointF(ra, dec);
        }
    }
  }
}

// Steps 21.6 to 21.9: the telescope's bullseye, the plate-solve cross, the
// script's markers and the points of interest.
void tPlotter::DrawOverlays() {
  DrawingContext& dc = *Ctx.Dc;
  const TChartInputs& in = ChartInputs();
  const Brush hollow;
  auto circle = [&](int32_t x, int32_t y, int32_t r) {
    if (r < 1) r = 1;
    dc.Ellipse(x - r, y - r, x + r + 1, y + r + 1);
  };
  auto radius = [&](double factor) { return int32_t(Height / 360.0 * factor * Zoom); };
  double ra, dec, alt, az;
  int32_t x, y;
  Observer.ClipBelowHorizon = 0;

  // 21.6 Telescope.
  if (in.telescopePosition && in.telescopePosition(ra, dec)) {
    dc.SelectPen(Pen::Solid(PrintScale, ColorRefForMode(Styles[kStyleCelestialObjects].Color)));
    dc.SelectBrush(hollow);
    SelectStyle(dc, kStyleSolarSystemObjects);
    if (PlaceRaDec(ra, dec, alt, az, x, y))
      for (double f : {0.5, 2.0, 4.0}) circle(x, y, radius(f));
    double dra, ddec;
    if (in.pointingCorrection && in.pointingCorrection(ra, dec, dra, ddec) &&
        PlaceRaDec(ra + dra, dec + ddec, alt, az, x, y))
      circle(x, y, radius(0.5));
  }

  // 21.7 Plate-solve position.
  if (in.plateSolvePosition && in.plateSolvePosition(ra, dec) && PlaceRaDec(ra, dec, alt, az, x, y)) {
    dc.SelectPen(Pen::Solid(PrintScale, ColorRefForMode(Styles[kStyleStarAbbreviations].Color)));
    const int32_t h = radius(0.5);
    dc.MoveTo(x - h, y);
    dc.LineTo(x + h + 1, y);
    dc.MoveTo(x, y - h);
    dc.LineTo(x, y + h + 1);
  }

  // 21.8 Script markers, placed without refraction.
  DrawMarkers(0, [this](double mra, double mdec, int32_t& mx, int32_t& my) {
    double malt, maz;
    EquatorialToHorizontal(Observer, malt, maz, mra, mdec);
    return ProjectToPixel(malt, maz, mx, my);
  });

  // 21.9 Points of interest (J2000), not in the style preview.
  if (OutputKind == kOutputStylePreview || !in.pointOfInterestCount || !in.pointOfInterest) return;
  const int32_t count = in.pointOfInterestCount();
  SelectStyle(dc, kStylePointsOfInterest);
  dc.SelectPen(Pen::Solid(PrintScale, ColorRefForMode(Styles[kStylePointsOfInterest].Color)));
  dc.SelectBrush(hollow);
  const int32_t th = dc.TextExtent("X").height();
  const int32_t ry = Near(th / 1.5);
  const int32_t rx = Near(ry * double(DpiX) / double(DpiY));
  for (int32_t i = 1; i <= count; ++i) {
    TChartPointOfInterest poi;
    if (!in.pointOfInterest(i, poi)) continue;
    ra = poi.RA;
    dec = poi.Dec;
    if (Observer.PrecessionOn) Precess(Observer, ra, dec);
    if (!PlaceRaDec(ra, dec, alt, az, x, y) || !OnChart(x, y)) continue;
    dc.Ellipse(x - rx, y - ry, x + rx + 1, y + ry + 1);
    dc.SetTextAlign(platform::kAlignLeft | platform::kAlignTop);
    dc.TextOut(x + rx + 2, y - th / 2, poi.Name);
  }
}

// The script's markers (steps 21.8 of the chart and 18 of the magnifier),
// each plotter placing them its own way. Unset markers (RA -1) are skipped
// and break the joining line. A name stands `labelDrop` pixels below its
// point.
void tPlotter::DrawMarkers(int32_t labelDrop, const TMarkerPlacement& place) {
  const TChartInputs& in = ChartInputs();
  const int32_t markers = in.markerCount && in.marker ? in.markerCount() : 0;
  if (markers <= 0) return;
  DrawingContext& dc = *Ctx.Dc;
  bool havePrev = false, prevOn = false, havePen = false;
  int32_t x = 0, y = 0, px = 0, py = 0, penWidth = 0, penColor = 0;
  for (int32_t i = 1; i <= markers; ++i) {
    TChartMarker m;
    if (!in.marker(i, m) || m.RA == -1.0) {
      havePrev = false;
      continue;
    }
    const bool visible = place(m.RA, m.Dec, x, y);
    const bool on = visible && OnChart(x, y);
    if (!havePen || m.PenWidth != penWidth || m.Color != penColor) {
      penWidth = m.PenWidth;
      penColor = m.Color;
      havePen = true;
      dc.SelectPen(Pen::Solid(std::max(1, penWidth) * PrintScale, ColorRefForMode(TColorRef(penColor))));
      dc.SelectBrush(Brush::Solid(ColorRefForMode(TColorRef(penColor))));
    }
    if (visible) {
      if (m.Join == 0) {
        dc.MoveTo(x, y);
        dc.LineTo(x + 1, y);
      } else if (havePrev && prevOn && on) {
        dc.MoveTo(px, py);
        dc.LineTo(x, y);
      }
      if (!m.Text.empty() && on) {
        dc.SetTextColor(ColorRefForMode(TColorRef(penColor)));
        PlaceLabel(dc, -1, x, y + labelDrop, m.Text, true);
      }
    }
    havePrev = visible;
    prevOn = on;
    px = x;
    py = y;
  }
}

// Step 22: the horizon profile's closed cells as filled rectangles, then the
// compass; on small charts four direction letters instead.
void tPlotter::DrawHorizonProfile() {
  DrawingContext& dc = *Ctx.Dc;
  if (!ShowHorizon) return;
  if (CentreY > 200) {
    const int32_t open = HorizonProfile[0][0];
    for (int b = -1; b <= 89; ++b) {
      for (int a = 0; a <= 359; ++a) {
        const int32_t colour = HorizonProfile[a][89 - b];
        if (colour == open) continue;
        int32_t xs[4], ys[4];
        bool ok = true;
        for (int c = 0; c < 4 && ok; ++c)
          ok = ProjectToPixel((b + (c >> 1)) * kDeg, (a + (c & 1)) * kDeg, xs[c], ys[c]);
        if (!ok) continue;
        const TColorRef cc = ColorRefForMode(TColorRef(colour));
        dc.SelectPen(Pen::Solid(1, cc));
        dc.SelectBrush(Brush::Solid(cc));
        dc.Rectangle(*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
                     *std::max_element(xs, xs + 4) + 1, *std::max_element(ys, ys + 4) + 1);
      }
    }
    DrawCompass();
    return;
  }
  SelectStyle(dc, kStylePointsOfInterest);
  const int32_t hx = dc.TextExtent("X").height();
  dc.SetTextAlign(platform::kAlignCenter | platform::kAlignTop);
  static const char* const kLetters[4] = {"N", "E", "S", "W"};
  for (int i = 0; i < 4; ++i) {
    int32_t x, y;
    if (ProjectToPixel(8 * kDeg, i * kHalfPi, x, y)) dc.TextOut(x, y - hx / 2, kLetters[i]);
  }
}
