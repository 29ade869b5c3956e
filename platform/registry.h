// The per-user settings store: one section per option window under the
// program's key, integers as decimal text, Booleans as "1"/"0", floating point
// in invariant format. A missing or unreadable value reads as the caller's
// default. Backed by an INI file ("Tarvel Software/Noctra Planetarium.ini" in
// the user's configuration folder, $XDG_CONFIG_HOME or ~/.config; tests point
// XDG_CONFIG_HOME at a temporary folder) in the syntax of registry_text.h.
//
// Each object reads the file when it is made and keeps its own changes until
// Flush, which takes the file's lock, reads the file again, applies the
// changes in their order and writes the result through a temporary file and
// a rename, so changes saved meanwhile by another object or another running
// copy of the program are kept.
#pragma once

#include <functional>
#include <memory>
#include <string>

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
  // The same with the range the field takes (value_range.h): a stored
  // number outside [lo, hi] reads as `deflt`, as a missing or unreadable
  // one does.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t deflt, int32_t lo,
                      int32_t hi) const;
  double ReadFloat(const std::string& section, const std::string& ident, double deflt, double lo,
                   double hi) const;
  // A number kept as the text its window shows: the stored text when it is
  // a number within [lo, hi], else `deflt`.
  std::string ReadNumberText(const std::string& section, const std::string& ident, const std::string& deflt,
                             double lo, double hi) const;
  bool ValueExists(const std::string& section, const std::string& ident) const;

  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteFloat(const std::string& section, const std::string& ident, double value);
  void EraseSection(const std::string& section);

  // Writes pending changes to disk (also done on destruction). A failed
  // write is told to the user (ReportSaveFailure) with the system's reason;
  // the file keeps its previous contents and the changes stay pending. The
  // file's lock is taken at once when it names no owner or its owner has
  // ended (a save killed half-way leaves such a lock). One held by a
  // running copy of the program is waited for at most a second, once per
  // save: a SaveFailureBatch (the program's end saves in one), else this
  // object (its Flush and its destruction). An object that changed nothing
  // (a reader) writes the changes of others pending from an earlier failed
  // save only when the lock is free at once, and tells nothing.
  void Flush();

  // The store's file.
  const std::string& FileName() const;

 private:
  void Flush(bool save);
  friend void FlushSettingsStore();
  struct Store;
  std::unique_ptr<Store> store_;
};

// Every value name read from the store from now on (any read, and
// ValueExists) is passed to `seen` with its section; empty stops. For tests
// that set every value the program reads.
void WatchSettingsReadsForTest(std::function<void(const std::string& section, const std::string& ident)> seen);

// Writes the changes still pending from saves that failed (the program's
// end does, in its save), told as Flush tells.
void FlushSettingsStore();

// How many times a save so far waited for another running copy's lock
// until it gave up (each such wait lasts a second).
int SettingsLockWaitsSoFar();

}  // namespace platform
