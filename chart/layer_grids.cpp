// The coordinate grids and the ecliptic. One of two grids is drawn: the
// equatorial grid (hour lines of right ascension and circles of
// declination) or the horizontal grid (azimuth lines and altitude circles).
// Each adapts its spacing to the zoom, thins its lines toward the pole where
// they crowd, draws them as chains of short chords (pattern lines into the
// back buffer, pen lines on paper), keeps one label per line where it lies
// farthest from the pole, and ends with the dashed ecliptic and the labels.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "astro/precession.h"
#include "astro/text.h"
#include "astro/transforms.h"
#include "astro/trig.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/layers.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "chart/styles.h"

using platform::DrawingContext;

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kDeg = 1 / DegPerRad;
// A label point must stand this high above the horizon (radians).
constexpr double kLabelMinAltitude = 0.015;
constexpr uint32_t kSolid = 0xFFFFFFFFu;
// Dashes of 8 pixels: pattern bits 8-15 and 24-31.
constexpr uint32_t kEclipticDashes = 0xFF00FF00u;

int32_t Near(double v) { return int32_t(std::nearbyint(v)); }

// True when `value` is within `tolerance` of a whole number.
bool NearWhole(double value, double tolerance) { return std::fabs(value - std::nearbyint(value)) < tolerance; }

// A decimal number in the general floating-point form, blanks trimmed and a
// final ".0" removed.
std::string DecimalText(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  std::string s(buf);
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

// Grid points within this zenith distance may be skipped at a deep zoom;
// around the nadir the projection stretches without bound.
constexpr double kNearZenith = 0.85 * 3.141592653589793;

// The part of a grid line that lies within some radius of a point: the
// values t of the line's varying coordinate with |t - Centre| <= Half
// (taken within a turn); Half below 0 for none, π or more for all.
struct TLineArc {
  double Centre = 0;
  double Half = 4;
};

// Stretches [from, to] of a line's varying coordinate, sorted.
using TStretches = std::vector<std::pair<double, double>>;

// The stretches of [lo, hi] that an arc covers (at most one per turn).
TStretches ArcStretches(const TLineArc& arc, double lo, double hi) {
  if (arc.Half >= 3.141592653589793) return {{lo, hi}};
  TStretches out;
  if (arc.Half < 0) return out;
  const double first = std::floor((lo - arc.Centre - arc.Half) / TwoPi);
  for (int k = 0; k <= 3; ++k) {
    const double c = arc.Centre + (first + k) * TwoPi;
    const double from = std::max(lo, c - arc.Half), to = std::min(hi, c + arc.Half);
    if (from <= to) out.emplace_back(from, to);
  }
  return out;
}

// The stretches of [lo, hi] that `s` leaves free.
TStretches Complement(const TStretches& s, double lo, double hi) {
  TStretches out;
  double at = lo;
  for (const auto& [from, to] : s) {
    if (from > at) out.emplace_back(at, from);
    at = std::max(at, to);
  }
  if (at < hi) out.emplace_back(at, hi);
  return out;
}

// The arc of the grid line with first coordinate `fixed` (b varying, a
// meridian or azimuth line) or second coordinate `fixed` (a varying, a
// circle) within `radius` of the point (qa, qb) of the grid's own frame.
// The cosine of the distance of (a, b) from it is sin b sin qb + cos b cos qb
// cos(a - qa), along a meridian ρ cos(b - φ).
TLineArc LineArcWithin(bool alongB, double fixed, double qa, double qb, double radius) {
  const double cr = std::cos(radius);
  if (alongB) {
    const double A = std::sin(qb), B = std::cos(qb) * std::cos(fixed - qa), rho = std::hypot(A, B);
    if (rho < 1e-12) return {0, cr <= 0 ? 4.0 : -1.0};
    const double q = cr / rho;
    return {std::atan2(A, B), q > 1 ? -1.0 : q <= -1 ? 4.0 : std::acos(q)};
  }
  const double c = std::cos(fixed) * std::cos(qb), s = std::sin(fixed) * std::sin(qb);
  if (c < 1e-12) return {0, s >= cr ? 4.0 : -1.0};
  const double q = (cr - s) / c;
  return {qa, q > 1 ? -1.0 : q <= -1 ? 4.0 : std::acos(q)};
}

// One label candidate of a grid drawing.
struct TGridLabel {
  int32_t X, Y;
  int32_t Key;
  std::string Text;
  double Distance;
};

}  // namespace

