// Text, number and date routines.
#include "astro/text.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "astro/timescales.h"
#include "astro/trig.h"
#include "platform/data_file.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/float_to_int.h"
#include "platform/numfmt.h"

// --- Strings ---------------------------------------------------------------

std::string TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

std::string TrimSpaces(std::string_view s) { return TrimBlanks(s); }

void TrimNumber(std::string& s) {
  // Leading blanks.
  std::size_t lead = s.find_first_not_of(' ');
  s.erase(0, lead == std::string::npos ? s.size() : lead);
  // Trailing zeros of a decimal fraction.
  if (s.find('.') != std::string::npos)
    while (!s.empty() && s.back() == '0') s.pop_back();
  // Trailing blanks, then one trailing point.
  while (!s.empty() && s.back() == ' ') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
}

std::string CopyTrimZeros(std::string_view s, int index, int count) {
  std::string part;
  if (index < 1) index = 1;
  if (count > 0 && std::size_t(index) <= s.size()) part = std::string(s.substr(index - 1, count));
  TrimNumber(part);
  return part;
}

std::string ZeroFill(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c == ' ') c = '0';
  return r;
}

namespace {

int LimitWidth(int width) { return width < 0 ? 0 : (width > 255 ? 255 : width); }

}  // namespace

std::string PadRight(std::string_view s, int width) {
  std::size_t w = std::size_t(LimitWidth(width));
  std::size_t n = platform::CharCount(s);
  if (n >= w) return platform::CutToChars(s, w);
  return std::string(s) + std::string(w - n, ' ');
}

std::string PadLeft(std::string_view s, int width) {
  std::size_t w = std::size_t(LimitWidth(width));
  std::size_t n = platform::CharCount(s);
  if (n >= w) return platform::CutToChars(s, w);
  return std::string(w - n, ' ') + std::string(s);
}

std::string UpperCaseStr(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return r;
}

int RPosN(std::string_view sub, std::string_view s, int n) {
  if (sub.empty() || sub.size() > s.size() || n < 1) return 0;
  // Walk the starting positions from the end; overlapping matches count.
  for (std::size_t i = s.size() - sub.size() + 1; i-- > 0;)
    if (s.compare(i, sub.size(), sub) == 0 && --n == 0) return int(i) + 1;
  return 0;
}

int32_t BinStrToInt(std::string_view s) {
  // Leading zeros carry no value.
  while (!s.empty() && s.front() == '0') s.remove_prefix(1);
  // More than 31 significant digits cannot be held: saturate.
  if (s.size() > 31) return INT32_MAX;
  int32_t v = 0;
  for (char c : s) v = int32_t(v * 2 + (c == '1' ? 1 : 0));
  return v;
}

// --- Angles and times as text ------------------------------------------------

namespace {

// A tiny amount added before truncating a whole number of units, so that
// 59.9999999 (a rounding of 60) shows as 60 units rather than 59.
constexpr double kTruncGuard = 1e-7;

// Hours of a right ascension in radians, in [0, 24).
double RAHours(double ra) {
  double h = ra * DegPerRad / 15.0;
  AdjHours(h);
  return h;
}

// Whole units of `perHour` per hour of h in [0, 24), truncated, reduced
// modulo one day.
int64_t TruncatedUnits(double h, int64_t perHour) {
  int64_t t = platform::ClampFloatToInt<int64_t>(std::floor(h * double(perHour) + kTruncGuard));
  int64_t day = 24 * perHour;
  return ((t % day) + day) % day;
}

// Whole units of `perHour` per hour of h in [0, 24), rounded, modulo a day.
int64_t RoundedUnits(double h, int64_t perHour) {
  int64_t t = platform::ClampFloatToInt<int64_t>(std::nearbyint(h * double(perHour)));
  int64_t day = 24 * perHour;
  return ((t % day) + day) % day;
}

std::string Two(int64_t v) { return platform::FormatInt(v, 2, true); }

// The degrees field: at least three wide, with "-" before a negative angle
// whose degrees are 0 ("-0"). Wider values are shown whole, never cut.
std::string DegreeField(bool negative, int64_t degrees) {
  std::string d = std::to_string(degrees);
  if (negative) d = "-" + d;
  return d.size() >= 3 ? d : PadLeft(d, 3);
}

}  // namespace

std::string FormatRA_HMSs(double ra) {
  if (!std::isfinite(ra)) return NoAngleText;
  // Tenths of a second.
  int64_t t = RoundedUnits(RAHours(ra), 36000);
  return platform::FormatInt(t / 36000, 2) + "h" + Two(t / 600 % 60) + "m" +
         ZeroFill(platform::FormatFixed(double(t % 600) / 10.0, 4, 1)) + "s";
}

std::string FormatRA_HMS(double ra) {
  if (!std::isfinite(ra)) return NoAngleText;
  int64_t t = TruncatedUnits(RAHours(ra), 3600);
  return platform::FormatInt(t / 3600, 2) + "h" + Two(t / 60 % 60) + "m" + Two(t % 60) + "s";
}

