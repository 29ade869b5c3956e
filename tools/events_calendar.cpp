#include "tools/events_calendar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/riseset.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "astro/text.h"
#include "astro/timescales.h"
#include "astro/transforms.h"
#include "platform/codec.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "tools/meteor_showers.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180;
constexpr int kPlanetBodies[8] = {0, 1, 3, 4, 5, 6, 7, 8};  // bodies 2..9: planet records without the Earth

double Deg(double rad) { return rad / kDeg; }

// Into [lo, lo + 360).
double Wrap(double x, double lo) {
  x = std::fmod(x - lo, 360.0);
  if (x < 0) x += 360;
  return x + lo;
}

// Sets the record to `hours` after the day's start (terrestrial time).
void AtHour(TObserverTime& work, const TObserverTime& day, double hours) {
  work = day;
  SetObserverTT(work, day.JD_TT + hours / 24);
}

double SunApparentLongitudeDeg(TObserverTime& rec) {
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  CalcSun(ctx, rec);
  double l = ctx.SunApparentLongitude;
  ReduceRadians(l);
  return Deg(l);
}

struct MoonState {
  double phaseDeg, distanceKm, phaseRad, limb, diameter, ra, dec;
};

MoonState MoonAt(TObserverTime& rec) {
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  CalcSun(ctx, rec);
  TSolSysBody moon{};
  InitExtraElementRecord(moon);
  moon.LastJD = -1e7;
  CalcMoon(ctx, rec, moon);
  double p = moon.PhaseAngle;
  ReduceRadians(p);
  return {Deg(p), moon.Distance, p, moon.LimbAngle, moon.Diameter, moon.RA, moon.Dec};
}

std::string AmPm(double t, bool clock) {
  if (!(t >= 0 && t <= 24)) return " invalid time";
  std::string suffix;
  if (t < 12) {
    suffix = "am";
    if (t < 1) t += 12;
  } else {
    suffix = "pm";
    if (t >= 13) t -= 12;
  }
  if (clock) return TrimBlanks(FormatHoursHM(t)) + suffix;
  return std::to_string(int(std::trunc(t))) + suffix;
}

}  // namespace

std::string ClockForm12(double hours) { return AmPm(hours, true); }
std::string HourForm12(double hours) { return AmPm(hours, false); }

bool ReadBrightStars(const std::string& path, std::vector<TBrightStar>& stars, int* message, std::string* reason) {
  constexpr int kStars = 45, kRecordBytes = 55;
  constexpr double kPi = 3.14159265358979323846;
  stars.clear();
  auto fail = [&](int code, const std::string& why) {
    if (message) *message = code;
    if (reason) *reason = why;
    return false;
  };
  std::string refused;
  const auto read = ReadDataFileWhole(path, refused);
  if (!read) return fail(102, refused);
  const std::vector<uint8_t>& bytes = *read;
  // The 45 records are read whole or not at all: a file of any other size
  // has a record that cannot be read, and the calendar runs without stars.
  if (bytes.size() != std::size_t(kStars) * kRecordBytes)
    return fail(103, ByteCountText(bytes.size()) + " where its " + std::to_string(kStars) + " stars take " +
                         ByteCountText(kStars * kRecordBytes));
  // Each star on the sky with a plausible magnitude; a damaged one is left
  // out.
  int bad = 0;
  for (int i = 0; i < kStars; ++i) {
    const uint8_t* r = &bytes[std::size_t(i) * kRecordBytes];
    TBrightStar s;
    s.ra = platform::GetF64(r);
    s.dec = platform::GetF64(r + 8);
    s.magnitude = platform::GetF64(r + 16);
    if (!(s.ra >= 0 && s.ra <= 2 * kPi) || !(std::fabs(s.dec) <= kPi / 2) || !(std::fabs(s.magnitude) <= 30) ||
        r[24] > 30) {
      ++bad;
      continue;
    }
    s.name.assign(reinterpret_cast<const char*>(r + 25), std::size_t(r[24]));
    stars.push_back(std::move(s));
  }
  if (bad)
    return fail(103, std::to_string(bad) + " of its " + std::to_string(kStars) +
                         " stars hold values outside their ranges and are left out");
  return true;
}

std::vector<TBrightStar> BrightStars;

