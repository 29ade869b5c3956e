#include "tools/report_printing.h"

#include <algorithm>
#include <functional>
#include <cmath>
#include <sstream>

#include "astro/observer.h"
#include "astro/text.h"
#include "astro/timescales.h"
#include "chart/drawing_colors.h"
#include "chart/sun_moon_images.h"
#include "platform/numfmt.h"
#include "tools/auto_table.h"
#include "tools/events_calendar.h"
#include "tools/meteor_showers.h"
#include "tools/object_info.h"
#include "tools/solsys_info.h"
#include "tools/star_info.h"
#include "tools/yearly_chart.h"

namespace {

constexpr double kPi = 3.141592653589793;
using platform::ColorRef;
using platform::MakeColorRef;

// Text lines of a printed page: bold labels followed by regular values.
class PageWriter {
 public:
  PageWriter(platform::DrawingContext& dc, int w, int y) : dc_(dc), w_(w), y_(y) {
    const int dpi = dc.DpiY();
    regular_ = MakePointFont("Courier New", 10, 400, dpi);
    bold_ = MakePointFont("Courier New", 10, 700, dpi);
    dc.SelectFont(regular_);
    lineHeight_ = dc.TextExtent("XXX").height();
    dc.SetBkTransparent(true);
    dc.SetTextColor(0);
    dc.SetTextAlign(platform::kAlignLeft | platform::kAlignTop);
  }
  // Label and value at x on the current line; newLine advances afterwards.
  void Pair(int x, const std::string& label, const std::string& value, bool newLine = true) {
    dc_.SetBkTransparent(true);
    dc_.SetTextColor(0);
    dc_.SetTextAlign(platform::kAlignLeft | platform::kAlignTop);
    dc_.SelectFont(bold_);
    dc_.TextOut(x, y_, label);
    const int lw = dc_.TextExtent(label).width();
    dc_.SelectFont(regular_);
    dc_.TextOut(x + lw, y_, value);
    if (newLine) y_ += lineHeight_;
  }
  void Right(const std::string& text, int y) {
    dc_.SelectFont(regular_);
    dc_.SetTextAlign(platform::kAlignRight | platform::kAlignTop);
    dc_.TextOut(w_, y, text);
    dc_.SetTextAlign(platform::kAlignLeft | platform::kAlignTop);
  }
  void Blank() { y_ += lineHeight_; }
  void Rule() {
    y_ += lineHeight_ / 2;
    dc_.SelectPen(RulePen.IsNull() ? platform::Pen::Solid(2, 0) : RulePen);
    dc_.MoveTo(0, y_);
    dc_.LineTo(w_, y_);
    y_ += lineHeight_ / 2;
  }
  int& Y() { return y_; }
  int LineHeight() const { return lineHeight_; }

 private:
  platform::DrawingContext& dc_;
  int w_, y_, lineHeight_ = 1;
  platform::FontHandle regular_, bold_;
};

// The observer block with the times at the right.
void ObserverBlock(PageWriter& pw, const TObserverTime& obs, const std::string& location) {
  const int top = pw.Y();
  pw.Pair(0, "From: ", ObserverFromLine(location, obs).substr(6));
  pw.Pair(0, "", ObserverLatLongLine(obs));
  int y, m, d;
  double h;
  JulianDayToDate(obs.JD_LocalStandard, y, m, d, h);
  const int lh = pw.LineHeight();
  pw.Right(std::string(FullMonthNames[m]) + " " + std::to_string(d) + ", " + std::to_string(y), top);
  pw.Right(TrimBlanks(FormatHoursHM(h)) + " LMT", top + lh);
  int uy, um, ud;
  double uh;
  JulianDayToDate(obs.JD_UT, uy, um, ud, uh);
  pw.Right(TrimBlanks(FormatHoursHM(uh)) + " UT ", top + 2 * lh);
  pw.Right(TrimBlanks(FormatHoursHM(obs.LocalSidereal * 12 / kPi)) + " LST", top + 3 * lh);
  pw.Y() = std::max(pw.Y(), top + 4 * lh);
}

}  // namespace

