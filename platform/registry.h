// The per-user settings store: one section per option window under the
// program's key, integers as decimal text, Booleans as "1"/"0", floating point
// in invariant format. A missing or unreadable value reads as the caller's
// default. Backed by an INI file (organisation "Tarvel Software", application
// "Noctra Planetarium") in the user's configuration folder; tests point
// XDG_CONFIG_HOME at a temporary folder.
#pragma once

#include <memory>
#include <string>

class QSettings;

namespace platform {

class TRegIniFile {
 public:
  TRegIniFile();
  ~TRegIniFile();
  TRegIniFile(const TRegIniFile&) = delete;
  TRegIniFile& operator=(const TRegIniFile&) = delete;

  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t deflt) const;
  bool ReadBool(const std::string& section, const std::string& ident, bool deflt) const;
  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& deflt) const;
  double ReadFloat(const std::string& section, const std::string& ident, double deflt) const;
  bool ValueExists(const std::string& section, const std::string& ident) const;

  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteFloat(const std::string& section, const std::string& ident, double value);
  void DeleteKey(const std::string& section, const std::string& ident);
  void EraseSection(const std::string& section);

  // Writes pending changes to disk (also done on destruction). A failed
  // write is told to the user (ReportSaveFailure); the file keeps its
  // previous contents.
  void Flush();

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace platform