void LoadBrightStars() {
  int message = 0;
  std::string reason;
  if (!ReadBrightStars(platform::FindFileNoCase(DataFolder, "brightstars.dat"), BrightStars, &message, &reason))
    ReportDataFileProblem(int16_t(message), "brightstars.dat", reason);
}

TEventsCalendar::TEventsCalendar(const TObserverTime& live, std::vector<TBrightStar> stars)
    : live_(std::make_unique<TObserverTime>(live)),
      rec_(std::make_unique<TObserverTime>(live)),
      work_(std::make_unique<TObserverTime>(live)),
      stars_(std::move(stars)) {
  for (const auto& s : stars_)
    starNames_.push_back("magn " + TrimBlanks(platform::FormatFixed(s.magnitude, 0, 1)) + " star " + s.name);
}

std::string TEventsCalendar::BodyName(int body) const {
  if (body == 1) return "The Moon";
  if (body >= 2 && body <= 9) return Planets[kPlanetBodies[body - 2]].Name.str();
  return starNames_.at(std::size_t(body - 10));
}

void TEventsCalendar::SetUpMonth(int year, int month) {
  year += (month - 1) / 12 - (month < 1 ? 1 : 0);
  month = ((month - 1) % 12 + 12) % 12 + 1;
  year_ = year;
  month_ = month;
  days_ = DaysInMonth(year, month);
  dayCounter_ = 0;
  std::fill(std::begin(elongationReported_), std::end(elongationReported_), false);
  *rec_ = *live_;
  rec_->ClipBelowHorizon = 0;
  {
    auto last = std::make_unique<TObserverTime>(*rec_);
    SetObserverLocalCivil(*last, JulianDay(year, month, days_, 0) + 1 - 1.0 / 1440);
    SetObserverLocalCivil(*rec_, JulianDay(year, month, 1, 0));
    daylightAllMonth_ = rec_->DaylightInEffect && last->DaylightInEffect;
  }
  for (auto& d : days_array_) d = TCalendarDay{};
  // The stars at the month's date: the Moon and the planets are of date too.
  auto p = std::make_unique<TObserverTime>(*rec_);
  SetPrecession(*p, 2451545.0, rec_->JD_TT + 15);
  starRa_.clear();
  starDec_.clear();
  for (const auto& s : stars_) {
    double ra = s.ra, dec = s.dec;
    Precess(*p, ra, dec);
    ReduceRadians(ra);
    starRa_.push_back(ra);
    starDec_.push_back(dec);
  }
}

bool TEventsCalendar::SearchNextDay() {
  if (dayCounter_ >= days_) return true;
  ++dayCounter_;
  SetObserverLocalCivil(*rec_, JulianDay(year_, month_, dayCounter_, 0));
  TCalendarDay& day = days_array_[dayCounter_];
  std::string season = SeasonSearch(*rec_);
  std::string moon = MoonSearch(*rec_, day);
  std::string planets = PlanetSearch(*rec_, day);
  std::string meteors = MeteorSearch(month_, dayCounter_);
  if (!season.empty()) season += ". ";
  if (!moon.empty()) moon += ". ";
  if (!planets.empty()) planets += ". ";
  if (!meteors.empty()) meteors += ".";
  day.text = season + moon + "~" + planets + "~" + meteors;
  if (dayCounter_ < days_) return false;
  ApplyRepeatRule(days_array_, days_);
  for (int d = 1; d <= days_; ++d) std::erase(days_array_[d].text, '~');
  return true;
}

void TEventsCalendar::SearchMonth(int year, int month) {
  SetUpMonth(year, month);
  while (!SearchNextDay()) {
  }
}

std::string TEventsCalendar::SeasonSearch(const TObserverTime& rec) {
  TObserverTime& w = *work_;
  AtHour(w, rec, 0);
  const double l0 = SunApparentLongitudeDeg(w);
  AtHour(w, rec, 24);
  const double l1 = SunApparentLongitudeDeg(w);
  double target = -1;
  for (double t : {90.0, 180.0, 270.0})
    if (l0 < t && l1 >= t) target = t;
  if (l0 >= 315 && l1 >= 0 && l1 < 45) target = 0;
  if (target < 0) return std::string();
  auto crossed = [&](double a, double b) {
    if (target == 0) return a >= 315 && b < 45;
    return a < target && b >= target;
  };
  // The hour of the crossing, then its minute.
  double prev = l0;
  for (int h = 0; h < 24; ++h) {
    AtHour(w, rec, h + 1);
    const double next = SunApparentLongitudeDeg(w);
    if (!crossed(prev, next)) {
      prev = next;
      continue;
    }
    double p = prev;
    for (int m = 1; m <= 60; ++m) {
      AtHour(w, rec, h + m / 60.0);
      const double l = SunApparentLongitudeDeg(w);
      if (crossed(p, l)) {
        // Rounded to five minutes, but never onto the next day's midnight
        // (24:00 would read as noon): a start in the day's last minutes is
        // told at 11:55pm.
        const double minutes = std::min(std::nearbyint((h * 60 + m) / 5.0) * 5, 1435.0);
        const char* name = target == 90 ? "Summer" : target == 180 ? "Autumn" : target == 270 ? "Winter" : "Spring";
        return std::string(name) + " starts at " + ClockForm12(minutes / 60);
      }
      p = l;
    }
    break;
  }
  return std::string();
}