std::string ObserverFromLine(const std::string& locationName, const TObserverTime& observer) {
  // Local standard time = UT - bias: the zone is -bias / 60 hours.
  const double zone = -observer.TimeZone.Bias / 60.0;
  std::string z = platform::FormatGeneral(zone);
  if (zone > 0) z = "+" + z;
  return "From: " + locationName + " (Time Zone=" + z + ")";
}

std::string ObserverLatLongLine(const TObserverTime& observer) {
  const double lat = observer.Latitude;
  // Stored west positive in [0, 2π): told in (-180°, 180°].
  double lon = std::remainder(observer.Longitude, 2 * kPi);
  if (lon <= -kPi) lon += 2 * kPi;
  const bool east = lon < 0;
  return "Latitude = " + TrimBlanks(FormatDegMin(std::fabs(lat))) + (lat < 0 ? " south" : " north") +
         ", Longitude = " + TrimBlanks(FormatDegMin(std::fabs(lon))) + (east ? " east" : " west");
}

void DrawCalendarMonth(platform::DrawingContext& dc, const TEventsCalendar& cal, int W, int H, bool printer,
                       int penScale) {
  using namespace platform;
  penScale = std::max(1, penScale);
  int offset = 0;
  double fontScale = W > 800 ? 1.2 : 1.0;
  if (printer) {
    offset = DrawTableTitle(dc, W) + dc.DpiY() / 4;
    fontScale = 1.5;
  }
  // Ground and frame; the grid lies inside the frame, so the cells of the
  // right-hand column and the bottom row are as whole as the others.
  dc.SelectPen(Pen::Solid(2 * penScale, 0));
  dc.SelectBrush(Brush::Solid(ColorForMode(120, 120, 120)));
  dc.Rectangle(0, offset, W, H);
  dc.SelectBrush(Brush());
  dc.Rectangle(penScale, offset + penScale, W - penScale, H - penScale);
  const int frame = 2 * penScale;
  const int left = frame;
  offset += frame;
  const int h = H - offset - frame;
  const int col = (W - 2 * frame) / 7, band = h / 9, row = (h - band) / 6;
  const int right = left + 7 * col, bottom = offset + band + 6 * row;
  dc.SelectPen(Pen::Solid(penScale, ColorForMode(60, 60, 60)));
  dc.MoveTo(left, offset + band);
  dc.LineTo(right, offset + band);
  for (int c = 1; c < 7; ++c) {
    dc.MoveTo(left + c * col, offset + band);
    dc.LineTo(left + c * col, bottom);
  }
  for (int r = 1; r < 6; ++r) {
    dc.MoveTo(left, offset + band + r * row);
    dc.LineTo(right, offset + band + r * row);
  }
  dc.SetBkTransparent(true);
  dc.SetTextColor(ColorForMode(220, 220, 220));
  const int dpi = dc.DpiY();
  const FontHandle header = MakePointFont("Times New Roman", int(std::lround(18 * fontScale)), 700, dpi);
  const FontHandle number = MakePointFont("Arial", int(std::lround(9 * fontScale)), 700, dpi);
  const FontHandle events = MakePointFont("Arial", int(std::lround(7 * fontScale)), 200, dpi);
  // Header: month and year, and the weekday letters.
  dc.SelectFont(header);
  dc.SetTextAlign(kAlignCenter | kAlignBottom);
  const int headY = offset + band - band / 7;
  // The month's name above, the seven weekday letters below it over their
  // columns (on one line the middle letters would run into the name).
  const int letterHeight = [&] {
    dc.SelectFont(number);
    return dc.TextExtent("S").height();
  }();
  dc.SelectFont(header);
  dc.TextOut(W / 2, headY - letterHeight, std::string(FullMonthNames[cal.Month()]) + " " + std::to_string(cal.Year()));
  dc.SelectFont(number);
  const char* letters = "SMTWTFS";
  for (int c = 0; c < 7; ++c) dc.TextOut(left + c * col + col / 2, headY, std::string(1, letters[c]));
  // Days.
  const int first = WeekdayFromJulianDay(JulianDay(cal.Year(), cal.Month(), 1, 12));
  for (int d = 1; d <= cal.DaysInThisMonth(); ++d) {
    const int cell = first + d - 1;
    const int x0 = left + (cell % 7) * col, y0 = offset + band + (cell / 7) * row;
    if (cell / 7 > 5) break;
    const TCalendarDay& day = cal.Days()[d];
    dc.SelectFont(number);
    const QSize xx = dc.TextExtent("XX ");
    dc.SetTextAlign(kAlignCenter | kAlignBottom);
    dc.TextOut(x0 + col - xx.width() / 2, y0 + xx.height(), std::to_string(d));
    // The Moon on odd days: a lit disc with its dark part.
    int moonSize = 0;
    if (d % 2 == 1 && day.moonPhase != kNoMoonValue) {
      moonSize = std::clamp(((row / 3) + (col / 3)) / 3, 10, 200);
      const int mx = x0 + col - 3 * penScale - moonSize, my = y0 + row - 3 * penScale - moonSize;
      const double r = moonSize / 2.0, cx = mx + r, cy = my + r;
      dc.SelectPen(Pen());
      // The Moon's picture when it is loaded (its black surround left out), else a plain disc.
      Bitmap* picture = MoonBitmap ? MakeMoonImage(0, moonSize, 1, 1, 1.0f) : nullptr;
      if (picture) {
        QImage img = picture->Image().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
          auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
          for (int x = 0; x < img.width(); ++x) line[x] = (line[x] & 0xFFFFFFu) ? (line[x] | 0xFF000000u) : 0u;
        }
        dc.Painter().drawImage(QRect(mx, my, moonSize, moonSize), img);
        FreeAutoBitmap(picture);
      } else {
        dc.SelectBrush(Brush::Solid(ColorForMode(230, 230, 215)));
        dc.Ellipse(mx, my, mx + moonSize, my + moonSize);
      }
      // Local frame: +x toward the lit limb (position angle χ, north up, east left).
      const double chi = day.moonRotation;
      const double ux = -std::sin(chi), uy = -std::cos(chi);
      const double vx = -uy, vy = ux;
      std::vector<QPoint> poly;
      auto put = [&](double lx, double ly) {
        poly.emplace_back(int(std::lround(cx + lx * ux + ly * vx)), int(std::lround(cy + lx * uy + ly * vy)));
      };
      for (int a = 90; a <= 270; a += 10) put(r * std::cos(a * kPi / 180), r * std::sin(a * kPi / 180));
      const double k = std::cos(day.moonPhase);
      for (int a = -90; a <= 90; a += 10) put(r * k * std::cos(a * kPi / 180), r * std::sin(a * kPi / 180));
      dc.SelectBrush(Brush::Solid(ColorForMode(60, 60, 60)));
      dc.Polygon(poly);
    }
    // The event text, word by word.
    dc.SelectFont(events);
    dc.SetTextAlign(kAlignLeft | kAlignTop);
    const int inset = 3 * penScale;
    TCellLines lines;
    lines.left = x0 + inset;
    lines.top = y0 + inset;
    lines.bottom = y0 + row;
    lines.lineHeight = std::max(1, int(0.8 * dc.TextExtent("X").height()));
    lines.numberBottom = y0 + xx.height();
    lines.fullRight = x0 + col - 2 * inset;
    lines.right = [&](int y) {
      int right = lines.fullRight;
      if (y < lines.numberBottom) right = x0 + col - xx.width();
      if (moonSize && y + lines.lineHeight > y0 + row - 3 * penScale - moonSize)
        right = x0 + col - 3 * penScale - moonSize - inset;
      return right;
    };
    for (const TPlacedWord& w :
         LayoutCellWords(day.text, lines, [&](const std::string& s) { return dc.TextExtent(s).width(); }))
      dc.TextOut(w.x, w.y, w.text);
  }
}

