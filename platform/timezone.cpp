#include "platform/timezone.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "platform/data_file.h"

namespace platform {

void WriteSystemTime(ByteWriter& w, const SYSTEMTIME& st) {
  w.U16(st.wYear);
  w.U16(st.wMonth);
  w.U16(st.wDayOfWeek);
  w.U16(st.wDay);
  w.U16(st.wHour);
  w.U16(st.wMinute);
  w.U16(st.wSecond);
  w.U16(st.wMilliseconds);
}

SYSTEMTIME ReadSystemTime(ByteReader& r) {
  SYSTEMTIME st;
  st.wYear = r.U16();
  st.wMonth = r.U16();
  st.wDayOfWeek = r.U16();
  st.wDay = r.U16();
  st.wHour = r.U16();
  st.wMinute = r.U16();
  st.wSecond = r.U16();
  st.wMilliseconds = r.U16();
  return st;
}

void WriteTimeZoneInformation(ByteWriter& w, const TIME_ZONE_INFORMATION& tzi) {
  w.I32(tzi.Bias);
  for (char16_t c : tzi.StandardName) w.U16(uint16_t(c));
  WriteSystemTime(w, tzi.StandardDate);
  w.I32(tzi.StandardBias);
  for (char16_t c : tzi.DaylightName) w.U16(uint16_t(c));
  WriteSystemTime(w, tzi.DaylightDate);
  w.I32(tzi.DaylightBias);
}

TIME_ZONE_INFORMATION ReadTimeZoneInformation(ByteReader& r) {
  TIME_ZONE_INFORMATION tzi;
  tzi.Bias = r.I32();
  for (char16_t& c : tzi.StandardName) c = char16_t(r.U16());
  tzi.StandardDate = ReadSystemTime(r);
  tzi.StandardBias = r.I32();
  for (char16_t& c : tzi.DaylightName) c = char16_t(r.U16());
  tzi.DaylightDate = ReadSystemTime(r);
  tzi.DaylightBias = r.I32();
  return tzi;
}

void SetZoneName(char16_t (&field)[32], const std::string& utf8) {
  for (char16_t& c : field) c = 0;
  // Zone abbreviations are ASCII; other bytes are kept as Latin-1 code units.
  std::size_t n = 0;
  for (unsigned char ch : utf8) {
    if (n >= 31) break;
    field[n++] = char16_t(ch);
  }
}

std::string ZoneName(const char16_t (&field)[32]) {
  std::string s;
  for (char16_t c : field) {
    if (c == 0) break;
    s += c < 0x80 ? char(c) : '?';
  }
  return s;
}

namespace {

// Reads a zone abbreviation: letters, or any characters inside "<...>".
bool ParseName(const std::string& s, std::size_t& i, std::string& name) {
  name.clear();
  if (i < s.size() && s[i] == '<') {
    const auto close = s.find('>', i);
    if (close == std::string::npos) return false;
    name = s.substr(i + 1, close - i - 1);
    i = close + 1;
    return !name.empty();
  }
  while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) name += s[i++];
  return name.size() >= 3;
}

// Reads a run of decimal digits as a number no larger than `max`. A run
// that is empty or whose value exceeds `max` is refused, so that long digit
// runs cannot overflow.
bool ParseBounded(const std::string& s, std::size_t& i, long max, long& value) {
  if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  long v = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    v = v * 10 + (s[i++] - '0');
    if (v > max) return false;
  }
  value = v;
  return true;
}

// Reads [+-]hh[:mm[:ss]] as seconds; hours at most `maxHours`, minutes and
// seconds at most 59.
bool ParseClock(const std::string& s, std::size_t& i, long maxHours, long& seconds) {
  int sign = 1;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) sign = s[i++] == '-' ? -1 : 1;
  long parts[3] = {0, 0, 0};
  if (!ParseBounded(s, i, maxHours, parts[0])) return false;
  for (int k = 1; k < 3 && i < s.size() && s[i] == ':'; ++k) {
    ++i;
    if (!ParseBounded(s, i, 59, parts[k])) return false;
  }
  seconds = sign * (parts[0] * 3600 + parts[1] * 60 + parts[2]);
  return true;
}