// --- Spacing ----------------------------------------------------------------------------

int32_t GridLevel(bool automatic, int32_t storedLevel, double zoom) {
  if (!automatic) return storedLevel;
  return zoom < 6.0 ? 0 : zoom < 12.0 ? 1 : 2;
}

TGridSpacing EquatorialGridSpacing(int32_t level) {
  const double e = 0.0001;
  switch (level) {
    case 0:
      return {15 * kDeg, 10 * kDeg, 1.875 * kDeg, 1.25 * kDeg, {80 * kDeg + e, 70 * kDeg + e, 0}, {6, 2, 1}};
    case 1:
      return {7.5 * kDeg, 5 * kDeg, 1.25 * kDeg, 0.8333 * kDeg,
              {85 * kDeg + e, 80 * kDeg + e, 75 * kDeg + e}, {12, 4, 2}};
    case 2:
      return {3.75 * kDeg, 2.5 * kDeg, 0.9375 * kDeg, 0.625 * kDeg,
              {85 * kDeg + e, 80 * kDeg + e, 75 * kDeg + e}, {12, 4, 2}};
    default:
      return {15 * kDeg, 10 * kDeg, 2.5 * kDeg, 1.6667 * kDeg, {80 * kDeg - e, 70 * kDeg - e, 0}, {6, 2, 1}};
  }
}

TGridSpacing HorizontalGridSpacing(int32_t level) {
  const double e = 0.0001;
  if (level == 1 || level == 2)
    return {7.5 * kDeg, 7.5 * kDeg, 1.25 * kDeg, 1.25 * kDeg,
            {82.5 * kDeg + e, 75 * kDeg + e, 67.5 * kDeg + e}, {12, 4, 2}};
  return {15 * kDeg, 15 * kDeg, 1.875 * kDeg, 1.875 * kDeg, {75 * kDeg + e, 60 * kDeg + e, 0}, {6, 2, 1}};
}

int GridThinningClass(const TGridSpacing& s, double absAngle, int32_t k) {
  for (int i = 0; i < 3; ++i)
    if (s.Every[i] > 1 && absAngle > s.Limit[i] && k % s.Every[i] != 0) return i;
  return 3;
}

// --- The shared walk --------------------------------------------------------------------

namespace {

// One grid drawing: the chords of its lines and its label candidates.
class GridDrawer {
 public:
  GridDrawer(tPlotter& p, bool equatorial) : p_(p), dc_(*p.Ctx.Dc), equatorial_(equatorial) {
    paper_ = p.OutputKind == kOutputPrinter || !p.Ctx.Target;
    labels_ = p.GridLabels != 0 && p.Zoom > 2.0;
    // The field's centre and the zenith in the grid's own frame.
    double ra, dec;
    field_ = p.FieldCap(ra, dec, fieldRadius_);
    if (equatorial) {
      centreA_ = ra;
      centreB_ = dec;
      zenithA_ = p.Observer.LocalSidereal;
      zenithB_ = p.Observer.Latitude;
    } else if (field_) {
      centreA_ = p.Proj.Rotation + 3.141592653589793;
      centreB_ = kHalfPi - p.Proj.HorizonOffset / p.Proj.Sy;
    }
  }