std::string TEventsCalendar::MoonSearch(const TObserverTime& rec, TCalendarDay& day) {
  TObserverTime& w = *work_;
  double phase[26], dist[26];
  for (int i = 0; i < 26; ++i) {
    AtHour(w, rec, i - 1);
    const MoonState m = MoonAt(w);
    phase[i] = m.phaseDeg;
    dist[i] = m.distanceKm;
    if (i == 13) {
      day.moonPhase = m.phaseRad;
      day.moonRotation = m.limb;
    }
  }
  std::string text;
  // Phase: the quarter crossed between 00:00 (sample 1) and 24:00 (sample 25).
  double a0 = phase[1], a1 = phase[25];
  if (a1 < a0) a0 -= 360;
  int target = -1;
  for (int t : {0, 90, 180, 270})
    if (a0 <= t && t < a1) target = t;
  if (target >= 0) {
    const double shift = target == 0 ? 45 : 0;
    const double goal = target + shift;
    auto phaseAt = [&](double hours) {
      AtHour(w, rec, hours);
      return Wrap(MoonAt(w).phaseDeg + shift, target == 0 ? 0 : -10);
    };
    const double b0 = a0 + shift, b1 = a1 + shift;
    double t = (goal - b0) / (b1 - b0) * 24 - 1;
    if (t < 0) t = 0;
    bool below = false;
    double found = -1;
    // Minute steps from the estimate; the last step lands on the day's end,
    // where the phase has passed the target, so a phase in the day's last
    // minute is found on its day (the next day's search does not see it).
    for (int k = 0; k <= 121; ++k, t += 1 / 60.0) {
      const double at = std::min(t, 24.0);
      const double p = phaseAt(at);
      if (p < goal) below = true;
      else if (below) {
        found = at;
        break;
      }
      if (at >= 24.0) break;
    }
    if (found >= 0) {
      static const char* const names[4] = {"New Moon", "First-Quarter Moon", "Full Moon", "Last-Quarter Moon"};
      const double local = std::nearbyint(found * 4) / 4;
      text = std::string(names[target / 90]) + " at " + ClockForm12(std::min(local, 23.99));
    }
  }
  // Apogee or perigee: the first hourly extreme of the distance.
  for (int i = 1; i <= 24; ++i) {
    const bool apogee = dist[i] > dist[i - 1] && dist[i] > dist[i + 1];
    const bool perigee = dist[i] < dist[i - 1] && dist[i] < dist[i + 1];
    if (!apogee && !perigee) continue;
    const double hour = i - 1;
    double best = dist[i];
    int offset = 0;
    for (int m = -60; m <= 60; ++m) {
      AtHour(w, rec, hour + m / 60.0);
      const double d = MoonAt(w).distanceKm;
      if (apogee ? d > best : d < best) {
        best = d;
        offset = m;
      }
    }
    if (!text.empty()) text += ". ";
    text += std::string(apogee ? "Moon at Apogee " : "Moon at Perigee ") +
            HourForm12(std::nearbyint(hour + offset / 60.0));
    const double rounded = std::nearbyint(best / 1000) * 1000;
    if (rounded >= 0 && rounded < 10000000)
      text += " (dist. " + platform::FormatFixed(rounded, 0, 0) + "km)";
    break;
  }
  return text;
}