// Offsets from UT reach 24 hours (POSIX); change-over times reach 167 hours
// (the extension of RFC 8536 that zone files use).
constexpr long kMaxOffsetHours = 24;
constexpr long kMaxChangeHours = 167;

// Reads one change-over "Mm.w.d[/time]". Returns false when malformed;
// `representable` is cleared for Julian-day forms and hours outside 0..23.
bool ParseChange(const std::string& s, std::size_t& i, SYSTEMTIME& st, bool& representable) {
  if (i < s.size() && s[i] == 'M') {
    ++i;
    long v[3] = {0, 0, 0};
    static constexpr long kMax[3] = {12, 5, 6};
    for (int k = 0; k < 3; ++k) {
      if (!ParseBounded(s, i, kMax[k], v[k])) return false;
      if (k < 2) {
        if (i >= s.size() || s[i] != '.') return false;
        ++i;
      }
    }
    if (v[0] < 1 || v[1] < 1) return false;
    st.wMonth = uint16_t(v[0]);
    st.wDay = uint16_t(v[1]);
    st.wDayOfWeek = uint16_t(v[2]);
  } else {
    // Jn (1..365) or n (0..365): a day of the year, which the record cannot
    // hold.
    const bool julian = i < s.size() && s[i] == 'J';
    if (julian) ++i;
    long day = 0;
    if (!ParseBounded(s, i, 365, day) || (julian && day < 1)) return false;
    representable = false;
  }
  long t = 2 * 3600;
  if (i < s.size() && s[i] == '/') {
    ++i;
    if (!ParseClock(s, i, kMaxChangeHours, t)) return false;
  }
  if (t < 0 || t >= 24 * 3600) representable = false;
  if (representable) {
    st.wHour = uint16_t(t / 3600);
    st.wMinute = uint16_t(t / 60 % 60);
    st.wSecond = uint16_t(t % 60);
  }
  return true;
}

// The zone files and tables: a few kilobytes each. A zone named by TZ may
// be any file: a pipe or a device there is never read, nor a file larger
// than this.
constexpr uint64_t kZoneFileBytes = 1024 * 1024;

std::string ReadWholeFile(const std::string& path) {
  const auto bytes = ReadDataFileBytesUpTo(path, kZoneFileBytes);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// The POSIX rule that ends a version 2 or later zone file ("\n<rule>\n").
bool PosixRuleOfZoneFile(const std::string& bytes, std::string& rule) {
  if (bytes.size() < 44 || bytes.compare(0, 4, "TZif") != 0 || bytes[4] < '2') return false;
  if (bytes.back() != '\n') return false;
  const auto start = bytes.rfind('\n', bytes.size() - 2);
  if (start == std::string::npos) return false;
  rule = bytes.substr(start + 1, bytes.size() - start - 2);
  return !rule.empty();
}

}  // namespace

bool TimeZoneFromPosix(const std::string& posix, TIME_ZONE_INFORMATION& tzi) {
  TIME_ZONE_INFORMATION z;
  std::size_t i = 0;
  std::string stdName, dstName;
  long stdOffset = 0;
  if (!ParseName(posix, i, stdName) || !ParseClock(posix, i, kMaxOffsetHours, stdOffset)) return false;
  SetZoneName(z.StandardName, stdName);
  z.Bias = int32_t(stdOffset / 60);
  if (i < posix.size()) {
    if (!ParseName(posix, i, dstName)) return false;
    long dstOffset = stdOffset - 3600;
    if (i < posix.size() && posix[i] != ',' && !ParseClock(posix, i, kMaxOffsetHours, dstOffset)) return false;
    SetZoneName(z.DaylightName, dstName);
    SYSTEMTIME start, end;
    bool representable = true;
    if (i < posix.size() && posix[i] == ',') {
      ++i;
      if (!ParseChange(posix, i, start, representable)) return false;
      if (i >= posix.size() || posix[i] != ',') return false;
      ++i;
      if (!ParseChange(posix, i, end, representable)) return false;
    } else {
      // A daylight name without rules: POSIX's default, the US rule.
      start.wMonth = 3, start.wDay = 2, start.wHour = 2;
      end.wMonth = 11, end.wDay = 1, end.wHour = 2;
    }
    if (i != posix.size()) return false;
    // A zone that is "always daylight" (e.g. "EST5EDT,0/0,J365/25") or whose
    // change-overs the record cannot hold keeps its standard offset only.
    if (representable) {
      z.DaylightDate = start;
      z.StandardDate = end;
      z.DaylightBias = int32_t((dstOffset - stdOffset) / 60);
    }
  }
  tzi = z;
  return true;
}

