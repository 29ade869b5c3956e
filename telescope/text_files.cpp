#include "telescope/text_files.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "platform/data_file.h"
#include "platform/numfmt.h"
#include "platform/paths.h"

bool ReadTextFile(const std::string& path, std::string& text, std::string* why) {
  const auto bytes = platform::ReadDataFileBytesUpTo(path, kTextFileBytes, why);
  if (!bytes) return false;
  text.assign(bytes->begin(), bytes->end());
  return true;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  return platform::WriteFileAtomically(path, text.data(), text.size());
}

bool FileExists(const std::string& path) { return platform::FileExists(path); }

namespace {

const char* kCsvHeader = "\"Frame\";\"Time\";\"RA\";\"DEC\"";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

// A field with one pair of surrounding double quotes removed.
std::string Unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

}  // namespace

bool IsPecFile(const std::string& text) {
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty()) return false;
  return lines[0].compare(0, 14, "#EQMOD PECPrep") == 0 || lines[0] == kCsvHeader;
}

std::vector<TPecFileEntry> ParsePecFile(const std::string& text, double stepsPerSecond, int n) {
  std::vector<TPecFileEntry> out;
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty() || stepsPerSecond < 1) return out;
  // Arcseconds per step of the mount's worm.
  const double arcsecPerStep = 15.0 / stepsPerSecond;
  if (lines[0].compare(0, 14, "#EQMOD PECPrep") == 0) {
    bool first = true;
    double prev = 0, carry = 0;
    for (size_t k = 1; k < lines.size(); ++k) {
      const std::string& l = lines[k];
      if (l.empty() || l[0] == '!' || l[0] == '#') continue;
      std::istringstream in(l);
      std::vector<std::string> f;
      for (std::string w; in >> w;) f.push_back(w);
      int64_t index = 0;
      if (f.empty() || !platform::ParseInt(f[0], index) || index < 0 || index >= n) continue;
      double value = 0;
      if (f.size() < 3 || !platform::ParseDouble(f[2], value) || !std::isfinite(value)) {
        out.push_back({int(index), 0});
        continue;
      }
      if (first) {
        prev = value;
        first = false;
      }
      carry -= (value - prev) / arcsecPerStep;
      prev = value;
      const double entry = std::nearbyint(carry);
      carry -= entry;
      out.push_back({int(index), int(std::clamp(entry, -999.0, 999.0))});
    }
  } else if (lines[0] == kCsvHeader) {
    for (size_t k = 1; k < lines.size(); ++k) {
      std::vector<std::string> f;
      std::string field;
      std::istringstream in(lines[k]);
      while (std::getline(in, field, ';')) f.push_back(Unquote(field));
      int64_t index = 0;
      if (f.empty() || !platform::ParseInt(f[0], index) || index < 0 || index >= n) continue;
      double arcsec = 0;
      if (f.size() < 3 || !platform::ParseDouble(f[2], arcsec) || !std::isfinite(arcsec)) {
        out.push_back({int(index), 0});
        continue;
      }
      const double entry = std::nearbyint(arcsec / arcsecPerStep);
      out.push_back({int(index), int(std::clamp(entry, -999.0, 999.0))});
    }
  }
  return out;
}
