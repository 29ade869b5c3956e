// The deep-sky object layer: the object pass walks the object database under
// its lock, keeps the objects worth drawing at the present zoom, draws each
// class symbol scaled to the object's catalogued size and registers the
// symbol's rectangle, so that no later label covers it; the label pass,
// later in the same render, writes the designations next to the symbols.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "astro/observer.h"
#include "astro/reference_files.h"
#include "astro/transforms.h"
#include "catalog/object_catalog.h"
#include "chart/drawing_colors.h"
#include "chart/layers.h"
#include "chart/plotter.h"
#include "chart/styles.h"

using platform::DrawingContext;

namespace {

// Points of an outline polygon kept at most; further points are walked but
// not drawn.
constexpr int kOutlineCapacity = 100;
// One degree, the distance of the orientation point toward the equator.
constexpr double kOneDegree = 0.017453292;

// To the nearest integer, halves to even; values beyond any chart (huge
// catalogue sizes at high zoom) are held at +-1e9 so they stay integers.
int32_t Near(long double v) { return int32_t(std::nearbyint(std::clamp(double(v), -1e9, 1e9))); }
int32_t Trunc(double v) { return int32_t(std::trunc(std::clamp(v, -1e9, 1e9))); }

// The whole text as a decimal integer; false for anything else.
bool ParseInt(const std::string& text, int& value) {
  std::size_t b = text.find_first_not_of(' ');
  std::size_t e = text.find_last_not_of(' ');
  if (b == std::string::npos) return false;
  const char* first = text.data() + b;
  const char* last = text.data() + e + 1;
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last;
}

// The symbol polygon's points, kept between symbols so that the pass does
// not allocate per object; emptied on every use.
std::vector<QPoint>& PolygonBuffer() {
  thread_local std::vector<QPoint> buffer = [] {
    std::vector<QPoint> b;
    b.reserve(kOutlineCapacity);
    return b;
  }();
  buffer.clear();
  return buffer;
}

// Full outline of an ellipse box (an arc whose end rays coincide).
void EllipseOutline(DrawingContext& dc, int32_t l, int32_t t, int32_t r, int32_t b) {
  dc.Arc(l, t, r, b, 0, 0, 0, 0);
}

// The class symbols, each drawn in its box (right and bottom inclusive),
// shared by the object pass and the printed key.

// Globular cluster: a circle with a cross through (cx, cy).
void GlobularSymbol(DrawingContext& dc, const TLabelRect& r, int32_t cx, int32_t cy) {
  dc.SelectPen(OlivePen);
  dc.SelectBrush(OliveBrush);
  EllipseOutline(dc, r.Left, r.Top, r.Right + 1, r.Bottom + 1);
  dc.MoveTo(r.Right, cy);
  dc.LineTo(r.Left, cy);
  dc.MoveTo(cx, r.Top);
  dc.LineTo(cx, r.Bottom);
}

// Diffuse nebulae, filled in their dark green at this opacity so that the
// stars, lines and smaller symbols beneath stay visible (a large nebula's
// symbol covers many degrees).
constexpr uint8_t kNebulaFillAlpha = 110;

void SelectNebulaColours(DrawingContext& dc) {
  dc.SelectPen(PaleGreenPen);
  dc.SelectBrush(platform::Brush::Translucent(DarkGreenBrush.color, kNebulaFillAlpha));
}

// Diffuse nebula without an outline: a filled square.
void NebulaSquare(DrawingContext& dc, const TLabelRect& r) {
  SelectNebulaColours(dc);
  dc.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
}

// Planetary nebula: a filled ellipse of half axes a, b about (cx, cy) with
// four ticks out to the box.
void PlanetarySymbol(DrawingContext& dc, const TLabelRect& r, double cx, double cy, int32_t a, int32_t b) {
  dc.SelectPen(GreenPen);
  dc.SelectBrush(GreenBrush);
  const int32_t icx = Near(cx), icy = Near(cy);
  dc.Ellipse(Near(cx - a) + 1, Near(cy - b) + 1, Near(cx + a), Near(cy + b));
  dc.MoveTo(Near(cx + a), icy);
  dc.LineTo(r.Right, icy);
  dc.MoveTo(Near(cx - a), icy);
  dc.LineTo(r.Left, icy);
  dc.MoveTo(icx, Near(cy + b));
  dc.LineTo(icx, r.Bottom);
  dc.MoveTo(icx, Near(cy - b));
  dc.LineTo(icx, r.Top);
}

// Galaxy: the 21 points of an ellipse of half axes r1 (along) and r2
// (across) turned by rho, with the mirror factors f1, f2; returns its box,
// grown from `box` (the object pass starts from the chart's far corner and
// the origin).
TLabelRect GalaxyOutline(std::vector<QPoint>& poly, double cx, double cy, double r1, double r2, double rho, int f1,
                         int f2, double aspect, QRectF box) {
  poly.resize(21);
  double left = box.left(), top = box.top(), right = box.right(), bottom = box.bottom();
  for (int j = 0; j <= 20; ++j) {
    const double t = 18.0 * j / DegPerRad;
    const double u = f1 * std::cos(t) * r2, w = f2 * std::sin(t) * r1;
    const double d = std::sqrt(u * u + w * w);
    const double phi = ArcTan2R(u, w) + rho;
    const double x = Trunc(cx + f1 * std::cos(phi) * d / aspect);
    const double y = Trunc(cy + f2 * std::sin(phi) * d);
    poly[std::size_t(j)] = QPoint(int(x), int(y));
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
  }
  return TLabelRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
}

void GalaxySymbol(DrawingContext& dc, const std::vector<QPoint>& poly) {
  dc.SelectPen(DarkRedPen);
  dc.SelectBrush(DarkRedBrush);
  dc.Polygon(poly);
}

// Open cluster: circles, solid when small, dotted when large, thicker on
// paper.
void OpenClusterSymbol(DrawingContext& dc, const TLabelRect& r, bool small) {
  dc.SelectPen(small ? OlivePen : OliveDotPen);
  const int32_t k = PrintScale / 2 + 1;
  for (int32_t m = k; m >= 1; --m) EllipseOutline(dc, r.Left - m, r.Top - m, r.Right + m, r.Bottom + m);
}

}  // namespace

