// The star layer: the stars of SaoStars, then their proper names and their
// Bayer letters.
//
// A star is drawn either as a small image written straight into the back
// buffer's pixels (the screen chart's usual way: a few pixels in one of 13
// magnitude bands, shaded by spectral class) or as a filled disc through the
// drawing context, sized by the star size table (printer pages, and
// whenever the user asks for discs). On paper every shape goes through the
// drawing context, so the same code prints.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "astro/transforms.h"
#include "astro/trig.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/drawing_colors.h"
#include "chart/layers.h"
#include "chart/mag_layers.h"
#include "chart/plotter.h"
#include "chart/styles.h"

using platform::Brush;
using platform::DrawingContext;
using platform::Pen;

const char BayerLetters[25] = "abgdezhqiklmnxoprstufcyw";

namespace {

int32_t Near(double v) { return int32_t(std::nearbyint(v)); }

// Colour class of a star's spectral byte: bits 0-6, 4 (class A) when 0,
// and 4 for anything beyond the colour tables (damaged data).
int ColourClass(int c) {
  c &= 127;
  return (c == 0 || c > 9) ? 4 : c;
}

// The stock white pen and brush of the device context.
const Pen kStockWhitePen = Pen::Solid(1, platform::MakeColorRef(255, 255, 255));
const Brush kStockWhiteBrush = Brush::Solid(platform::MakeColorRef(255, 255, 255));

}  // namespace

// --- Star size table ---------------------------------------------------------------

// Radii per magnitude byte for discs between the bright and the faint
// magnitude: the faintest gets half a size unit plus the adjustment / 50 of
// two units, each brighter tenth of a magnitude 2 units / (f - b + 1) more.
// Entries outside b..f (and outside 0..140) stay 0: not drawn as discs.
void tPlotter::MakeStarSizeTable(double bright, double faint, double sizeAdjust) {
  const int b = int(std::trunc((bright + 2) * 10));
  const int f = int(std::trunc((faint + 2) * 10));
  for (auto& e : StarSizeTable) e[0] = e[1] = 0;
  for (int i = std::max(b, 0); i <= std::min(f, kStarSizeEntries - 1); ++i) {
    double s = double(f - i) / double(f - b + 1) + sizeAdjust / 50;
    if (s < 0) s = 0;
    StarSizeTable[i][0] = Near(SizeUnitX * s * 2) + SizeUnitX / 2;
    StarSizeTable[i][1] = Near(SizeUnitY * s * 2) + SizeUnitY / 2;
  }
}

int32_t tPlotter::StarWidth(uint8_t magnitude) const {
  return magnitude < kStarSizeEntries ? 2 * StarSizeTable[magnitude][0] : 0;
}

int32_t tPlotter::StarHeight(uint8_t magnitude) const {
  return magnitude < kStarSizeEntries ? 2 * StarSizeTable[magnitude][1] : 0;
}

// --- One star ---------------------------------------------------------------------

// A disc of the size table's radii, filled in the colour of the spectral
// class (class 8, white-ish, when stars are not coloured). Radii (1, 1)
// give a single pixel.
void tPlotter::DrawStarDisc(DrawingContext& dc, int32_t x, int32_t y, uint8_t magnitude, uint8_t classByte) {
  const int c = StarOptionA == 1 ? ColourClass(classByte) : 8;
  if (magnitude >= kStarSizeEntries) return;
  const int32_t xr = StarSizeTable[magnitude][0];
  const int32_t yr = StarSizeTable[magnitude][1];
  if (xr == 0 || yr == 0) return;
  if (xr == 1 && yr == 1) {
    if (Ctx.Target && OutputKind != kOutputPrinter) {
      platform::Bitmap& t = *Ctx.Target;
      if (x >= 0 && y >= 0 && x < t.Width() && y < t.Height())
        t.SetPixel(x, y, platform::ColorRefToPixel(ColorRefForMode(StarColors[0][c])));
    } else {
      dc.SetPixel(x, y, ColorRefForMode(StarColors[0][c]));
    }
    return;
  }
  if (c == 9) {
    dc.SelectPen(kStockWhitePen);
    dc.SelectBrush(kStockWhiteBrush);
  } else {
    dc.SelectPen(HairlinePen);
    dc.SelectBrush(StarDiscBrushes[c]);
  }
  dc.Ellipse(x - xr, y - yr, x + xr, y + yr);
}