bool TimeZoneFromIana(const std::string& name, TIME_ZONE_INFORMATION& tzi) {
  if (name.empty()) return false;
  std::string path = name;
  if (name[0] != '/') {
    const char* dir = std::getenv("TZDIR");
    path = std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + "/" + name;
  }
  std::string rule;
  if (!PosixRuleOfZoneFile(ReadWholeFile(path), rule)) return false;
  return TimeZoneFromPosix(rule, tzi);
}

bool GetSystemTimeZoneInformation(TIME_ZONE_INFORMATION& tzi) {
  const char* tz = std::getenv("TZ");
  if (tz) {
    std::string s = tz;
    if (!s.empty() && s[0] == ':') s.erase(0, 1);
    if (s.empty()) s = "UTC";
    if (TimeZoneFromIana(s, tzi) || TimeZoneFromPosix(s, tzi)) return true;
  } else if (TimeZoneFromIana("/etc/localtime", tzi)) {
    return true;
  }
  tzi = TIME_ZONE_INFORMATION{};
  SetZoneName(tzi.StandardName, "UTC");
  return false;
}

namespace {

std::string ZoneFolder() {
  const char* dir = std::getenv("TZDIR");
  return dir && *dir ? dir : "/usr/share/zoneinfo";
}

// A zone name is letters, digits and "/_-+" with a letter first: what TZ
// holds when it names a zone rather than a POSIX rule.
bool LooksLikeZoneName(const std::string& s) {
  if (s.empty() || !std::isalpha(uint8_t(s[0]))) return false;
  bool slash = false;
  for (char c : s) {
    if (c == '/') slash = true;
    else if (!std::isalnum(uint8_t(c)) && c != '_' && c != '-' && c != '+') return false;
  }
  return slash;
}

}  // namespace

std::string SystemZoneName() {
  if (const char* tz = std::getenv("TZ")) {
    std::string s = tz;
    if (!s.empty() && s[0] == ':') s.erase(0, 1);
    return LooksLikeZoneName(s) ? s : std::string();
  }
  std::error_code ec;
  const std::filesystem::path target = std::filesystem::read_symlink("/etc/localtime", ec);
  if (!ec) {
    const std::string t = target.lexically_normal().string();
    const std::string marker = "zoneinfo/";
    const auto p = t.rfind(marker);
    if (p != std::string::npos && LooksLikeZoneName(t.substr(p + marker.size())))
      return t.substr(p + marker.size());
  }
  std::string name = ReadWholeFile("/etc/timezone");
  while (!name.empty() && std::isspace(uint8_t(name.back()))) name.pop_back();
  return LooksLikeZoneName(name) ? name : std::string();
}