void DrawDeepSkyKeySymbol(DrawingContext& dc, int cls, int32_t cx, int32_t cy, int32_t r, double aspect) {
  const int32_t rx = Near(r / aspect);
  const TLabelRect box{cx - rx, cy - r, cx + rx, cy + r};
  switch (cls) {
    case 1:
      OpenClusterSymbol(dc, box, false);
      break;
    case 2:
      GlobularSymbol(dc, box, cx, cy);
      break;
    case 3:
      NebulaSquare(dc, TLabelRect{box.Left, box.Top, box.Right + 1, box.Bottom + 1});
      break;
    case 4: {
      const int32_t a = rx / 2, b = r / 2;
      PlanetarySymbol(dc, box, cx, cy, a, b);
      break;
    }
    case 5: {
      std::vector<QPoint>& poly = PolygonBuffer();
      const QRectF none(QPointF(1e9, 1e9), QPointF(-1e9, -1e9));
      GalaxyOutline(poly, cx, cy, r, r / 2.0, -30.0 / DegPerRad, 1, 1, aspect, none);
      GalaxySymbol(dc, poly);
      break;
    }
    default:
      break;
  }
}

// True when an object of magnitude `mv` is drawn at `zoom`: fainter objects
// join as the chart zooms in; from zoom 39 on every object. At zoom exactly
// 2 the tier of the wider charts (magnitude below 10) applies.
bool DeepSkyZoomGate(double zoom, double mv) {
  return (zoom <= 2.0 && mv < 10.0) || (zoom > 2.0 && mv < 12.0) || (zoom > 5.0 && mv < 14.0) ||
         (zoom > 10.0 && mv < 15.0) || (zoom > 16.0 && mv < 16.0) || (zoom > 32.0 && mv < 18.0) || zoom > 39.0;
}

