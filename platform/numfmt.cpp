#include "platform/numfmt.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace platform {

const TFormatSettings InvariantFormat{};

namespace {

std::string PadLeftTo(std::string s, int width, char pad = ' ') {
  if (width > 0 && int(s.size()) < width) s.insert(0, std::size_t(width) - s.size(), pad);
  return s;
}

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

std::string_view TrimBlanks(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n'))
    t.remove_suffix(1);
  return t;
}

}  // namespace

std::string FormatFixed(double value, int width, int decimals) {
  if (!std::isfinite(value)) return PadLeftTo(NonFinite(value), width);
  if (decimals < 0) decimals = 0;
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  // "-0.0" style results of tiny negatives print without the sign.
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return PadLeftTo(s, width);
}

std::string FormatGeneral(double value, int digits) {
  if (!std::isfinite(value)) return NonFinite(value);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
  return std::string(buf, r.ptr);
}

std::string FormatInt(int64_t value, int width, bool zeroPad) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  std::string s(buf, r.ptr);
  if (zeroPad && width > int(s.size())) {
    const bool neg = s[0] == '-';
    s.insert(neg ? 1 : 0, std::size_t(width) - s.size(), '0');
    return s;
  }
  return PadLeftTo(s, width);
}

bool ParseDouble(std::string_view text, double& out) {
  std::string_view t = TrimBlanks(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  // from_chars accepts "inf" and "nan"; settings and files never hold them.
  const char c = t.front() == '-' && t.size() > 1 ? t[1] : t.front();
  if (!(c == '.' || (c >= '0' && c <= '9'))) return false;
  double v = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
  out = v;
  return true;
}

bool ParseInt(std::string_view text, int64_t& out) {
  std::string_view t = TrimBlanks(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  int64_t v = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), v, 10);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
  out = v;
  return true;
}

bool ParseInt32(std::string_view text, int32_t& out) {
  int64_t v = 0;
  if (!ParseInt(text, v)) return false;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  out = int32_t(v);
  return true;
}

}  // namespace platform