// A star image: a few pixels of the bright (A), medium (B) and faint (C)
// shade of the class colour, by magnitude band, written straight into the
// target's pixels; nothing outside the clip box 4 pixels inside the edges.
// A variable star (class bit 7, only with spectral colours) gets a ring
// from zoom 1.5 on.
void tPlotter::DrawStarImage(DrawingContext& dc, int32_t x, int32_t y, uint8_t magnitude, uint8_t classByte) {
  if (!Ctx.Target) return;
  platform::Bitmap& t = *Ctx.Target;
  if (x < 4 || y < 4 || x > t.Width() - 4 || y > t.Height() - 4) return;
  const int c = StarOptionA == 1 ? classByte : 0;
  const int e = (c & 127) > 9 ? 0 : (c & 127);
  const uint32_t A = StarPixels[0][e], B = StarPixels[1][e], C = StarPixels[2][e];

  if ((c & 128) && Zoom >= 1.5) {
    const int32_t d = std::min(Near(Zoom), 4) + (255 - magnitude) / 64;
    const int32_t r = d / 2;
    dc.SelectPen(GridPen);
    dc.Arc(x - r, y - r, x + r + 1, y + r + 1, 0, 0, 0, 0);
  }

  // Rows are contiguous, Width() pixels each.
  uint32_t* row = t.Row(y) + x;
  uint32_t* above = row - t.Width();
  uint32_t* below = row + t.Width();
  const int m = magnitude;
  if (m == 0) {
    row[0] = C;
  } else if (m <= 15) {  // 3 x 3 block, centred on the star
    above[-1] = above[0] = above[1] = A;
    row[-1] = row[0] = row[1] = A;
    below[-1] = below[0] = below[1] = A;
  } else if (m <= 25) {  // 3 x 2 block
    above[-1] = above[0] = above[1] = A;
    row[-1] = row[0] = row[1] = A;
  } else if (m <= 35) {  // plus sign
    row[-1] = row[0] = row[1] = A;
    above[0] = A;
    below[0] = A;
  } else if (m <= 45) {  // 2 x 2 block
    above[0] = above[1] = A;
    row[0] = row[1] = A;
  } else if (m <= 55) {  // 2 x 2 chequer
    row[0] = B;
    row[1] = A;
    above[0] = A;
    above[1] = B;
  } else if (m <= 65) {
    row[0] = A;
    above[0] = A;
  } else if (m <= 75) {
    row[0] = A;
    above[0] = B;
  } else if (m <= 85) {
    row[0] = B;
    above[0] = B;
  } else if (m <= 105) {
    row[0] = B;
  } else if (m <= 145 || m == 255) {
    row[0] = C;
  }
}

// --- The star pass ----------------------------------------------------------------

// Magnitude-byte limit of the pass, or -1 for none: the star sphere's own
// limit; on the main chart with naked-eye stars only, magnitude 6.0 up to
// zoom 2 and 7.0 up to zoom 3.
int StarLimitByte(const tPlotter& p) {
  if (p.OutputKind == kOutputStarSphere) return int(std::nearbyint((p.SphereMagnitudeLimit + 2) * 10));
  if (p.NakedEyeOnly != 1 || p.Zoom > 3.0) return -1;
  return p.Zoom > 2.0 ? 90 : 80;
}

