#include "tools/yearly_chart.h"

#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/riseset.h"
#include "astro/sun_moon.h"
#include "astro/text.h"
#include "astro/timescales.h"
#include "astro/transforms.h"
#include "chart/drawing_colors.h"
#include "tools/auto_table.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180;
constexpr double kTwilightAltitude = -15 * kDeg;
constexpr double kStep = 0.003472222;  // 5 minutes, days
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The Sun's altitude (radians) at local standard JD `jd` for the record.
double SunAltitude(TObserverTime& rec, double jd) {
  SetObserverLocalStandard(rec, jd);
  double ra, dec, alt, az;
  SunApparentPosition(rec, rec.JD_TT, ra, dec);
  EquatorialToHorizontal(rec, alt, az, ra, dec);
  return alt;
}

// Local standard hours of a UT event hour on the record's date.
double ToLocal(const TObserverTime& rec, double ut) {
  double h;
  UTHoursToLocal(rec, h, ut);
  return h;
}

}  // namespace

int VisibilityClass(double latitude, const std::vector<double>& decs) {
  bool never = true, always = true;
  const double phi = latitude;
  for (double d : decs) {
    if (phi >= 0) {
      if (!(d <= -(kPi / 2 - phi))) never = false;
      if (!(d >= kPi / 2 - phi)) always = false;
    } else {
      if (!(d >= kPi / 2 + phi)) never = false;
      if (!(d <= -kPi / 2 - phi)) always = false;
    }
  }
  if (decs.empty()) return 0;
  return never ? -1 : always ? 1 : 0;
}

std::vector<TYearlySample> ComputeYearlySamples(const TObserverTime& observer, int count,
                                                const std::vector<double>& decs,
                                                const std::vector<double>& ras, double year) {
  std::vector<TYearlySample> out;
  if (count <= 0 || int(decs.size()) < count || int(ras.size()) < count) return out;
  // A private copy in local standard time; the live record is never touched.
  auto rec = std::make_unique<TObserverTime>(observer);
  rec->ClipBelowHorizon = 0;
  rec->UseDaylightSaving = 0;
  auto work = std::make_unique<TObserverTime>(*rec);
  const double jd0 = JulianDay(std::trunc(year), 1, 1, 12);
  out.resize(count);
  for (int i = 0; i < count; ++i) {
    TYearlySample& s = out[i];
    const double jdNoon = jd0 + i * 365.2422 / count;
    SetObserverLocalStandard(*rec, jdNoon);
    const double jdMidnight = std::floor(jdNoon + 0.5) - 0.5;  // local 00:00 of the sample's date
    // The Sun's rise and set, then dawn and dusk at -15°.
    double rise, transit, set;
    SunRiseTransitSet(*rec, rise, transit, set);
    if (rise >= NoEvent || set >= NoEvent) {
      // Polar day or night: the altitude at the Sun's transit tells which.
      *work = *rec;
      const bool up = SunAltitude(*work, jdNoon) > kSunStandardAltitude;
      s.polarDay = up;
      s.polarNight = !up;
    } else {
      s.sunrise = ToLocal(*rec, rise);
      s.sunset = ToLocal(*rec, set);
      *work = *rec;
      double h = s.sunrise;
      for (int k = 0; k < 24; ++k) {
        h -= kStep * 24;
        if (SunAltitude(*work, jdMidnight + h / 24) <= kTwilightAltitude) break;
      }
      s.dawn = h;
      h = s.sunset;
      for (int k = 0; k < 24; ++k) {
        h += kStep * 24;
        if (SunAltitude(*work, jdMidnight + h / 24) <= kTwilightAltitude) break;
      }
      s.dusk = h;
    }
    // The object's rise, transit and set.
    RiseTransitSetLocal(*rec, ras[i], decs[i], kStarStandardAltitude, s.rise, s.transit, s.set);
    if (s.rise > 999998) s.rise = 12.0;
    if (s.set > 999998) s.set = 12.0;
    if (s.transit > 999998) s.transit = 12.0;
  }
  return out;
}

int YearlyChartRow(double hours, int height) {
  double v = hours / 24;
  if (v >= 0.5) v -= 1;
  return int(std::trunc(1.5 * height * v + height / 2.0));
}

std::string YearLineText(double year) {
  const long long y = (long long)std::trunc(year);
  return "For the year " + std::to_string(std::llabs(y)) + (y > 0 ? "AD" : "BC");
}

