#include "chart/clock.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/riseset.h"
#include "astro/sun_moon.h"
#include "astro/timescales.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/inset_host.h"
#include "chart/ring.h"
#include "platform/timezone.h"
#include "shell/globals.h"

using platform::Bitmap;
using platform::Brush;
using platform::DrawingContext;
using platform::Pen;

int16_t ClockSize = 0;
int32_t ClockRing = 0;
int32_t ClockRing2 = 0;
double ClockRadiusX = 0;
double ClockRadiusY = 0;
int32_t ClockCentreX = 0;
int32_t ClockCentreY = 0;
QRect ClockRect;
Bitmap* ClockFaceBitmap = nullptr;
Bitmap* ClockBitmap = nullptr;
uint8_t ClockSidereal = 0;
std::string ClockCaption = "LMT";
uint8_t ClockChanged = 0;
void (*ClockButtonsMoved)() = nullptr;
int32_t ClockGoldHand = -1;
int32_t ClockGreyHand = -1;
int32_t ClockMinuteHand = -1;
int32_t ClockSecondHand = -1;
ClockHand MinuteHands[61];
ClockHand HourHands[241];

namespace {

constexpr int kDial = 200;  // centre of the dial in both bitmaps

// The clock's pens and brushes (colours through the colour mode).
struct ClockPens {
  Pen handOutline, dark, light, grey, black, dial, date, sunArc, moonArc;
  Brush hand, darkFill, lightFill, greyFill, blackFill, dialFill, dateFill, handFace;
} P;

// The remembered face and hands.
struct LastFace {
  std::string caption;
  int32_t size = -1;
  double jdLocalCivil = 0;
  int day = -1;
  double latitude = 0, longitude = 0;
  int32_t h24 = -1, minute = -1;
} Last;

int Rnd(double x) { return int(std::nearbyint(x)); }

// The dial point at angle a (radians, clockwise from the top) and radius r.
QPoint DialPoint(double a, double r) {
  return {kDial + Rnd(std::sin(a) * r * InsetAspect), kDial - Rnd(std::cos(a) * r)};
}

ClockHand MakeHand(double theta, double tipRadius, double shoulderAngle, double shoulderRadius) {
  const QPoint centre(kDial, kDial), tip = DialPoint(theta, tipRadius);
  return {{centre, DialPoint(theta - shoulderAngle, shoulderRadius), tip},
          {centre, DialPoint(theta + shoulderAngle, shoulderRadius), tip}};
}

std::vector<QPoint> Triangle(const QPoint (&t)[3]) { return {t[0], t[1], t[2]}; }

// An arc of the dial from `rise` to `set` (clock hours) at radius r, in
// whole degrees from the rise's tenth of a degree.
void DrawHoursArc(DrawingContext& dc, double rise, double set, double r) {
  double a = Rnd(rise * 150) / 10.0;
  const double e = Rnd(set * 150) / 10.0;
  auto point = [r](double deg) {
    const double rad = deg / DegPerRad;
    return QPoint(kDial + Rnd(std::sin(rad) * r * InsetAspect), kDial - 1 - Rnd(std::cos(rad) * r));
  };
  const QPoint start = point(a);
  dc.MoveTo(start.x(), start.y());
  while (std::fabs(a - e) >= 1) {
    const QPoint p = point(a);
    dc.LineTo(p.x(), p.y());
    a += 1;
    if (a > 360) a -= 360;
  }
  const QPoint end = point(e);
  dc.LineTo(end.x(), end.y());
}

void DrawSunAndMoonArcs(DrawingContext& dc, int32_t r) {
  // The Sun, in the clock's own work record.
  static TSolarContext sun;
  sun = TSolarContext{};
  sun.NovasOff = 1;
  CalcSunTopocentric(sun, ObserverTime);
  CalcSun(sun, ObserverTime);
  double rise = 0, set = 0;
  if (BodyArcHours(ObserverTime, sun.SunRA, sun.SunDec, kSunStandardAltitude, rise, set)) {
    dc.SelectPen(P.sunArc);
    DrawHoursArc(dc, rise, set, r - (ClockRing + 6));
  }
  // The Moon, computed afresh.
  static TSolSysBody moon;
  InitExtraElementRecord(moon);
  moon.LastJD = -1000000.0;
  CalcMoon(sun, ObserverTime, moon);
  if (BodyArcHours(ObserverTime, moon.RA, moon.Dec, MoonStandardAltitude(moon.Distance), rise, set)) {
    dc.SelectPen(P.moonArc);
    DrawHoursArc(dc, rise, set, r - (ClockRing + 3));
  }
}

void DrawHand(DrawingContext& dc, const ClockHand& h, const Pen& outline, const Brush& leftFill,
              const Brush& rightFill) {
  dc.SelectPen(outline);
  dc.SelectBrush(leftFill);
  dc.Polygon(Triangle(h.left));
  dc.SelectBrush(rightFill);
  dc.Polygon(Triangle(h.right));
  dc.SelectPen(P.light);
  dc.MoveTo(kDial, kDial);
  dc.LineTo(h.left[2].x(), h.left[2].y());
}

double Ellipticity(int32_t x, int32_t y) {
  const double dx = std::fabs(x - ClockCentreX) / ClockRadiusX, dy = std::fabs(y - ClockCentreY) / ClockRadiusY;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

bool InitClockBuffers() {
  ClockFaceBitmap = CreateAutoBitmap(400, 400);
  ClockBitmap = CreateAutoBitmap(400, 400);
  CreateClockPens();
  return ClockFaceBitmap != nullptr && ClockBitmap != nullptr;
}

void CreateClockPens() {
  FreeClockPens();
  auto pen = [](int w, uint8_t r, uint8_t g, uint8_t b) { return Pen::Solid(w, ColorForMode(r, g, b)); };
  auto brush = [](uint8_t r, uint8_t g, uint8_t b) { return Brush::Solid(ColorForMode(r, g, b)); };
  P.handOutline = pen(1, 200, 170, 110);
  P.hand = brush(120, 90, 20);
  P.dark = pen(1, 48, 48, 48);
  P.darkFill = brush(48, 48, 48);
  P.light = pen(1, 180, 180, 180);
  P.lightFill = brush(180, 180, 180);
  P.grey = pen(1, 140, 140, 140);
  P.greyFill = brush(140, 140, 140);
  P.black = pen(1, 0, 0, 0);
  P.blackFill = brush(0, 0, 0);
  P.dial = pen(1, 128, 128, 128);
  P.dialFill = brush(64, 64, 64);
  P.date = pen(1, 100, 130, 100);
  P.dateFill = brush(100, 130, 100);
  P.sunArc = pen(3, 160, 160, 10);
  P.handFace = brush(220, 190, 130);
  P.moonArc = pen(3, 128, 128, 128);
}

void FreeClockPens() { P = ClockPens{}; }

void SetClockSize(int16_t size) {
  ClockSize = size;
  if (ClockButtonsMoved != nullptr) ClockButtonsMoved();
  if (size == 0) return;
  const int32_t t = (size / 25) * 2, l = size - 3, h = l / 2, q = l / 4;
  const double minuteLength = l - (q + t), shoulder = l - (h + t);
  for (int k = 0; k <= 60; ++k) MinuteHands[k] = MakeHand(k / 60.0 * TwoPi, minuteLength, 0.07, shoulder);
  const double hourShoulder = l - Rnd(t + l / 1.5);
  for (int k = 0; k <= 240; ++k) HourHands[k] = MakeHand(k / 240.0 * TwoPi, shoulder, 0.1, hourShoulder);
}

void PlaceClock(int32_t mapWidth, int32_t mapHeight) {
  const int32_t rx = Rnd(ClockSize * InsetAspect);
  ClockCentreX = mapWidth - (rx + 11);
  ClockCentreY = mapHeight - (ClockSize + 11);
  ClockRadiusX = rx;
  ClockRadiusY = ClockSize;
  ClockRect = QRect(QPoint(ClockCentreX - rx, ClockCentreY - ClockSize), QPoint(ClockCentreX + rx, ClockCentreY + ClockSize));
}

bool BodyArcHours(const TObserverTime& rec, double ra, double dec, double h0, double& rise, double& set) {
  double transit = 0;
  RiseTransitSetLocal(rec, ra, dec, h0, rise, transit, set);
  if (rise >= NoEvent || set >= NoEvent) {
    // No rise or set that day: up all day when the upper culmination is
    // above the standard altitude of rise and set, else down all day.
    const double culmination = rec.SinLatitude * std::sin(dec) + rec.CosLatitude * std::cos(dec);
    if (!(culmination > std::sin(h0))) return false;
    rise = 0;
    set = 24;
    return true;
  }
  if (rise > 24) rise -= 24;
  if (set > 24) set -= 24;
  return true;
}

int32_t LocalHandIndex(int32_t h24, int32_t biasMinutes) {
  // The bias in tenths of an hour keeps half-hour zones right.
  int32_t index = (h24 - Rnd(biasMinutes / 6.0)) % 240;
  if (index < 0) index += 240;
  return index;
}

void DrawClockFace(int32_t size, int year, int month, int day) {
  if (ClockFaceBitmap == nullptr) return;
  Bitmap& face = *ClockFaceBitmap;
  // 1. Ring width; a black face.
  ClockRing = size / 25;
  ClockRing2 = 2 * ClockRing;
  const int32_t r = size - ClockRing;
  face.Fill(0);
  DrawingContext dc(face);
  dc.SetBkTransparent(true);
  if (ClockSize > 0) {
    // 2. Dial, ring and caption.
    ClockRadiusX = Rnd(size * InsetAspect);
    ClockRadiusY = size;
    const int32_t rx = Rnd(r * InsetAspect);
    dc.SelectPen(P.dial);
    dc.SelectBrush(P.dialFill);
    dc.Ellipse(kDial - rx, kDial - r, kDial + rx, kDial + r);
    DrawRing(face, kDial, kDial, r, ClockRing, 1);
    platform::LogFont caption;
    caption.height = r / 4;
    caption.width = r / 8;
    caption.weight = 700;
    caption.family = platform::FontFamily::Roman;
    dc.SelectFont(platform::CreateFont(caption));
    dc.SetTextColor(ColorForMode(100, 100, 100));
    dc.SetTextAlign(platform::kAlignCenter | platform::kAlignTop);
    dc.TextOut(kDial, kDial - r / 3 - (r / 6 + 1), ClockCaption);
  }
  // 3. The hours the Sun and the Moon are up.
  if (ClockSidereal == 0) DrawSunAndMoonArcs(dc, r);
  if (ClockSize > 0) {
    // 4. Minute ticks between the hour numbers.
    dc.SelectPen(P.dial);
    for (int i = 0; i < 60; ++i) {
      if (i % 5 == 0) continue;
      const double a = i * 6 / DegPerRad;
      const QPoint p1 = DialPoint(a, r - (r / 8 + ClockRing2)), p2 = DialPoint(a, r - (r / 10 + ClockRing2));
      dc.MoveTo(p1.x(), p1.y());
      dc.LineTo(p2.x(), p2.y());
    }
    // Hour numbers 0, 2, ..., 22.
    platform::LogFont thin;
    thin.height = r / 6;
    thin.width = r / 13;
    thin.weight = 100;
    thin.family = platform::FontFamily::Swiss;
    dc.SelectFont(platform::CreateFont(thin));
    dc.SetTextColor(ColorForMode(210, 210, 210));
    for (int hour = 0; hour < 24; hour += 2) {
      const QPoint p = DialPoint(hour * 15 / DegPerRad, r - (r / 8 + ClockRing2));
      dc.TextOut(p.x(), p.y() - (r / 12 + 1), std::to_string(hour));
    }
    // The date box with year, month and day.
    const int32_t half = Rnd((r / 10 + 0.7) * 6);
    dc.SelectPen(P.date);
    dc.SelectBrush(P.dateFill);
    dc.RoundRect(kDial - half, kDial + r / 3 - (r / 10 + 2), half + 203, kDial + r / 3 + r / 10, 8, 8);
    platform::LogFont bold;
    bold.height = r / 5;
    bold.width = r / 10;
    bold.weight = 700;
    dc.SelectFont(platform::CreateFont(bold));
    dc.SetTextColor(ColorForMode(200, 0, 0));
    char text[32];
    std::snprintf(text, sizeof text, "%04d %02d %02d%s", std::abs(year) % 10000, month, day, year < 0 ? "B" : "");
    dc.TextOut(kDial, kDial + r / 3 - (r / 10 + 1), text);
  }
  // 5. The transparent key of painting: black from the second row.
  face.SetElement(0, face.Element(400));
}

void DrawClock(uint8_t force) {
  if (ClockFaceBitmap == nullptr || ClockBitmap == nullptr) return;
  const TObserverTime& rec = ObserverTime;
  // 1. Caption of the mode.
  if (ClockSidereal == 0)
    ClockCaption = rec.DaylightInEffect == 1 ? "DST&UT" : "LMT&UT";
  else
    ClockCaption = "LST";
  // 2. The local date.
  int year = 0, month = 0, day = 0;
  double hours = 0;
  JulianDayToDate(rec.JD_LocalCivil, year, month, day, hours);
  // 3. The face when something it shows changed.
  if (force == 1 || std::fabs(rec.JD_LocalCivil - Last.jdLocalCivil) > 1.0 / 24 || day != Last.day ||
      rec.Latitude != Last.latitude || rec.Longitude != Last.longitude || ClockSize != Last.size ||
      ClockCaption != Last.caption) {
    ClockChanged = 1;
    DrawClockFace(ClockSize, year, month, day);
    Last.caption = ClockCaption;
    Last.size = ClockSize;
    Last.jdLocalCivil = rec.JD_LocalCivil;
    Last.day = day;
    Last.latitude = rec.Latitude;
    Last.longitude = rec.Longitude;
    Last.h24 = Last.minute = -1;
  }
  // 4. The time the hands show, hours.
  double h = 0;
  if (ClockSidereal == 0) {
    h = (rec.JD_UT + 0.5 - std::floor(rec.JD_UT + 0.5)) * 24;
  } else {
    LocalSiderealTime(rec, h, rec.JD_TT);
  }
  // 5. The face under the hands; hand indices.
  std::memcpy(ClockBitmap->Image().bits(), ClockFaceBitmap->Image().constBits(), ClockFaceBitmap->Image().sizeInBytes());
  // The indices are followed even while the clock is hidden: the chart is
  // redrawn when they change.
  const int32_t h24 = Rnd(h * 10) % 241;
  const int32_t minute = Rnd((h - std::floor(h)) * 60);
  const int32_t second = Rnd((h * 60 - std::floor(h * 60)) * 60);
  if (h24 != Last.h24 || minute != Last.minute) {
    Last.h24 = h24;
    Last.minute = minute;
    ClockChanged = 1;
  }
  if (ClockSize == 0) return;
  ClockGreyHand = h24;
  ClockMinuteHand = minute;
  ClockSecondHand = second;
  DrawingContext dc(*ClockBitmap);
  // 6. Minute hand, while the clock runs slowly enough to read it.
  if (TimeFlow == 1 || TimeRate < 4) DrawHand(dc, MinuteHands[minute], P.handOutline, P.hand, P.handFace);
  // 7. Gold 24-hour hand: local clock time, or sidereal time.
  int32_t gold = h24;
  if (ClockSidereal == 0) {
    const int32_t bias = rec.TimeZone.Bias + (rec.DaylightInEffect == 1 ? rec.TimeZone.DaylightBias : 0);
    gold = LocalHandIndex(h24, bias);
  }
  ClockGoldHand = gold;
  DrawHand(dc, HourHands[gold], P.handOutline, P.hand, P.handFace);
  // 8. Grey 24-hour hand: universal time.
  if (ClockSidereal == 0 && ClockSize >= 1) DrawHand(dc, HourHands[h24], P.grey, P.dialFill, P.greyFill);
  // 9. Second hand.
  if (TimeFlow == 1 || TimeRate < 3) {
    dc.SelectPen(P.light);
    dc.SelectBrush(P.lightFill);
    dc.MoveTo(kDial, kDial);
    dc.LineTo(MinuteHands[second].left[2].x(), MinuteHands[second].left[2].y());
  }
  // 10. Centre cap.
  dc.SelectPen(P.grey);
  dc.SelectBrush(P.greyFill);
  dc.Ellipse(195, 195, 205, 205);
}

void ComposeClock(Bitmap& backBuffer) {
  if (ClockBitmap == nullptr || ClockSize <= 0) return;
  BlitTransparent(*ClockBitmap, 0, 0, kDial * 2, kDial * 2, backBuffer, ClockCentreX - kDial, ClockCentreY - kDial);
}

bool InsideClock(int32_t x, int32_t y) { return ClockSize != 0 && Ellipticity(x, y) <= 1.0; }

bool NearClock(int32_t x, int32_t y) { return ClockSize != 0 && Ellipticity(x, y) <= 1.1; }

bool ClockClick(uint8_t button, int32_t x, int32_t y) {
  if (!InsideClock(x, y)) return false;
  if (button == 1) PopupInsetMenu(InsetMenu::Clock, x, y);
  return true;
}

double CurrentJulianDay() { return 2440587.5 + platform::SystemClockUnixSeconds() / 86400.0; }
