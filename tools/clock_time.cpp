#include "tools/clock_time.h"

#include <algorithm>
#include <cmath>

#include "astro/observer.h"
#include "astro/text.h"
#include "astro/timescales.h"
#include "chart/inset_host.h"
#include "platform/codec.h"
#include "platform/numfmt.h"
#include "platform/registry.h"

int32_t StartupTimeMode = 1;
bool StartupStopTime = false;
std::string StartupLocalText, StartupUniversalText;
double StartupLocalHours = -1, StartupUniversalHours = -1;

namespace {

constexpr const char* kSection = "Startup Time";

// Reads the two characters at 1-based position `pos`, blanks as "0".
bool TwoDigits(const std::string& text, std::size_t pos, int& value) {
  std::string s = text.size() >= pos + 1 ? text.substr(pos - 1, 2) : text.size() >= pos ? text.substr(pos - 1) : "";
  for (char& c : s)
    if (c == ' ') c = '0';
  int32_t v;
  if (s.empty() || !platform::ParseInt32(s, v) || s.find_first_of("+-") != std::string::npos) return false;
  value = v;
  return true;
}

bool ClockParts(const std::string& text, int& h, int& m, int& s) {
  if (!TwoDigits(text, 1, h) || !TwoDigits(text, 4, m) || !TwoDigits(text, 7, s)) return false;
  h = std::clamp(h, 0, 23), m = std::clamp(m, 0, 59), s = std::clamp(s, 0, 59);
  return true;
}

bool InGap(int year, int month, int day) { return year == 1582 && month == 10 && day >= 5 && day <= 14; }

// The date and hours the tool edits, and setting them back.
struct ToolDate {
  int year, month, day;
  double hours;
};

ToolDate GetDate(const TObserverTime& obs, bool local) {
  ToolDate d;
  JulianDayToDate(local ? obs.JD_LocalCivil : obs.JD_UT, d.year, d.month, d.day, d.hours);
  return d;
}

bool SetDate(TObserverTime& obs, bool local, ToolDate d) {
  if (d.year < -2000 || d.year > 3000 || d.month < 1 || d.month > 12) return false;
  d.day = std::min(d.day, DaysInMonth(d.year, d.month));
  if (InGap(d.year, d.month, d.day)) d.day = 15;
  const double jd = JulianDay(d.year, d.month, d.day, d.hours);
  if (local)
    SetObserverLocalCivil(obs, jd);
  else
    SetObserverUT(obs, jd);
  return true;
}

}  // namespace

// --- Text fields ------------------------------------------------------------------

std::string ClockTimeText(double hours) {
  std::string s = TrimBlanks(FormatHoursHM2(hours));
  return s.size() == 7 ? "0" + s : s;
}

bool ParseClockTime(const std::string& text, double& hours) {
  int h, m, s;
  if (!ClockParts(text, h, m, s)) return false;
  hours = h + (m + s / 60.0) / 60.0;
  return true;
}

std::string JulianDayText(double jd) { return ZeroFill(platform::FormatFixed(jd, 15, 6)); }

double FirstToolJulianDay() { return JulianDay(-2000, 1, 1, 0); }
double LastToolJulianDay() { return JulianDay(3000, 12, 31, 23.9997); }

bool ParseJulianDayText(const std::string& text, double& jd) {
  const std::size_t dot = text.find('.');
  std::string t = dot == std::string::npos ? TrimBlanks(text)
                                           : TrimBlanks(text.substr(0, dot)) + "." + TrimBlanks(text.substr(dot + 1));
  if (t.empty() || t.find_first_not_of("0123456789.") != std::string::npos) return false;
  if (t.back() == '.') t.pop_back();
  double v;
  if (!platform::ParseDouble(t, v) || v < FirstToolJulianDay() || v > LastToolJulianDay()) return false;
  jd = v;
  return true;
}

// --- Month grid -------------------------------------------------------------------

void MonthGridCell(int year, int month, int day, int& row, int& column) {
  const int w = WeekdayFromJulianDay(JulianDay(year, month, 1, 12));
  column = (day + w - 1) % 7;
  row = (day + w - 1) / 7 + 1;
}

TMonthGrid MonthGrid(int year, int month) {
  static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  TMonthGrid g;
  for (int c = 0; c < 7; ++c) g[0][std::size_t(c)] = kDays[c];
  const int n = DaysInMonth(year, month);
  for (int d = 1; d <= n; ++d) {
    int r, c;
    MonthGridCell(year, month, d, r, c);
    if (r <= 6) g[std::size_t(r)][std::size_t(c)] = InGap(year, month, d) ? "X" : std::to_string(d);
  }
  return g;
}

// --- Edits ---------------------------------------------------------------------------

bool SetToolYear(TObserverTime& obs, bool local, int year) {
  ToolDate d = GetDate(obs, local);
  d.year = year;
  return SetDate(obs, local, d);
}