namespace {

// The star pass's shortcut from catalogue position to chart offset: the
// equatorial-to-horizontal transform and the projection folded into one
// step that needs no arcsine, arctangent or sine of the azimuth. The
// horizontal direction of a star (east and north parts A, B of its unit
// vector, of length cos(altitude)) gives the sine and cosine of its azimuth
// directly; turned by the projection's rotation they give the chart
// direction, and the zenith distance is arccos of the altitude's sine. The
// same numbers as EquatorialToHorizontal followed by TProjection::Offset,
// at less than half the cost, which matters for a pass over every star.
class StarProjector {
  // Sine of -2°, the lowest true altitude the refraction table covers.
  static constexpr double kSinLowestRefracted = -0.03489949670250097;

 public:
  explicit StarProjector(const tPlotter& p)
      : obs_(p.Observer), proj_(p.Proj), refraction_(p.Refraction != 0),
        lst_(p.Observer.LocalSidereal), sinLat_(p.Observer.SinLatitude), cosLat_(p.Observer.CosLatitude),
        sinRot_(std::sin(p.Proj.Rotation)), cosRot_(std::cos(p.Proj.Rotation)) {}

  // Offset (dx, dy) of the star from the chart centre; false when it is not
  // above the horizon (after refraction, where that is on).
  bool Offset(double ra, double dec, double& dx, double& dy) const {
    // Single-precision sines and cosines are ample for catalogue positions
    // held in single precision; everything after them is double.
    const double sd = std::sin(float(dec)), cd = std::cos(float(dec));
    const float h = float(lst_ - ra);
    const double sh = std::sin(h), ch = std::cos(h);
    const double s = sd * sinLat_ + cd * cosLat_ * ch;  // sine of the altitude
    // Refraction lifts stars from below the true horizon (its table
    // reaches down to -2°); the test is on the altitude drawn.
    if (!(s > (refraction_ ? kSinLowestRefracted : 0.0))) return false;
    double z;  // zenith distance
    if (refraction_) {
      double alt = ArcSinR(s);
      Refract(obs_, alt);
      if (!(alt > 0)) return false;
      z = 1.5707963267948966 - alt;
    } else {
      z = std::acos(std::min(s, 1.0));
    }
    const double east = -cd * sh, north = sd * cosLat_ - cd * sinLat_ * ch;
    const double r = std::sqrt(east * east + north * north);
    if (!(r > 1e-300)) {  // at the zenith itself
      dx = 0;
      dy = -proj_.HorizonOffset;
      return true;
    }
    const double sinAz = east / r, cosAz = north / r;
    const double sinD = sinAz * cosRot_ - cosAz * sinRot_;
    const double cosD = cosAz * cosRot_ + sinAz * sinRot_;
    dx = -sinD * z * proj_.Sx;
    dy = -cosD * z * proj_.Sy - proj_.HorizonOffset;
    return true;
  }

 private:
  const TObserverTime& obs_;
  const TProjection& proj_;
  bool refraction_;
  double lst_, sinLat_, cosLat_, sinRot_, cosRot_;
};

// Directions (unit vectors, equatorial) of the stars of SaoStars, so that
// the stars below the horizon, about half of them on a whole-sky chart,
// are passed over with a dot product instead of their trigonometry; kept
// while the array stays the same (TStarArrayStamp).
class StarDirections {
 public:
  const std::vector<std::array<float, 3>>& For(const TSaoStar* stars, int32_t count) {
    if (stamp_.Same(stars, count, StarArraysGeneration)) return dirs_;
    stamp_.Take(stars, count, StarArraysGeneration);
    dirs_.resize(std::size_t(std::max(count, 0)));
    for (int32_t i = 0; i < count; ++i) {
      const double ra = stars[i].RA, dec = stars[i].Dec;
      dirs_[std::size_t(i)] = {float(std::cos(dec) * std::cos(ra)), float(std::cos(dec) * std::sin(ra)),
                               float(std::sin(dec))};
    }
    return dirs_;
  }