std::string FormatRA_HM(double ra) {
  if (!std::isfinite(ra)) return NoAngleText;
  int64_t t = TruncatedUnits(RAHours(ra), 60);
  return platform::FormatInt(t / 60, 2) + "h" + Two(t % 60) + "m";
}

std::string FormatDMS(double angle) {
  double d = angle * DegPerRad;
  // Whole arcseconds of the magnitude, rounded, then split with carries; an
  // angle whose count does not fit 32 bits (about 596,000°) is refused.
  int32_t t;
  if (!platform::FloatToInt(std::nearbyint(std::fabs(d) * 3600.0), t)) return NoAngleText;
  bool negative = d < 0 && t > 0;
  return DegreeField(negative, t / 3600) + "°" + Two(t / 60 % 60) + "'" + Two(t % 60) + "\"";
}

std::string FormatDegMin(double angle) {
  double d = angle * DegPerRad;
  // Tenths of an arcminute of the magnitude; refused beyond 32 bits.
  int32_t t;
  if (!platform::FloatToInt(std::nearbyint(std::fabs(d) * 600.0), t)) return NoAngleText;
  bool negative = d < 0 && t > 0;
  return DegreeField(negative, t / 600) + "°" +
         ZeroFill(platform::FormatFixed(double(t % 600) / 10.0, 4, 1)) + "'";
}

std::string FormatDegrees1(double angle) {
  if (!std::isfinite(angle)) return NoAngleText;
  return platform::FormatFixed(angle * DegPerRad, 5, 1) + "°";
}

std::string FormatHoursHM(double hours) {
  if (!std::isfinite(hours)) return NoAngleText;
  AdjHours(hours);
  int64_t t = RoundedUnits(hours, 60);
  return " " + platform::FormatInt(t / 60, 2) + ":" + Two(t % 60) + " ";
}

std::string FormatHoursHM2(double hours) {
  if (!std::isfinite(hours)) return NoAngleText;
  AdjHours(hours);
  int64_t t = TruncatedUnits(hours, 3600);
  return " " + platform::FormatInt(t / 3600, 2) + ":" + Two(t / 60 % 60) + ":" + Two(t % 60);
}

// --- Parsing ---------------------------------------------------------------

namespace {

// A decimal number followed by one of two letters (either case) and nothing
// else; no sign anywhere. Sets the number and which letter was found.
bool NumberWithLetter(std::string_view text, char first, char second, double& value,
                      bool& isFirst) {
  std::string t = TrimBlanks(text);
  if (t.empty() || t.find_first_of("+-") != std::string::npos) return false;
  char c = char(std::toupper(static_cast<unsigned char>(t.back())));
  if (c != first && c != second) return false;
  t.pop_back();
  if (!platform::ParseDouble(t, value)) return false;
  isFirst = c == first;
  return true;
}

// One numeric field of a sexagesimal text; a bad field raises.
double Field(std::string_view text, std::string_view whole) {
  double v;
  if (!platform::ParseDouble(text, v))
    throw EConvertError("'" + std::string(whole) + "' is not a valid number");
  return v;
}

// Value of a sexagesimal text "dd<sep>mm[<sep>ss[unit]]" in units of its
// first field; a one-digit first field is read as two digits. Plain
// decimal numbers are taken as they are.
double Sexagesimal(std::string_view text, std::string_view separators) {
  std::string t = TrimBlanks(text);
  std::size_t sep = t.find_first_of(separators);
  if (sep == std::string::npos) return Field(t, text);
  // Whole units, then two minute digits, then the seconds that remain
  // after the second separator (a trailing unit letter is dropped).
  double units = Field(std::string_view(t).substr(0, sep), text);
  std::string rest = t.substr(sep + 1);
  double minutes = Field(std::string_view(rest).substr(0, 2), text);
  double seconds = 0;
  if (rest.size() > 3) {
    std::string s = rest.substr(3);
    while (!s.empty() && std::string_view("sS\"'").find(s.back()) != std::string_view::npos)
      s.pop_back();
    if (!s.empty()) seconds = Field(s, text);
  }
  return units + minutes / 60.0 + seconds / 3600.0;
}

}  // namespace

double ParseLatitude(std::string_view text) {
  double v;
  bool north;
  if (!NumberWithLetter(text, 'N', 'S', v, north)) return ParseError;
  if (!(v >= 0 && v <= 90)) return ParseError;
  return (north ? v : -v) / DegPerRad;
}

double ParseLongitude(std::string_view text) {
  double v;
  bool west;
  if (!NumberWithLetter(text, 'W', 'E', v, west)) return ParseError;
  if (!(v >= 0 && v <= 180)) return ParseError;
  // Positive west; east longitudes become 360° - v.
  double deg = west || v == 0 ? v : 360.0 - v;
  return deg / DegPerRad;
}

double ParseTimeZone(std::string_view text) {
  int64_t v;
  if (!platform::ParseInt(TrimBlanks(text), v) || v < -12 || v > 12) return ParseError;
  return double(v);
}

double ParseHours(std::string_view text) {
  return Sexagesimal(text, "hH:") * 15.0 / DegPerRad;
}