  // At a deep zoom, the points of the line that lie so far from the field
  // that no chord from them reaches the chart or its bitmap are skipped
  // (neither placed nor drawn); `chord` is the line's step on the sky.
  // Far means: within kNearZenith of the zenith, and beyond the field's
  // radius by a degree of refraction and the longest a chord (plus a degree
  // or so of refraction on its ends) can be in the plane there: its length
  // on the sky times the projection's greatest stretch across the line of
  // sight, z / sin z, at the largest zenith distance it reaches. The
  // projection's inverse shrinks no distance, so such a point lies farther
  // from the field's centre in the plane than the field's corners and the
  // chord together reach.
  void RestrictLine(bool alongB, double fixed, double chord) {
    restricted_ = field_;
    if (!restricted_) return;
    varyB_ = alongB;
    const double reach = chord + 1.2 * kDeg, farthest = kNearZenith + reach;
    const double stretch = farthest / std::sin(farthest);
    const TLineArc near = LineArcWithin(alongB, fixed, centreA_, centreB_, fieldRadius_ + kDeg + reach * stretch);
    const TLineArc zenith = LineArcWithin(alongB, fixed, zenithA_, zenithB_, kNearZenith);
    // The points kept: near the field, or far from the zenith; the line's
    // coordinate grows along it, so one cursor walks the stretches. They
    // are widened a little, so that rounding keeps a point rather than
    // skipping it.
    const double lo = alongB ? -kHalfPi : 0.0, hi = alongB ? kHalfPi : TwoPi;
    kept_ = ArcStretches(near, lo, hi);
    const TStretches open = Complement(ArcStretches(zenith, lo, hi), lo, hi);
    kept_.insert(kept_.end(), open.begin(), open.end());
    std::sort(kept_.begin(), kept_.end());
    for (auto& [from, to] : kept_) {
      from -= 1e-6;
      to += 1e-6;
    }
    cursor_ = 0;
  }

  // True when the point at t of a restricted line is kept (see above).
  bool Kept(double t) {
    while (cursor_ < kept_.size() && t > kept_[cursor_].second) ++cursor_;
    return cursor_ < kept_.size() && t >= kept_[cursor_].first;
  }

  void SetReference(int32_t x, int32_t y) {
    refX_ = x;
    refY_ = y;
  }

  // Starts a line: its colour, width (3 for the main line) and label.
  void BeginLine(uint32_t color, bool main) {
    color_ = color;
    main_ = main;
    restricted_ = false;
    havePrev_ = false;
    lineLabel_ = -1;
    text_.clear();
    if (paper_ && main) dc_.SelectPen(GridWidePen);
  }
  void EndLine() {
    if (paper_ && main_) dc_.SelectPen(GridPen);
  }

  // The next point of the line at position (a, b) of the grid's own
  // coordinates (right ascension and declination, or azimuth and altitude).
  // A point hidden by thinning ends the chord there. `labelAllowed` says
  // whether the point may carry the line's label, `key` and `makeText` give
  // the label.
  template <typename MakeText>
  void Point(double a, double b, bool hidden, bool labelAllowed, int32_t key, MakeText makeText) {
    if (restricted_ && !Kept(varyB_ ? b : a)) {
      havePrev_ = false;
      return;
    }
    double alt, az;
    if (equatorial_)
      p_.RaDecToAltAz(a, b, alt, az);
    else {
      alt = b;
      az = a;
    }
    int32_t x = 0, y = 0;
    const bool projected = p_.ProjectToPixel(alt, az, x, y);
    const bool visible = projected && !hidden;
    if (visible && havePrev_ && (alt > 0 || prevAlt_ > 0)) Chord(prevX_, prevY_, x, y);
    // A point hidden by thinning may still carry a label (class 2 on the
    // main lines), so the label test asks the projection alone.
    if (projected && labels_ && labelAllowed && alt > kLabelMinAltitude) Candidate(x, y, key, makeText);
    havePrev_ = visible;
    prevX_ = x;
    prevY_ = y;
    prevAlt_ = alt;
  }