 private:
  TStarArrayStamp stamp_;
  std::vector<std::array<float, 3>> dirs_;
};

// The stars of SaoStars (0-based, in array order) that may lie in the
// field of a deep zoom, through the band index: those within the field's
// cap of declinations and its one or two windows of right ascension. False
// (and `out` untouched) when the field is too wide: every star is a
// candidate then. Array order keeps the drawing order of a whole pass, so
// the picture is the same.
bool StarsInField(const tPlotter& p, int32_t count, std::vector<int32_t>& out) {
  double ra, dec, r;
  if (!p.FieldCap(ra, dec, r)) return false;
  const double kHalfPi = 1.5707963267948966;
  SaoBandIndex.Update(SaoStars.data(), count, StarArraysGeneration);
  out.clear();
  auto add = [&](int32_t i) { out.push_back(i); };
  const double decLo = std::max(dec - r, -kHalfPi), decHi = std::min(dec + r, kHalfPi);
  if (std::fabs(dec) + r >= kHalfPi) {
    SaoBandIndex.ForEach(SaoStars.data(), 0.0, TwoPi, decLo, decHi, add);
  } else {
    const double h = std::asin(std::sin(r) / std::cos(dec));
    const double lo = ra - h, hi = ra + h;
    SaoBandIndex.ForEach(SaoStars.data(), std::max(lo, 0.0), std::min(hi, TwoPi), decLo, decHi, add);
    if (lo < 0) SaoBandIndex.ForEach(SaoStars.data(), lo + TwoPi, TwoPi, decLo, decHi, add);
    if (hi > TwoPi) SaoBandIndex.ForEach(SaoStars.data(), 0.0, hi - TwoPi, decLo, decHi, add);
  }
  std::sort(out.begin(), out.end());
  return true;
}

// Calls fn(i) for the stars 0..count-1 that may lie in the field: the
// selection of StarsInField, or all of them.
template <typename Fn>
void ForEachStarInField(const tPlotter& p, int32_t count, Fn fn) {
  thread_local std::vector<int32_t> selected;
  if (!StarsInField(p, count, selected)) {
    for (int32_t i = 0; i < count; ++i) fn(i);
    return;
  }
  for (int32_t i : selected) fn(i);
}

}  // namespace

// Every star of SaoStars within the declination band (and the magnitude
// limit) that stands above the horizon: images when the chart asks for
// them and has pixels, discs otherwise.
void tPlotter::DrawStars() {
  DrawingContext& dc = *Ctx.Dc;
  const int limit = StarLimitByte(*this);
  const float decMax = float(VisibleBand[2]);
  const float decMin = float(VisibleBand[3]);
  const bool images = StarDiscs == 0 && OutputKind != kOutputPrinter && Ctx.Target != nullptr;
  if (!images)
    MakeStarSizeTable(StarOptions.LowMagLimit, limit >= 0 ? limit / 10.0 - 2 : StarOptions.HighMagLimit,
                      StarSize);

  const StarProjector project(*this);
  const double x0 = Proj.CentreX + Proj.OriginX, y0 = Proj.CentreY + Proj.OriginY;
  const int32_t n = std::min<int32_t>(SaoStarCount, int32_t(SaoStars.size()));
  const TSaoStar* stars = SaoStars.data();
  const int maxByte = limit >= 0 ? limit : 255;
  // The zenith's direction; a star clearly more than 2° below the horizon
  // (beyond the lowest altitude refraction lifts, and the rounding of
  // single-precision directions) is not drawn.
  constexpr double kBelowRefraction = -0.0350;  // sine of -2.006°
  thread_local StarDirections directions;
  const std::vector<std::array<float, 3>>& dir = directions.For(stars, n);
  const double zx = Observer.CosLatitude * std::cos(Observer.LocalSidereal);
  const double zy = Observer.CosLatitude * std::sin(Observer.LocalSidereal), zz = Observer.SinLatitude;
  ForEachStarInField(*this, n, [&](int32_t i) {
    const TSaoStar& s = stars[i];
    if (s.Magnitude > maxByte || s.Dec < decMin || s.Dec > decMax) return;
    const std::array<float, 3>& d = dir[std::size_t(i)];
    if (d[0] * zx + d[1] * zy + d[2] * zz < kBelowRefraction) return;
    double dx, dy;
    if (!project.Offset(s.RA, s.Dec, dx, dy)) return;
    if (images) {
      // Images take the projected point without the 32767 limit; they clip
      // themselves.
      if (!(std::fabs(dx) < 1e9 && std::fabs(dy) < 1e9)) return;
      DrawStarImage(dc, Near(dx + x0), Near(dy + y0), s.Magnitude, s.Spectral);
    } else if (std::fabs(dx) <= 32767.0 && std::fabs(dy) <= 32767.0) {
      const int32_t x = Near(dx + x0), y = Near(dy + y0);
      if (OnChart(x, y)) DrawStarDisc(dc, x, y, s.Magnitude, s.Spectral);
    }
  });
}