double ParseDegrees(std::string_view text) {
  std::string t = TrimBlanks(text);
  // The sign belongs to the whole angle.
  bool negative = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t.erase(0, 1);
  }
  // The degree sign is two bytes in UTF-8; read it as "d".
  for (std::size_t p; (p = t.find("°")) != std::string::npos;) t.replace(p, 2, "d");
  if (!t.empty() && (t.front() == '-' || t.front() == '+'))
    throw EConvertError("'" + std::string(text) + "' is not a valid number");
  double d = Sexagesimal(t, "dD:*");
  return (negative ? -d : d) / DegPerRad;
}

// --- Angle and calendar arithmetic --------------------------------------------

void AngleAdj(double& x) {
  // Out of range (or not a number): 0 and a warning.
  if (!(std::fabs(x) <= 1e10)) {
    x = 0.0;
    platform::ShowMessageBox("Error in \"AngleAdj\", parameter out of range.",
                             "Noctra Planetarium", platform::MsgButtons::Ok,
                             platform::MsgIcon::Exclamation);
    return;
  }
  ReduceRadians(x);
}

void AngleAdjTenths(int& n) {
  n %= 3600;
  if (n < 0) n += 3600;
}

void AdjHours(double& h) { ReduceHours(h); }

double AngleDifference(double a, double b) {
  AngleAdj(a);
  AngleAdj(b);
  double d = std::fabs(b - a);
  if (d > M_PI) d = std::fabs(d - TwoPi);
  return d;
}

double AngularDistance(double ra1, double dec1, double ra2, double dec2) {
  double dra = AngleDifference(ra1, ra2);
  double ddec = dec1 - dec2;
  return std::sqrt(dra * dra + ddec * ddec);
}

double RoundNice(double x) {
  // Steps by size; halves go to the even neighbour.
  auto multiple = [x](double step) { return std::nearbyint(x / step) * step; };
  if (x >= 10000) return multiple(5000);
  if (x >= 1000) return multiple(500);
  if (x >= 100) return multiple(50);
  if (x >= 10) return multiple(5);
  if (x >= 1) return std::nearbyint(x);
  if (x > 0.1) return std::nearbyint(x * 10) / 10;
  if (x > 0.01) return std::nearbyint(x * 100) / 100;
  if (x > 0.001) return std::nearbyint(x * 1000) / 1000;
  return x;
}

bool IsLeapYear(double year) {
  // Divisible when the quotient's fraction is within 1e-5 of a whole number.
  auto divisible = [year](double k) {
    double q = year / k;
    return std::fabs(q - std::nearbyint(q)) < 1e-5;
  };
  if (!divisible(4)) return false;
  if (!divisible(100)) return true;
  return divisible(400);
}

int DaysInMonth(double year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return days[month - 1];
}

int WeekdayFromJulianDay(double jd) { return DayOfWeekJD(jd); }

// --- Files -------------------------------------------------------------------

bool FileCanOpen(const std::string& name) {
  // A regular file only: a pipe in a file's place is never opened.
  return platform::DataFileRefusal(name).empty();
}

bool IsValidFileName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 1 && u < 32) || std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos)
      return false;
  }
  // Reserved device names, alone or before an extension.
  static constexpr std::string_view devices[] = {
      "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
      "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  for (std::string_view d : devices)
    if (name.substr(0, d.size()) == d && (name.size() == d.size() || name[d.size()] == '.'))
      return false;
  return true;
}

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Wildcard match of a file name, ASCII case ignored; iterative with
// backtracking to the last "*".
bool MaskMatches(std::string_view mask, std::string_view name) {
  std::size_t m = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      mark = n;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool FindFiles(const std::string& folder, const std::string& mask, TSearchRec& found) {
  found = TSearchRec{};
  // One separator between folder and mask, whichever side brought it.
  std::string dir = folder;
  while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  std::string pattern = mask;
  while (!pattern.empty() && (pattern.front() == '/' || pattern.front() == '\\'))
    pattern.erase(0, 1);
  if (dir.empty() && !folder.empty()) dir = "/";
  if (dir.empty()) dir = ".";
  namespace fs = std::filesystem;
  std::error_code ec;
  bool any = false;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (!it->is_regular_file(e2)) continue;
    std::string name = it->path().filename().string();
    if (!MaskMatches(pattern, name)) continue;
    auto stamp = it->last_write_time(e2);
    if (e2) continue;
    double t = std::chrono::duration<double>(
                   std::chrono::file_clock::to_sys(stamp).time_since_epoch())
                   .count();
    // Keep the newest; a tie keeps the earlier one.
    if (!any || t > found.Time) {
      found.Name = name;
      found.Time = t;
      found.Size = int64_t(it->file_size(e2));
      any = true;
    }
  }
  return any;
}

bool BrowseForFolder(const std::string& title, std::string& path) {
  std::string chosen = path;
  if (!platform::Dialogs().BrowseForFolder(title, chosen)) return false;
  path = chosen;
  return true;
}

bool BrowseForFolder(const void* /*owner*/, const std::string& title, std::string& path) {
  return BrowseForFolder(title, path);
}