bool SetToolYearText(TObserverTime& obs, bool local, const std::string& text, bool bc) {
  int32_t y;
  if (!platform::ParseInt32(TrimBlanks(text), y)) return false;
  return SetToolYear(obs, local, bc ? -y : y);
}

bool SetToolMonth(TObserverTime& obs, bool local, int month) {
  ToolDate d = GetDate(obs, local);
  d.month = month;
  return SetDate(obs, local, d);
}

bool SetToolDay(TObserverTime& obs, bool local, const std::string& cellText) {
  int32_t day;
  if (!platform::ParseInt32(TrimBlanks(cellText), day)) return false;  // empty or "X"
  ToolDate d = GetDate(obs, local);
  if (day < 1 || day > DaysInMonth(d.year, d.month) || InGap(d.year, d.month, day)) return false;
  d.day = day;
  return SetDate(obs, local, d);
}

bool SetToolTime(TObserverTime& obs, bool local, const std::string& text) {
  ToolDate d = GetDate(obs, local);
  if (!ParseClockTime(text, d.hours)) return false;
  return SetDate(obs, local, d);
}

bool SetToolJulianDay(TObserverTime& obs, const std::string& text) {
  double jd;
  if (!ParseJulianDayText(text, jd)) return false;
  SetObserverUT(obs, jd);
  return true;
}

void SetToolDaylightSaving(TObserverTime& obs, bool on) {
  const TIME_ZONE_INFORMATION tz = obs.TimeZone;
  SetObserverTimeZone(obs, tz, on ? 1 : 0);
}

std::string YearText(int year) { return platform::FormatInt(std::abs(year), 4); }
const char* EraText(int year) { return year >= 0 ? "AD" : "BC"; }

TClockFields ClockFields(const TObserverTime& obs) {
  TClockFields f;
  f.LocalLabel = obs.DaylightInEffect ? "Local Time (DST):" : "Local Time (LMT):";
  double h;
  JulianDayToDate(obs.JD_LocalCivil, f.LocalYear, f.LocalMonth, f.LocalDay, h);
  f.LocalTime = ClockTimeText(h);
  double lst;
  LocalSiderealTime(obs, lst, obs.JD_TT);
  f.SiderealTime = ClockTimeText(lst);
  JulianDayToDate(obs.JD_UT, f.UniversalYear, f.UniversalMonth, f.UniversalDay, h);
  f.UniversalTime = ClockTimeText(h);
  f.JulianDay = JulianDayText(obs.JD_UT);
  return f;
}

// --- Start-up time ------------------------------------------------------------------

double StartTextHours(const std::string& text) {
  int h, m, s;
  if (!ClockParts(text, h, m, s)) return -1;
  return h + (m + s / 60.0) / 60.0;
}

void ReadRegStartupTime() {
  platform::TRegIniFile reg;
  StartupTimeMode = reg.ReadInteger(kSection, "Mode", 1, 1, 6);
  StartupStopTime = reg.ReadBool(kSection, "Stop Time", false);
  StartupLocalText = reg.ReadString(kSection, "Time Local", "").substr(0, 80);
  StartupUniversalText = reg.ReadString(kSection, "Time Universal", "").substr(0, 80);
  StartupLocalHours = StartTextHours(StartupLocalText);
  StartupUniversalHours = StartTextHours(StartupUniversalText);
  // A specific time that does not read would start the chart at a
  // meaningless hour: use the actual time instead.
  if ((StartupTimeMode == 5 && StartupLocalHours < 0) || (StartupTimeMode == 6 && StartupUniversalHours < 0))
    StartupTimeMode = 1;
}

void WriteRegStartupTime() {
  platform::TRegIniFile reg;
  reg.WriteInteger(kSection, "Mode", StartupTimeMode);
  reg.WriteBool(kSection, "Stop Time", StartupStopTime);
  reg.WriteString(kSection, "Time Local", StartupLocalText);
  reg.WriteString(kSection, "Time Universal", StartupUniversalText);
  reg.Flush();
}

// --- Slot 10 ---------------------------------------------------------------------------

std::vector<uint8_t> EncodeClockTimeBlock(const TObserverTime& obs) {
  std::vector<uint8_t> b(kClockTimeBlockBytes);
  platform::PutF64(b.data(), obs.JD_UT);
  return b;
}

bool ReadClockTimeBlock(TObserverTime& obs, const std::vector<uint8_t>* block) {
  bool ok = true;
  if (block != nullptr) {
    const double jd = block->size() == kClockTimeBlockBytes ? platform::GetF64(block->data()) : NAN;
    ok = std::isfinite(jd) && jd >= FirstToolJulianDay() && jd <= LastToolJulianDay();
    if (ok) SetObserverUT(obs, jd);
  }
  RequestChartReplot();
  return ok;
}