bool ParseIso6709(const std::string& text, double& latitudeDeg, double& eastLongitudeDeg) {
  // Splits at the sign of the longitude; each part is sign, degrees
  // (2 or 3 digits), minutes and optional seconds.
  if (text.size() < 11 || (text[0] != '+' && text[0] != '-')) return false;
  const auto split = text.find_first_of("+-", 1);
  if (split == std::string::npos) return false;
  auto part = [](const std::string& s, int degreeDigits, double limit, double& out) {
    const std::string digits = s.substr(1);
    if (digits.size() != std::size_t(degreeDigits + 2) && digits.size() != std::size_t(degreeDigits + 4))
      return false;
    for (char c : digits)
      if (!std::isdigit(uint8_t(c))) return false;
    const double d = std::stoi(digits.substr(0, degreeDigits));
    const double m = std::stoi(digits.substr(degreeDigits, 2));
    const double sec = digits.size() > std::size_t(degreeDigits + 2) ? std::stoi(digits.substr(degreeDigits + 2, 2)) : 0;
    if (m >= 60 || sec >= 60) return false;
    out = (d + m / 60.0 + sec / 3600.0) * (s[0] == '-' ? -1 : 1);
    return std::fabs(out) <= limit;
  };
  return part(text.substr(0, split), 2, 90, latitudeDeg) && part(text.substr(split), 3, 180, eastLongitudeDeg);
}

bool ZonePlace(const std::string& zoneName, double& latitudeDeg, double& eastLongitudeDeg) {
  if (zoneName.empty()) return false;
  for (const char* table : {"/zone1970.tab", "/zone.tab"}) {
    const std::string text = ReadWholeFile(ZoneFolder() + table);
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      start = end + 1;
      if (line.empty() || line[0] == '#') continue;
      // Columns: country codes, coordinates, zone name, comments.
      const auto t1 = line.find('\t');
      const auto t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
      if (t2 == std::string::npos) continue;
      auto t3 = line.find('\t', t2 + 1);
      const std::string name = line.substr(t2 + 1, t3 == std::string::npos ? std::string::npos : t3 - t2 - 1);
      if (name != zoneName) continue;
      return ParseIso6709(line.substr(t1 + 1, t2 - t1 - 1), latitudeDeg, eastLongitudeDeg);
    }
  }
  return false;
}

namespace {

// A wall clock set by a test: the instant it read when it was set, and the
// monotonic clock's reading then. Both are written under the mutex and read
// under it, so a reader never sees one without the other.
struct TestClock {
  std::mutex lock;
  bool set = false;
  double unixSeconds = 0;
  std::chrono::steady_clock::time_point since;
};

TestClock& PinnedClock() {
  static TestClock clock;
  return clock;
}

}  // namespace

void SetSystemClockForTest(double unixSeconds) {
  TestClock& c = PinnedClock();
  std::lock_guard<std::mutex> guard(c.lock);
  c.set = true;
  c.unixSeconds = unixSeconds;
  c.since = std::chrono::steady_clock::now();
}

double SystemClockUnixSeconds() {
  using namespace std::chrono;
  TestClock& c = PinnedClock();
  {
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.set) return c.unixSeconds + duration<double>(steady_clock::now() - c.since).count();
  }
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

SYSTEMTIME GetSystemTimeUTC() {
  using namespace std::chrono;
  // Whole milliseconds since 1970 (floor, so an instant before 1970 keeps
  // its day), split into the day and the time of day.
  const auto now = sys_time<milliseconds>(milliseconds(int64_t(std::floor(SystemClockUnixSeconds() * 1000.0))));
  const auto days = floor<std::chrono::days>(now);
  const year_month_day ymd{days};
  const weekday wd{days};
  const auto ms = (now - days).count();
  SYSTEMTIME st;
  st.wYear = uint16_t(int(ymd.year()));
  st.wMonth = uint16_t(unsigned(ymd.month()));
  st.wDay = uint16_t(unsigned(ymd.day()));
  st.wDayOfWeek = uint16_t(wd.c_encoding());
  st.wHour = uint16_t(ms / 3600000);
  st.wMinute = uint16_t(ms / 60000 % 60);
  st.wSecond = uint16_t(ms / 1000 % 60);
  st.wMilliseconds = uint16_t(ms % 1000);
  return st;
}

namespace {
std::atomic<uint32_t> g_tickOffset{0};
}

uint32_t TimeGetTime() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return uint32_t(uint64_t(ms)) + g_tickOffset.load();
}

void SetTimeGetTimeOffsetForTest(uint32_t offset) { g_tickOffset.store(offset); }

}  // namespace platform