  void Chord(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (paper_) {
      dc_.MoveTo(x1, y1);
      dc_.LineTo(x2, y2);
    } else {
      DrawPatternLine(x1, y1, x2, y2, color_, NearWhitePixel, main_ ? 3 : 2, kSolid);
    }
  }

  // The ecliptic: a dashed line through the points of ecliptic longitude
  // 0° to 360°, each chord drawn from its higher end so that the dash stops
  // at the horizon line.
  void Ecliptic() {
    ResetLinePattern();
    if (paper_)
      dc_.SelectPen(p_.OutputKind == kOutputPrinter ? RedDotPen
                                                    : platform::Pen::Dotted(platform::PixelToColorRef(DarkRedPixel)));
    const TObserverTime& obs = p_.Observer;
    bool havePrev = false;
    int32_t px = 0, py = 0;
    double palt = 0;
    for (int i = 0;; ++i) {
      const double lambdaDeg = i * 4.9999;
      if (lambdaDeg > 360) break;
      double ra, dec, alt, az;
      EclipticToEquatorial(obs, ra, dec, lambdaDeg * kDeg, 0);
      if (obs.PrecessionOn) Precess(obs, ra, dec);
      p_.RaDecToAltAz(ra, dec, alt, az);
      int32_t x = 0, y = 0;
      const bool visible = p_.ProjectToPixel(alt, az, x, y);
      if (visible && havePrev && (alt > 0 || palt > 0)) {
        if (paper_) {
          dc_.MoveTo(px, py);
          dc_.LineTo(x, y);
        } else if (palt >= alt) {
          DrawPatternLine(px, py, x, y, DarkRedPixel, HorizonPixel, 1, kEclipticDashes);
        } else {
          DrawPatternLine(x, y, px, py, DarkRedPixel, HorizonPixel, 1, kEclipticDashes);
        }
      }
      havePrev = visible;
      px = x;
      py = y;
      palt = alt;
    }
  }

  // A whole circle of the grid at b (declination or altitude), walked in a
  // from 0 to 2π; its label is b in degrees with at most one decimal,
  // followed by `suffix`.
  void Circle(double b, double chord, uint32_t color, bool main, const char* suffix) {
    BeginLine(color, main);
    RestrictLine(false, b, chord);
    const int32_t t = Near(b / kDeg * 10);
    const int steps = int(std::ceil(TwoPi / chord - 1e-9));
    for (int i = 0; i <= steps; ++i)
      Point(std::min(i * chord, TwoPi), b, false, true, t, [t, suffix] { return DecimalText(t / 10.0) + suffix; });
    EndLine();
  }

  // Every candidate, in list order, through the label placement.
  void PlaceLabels() {
    for (const TGridLabel& l : list_) p_.PlaceLabel(dc_, -1, l.X, l.Y, l.Text, false);
  }

 private:
  template <typename MakeText>
  void Candidate(int32_t x, int32_t y, int32_t key, MakeText makeText) {
    if (text_.empty()) {
      text_ = makeText();
      const QSize e = dc_.TextExtent(text_);
      w_ = e.width();
      h_ = e.height();
    }
    if (!(p_.ChartLeft < x - w_ && p_.ChartTop < y - h_ && x + w_ / 2 < p_.ChartRight && y + h_ < p_.ChartBottom))
      return;
    if (p_.OutputKind == kOutputScreen) {
      const TChartInputs& in = ChartInputs();
      if (in.nearMaskEdge && in.nearMaskEdge(x, y, w_)) return;
      if (in.insideInset && in.insideInset(x, y)) return;
    }
    const int32_t lx = x - w_ / 2;
    const double d = std::hypot(double(lx - refX_), double(y - refY_));
    if (lineLabel_ < 0 || list_[std::size_t(lineLabel_)].Key != key) {
      lineLabel_ = -1;
      for (std::size_t i = 0; i < list_.size(); ++i)
        if (list_[i].Key == key) lineLabel_ = int32_t(i);
    }
    if (lineLabel_ < 0) {
      list_.push_back(TGridLabel{lx, y, key, text_, d});
      lineLabel_ = int32_t(list_.size() - 1);
    } else if (d > list_[std::size_t(lineLabel_)].Distance) {
      TGridLabel& l = list_[std::size_t(lineLabel_)];
      l.X = lx;
      l.Y = y;
      l.Distance = d;
    }
  }

