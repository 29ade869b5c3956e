#include "platform/inifile.h"

#include <sstream>

#include "platform/data_file.h"
#include "platform/numfmt.h"

namespace platform {

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

}  // namespace

TIniFile::TIniFile(const std::string& path) {
  // Only a regular file is read (a column template or settings file that is
  // a pipe or a folder reads as missing).
  const auto bytes = ReadDataFileBytes(path);
  if (!bytes) return;
  std::istringstream in(std::string(bytes->begin(), bytes->end()), std::ios::binary);
  loaded_ = true;
  std::string line, section;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      section = Lower(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = section + "\n" + Lower(Trim(line.substr(0, eq)));
    // The first occurrence of a key wins, as with the original routines.
    values_.emplace(key, Trim(line.substr(eq + 1)));
  }
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& deflt) const {
  const auto it = values_.find(Lower(section) + "\n" + Lower(key));
  return it == values_.end() ? deflt : it->second;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t deflt) const {
  int32_t v = 0;
  const auto it = values_.find(Lower(section) + "\n" + Lower(key));
  if (it == values_.end() || !ParseInt32(it->second, v)) return deflt;
  return v;
}

}  // namespace platform