void TEventsCalendar::SampleBodies(const TObserverTime& rec, double hours, Samples& out, TObserverTime& w) {
  AtHour(w, rec, hours);
  out.assign(std::size_t(BodyCount() + 1), BodySample{});
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  CalcSun(ctx, w);
  const double sunLong = Deg(ctx.SunApparentLongitude);
  TSolSysBody moon{};
  InitExtraElementRecord(moon);
  moon.LastJD = -1e7;
  CalcMoon(ctx, w, moon);
  out[1] = {float(moon.RA), float(moon.Dec), 0, 0, true};
  CalcEarthOrbit(ctx, w);
  for (int b = 2; b <= 9; ++b) {
    TSolSysBody p = Planets[kPlanetBodies[b - 2]];
    p.LastJD = -1e7;
    CalcPlanet(ctx, w, p);
    const double lambda = Deg(p.EclLongitude);
    const double dl = Wrap(sunLong - lambda, -10);
    // Elongation: the angle Sun-Earth-planet, signed by the side (positive: west of the Sun).
    const double diff = Wrap(sunLong - lambda, -180);
    const double cosE = std::cos(p.EclLatitude) * std::cos(diff * kDeg);
    const double elong = std::copysign(Deg(std::acos(std::clamp(cosE, -1.0, 1.0))), diff);
    out[b] = {float(p.RA), float(p.Dec), float(dl), float(elong), p.Distance < ctx.SunDistance};
  }
  for (std::size_t s = 0; s < stars_.size(); ++s) out[10 + s] = {float(starRa_[s]), float(starDec_[s]), 0, 0, false};
}

std::string TEventsCalendar::TransitText(const TObserverTime& rec, int b, int centre) {
  // Minute by minute four hours either side of the conjunction: the planet
  // is on the disc while its centre lies within the Sun's radius less its own.
  TObserverTime& w = *work_;
  const std::string name = BodyName(b);
  int start = INT32_MIN, end = INT32_MIN;
  for (int m = centre - 240; m <= centre + 240; ++m) {
    AtHour(w, rec, m / 60.0);
    TSolarContext ctx{};
    ctx.NovasOff = 1;
    CalcSun(ctx, w);
    CalcEarthOrbit(ctx, w);
    TSolSysBody p = Planets[kPlanetBodies[b - 2]];
    p.LastJD = -1e7;
    CalcPlanet(ctx, w, p);
    const double sep = std::acos(std::clamp(
        std::sin(p.Dec) * std::sin(ctx.SunDec) + std::cos(p.Dec) * std::cos(ctx.SunDec) * std::cos(p.RA - ctx.SunRA),
        -1.0, 1.0));
    const bool on = sep < ctx.SunDiameter / 2 - p.Diameter / 2;
    if (on && start == INT32_MIN) start = m;
    if (!on && start != INT32_MIN && end == INT32_MIN) end = m;
  }
  if (start == INT32_MIN) return name + " is in inferior conjunction";
  std::string text = name + " transits the sun's disk";
  if (start < 0) text += ", starts day before " + HourForm12((start + 1440) / 60.0);
  else text += ", starts at " + HourForm12(start / 60.0);
  if (end == INT32_MIN) end = centre + 241;
  if (end >= 1440) text += " ends day after " + HourForm12((end - 1440) / 60.0);
  else text += " ends at " + HourForm12(end / 60.0);
  return text;
}