std::vector<TPlacedWord> LayoutCellWords(const std::string& text, const TCellLines& lines,
                                         const std::function<int(const std::string&)>& width) {
  std::vector<TPlacedWord> placed;
  int x = lines.left, y = lines.top;
  auto newLine = [&] {
    x = lines.left;
    y += lines.lineHeight;
  };
  std::istringstream words(text);
  std::string word;
  while (words >> word) {
    while (!word.empty()) {
      if (y + lines.lineHeight > lines.bottom) return placed;
      const int right = lines.right(y);
      if (x + width(word) <= right) {
        placed.push_back({x, y, word});
        x += width(word + " ");
        break;
      }
      // Not on the rest of this line: on the next.
      if (x > lines.left) {
        newLine();
        continue;
      }
      // At a line's start beside the day number: below it, when a whole
      // line takes the word.
      if (y < lines.numberBottom && width(word) <= lines.fullRight - lines.left) {
        newLine();
        continue;
      }
      // Wider than its line: the part that fits (a whole character at
      // least), after a hyphen when one lies in it; the rest on the next.
      std::size_t cut = 0, hyphen = 0;
      for (std::size_t k = 1; k <= word.size(); ++k) {
        if (k < word.size() && (static_cast<unsigned char>(word[k]) & 0xC0) == 0x80) continue;  // within a character
        if (cut > 0 && x + width(word.substr(0, k)) > right) break;
        cut = k;
        if (word[k - 1] == '-' && k < word.size()) hyphen = k;
      }
      if (hyphen > 0) cut = hyphen;
      placed.push_back({x, y, word.substr(0, cut)});
      word.erase(0, cut);
      newLine();
    }
  }
  return placed;
}

