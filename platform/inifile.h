// Reading plain INI files ("[section]", "key=value", ";" comments), with
// section and key names matched ignoring ASCII case as the original INI
// routines do. Used for the element-list column templates.
#pragma once

#include <map>
#include <string>

namespace platform {

class TIniFile {
 public:
  // Loads the file; a missing or unreadable file reads as empty.
  explicit TIniFile(const std::string& path);

  bool Loaded() const { return loaded_; }
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& deflt) const;
  // The value converted as a decimal integer; the default when missing or
  // not a whole number.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t deflt) const;

 private:
  bool loaded_ = false;
  std::map<std::string, std::string> values_;  // "section\nkey" in lower case
};

}  // namespace platform