// Draws the current object of ObjectCatalog at chart point (cx, cy); the
// offset point (ox, oy) lies one degree toward the celestial equator and
// gives the scale (pixels per degree) and the direction to the pole.
// OccupiedRects[target] receives the symbol's rectangle. True when drawn.
bool tPlotter::DrawObjectSymbol(DrawingContext& dc, int32_t target, double cx, double cy, double ox, double oy) {
  const tCO& o = *ObjectCatalog;
  if (target < 1 || target > kMaxOccupiedRects) return false;
  TLabelRect& rect = OccupiedRects[target];
  int cls;
  if (!ParseInt(o.CL, cls) || cls < 1 || cls > 6) return false;

  const long double dx = cx - ox, dy = cy - oy;
  const long double D = std::sqrt((dx * Aspect) * (dx * Aspect) + dy * dy);
  auto radius = [D](long double v) { return v / 10 / 60 * D / 2; };
  int32_t maA = o.MaA == kNoSize ? 100 : o.MaA;
  if (maA < 100) maA = 100;
  auto shown = [&]() { return InChart(rect.Left, rect.Top) || InChart(rect.Right, rect.Bottom); };
  auto setRect = [&](long double l, long double t, long double r, long double b) {
    rect = TLabelRect{Near(l), Near(t), Near(r), Near(b)};
  };
  bool drawn = false;

  switch (cls) {
    case 2: {  // globular cluster: circle with a cross
      const long double r = radius(maA);
      if (r < 1.5) return false;
      const long double rx = r / Aspect, ry = r;
      setRect(cx - rx, cy - ry, cx + rx, cy + ry);
      if (!shown()) return false;
      GlobularSymbol(dc, rect, Near(cx), Near(cy));
      return true;
    }
    case 3:
    case 6: {  // diffuse nebula: its outline, or a filled square
      if (o.PA == kNoSize) {
        const long double r = radius(maA);
        if (r >= 1.5) {
          setRect(cx - r / Aspect, cy - r, cx + r / Aspect, cy + r);
          if (shown()) {
            NebulaSquare(dc, rect);
            drawn = true;
          }
        }
      } else if (o.PA >= 1 && o.PA <= NebulaOutlineCount) {
        std::vector<QPoint>& poly = PolygonBuffer();
        double left = Width + ChartLeft, top = Height + ChartTop, right = 0, bottom = 0;
        bool ended = false;
        for (int32_t k = o.PA; k <= NebulaOutlineCount + 1; ++k) {
          const TNebulaOutlinePoint& pt = NebulaOutlineTable[k];
          if (pt.Marker == kOutlineEnd) {
            ended = true;
            break;
          }
          // Placed as the object itself is (about the centre in the magnifier).
          double alt, az, x, y;
          RaDecToAltAz(pt.RA, pt.Dec, alt, az);
          Proj.Unclamped(alt, az, x, y);
          if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e6 || std::fabs(y) > 1e6) continue;
          if (int(poly.size()) < kOutlineCapacity) poly.emplace_back(Near(x), Near(y));
          left = std::min(left, x);
          top = std::min(top, y);
          right = std::max(right, x);
          bottom = std::max(bottom, y);
        }
        if (ended && poly.size() >= 2 && (InChart(left, top) || InChart(right, bottom))) {
          SelectNebulaColours(dc);
          dc.Polygon(poly);
          const long double w = right - left, h = bottom - top;
          setRect(cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2);
          drawn = true;
        }
      }
      if (cls == 3) return drawn;
      break;
    }
    case 4: {  // planetary nebula: a filled ellipse with four ticks
      int32_t v = o.MaA == kNoSize ? 120 : o.MaA;
      if (v < 120) v = 120;
      const long double r = v / 900.0L * D / 2;
      if (r < 1.5) return false;
      const int32_t a = Trunc(double(r / Aspect)), b = Trunc(double(r));
      setRect(cx - 2 * a, cy - 2 * b, cx + 2 * a, cy + 2 * b);
      if (!shown()) return false;
      PlanetarySymbol(dc, rect, cx, cy, a, b);
      return true;
    }
    case 5: {  // galaxy: a filled ellipse along the position angle
      int32_t a = o.MaA, b = o.MiA;
      if (a == kNoSize || b == kNoSize) {
        a = 100;
        b = 50;
      }
      a = std::max(a, 100);
      b = std::max(b, 50);
      const long double R1 = radius(a), R2 = radius(b);
      if (R1 < 1.5 && R2 < 1.5) return false;
      double p = (o.PA == kNoSize ? 0 : o.PA) + 90.0;
      if (o.DEDate < 0) p += 180;
      const double rho = ArcTan2R(double(dx * Aspect), double(dy)) - p / DegPerRad;
      std::vector<QPoint>& poly = PolygonBuffer();
      rect = GalaxyOutline(poly, cx, cy, double(R1), double(R2), rho, MirrorFactor, InvertFactor, Aspect,
                           QRectF(QPointF(Width + ChartLeft, Height + ChartTop), QPointF(0, 0)));
      if (!shown()) return false;
      GalaxySymbol(dc, poly);
      return true;
    }
    default:
      break;
  }

  // Open cluster (class 1, and the cluster of class 6): circles, solid when
  // small, dotted when large, thicker on paper.
  const long double r = radius(maA);
  if (r >= 1.5) {
    const int32_t a = Trunc(double(r / Aspect)), b = Trunc(double(r));
    const TLabelRect kept = rect;
    setRect(cx - a, cy - b, cx + a, cy + b);
    if (shown()) {
      OpenClusterSymbol(dc, rect, r <= 4.0);
      drawn = true;
    } else if (drawn) {
      rect = kept;  // the nebula part stands
    }
  }
  return drawn;
}