void DrawStarReportPage(platform::DrawingContext& dc, const TStarInfo& s, const TObserverTime& obs,
                        const std::string& location, int w, int h) {
  const int titleY = DrawTableTitle(dc, w);
  PageWriter pw(dc, w, titleY + titleY / 4);
  pw.Pair(0, "STAR INFORMATION", "");
  pw.Blank();
  pw.Pair(0, "Common name: ", s.Name);
  pw.Pair(0, "Identification: ", s.Identification);
  const int x2 = dc.DpiX() * 2, x4 = dc.DpiX() * 4;
  pw.Pair(0, "SAO# ", s.SaoText, false);
  pw.Pair(x2, "BSC# ", s.BscText, false);
  pw.Pair(x4, " HD# ", s.HdText);
  pw.Pair(0, "Visual Magnitude: ", s.VMag, false);
  pw.Pair(x4, "Color Index: ", s.ColorIndex);
  pw.Pair(0, "MKK Spectral Class: ", s.Spectral);
  pw.Pair(0, "Distance: ", s.Distance);
  pw.Rule();
  ObserverBlock(pw, obs, location);
  pw.Blank();
  const std::string ra2 = s.ShowApparent ? "  " + PadLeft(s.RaApparent, 11) : "";
  const std::string dec2 = s.ShowApparent ? "  " + PadLeft(s.DecApparent, 11) : "";
  const std::string ep2 = s.ShowApparent ? "  " + PadLeft(s.EpochApparent, 11) : "";
  pw.Pair(0, "Ra    = ", PadLeft(s.RaJ2000, 11) + ra2, false);
  pw.Pair(x4, "Alt = ", s.Altitude);
  pw.Pair(0, "Dec   = ", PadLeft(s.DecJ2000, 11) + dec2, false);
  pw.Pair(x4, "Azm = ", s.Azimuth);
  pw.Pair(0, "Epoch = ", PadLeft(s.EpochJ2000, 11) + ep2);
  pw.Rule();
  pw.Pair(0, "Visibility chart:", "");
  const int inset = dc.DpiX() / 8;
  const int chartH = h / 4 - 2 * inset, chartW = std::min(w - 2 * inset, dc.DpiX() * 6);
  const int top = pw.Y() + inset;
  DrawYearlyChartFor(dc, inset, top, s.RaShown, s.DecShown, chartW, chartH, obs);
  dc.SelectPen(platform::Pen::Solid(3 * std::max(1, int(PrintScale)), ColorForMode(128, 128, 128)));
  dc.SelectBrush(platform::Brush());
  dc.Rectangle(inset - 2, top - 2, inset + chartW + 2, top + chartH + 2);
  pw.Y() = top + chartH + inset;
  pw.Rule();
  pw.Pair(0, "BSC Notes", "");
  for (const auto& line : s.Notes) pw.Pair(0, "", "     " + line);
}