std::string TEventsCalendar::PlanetSearch(const TObserverTime& rec, TCalendarDay& day) {
  TObserverTime& w = *work_;
  std::vector<Samples> hourly(26);
  for (int i = 0; i < 26; ++i) SampleBodies(rec, i - 1, hourly[i], w);
  // Conjunctions, oppositions, elongations and transits, one sentence each.
  std::vector<std::string> events;
  for (int b = 2; b <= 9; ++b) {
    const bool inner = b == 2 || b == 3;
    const std::string name = BodyName(b);
    for (int k = 1; k <= 24; ++k) {
      const double d0 = hourly[k - 1][b].dlong, d1 = hourly[k][b].dlong;
      if (((d0 <= 0 && d1 >= 0) || (d0 >= 0 && d1 <= 0)) && std::fabs(d1) < 2) {
        // Mercury and Venus pass the Sun's longitude twice a synodic period:
        // in front of it (inferior conjunction, nearer than the Sun) and
        // behind it (superior conjunction); only the first can be a transit.
        if (!inner) events.push_back(name + " is in conjunction");
        else if (!hourly[k][b].nearer) events.push_back(name + " is in superior conjunction");
        else events.push_back(TransitText(rec, b, (k - 1) * 60));
      }
      if (d0 < 180 && d1 >= 180 && std::fabs(d1 - 180) < 2)
        events.push_back(name + (inner ? " is in superior conjunction" : " is in opposition"));
      if (inner && !elongationReported_[b] && k + 1 <= 25) {
        const double e0 = std::fabs(hourly[k - 1][b].elong), e1 = std::fabs(hourly[k][b].elong),
                     e2 = std::fabs(hourly[k + 1][b].elong);
        if (e1 >= e0 && e1 >= e2 && e1 > 10) {
          events.push_back(name + " reaches greatest elongation (" + std::to_string(std::lround(e1)) + "° " +
                           (hourly[k][b].elong > 0 ? "west" : "east") + " of sun)");
          elongationReported_[b] = true;
        }
      }
    }
  }
  std::string text;
  for (const auto& e : events) text += (text.empty() ? "" : ". ") + e;

  // Groupings over hours 0..24.
  double rise, transit, set;
  {
    auto noon = std::make_unique<TObserverTime>(rec);
    SetObserverLocalCivil(*noon, rec.JD_LocalCivil + 0.5);
    SunRiseTransitSet(*noon, rise, transit, set);
    if (rise < NoEvent) UTHoursToLocal(*noon, rise, rise);
    if (set < NoEvent) UTHoursToLocal(*noon, set, set);
    if (rise >= NoEvent || set >= NoEvent) {
      // Polar day: never night; polar night: always night.
      TSolarContext ctx{};
      ctx.NovasOff = 1;
      CalcSun(ctx, *noon);
      double alt, az;
      EquatorialToHorizontal(*noon, alt, az, ctx.SunRA, ctx.SunDec);
      const bool up = alt > 0;
      rise = up ? -1 : 25;
      set = up ? 25 : -1;
    }
  }
  static const struct {
    int count;
    double radius;
  } levels[4] = {{2, 1}, {3, 2}, {4, 5}, {5, 10}};
  struct Group {
    double score = 0, separation = 0;
    int primary = 0, level = 0;
    double hours = 0;
    std::vector<int> members;
  };
  const int nBodies = BodyCount();
  auto groupAt = [&](const Samples& smp, double hours, int primary, int level, TObserverTime& at, Group& g,
                     double floor) {
    const double radius = levels[level].radius;
    double alt, az;
    EquatorialToHorizontal(at, alt, az, smp[primary].ra, smp[primary].dec);
    if (alt <= 0) return false;
    const bool night = (hours >= 12 && hours > set) || (hours < 12 && hours < rise);
    if (!night) return false;
    const double pra = Deg(smp[primary].ra);
    const bool turn = pra < 20 || pra > 340;
    auto raDeg = [&](float r) { return turn ? Wrap(Deg(r) + 180, 0) : Deg(r); };
    g.members.assign(1, primary);
    g.separation = 0;
    for (int b = 1; b <= nBodies; ++b) {
      if (b == primary) continue;
      const double dra = raDeg(smp[b].ra) - raDeg(smp[primary].ra);
      const double ddec = Deg(smp[b].dec) - Deg(smp[primary].dec);
      if (std::fabs(dra) > radius || std::fabs(ddec) > radius) continue;
      const double dist = std::sqrt(dra * dra + ddec * ddec);
      if (dist > radius) continue;
      EquatorialToHorizontal(at, alt, az, smp[b].ra, smp[b].dec);
      if (alt <= 0) continue;
      g.members.push_back(b);
      g.separation = std::max(g.separation, dist);
    }
    const int count = int(g.members.size());
    if (count < levels[level].count) return false;
    const double sep = std::max(g.separation, floor);
    g.score = double(count) * count * count / sep;
    g.separation = sep;
    return true;
  };
  Group best;
  for (int k = 1; k <= 25; ++k) {
    AtHour(w, rec, k - 1);
    for (int primary = 1; primary <= 9; ++primary)
      for (int level = 0; level < 4; ++level) {
        Group g;
        if (!groupAt(hourly[k], k - 1, primary, level, w, g, 1 / 30.0)) continue;
        if (g.score > 0.5 && g.score > best.score) {
          g.primary = primary;
          g.level = level;
          g.hours = k - 1;
          best = g;
        }
      }
  }
  const bool separated = !text.empty() && best.primary;
  if (separated) text += ". ";
  const std::size_t groupStart = text.size();
  if (best.primary) {
    // Refine minute by minute within 90 minutes.
    Group fine;
    Samples smp;
    for (int m = -90; m <= 90; ++m) {
      const double h = best.hours + m / 60.0;
      SampleBodies(rec, h, smp, w);
      Group g;
      if (!groupAt(smp, h, best.primary, best.level, w, g, 0.000001)) continue;
      if (g.score > fine.score) {
        g.hours = h;
        g.primary = best.primary;
        fine = g;
      }
    }
    if (fine.primary && fine.hours >= 0 && fine.hours < 24) {
      const double sep = fine.separation;
      std::string sepText;
      if (sep >= 5) sepText = std::to_string(std::lround(sep)) + "°";
      else if (sep >= 1) sepText = TrimBlanks(platform::FormatFixed(sep, 0, 1)) + "°";
      else sepText = std::to_string(int(std::trunc(sep * 60))) + "'";
      const std::string time = ClockForm12(fine.hours);
      std::vector<std::string> names;
      for (int b : fine.members) names.push_back(BodyName(b));
      auto join = [&](std::size_t from, const char* sepWord) {
        std::string s;
        for (std::size_t i = from; i < names.size(); ++i) s += (i > from ? sepWord : "") + names[i];
        return s;
      };
      double moonRadius = 0;
      if (fine.primary == 1) {
        AtHour(w, rec, fine.hours);
        moonRadius = Deg(MoonAt(w).diameter) / 2;
      }
      if (fine.primary == 1 && sep < moonRadius) {
        text += "The Moon occulates " + (names.size() == 2 ? names[1] : join(0, ", ")) + " at " + time;
      } else if (names.size() == 2) {
        text += names[0] + " and " + names[1] + " pass within " + sepText + " at " + time;
      } else {
        text += join(0, ", ") + " are within " + sepText + " at " + time;
      }
      day.groupCount = int(fine.members.size());
      day.groupKey.clear();
      for (int b : fine.members) day.groupKey += " " + std::to_string(b);
      day.groupSeparation = sep;
      day.groupText = text.substr(groupStart);
    }
  }
  // A grouping that was not reported leaves no separator behind.
  if (separated && text.size() == groupStart) text.resize(groupStart - 2);
  return text;
}

