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
// The chart's night runs from noon to noon: every event it shows falls
// inside it.
constexpr double kNightFrom = 12;
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Hours halfway from a to b going forward through midnight (clock hours).
double Between(double a, double b) {
  if (b < a) b += 24;
  double m = (a + b) / 2;
  if (m >= 24) m -= 24;
  return m;
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
                                                const std::vector<double>& ras, double year,
                                                const TBodyPlace& body) {
  std::vector<TYearlySample> out;
  if (count <= 0 || int(decs.size()) < count || int(ras.size()) < count) return out;
  // A private copy in local standard time; the live record is never touched.
  auto rec = std::make_unique<TObserverTime>(observer);
  rec->ClipBelowHorizon = 0;
  rec->UseDaylightSaving = 0;
  const double jd0 = JulianDay(std::trunc(year), 1, 1, 12);
  const TBodyPlace sun = SunPlace(*rec, kSunStandardAltitude), twilight = SunPlace(*rec, kTwilightAltitude);
  out.resize(count);
  for (int i = 0; i < count; ++i) {
    TYearlySample& s = out[i];
    const double jd = jd0 + i * 365.2422 / count;
    SetObserverLocalStandard(*rec, jd);
    // The night of the sample's date, from noon to noon: sunset and sunrise,
    // then dusk and dawn where the Sun passes -15° (searched without limit).
    double transit;
    MovingRiseTransitSetLocal(*rec, sun, kNightFrom, s.sunrise, transit, s.sunset);
    MovingRiseTransitSetLocal(*rec, twilight, kNightFrom, s.dawn, transit, s.dusk);
    if (s.sunrise >= NoEvent || s.sunset >= NoEvent) {
      // Polar day or night: the Sun's altitude at midnight tells which. In
      // polar night the Sun stands highest at noon, off the chart; the
      // twilight, when it reaches -15°, runs from there.
      double ra, dec, alt, az;
      SetObserverLocalStandard(*rec, JDMidnight(rec->JD_LocalStandard) + 1);
      SunApparentPosition(*rec, rec->JD_TT, ra, dec);
      EquatorialToHorizontal(*rec, alt, az, ra, dec);
      s.polarDay = alt > kSunStandardAltitude;
      s.polarNight = !s.polarDay;
      s.sunrise = s.sunset = 12.0;
      SetObserverLocalStandard(*rec, jd);
    }
    if (s.dusk >= NoEvent || s.dawn >= NoEvent) {
      // A white night (the Sun stays above -15°) has no dark hours: the two
      // twilights meet at the Sun's lowest, halfway from sunset to sunrise.
      // A polar night below -15° all day has no twilight.
      s.dusk = s.dawn = s.polarNight ? 12.0 : Between(s.sunset, s.sunrise);
      s.whiteNight = !s.polarNight && !s.polarDay;
    }
    // The object's rise, transit and set; a moving body's from its place
    // at each event.
    if (body)
      MovingRiseTransitSetLocal(*rec, body, kNightFrom, s.rise, s.transit, s.set);
    else
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

TYearlyChart MakeYearlyChart(int count, const std::vector<double>& decs, const std::vector<double>& ras,
                             double year, const TObserverTime& observer, const TBodyPlace& body) {
  TYearlyChart chart;
  chart.year = year;
  chart.samples = ComputeYearlySamples(observer, count, decs, ras, year, body);
  if (!chart.samples.empty())
    chart.visibility = VisibilityClass(observer.Latitude, std::vector<double>(decs.begin(), decs.begin() + count));
  return chart;
}

TYearlyChart MakeYearlyChartFor(double ra, double dec, const TObserverTime& observer) {
  int y, m, d;
  double h;
  // The year of the local date: the chart's samples run from 1 January in
  // local standard time, so on New Year's morning east of Greenwich (or
  // New Year's Eve west of it) the universal date's year is the wrong one.
  JulianDayToDate(observer.JD_LocalStandard, y, m, d, h);
  const std::vector<double> ras(183, ra), decs(183, dec);
  return MakeYearlyChart(183, decs, ras, y, observer);
}

void DrawYearlyVisibility(platform::DrawingContext& dc, int left, int top, int count,
                          const std::vector<double>& decs, const std::vector<double>& ras, int height,
                          int width, double year, const TObserverTime& observer, const TBodyPlace& body) {
  if (count <= 0 || width <= 0 || height <= 0) return;
  DrawYearlyChart(dc, left, top, width, height, MakeYearlyChart(count, decs, ras, year, observer, body));
}

void DrawYearlyChart(platform::DrawingContext& dc, int left, int top, int width, int height,
                     const TYearlyChart& chart) {
  using namespace platform;
  const auto& samples = chart.samples;
  const int count = int(samples.size()), visibility = chart.visibility;
  const double year = chart.year;
  if (count == 0 || width <= 0 || height <= 0) return;
  const int ps = std::max(1, int(PrintScale));
  const int blues[6] = {40, 80, 120, 160, 200, 255};
  auto blue = [&](int level) { return ColorForMode(0, 0, uint8_t(level)); };
  auto sampleAt = [&](int x) { return std::min(count, int(double(x) / width * count) + 1) - 1; };
  auto row = [&](double h) { return top + YearlyChartRow(h, height); };
  // The Sun's evening events before 16:00 lie above the chart, its morning
  // events after 08:00 below it.
  auto evening = [&](double h) { return h > 8 && h < 16 ? top : row(h); };
  auto morning = [&](double h) { return h > 8 && h < 16 ? top + height : row(h); };

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
      y0 = std::max(y0, top);
      y1 = std::min(y1, top + height);
      if (y1 > y0) dc.FillRect(cx, y0, cx + ps, y1, Brush::Solid(blue(level)));
    };
    if (s.polarDay) {
      band(top, top + height, 255);
      continue;
    }
    const int ySet = evening(s.sunset), yDusk = evening(s.dusk), yDawn = morning(s.dawn), yRise = morning(s.sunrise);
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
  if (width > 0 && height > 0) DrawYearlyChart(dc, left, top, width, height, MakeYearlyChartFor(ra, dec, observer));
}