namespace {

// What the object pass asks of every record before it decodes one: its
// magnitude (23 or more, no value, as 12), whether its class has a symbol,
// and its J2000 direction (the decoded place of date where it has none).
struct TObjectIndexEntry {
  float X, Y, Z;
  float Mv;
  bool Drawable;
};

// The records of the object database in that form, built again when its
// rows change (read under the object lock).
struct TObjectIndex {
  uint64_t generation = 0;
  const tCO* catalog = nullptr;
  std::vector<TObjectIndexEntry> entries;

  void Update(tCO& o) {
    if (catalog == &o && generation == o.Generation() && int(entries.size()) == o.Count()) return;
    catalog = &o;
    generation = o.Generation();
    entries.clear();
    const int n = o.Count();
    if (n <= 0 || !o.SeekRecord(0)) return;
    entries.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
      const bool j2000 = std::isfinite(o.RA) && std::isfinite(o.DE);
      const double ra = j2000 ? o.RA : o.RADate, dec = j2000 ? o.DE : o.DEDate;
      int cls;
      entries.push_back({float(std::cos(dec) * std::cos(ra)), float(std::cos(dec) * std::sin(ra)), float(std::sin(dec)),
                         o.Mv >= kNoMagnitude ? 12.0f : o.Mv, ParseInt(o.CL, cls) && cls >= 1 && cls <= 6});
      if (i + 1 < n && !o.Next()) {
        entries.clear();  // rows that cannot be walked: no index, every record is read
        return;
      }
    }
  }
};
TObjectIndex g_objectIndex;

}  // namespace

