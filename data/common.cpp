#include "data/common.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/float_to_int.h"
#include "platform/numfmt.h"

namespace mkdata {

std::vector<uint8_t> ReadBinaryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw SourceError("cannot open " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw SourceError("cannot read " + path);
  return bytes;
}

std::string ReadTextFile(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBinaryFile(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string_view> SplitFields(std::string_view line, char sep) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t end = line.find(sep, start);
    if (end == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ToDouble(std::string_view s, double& out) {
  s = Trim(s);
  if (s.empty()) return false;
  return platform::ParseDouble(s, out);
}

bool ToInt(std::string_view s, long& out) {
  s = Trim(s);
  if (s.empty()) return false;
  int64_t v = 0;
  if (!platform::ParseInt(s, v)) return false;
  out = long(v);
  return true;
}

int32_t AngleToFileUnits(double radians) {
  // Readers refuse positions off the sky; anything else saturates.
  return platform::ClampFloatToInt<int32_t>(std::nearbyint(radians / kTwoPi * 2147483647.0));
}

double FileUnitsToAngle(int32_t units) { return double(units) / 2147483647.0 * kTwoPi; }

double NormaliseAngle(double radians) {
  double a = std::fmod(radians, kTwoPi);
  if (a < 0) a += kTwoPi;
  if (a >= kTwoPi) a -= kTwoPi;
  return a;
}

uint8_t MagnitudeByte(double magnitude) {
  double b = std::nearbyint((magnitude + 2.0) * 10.0);
  return platform::ClampFloatToInt<uint8_t>(std::clamp(b, 1.0, 255.0));  // NaN: 0, none
}

int16_t ClampToI16(double value) {
  return platform::ClampFloatToInt<int16_t>(std::nearbyint(value));
}

}  // namespace mkdata