namespace {

// Calls label(star, x, y) for every star of SaoStars that `wanted` accepts
// and that lies within the declination band, above the horizon, visible
// and on the chart.
template <typename Wanted, typename Label>
void ForEachLabelledStar(tPlotter& p, Wanted wanted, Label label) {
  const float decMax = float(p.VisibleBand[2]);
  const float decMin = float(p.VisibleBand[3]);
  const int32_t n = std::min<int32_t>(SaoStarCount, int32_t(SaoStars.size()));
  ForEachStarInField(p, n, [&](int32_t i) {
    const TSaoStar& s = SaoStars[std::size_t(i)];
    if (!wanted(s) || s.Dec < decMin || s.Dec > decMax) return;
    double alt, az;
    int32_t x, y;
    p.RaDecToAltAz(s.RA, s.Dec, alt, az);
    if (!(alt > 0) || !p.ProjectToPixel(alt, az, x, y) || !p.OnChart(x, y)) return;
    label(s, x, y);
  });
}

}  // namespace

// Proper names in style 11, just below their stars (from zoom 2 on).
void tPlotter::DrawStarNames() {
  if (ShowStarNames != 1 || Zoom < 2.0) return;
  DrawingContext& dc = *Ctx.Dc;
  const TStyleEntry& style = Styles[kStyleStarNames];
  dc.SelectFont(style.Handle);
  dc.SetTextColor(ColorRefForMode(style.Color));
  const int32_t names = std::min<int32_t>(StarNameCount, int32_t(StarNames.size()));
  ForEachLabelledStar(
      *this, [names](const TSaoStar& s) { return s.NameIndex != 0 && s.NameIndex <= names; },
      [&](const TSaoStar& s, int32_t x, int32_t y) {
        PlaceLabel(dc, -1, x, y + 2, StarNames[s.NameIndex - 1u], true);
      });
}

// Bayer letters as Greek letters (style 10, or its larger copy 110 from
// zoom 2 on), to the right of their stars; moved further aside by the
// disc's size when discs are drawn with that option or on paper.
void tPlotter::DrawBayerLetters() {
  if (StarIdentification != 1 || Zoom < 1.5) return;
  DrawingContext& dc = *Ctx.Dc;
  const TStyleEntry& style = Styles[Zoom >= 2.0 ? kStyleLargeStarAbbreviations : kStyleStarAbbreviations];
  dc.SelectFont(style.Handle);
  dc.SetTextColor(ColorRefForMode(style.Color));
  const int32_t shiftX = Near(0.8 * dc.TextExtent("X").width());
  const int32_t shiftY = std::abs(style.Height) / 2;
  const bool asideBySize = StarDiscs == 2 || OutputKind == kOutputPrinter;
  char text[2] = {0, 0};
  ForEachLabelledStar(
      *this, [](const TSaoStar& s) { return s.Greek != 0 && s.Greek <= 24; },
      [&](const TSaoStar& s, int32_t x, int32_t y) {
        int32_t lx = x + shiftX;
        if (asideBySize && s.Magnitude < kStarSizeEntries) lx += Near(StarSizeTable[s.Magnitude][0] / 2.0);
        text[0] = BayerLetters[s.Greek - 1];
        PlaceLabel(dc, -1, lx, y - shiftY, text, true);
      });
}