// The object pass: every object of the database of class 1..6 that passes
// the zoom gate and stands above the horizon on the chart, at most
// kMaxObjectLabels of them, each remembered for the label pass. The label
// list is emptied first in every render, so the label pass never sees the
// objects of an earlier one. Records are chosen from the object index
// first (class, zoom gate and, at deep zooms, the field's cap widened by the
// precession since J2000, which turns the sky by less than 2° a century),
// so only those are read; in record order, as a walk of all would draw them.
void tPlotter::DrawDeepSkyObjects() {
  ObjectLabelCount = 0;
  if (OutputKind == kOutputStarSphere || ShowObjects != 1 || !ObjectCatalog) return;
  DrawingContext& dc = *Ctx.Dc;
  TObjectsLock lock;
  tCO& o = *ObjectCatalog;
  const int n = o.Count();
  if (n <= 0) return;
  g_objectIndex.Update(o);
  const std::vector<TObjectIndexEntry>& index = g_objectIndex.entries;
  const bool indexed = int(index.size()) == n;
  double capRA, capDec, capRadius;
  const bool capped = indexed && FieldCap(capRA, capDec, capRadius);
  double cx0 = 0, cy0 = 0, cz0 = 0, cosCap = -2;
  if (capped) {
    const double centuries = std::fabs(ObserverTime.JD_TT - 2451545.0) / 36525.0;
    const double r = capRadius + (2.0 * centuries + 0.01) * 3.141592653589793 / 180;
    cx0 = std::cos(capDec) * std::cos(capRA);
    cy0 = std::cos(capDec) * std::sin(capRA);
    cz0 = std::sin(capDec);
    cosCap = r < 3.141592653589793 ? std::cos(r) - 1e-6 : -2;
  }
  auto wanted = [&](int record) {
    const TObjectIndexEntry& e = index[std::size_t(record)];
    return e.Drawable && DeepSkyZoomGate(Zoom, e.Mv) && e.X * cx0 + e.Y * cy0 + e.Z * cz0 >= cosCap;
  };
  int next = 0;  // the next record to read
  auto seekWanted = [&]() {
    if (!indexed) return next < n && (next == 0 ? o.SeekRecord(0) : o.Next());
    while (next < n && !wanted(next)) ++next;
    return next < n && o.SeekRecord(next);
  };
  for (; seekWanted(); ++next) {
    const int i = next + 1;
    if (o.Mv >= kNoMagnitude) o.Mv = 12.0f;
    int cls;
    if (ParseInt(o.CL, cls) && cls >= 1 && cls <= 6 && DeepSkyZoomGate(Zoom, o.Mv)) {
      Observer.ClipBelowHorizon = 1;
      double alt, az;
      RaDecToAltAz(o.RADate, o.DEDate, alt, az);
      Observer.ClipBelowHorizon = 0;
      if (alt > 0) {
        const double offsetDec = o.DEDate < 0 ? o.DEDate + kOneDegree : o.DEDate - kOneDegree;
        double oalt, oaz, cx, cy, ox = 0, oy = 0;
        RaDecToAltAz(o.RADate, offsetDec, oalt, oaz);
        const bool offsetVisible = ProjectToChart(oalt, oaz, ox, oy);
        const bool visible = ProjectToChart(alt, az, cx, cy);
        const int32_t x = int32_t(std::nearbyint(cx)), y = int32_t(std::nearbyint(cy));
        if (visible && offsetVisible && OnChart(x, y) && ObjectLabelCount < kMaxObjectLabels &&
            OccupiedCount < kMaxOccupiedRects) {
          ++OccupiedCount;
          if (DrawObjectSymbol(dc, OccupiedCount, cx, cy, ox, oy)) {
            ++ObjectLabelCount;
            ObjectLabelList[ObjectLabelCount] = TObjectLabelEntry{OccupiedCount, i - 1, x, y};
          } else {
            --OccupiedCount;
          }
        }
      }
    }
  }
}

// Messier number of the current object, or 0: an object of the base
// catalogue ("NGC" designations) without SubID whose number is listed in
// MessierToRngc (an entry of 0 stands for no object).
int DeepSkyMessierNumber(const tCO& o) {
  int id;
  if (!o.SubID.empty() || !ParseInt(o.ID, id) || id <= 0) return 0;
  if (o.DisplayName().compare(0, 3, "NGC") != 0) return 0;
  for (int m = 1; m <= kMessierCount; ++m)
    if (MessierToRngc[m] == id) return m;
  return 0;
}

// Designations of the objects drawn in this render, next to their symbols:
// " M" and the Messier number where there is one, else the display name.
void tPlotter::DrawObjectLabels() {
  if (ObjectLabels != 1 || ObjectLabelCount == 0 || !ObjectCatalog) return;
  DrawingContext& dc = *Ctx.Dc;
  const TStyleEntry& style = Styles[kStyleCelestialObjects];
  dc.SelectFont(style.Handle);
  dc.SetTextColor(ColorRefForMode(style.Color));
  TObjectsLock lock;
  tCO& o = *ObjectCatalog;
  for (int32_t e = 1; e <= ObjectLabelCount; ++e) {
    const TObjectLabelEntry& entry = ObjectLabelList[e];
    if (!o.SeekRecord(entry.Record) || o.ID.empty()) continue;
    const int m = DeepSkyMessierNumber(o);
    PlaceLabel(dc, entry.Occupied, entry.X, entry.Y, m > 0 ? " M" + std::to_string(m) : o.DisplayName(), false);
  }
}