void DrawYearlyVisibility(platform::DrawingContext& dc, int left, int top, int count,
                          const std::vector<double>& decs, const std::vector<double>& ras, int height,
                          int width, double year, const TObserverTime& observer) {
  using namespace platform;
  if (count <= 0 || width <= 0 || height <= 0) return;
  const auto samples = ComputeYearlySamples(observer, count, decs, ras, year);
  if (samples.empty()) return;
  const int visibility = VisibilityClass(observer.Latitude, std::vector<double>(decs.begin(), decs.begin() + count));
  const int ps = std::max(1, int(PrintScale));
  const int blues[6] = {40, 80, 120, 160, 200, 255};
  auto blue = [&](int level) { return ColorForMode(0, 0, uint8_t(level)); };
  auto sampleAt = [&](int x) { return std::min(count, int(double(x) / width * count) + 1) - 1; };
  auto row = [&](double h) { return top + YearlyChartRow(h, height); };

  dc.SetClipRect(left, top, left + width, top + height);
  // Background.
  dc.SelectPen(ThinPen.IsNull() ? Pen::Solid(ps, 0) : ThinPen);
  dc.SelectBrush(BlackBrush.IsNull() ? Brush::Solid(0) : BlackBrush);
  dc.Rectangle(left, top, left + width, top + height);
  // Twilight and day.
  for (int x = 0; x < width; x += ps) {
    const TYearlySample& s = samples[sampleAt(x)];
    const int cx = left + x;
    auto band = [&](int y0, int y1, int level) {
      if (y1 <= y0) return;
      dc.FillRect(cx, std::max(y0, top), cx + ps, std::min(y1, top + height), Brush::Solid(blue(level)));
    };
    if (s.polarDay) {
      band(top, top + height, 255);
      continue;
    }
    if (s.polarNight) continue;
    const int ySet = row(s.sunset), yDusk = row(s.dusk), yDawn = row(s.dawn), yRise = row(s.sunrise);
    band(top, ySet, 255);
    for (int k = 0; k < 5; ++k) {
      band(ySet + (yDusk - ySet) * k / 5, ySet + (yDusk - ySet) * (k + 1) / 5, blues[4 - k]);
      band(yDawn + (yRise - yDawn) * k / 5, yDawn + (yRise - yDawn) * (k + 1) / 5, blues[k]);
    }
    band(yRise, top + height, 255);
  }
  // The hours above the horizon and the three curves.
  if (visibility == 0) {
    const ColorRef grey = ColorForMode(63, 63, 63);
    for (int x = 0; x < width; x += ps) {
      const TYearlySample& s = samples[sampleAt(x)];
      if (s.rise == 12.0 || s.set == 12.0) continue;
      double h = s.rise;
      for (int k = 0; k < 481 && std::fabs(h - s.set) >= 0.05; ++k) {
        const int px = left + x, py = row(h);
        if (px % 2 == 0 && py % 2 == 0) {
          dc.SetPixel(px, py, grey);
          if (ps > 1) dc.SetPixel(px + 1, py, grey);
          if (ps > 2) dc.SetPixel(px, py + 1, grey);
          if (ps > 3) dc.SetPixel(px + 1, py + 1, grey);
        }
        h += 0.05;
        if (h >= 24) h -= 24;
      }
    }
    const struct {
      double TYearlySample::*field;
      ColorRef color;
    } curves[3] = {{&TYearlySample::rise, ColorForMode(0, 128, 0)},
                   {&TYearlySample::transit, ColorForMode(128, 128, 0)},
                   {&TYearlySample::set, ColorForMode(128, 0, 0)}};
    for (const auto& c : curves) {
      dc.SelectPen(Pen::Solid(2 * ps, c.color));
      int lastY = 0;
      for (int x = 0; x <= width; ++x) {
        const int y = row(samples[sampleAt(x)].*c.field);
        if (x == 0 || std::abs(y - lastY) >= height / 2)
          dc.MoveTo(left + x, y);
        else
          dc.LineTo(left + x, y);
        lastY = y;
      }
    }
  }
  // Grid and labels.
  const FontHandle labelFont = MakePointFont("Arial", 8, 200, dc.DpiY());
  dc.SelectFont(labelFont);
  dc.SetTextColor(ColorForMode(170, 170, 170));
  dc.SetBkTransparent(true);
  const Pen gridPen = Pen::Solid(1, ColorForMode(128, 128, 128));
  dc.SelectPen(gridPen);
  const int textHeight = dc.TextExtent("X").height();
  dc.SetTextAlign(kAlignLeft | kAlignTop);
  for (double h : {18.0, 20.0, 22.0, 0.0, 2.0, 4.0, 6.0}) {
    const int y = row(h);
    for (int k = 0; k < ps; ++k) {
      dc.MoveTo(left, y + k);
      dc.LineTo(left + width, y + k);
    }
    dc.TextOut(left, y + textHeight / 8, TrimBlanks(FormatHoursHM(h)));
  }
  for (int m = 1; m <= 12; ++m) {
    const int x = left + int(std::trunc((m - 1) / 12.0 * width));
    for (int k = 0; k < ps; ++k) {
      dc.MoveTo(x + k, top);
      dc.LineTo(x + k, top + height);
    }
    dc.TextOut(x, top + textHeight / 6, std::string(" ") + kMonths[m - 1]);
  }
  if (visibility != 0) {
    dc.SetTextAlign(kAlignCenter | kAlignBaseline);
    dc.TextOut(left + width / 2, top + height / 2, visibility > 0 ? "Always Visible" : "Never Visible");
  }
  dc.SelectFont(MakePointFont("Arial", 9, 600, dc.DpiY()));
  dc.SetTextAlign(kAlignCenter | kAlignBaseline);
  dc.TextOut(left + width / 2, top + height - 10, YearLineText(year));
  dc.ClearClip();
}

void DrawYearlyChartFor(platform::DrawingContext& dc, int left, int top, double ra, double dec, int width,
                        int height, const TObserverTime& observer) {
  int y, m, d;
  double h;
  JulianDayToDate(observer.JD_UT, y, m, d, h);
  const std::vector<double> ras(183, ra), decs(183, dec);
  DrawYearlyVisibility(dc, left, top, 183, decs, ras, height, width, y, observer);
}