  tPlotter& p_;
  DrawingContext& dc_;
  bool equatorial_;
  bool field_ = false;
  double fieldRadius_ = 0;
  double centreA_ = 0, centreB_ = 0, zenithA_ = 0, zenithB_ = kHalfPi;
  bool restricted_ = false;
  bool varyB_ = false;
  TStretches kept_;
  std::size_t cursor_ = 0;
  bool paper_ = false;
  bool labels_ = false;
  int32_t refX_ = 0, refY_ = 0;
  uint32_t color_ = 0;
  bool main_ = false;
  bool havePrev_ = false;
  int32_t prevX_ = 0, prevY_ = 0;
  double prevAlt_ = 0;
  int32_t lineLabel_ = -1;
  std::string text_;
  int32_t w_ = 0, h_ = 0;
  std::vector<TGridLabel> list_;
};

// Selects the grid's pen on paper and style 5's font and colour.
void SelectGridStyle(tPlotter& p, DrawingContext& dc) {
  if (p.OutputKind == kOutputPrinter) dc.SelectPen(GridPen);
  const TStyleEntry& style = Styles[kStyleCoordinateGrid];
  dc.SelectFont(style.Handle);
  dc.SetTextColor(ColorRefForMode(style.Color));
  dc.SetTextAlign(platform::kAlignBaseline | platform::kAlignCenter);
}

// Right ascension of m minutes as "hh" "h" "mm" "m" (hours blank-filled
// to two places, " 6h30m"), without "00m".
std::string MeridianText(int32_t m) {
  std::string s = FormatRA_HM(m / 1440.0 * TwoPi);
  const std::size_t z = s.find("00m");
  if (z != std::string::npos) s.erase(z, 3);
  return s;
}

}  // namespace

// --- Equatorial grid -------------------------------------------------------------------