std::string TEventsCalendar::MeteorSearch(int month, int day) {
  char mmdd[8];
  std::snprintf(mmdd, sizeof mmdd, "%02d%02d", month, day);
  std::vector<std::string> names;
  for (int i = 1; i <= kMeteorShowerCount; ++i)
    if (MeteorShowers[i].maximum == std::string(mmdd) && MeteorShowers[i].name[0] != '~')
      names.push_back(MeteorShowers[i].name);
  if (names.empty()) return std::string();
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) joined += (i ? " and " : "") + names[i];
  return "The " + joined + (names.size() == 1 ? " meteor shower peaks tonight" : " meteor showers peak tonight");
}

void TEventsCalendar::ApplyRepeatRule(std::array<TCalendarDay, 32>& days, int count) {
  std::vector<bool> drop(std::size_t(count + 1), false);
  for (int i = 1; i <= count; ++i)
    for (int j = 1; j <= count; ++j) {
      if (i == j || days[i].groupCount == 0) continue;
      if (days[i].groupKey != days[j].groupKey) continue;
      if (!(days[i].groupSeparation < days[j].groupSeparation) || std::abs(i - j) >= 10) continue;
      drop[std::size_t(j)] = true;
    }
  for (int j = 1; j <= count; ++j) {
    if (!drop[std::size_t(j)] || days[j].groupText.empty()) continue;
    // Only the grouping sentence goes; the day's other planet events stay.
    std::string& t = days[j].text;
    const auto a = t.find('~');
    const auto b = a == std::string::npos ? a : t.find('~', a + 1);
    if (b == std::string::npos) continue;
    std::string planets = t.substr(a + 1, b - a - 1);
    const auto g = planets.rfind(days[j].groupText);
    if (g == std::string::npos) continue;
    // The sentence goes with the separator before it, if any.
    const std::size_t from = g >= 2 && planets.compare(g - 2, 2, ". ") == 0 ? g - 2 : g;
    planets.erase(from, g + days[j].groupText.size() - from);
    if (planets == ". ") planets.clear();
    t = t.substr(0, a + 1) + planets + t.substr(b);
  }
}