namespace {

// The framed chart under "Visibility chart:" (0.25 in from the left, 0.125 in below).
void FramedChart(platform::DrawingContext& dc, PageWriter& pw, int chartW, int chartH,
                 const std::function<void(int, int)>& draw) {
  pw.Pair(0, "Visibility chart:", "");
  const int left = dc.DpiX() / 4, top = pw.Y() + dc.DpiY() / 8;
  dc.SetClipRect(left - 1, top - 1, left + chartW + 1, top + chartH + 1);
  draw(left, top);
  dc.ClearClip();
  const int pen = 3 * std::max(1, int(PrintScale));
  dc.SelectPen(platform::Pen::Solid(pen, ColorForMode(128, 128, 128)));
  dc.SelectBrush(platform::Brush());
  dc.Rectangle(left - pen / 2, top - pen / 2, left + chartW + pen / 2, top + chartH + pen / 2);
  pw.Y() = top + chartH + dc.DpiY() / 8;
}

}  // namespace

void DrawObjectReportPage(platform::DrawingContext& dc, const TObjectInfo& s, const TObserverTime& obs,
                          const std::string& location, int w, int) {
  const int titleY = DrawTableTitle(dc, w);
  PageWriter pw(dc, w, titleY + titleY / 4);
  const int x3 = dc.DpiX() * 3, x4 = dc.DpiX() * 4;
  pw.Pair(0, "OBJECT INFORMATION", "");
  pw.Blank();
  pw.Pair(0, "RNGC# ", s.DisplayName, s.Messier.empty());
  if (!s.Messier.empty()) pw.Pair(x3, "Messier# ", s.Messier);
  pw.Pair(0, "Object type: ", s.ObjectType);
  pw.Blank();
  pw.Pair(0, "Visual Magnitude: ", s.Magnitude);
  pw.Rule();
  ObserverBlock(pw, obs, location);
  pw.Blank();
  auto two = [&](const std::string& a, const std::string& b) {
    return PadLeft(a, 11) + (s.ShowApparent ? "  " + PadLeft(b, 11) : "");
  };
  pw.Pair(0, "Ra    = ", two(s.RaJ2000, s.RaApparent), false);
  pw.Pair(x4, "Alt = ", s.Altitude);
  pw.Pair(0, "Dec   = ", two(s.DecJ2000, s.DecApparent), false);
  pw.Pair(x4, "Azm = ", s.Azimuth);
  pw.Pair(0, "Epoch = ", two(s.EpochJ2000, s.EpochApparent));
  pw.Rule();
  FramedChart(dc, pw, dc.DpiX() * 4, dc.DpiY() * 3, [&](int left, int top) {
    DrawYearlyChartFor(dc, left, top, s.RaShown, s.DecShown, dc.DpiX() * 4, dc.DpiY() * 3, obs);
  });
  pw.Rule();
  pw.Pair(0, "Description (1888 catalogue)", "");
  pw.Pair(0, "", "[" + s.OldNotes + "]");
  pw.Pair(0, "", s.OldNotesExpanded);
  pw.Blank();
  pw.Pair(0, "Description (newer RNGC)", "");
  pw.Pair(0, "", "[" + s.NewNotes + "]");
  pw.Pair(0, "", s.NewNotesExpanded);
}