void tPlotter::DrawEquatorialGrid() {
  if (!ShowGrid) return;
  DrawingContext& dc = *Ctx.Dc;
  GridDrawer g(*this, true);

  // The reference point: the celestial pole the observer sees.
  {
    double alt, az;
    int32_t x = 0, y = 0;
    RaDecToAltAz(0, Observer.Latitude > 0 ? kHalfPi : -kHalfPi, alt, az);
    ProjectToPixel(alt, az, x, y);
    g.SetReference(x, y);
    Observer.ClipBelowHorizon = 0;
  }
  SelectGridStyle(*this, dc);
  const TGridSpacing s = EquatorialGridSpacing(GridLevel(GridAutoSpacing != 0, GridSpacingLevel, Zoom));

  // Ranges of the visible band.
  const double raMax = VisibleBand[0], raMin = VisibleBand[1];
  const double decMax = VisibleBand[2], decMin = VisibleBand[3];
  int32_t k = int32_t(std::floor(raMin / s.LineStep + 1e-9));
  const double raEnd = std::min(raMax + s.LineStep - 0.0001, raMin + TwoPi - 0.0001);
  const double decFirst = std::max(-kHalfPi, std::floor(decMin / s.CircleStep + 1e-9) * s.CircleStep);
  // Circles while below the maximum plus one step, the last at most the pole.
  const double decEnd = std::min(decMax + s.CircleStep - 1e-9, kHalfPi + 1e-9);
  double decLast = decFirst;
  while (decLast + s.CircleStep < decEnd) decLast += s.CircleStep;

  // Meridians.
  for (double ra = k * s.LineStep; ra < raEnd; ra = (++k) * s.LineStep) {
    const double raDeg = ra / kDeg;
    const bool main = std::fabs(ra) < 0.0001 || std::fabs(ra - TwoPi) < 0.0001;
    g.BeginLine(NearWhole(raDeg / 14.99999999, 0.0001) ? GridPixel : GridAltPixel, main);
    g.RestrictLine(true, ra, s.LineChord);
    int32_t m = Near(raDeg / 15 * 60) % 1440;
    if (m < 0) m += 1440;
    const bool thirty = NearWhole(raDeg / 29.99999999, 0.0001);
    const int steps = int(std::floor((decLast - decFirst) / s.LineChord + 1e-9));
    for (int i = 0; i <= steps + 1; ++i) {
      const double dec = i <= steps ? decFirst + i * s.LineChord : decLast;
      const int cls = GridThinningClass(s, std::fabs(dec), k);
      g.Point(ra, dec, cls != 3, cls == 3 || (cls == 2 && thirty), m + 100000, [m] { return MeridianText(m); });
    }
    g.EndLine();
  }

  // Circles of declination.
  for (double dec = decFirst; dec < decEnd; dec += s.CircleStep) {
    if (std::fabs(dec) >= kHalfPi - 1e-9) continue;  // a pole is a point
    const double absDeg = std::fabs(dec) / kDeg;
    g.Circle(dec, s.CircleChord, NearWhole(absDeg / 9.9999999, 0.00001) ? GridPixel : GridAltPixel,
             std::fabs(dec) < 0.0001, "\u00B0");
  }

  g.Ecliptic();
  g.PlaceLabels();
}

// --- Horizontal grid -------------------------------------------------------------------

void tPlotter::DrawHorizontalGrid() {
  if (!ShowGrid) return;
  DrawingContext& dc = *Ctx.Dc;
  GridDrawer g(*this, false);
  {
    int32_t x = 0, y = 0;
    ProjectToPixel(kHalfPi, 0, x, y);
    g.SetReference(x, y);
    Observer.ClipBelowHorizon = 0;
  }
  SelectGridStyle(*this, dc);
  const TGridSpacing s = HorizontalGridSpacing(GridLevel(GridAutoSpacing != 0, GridSpacingLevel, Zoom));
  const double altEnd = kHalfPi - 0.0001;

  // Lines of azimuth.
  int32_t k = 0;
  for (double az = 0; az < TwoPi - 0.0001; az = (++k) * s.LineStep) {
    const double azDeg = az / kDeg;
    g.BeginLine(NearWhole(azDeg / 14.99999999, 0.0001) ? GridPixel : GridAltPixel, k == 0);
    g.RestrictLine(true, az, s.LineChord);
    // The label is the azimuth in tenths of a degree, so the lines between
    // whole degrees (7.5° spacing) read as what they are.
    int32_t a = Near(azDeg * 10) % 3600;
    if (a < 0) a += 3600;
    for (double alt = 0; alt < altEnd; alt += s.LineChord) {
      const int cls = GridThinningClass(s, std::fabs(alt), k);
      const bool allowed = cls == 3 || (cls == 2 && alt / kDeg <= 80.0001);
      g.Point(az, alt, cls != 3, allowed, 100000 + a, [a] { return DecimalText(a / 10.0) + "AZ"; });
    }
    g.EndLine();
  }

  // Circles of altitude.
  for (double alt = 0; alt < kHalfPi - 1e-9; alt += s.CircleStep) {
    g.Circle(alt, s.CircleChord, NearWhole(alt / kDeg / 14.9999999, 0.00001) ? GridPixel : GridAltPixel,
             alt < 0.0001, "ALT");
  }

  g.Ecliptic();
  g.PlaceLabels();
}