void DrawSolSysReportPage(platform::DrawingContext& dc, const TSolSysInfo& s, const TObserverTime& obs,
                          const std::string& location, int w, int, TChartDrawer chart, const void* ctx) {
  const int titleY = DrawTableTitle(dc, w);
  PageWriter pw(dc, w, titleY + titleY / 4);
  const int x2 = dc.DpiX() * 2, x4 = dc.DpiX() * 4;
  pw.Pair(0, "SOLAR SYSTEM OBJECT INFORMATION", "");
  pw.Blank();
  pw.Pair(0, "Name: ", s.Name);
  pw.Blank();
  pw.Pair(0, "Visual Magnitude: ", s.Magnitude);
  pw.Pair(0, s.DistanceLabel + " ", s.Distance, false);
  pw.Pair(x4, "Angular Size: ", s.AngularSize);
  pw.Rule();
  ObserverBlock(pw, obs, location);
  pw.Blank();
  pw.Pair(0, "Ecl Lat = ", PadLeft(s.EclLat, 9), false);
  pw.Pair(x2, "Ra    = ", PadLeft(s.Ra, 9), false);
  pw.Pair(x4, "Alt = ", PadLeft(s.Altitude, 9));
  pw.Pair(0, "Ecl Long= ", PadLeft(s.EclLong, 9), false);
  pw.Pair(x2, "Dec   = ", PadLeft(s.Dec, 9), false);
  pw.Pair(x4, "Azm = ", PadLeft(s.Azimuth, 9));
  pw.Pair(x2, "Epoch = ", PadLeft(s.Epoch, 9));
  pw.Rule();
  if (s.ShowElements) {
    const std::size_t width = s.SemiMajorLabel.size() + 1;
    pw.Pair(0, "Orbital Elements", "");
    pw.Blank();
    pw.Pair(0, PadRight(s.PeriodLabel, int(width)), s.Period);
    pw.Pair(0, PadRight("Inclination:", int(width)), s.Inclination);
    pw.Pair(0, PadRight("Eccentricity:", int(width)), s.Eccentricity);
    pw.Pair(0, PadRight(s.SemiMajorLabel + " ", int(width)), s.SemiMajor);
    pw.Rule();
  }
  if (s.ShowPhysical) {
    pw.Pair(0, "Physical Properties", "");
    pw.Blank();
    pw.Pair(0, "Mass:     ", s.Mass);
    pw.Pair(0, "Diameter: ", s.Diameter);
    pw.Pair(0, "Average Density (g/cc): ", s.Density);
    pw.Rule();
  }
  if (s.ShowVisibility && chart) {
    // The Moon's chart is 6 inches wide, others 4, within the page (A5
    // paper is narrower) at the margins of the chart's left edge.
    const int chartW = std::min(dc.DpiX() * (s.Name == "The Moon" ? 6 : 4), w - dc.DpiX() / 2);
    const int chartH = dc.DpiY() * 3;
    FramedChart(dc, pw, chartW, chartH, [&](int left, int top) { chart(dc, left, top, chartW, chartH, ctx); });
  }
}

void DrawYearlyChartPage(platform::DrawingContext& dc, const std::string& name, double ra, double dec,
                         const TObserverTime& observer, int w, int h) {
  const int titleY = DrawTableTitle(dc, w);
  PageWriter pw(dc, w, titleY + titleY / 4);
  pw.Pair(0, "Visibility chart: ", name);
  const int inset = dc.DpiX() / 4;
  const int top = pw.Y() + inset;
  DrawYearlyChartFor(dc, inset, top, ra, dec, w - 2 * inset, std::min(h - top - inset, w * 3 / 4), observer);
}
