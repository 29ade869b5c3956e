// The deep-sky object database: one cursor over up to 10 catalogue tables of
// "Objects.sqlite" (the base catalogue first). Each table's rows that pass
// the filter are read into memory once; a global record number then selects
// a table and a row, and the row is decoded into the current-object fields
// with its position precessed from J2000 to the chart date.
//
// The one instance is ObjectCatalog. Every reader brackets its seeks and
// reads with the object lock (TObjectsLock, or LockObjects/UnlockObjects),
// since all readers share the one cursor.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "astro/observer.h"
#include "catalog/sqlite_db.h"
#include "shell/data_files.h"

inline constexpr int kMaxObjectTables = 10;
inline constexpr const char* kObjectDatabaseName = "Objects.sqlite";
inline constexpr const char* kBaseCatalogTable = "BASE_OBJECT_CATALOG";

// No-value markers of the current-object fields; the chart tests them.
inline constexpr float kNoMagnitude = 23.0f;
inline constexpr int32_t kNoSize = 32768;

// Class texts by class digit, with their trailing blanks (the start-up
// table ObjectTypeNames under this catalogue's name).
extern const std::vector<std::string>& ObjectClassNames;

// Which objects pass: the first fields of the deep-sky filter record.
struct TObjectFilter {
  double HighMagLimit = 12.0;  // faint end
  double LowMagLimit = -1.5;   // bright end
  uint8_t Classes[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};  // class digits 0..9
  uint8_t LabelObjects = 1;

  bool operator==(const TObjectFilter&) const = default;
};

// Columns found by name in every table, in this order.
enum TObjectColumn : int {
  ocIdx, ocID, ocSubID, ocCL, ocSubCL, ocRA, ocDE, ocMv, ocMaA, ocMiA, ocPA, ocDIST, ocRNGCOld,
  ocRNGCNew, kObjectColumnCount
};

class tCO {
 public:
  // Opens "Objects.sqlite" in the program folder and reads every named table
  // (at most 10; the first is the base catalogue). A database that is
  // missing, not a database or held locked by another program raises
  // ESQLiteException (nothing is created);
  // a table whose query fails ends the list before it. Record 0 becomes
  // current. A damaged file is read as far as it can be and Damage() says
  // what is wrong with it; the file is never written.
  explicit tCO(const std::vector<std::string>& tableNames);
  // As above, on an explicit database file.
  tCO(const std::string& databasePath, const std::vector<std::string>& tableNames);
  ~tCO();
  tCO(const tCO&) = delete;
  tCO& operator=(const tCO&) = delete;

  // Total rows over all tables, and rows of the base table.
  int Count() const;
  int BaseTableCount() const;
  int TableCount() const { return lastTable_ + 1; }
  // What is wrong with the database file, as ObjectDatabaseDamage says, or
  // why its base catalogue could not be read; empty when it is sound.
  const std::string& Damage() const { return damage_; }
  // Changes whenever the rows are read anew (a new object, a new filter),
  // unique over all objects: indexes built over the rows compare it.
  uint64_t Generation() const { return generation_; }
  const std::string& TableName(int t) const { return names_.at(std::size_t(t)); }

  // Makes global record n (from 0) current and decodes it; false with
  // Cursor −1 when n is outside 0 .. Count − 1.
  bool SeekRecord(int n);
  // Makes the object with this key current (table in the top byte, "idx" in
  // the low 24 bits). Keys, unlike record numbers, survive filter changes.
  // False, nothing changed, when no such object passes the filter.
  bool SeekKey(int32_t key);
  // Moves to the following record, across tables and over empty ones, and
  // decodes it; false at the end (fields unchanged).
  bool Next();

  void GetFilter(TObjectFilter& filter) const { filter = filter_; }
  const TObjectFilter& Filter() const { return filter_; }
  // Stores the filter and re-queries every table with it. On a database
  // error the exception passes to the caller and the object keeps its
  // previous filter and rows.
  void SetFilter(const TObjectFilter& filter);
  // The WHERE clause of the last SetFilter for table t ("" before any).
  const std::string& FilterClause(int t = 0) const { return clauses_.at(std::size_t(t)); }

  // Searches the base table by catalogue prefix ("NGC" or "MES") and number
  // text; the object found is current. Takes the object lock itself.
  bool FindByName(const std::string& prefix, const std::string& number);

  std::string CatalogName() const;  // "NGC" for the base table
  std::string DisplayName() const;  // upper-case catalogue name, ID, SubID
  std::string ClassText() const;

  // --- The current object ---
  int32_t CurrentTable = 0;
  int32_t Key = 0;     // "idx" + table × 2^24; 0 without "idx"
  int32_t Cursor = 0;  // global record number; −1 after a failed seek
  std::string ID, SubID, CL, SubCL;
  double RA = 0, DE = 0;          // J2000, radians; NaN when missing
  double RADate = 0, DEDate = 0;  // of the chart date; RA in [0, 2π)
  float Mv = kNoMagnitude;
  int32_t MaA = kNoSize, MiA = kNoSize, PA = kNoSize;
  double DIST = 0;                // NaN when missing
  std::string RNGCOld, RNGCNew;

  // The chart date (TT Julian date) RADate and DEDate are precessed to. NaN
  // takes ObserverTime's, which the GUI thread changes as the clock runs; a
  // reader on another thread names the date of its own chart instead, while
  // it holds the object lock (TObjectsLock with a date), and never reads
  // ObserverTime.
  double ChartDateTT = std::numeric_limits<double>::quiet_NaN();

 private:
  void Open();
  void Decode();
  void ClearFields();
  void Query(std::vector<TSQLiteTable>& out, const std::vector<std::string>& clauses);
  std::string ClauseFor(int t) const;
  int RowsBefore(int t) const;

  std::string path_;
  std::unique_ptr<TSQLiteDatabase> db_;
  std::vector<TSQLiteTable> tables_;
  std::vector<std::string> names_;
  std::vector<std::string> clauses_;
  int column_[kMaxObjectTables][kObjectColumnCount];  // −1 when absent
  int lastTable_ = -1;
  TObjectFilter filter_;
  double precessionDate_ = 0;
  TObserverTime precession_;
  uint64_t generation_ = 0;
  std::string damage_;
};

// The one object database (null until created at start-up).
extern std::unique_ptr<tCO> ObjectCatalog;

// The object lock: a spin lock without re-entrancy, held only for short
// walks, never across a message box or a wait for another thread.
void LockObjects();
void UnlockObjects();

// Holds the object lock for its lifetime; with a date, the positions of
// date are precessed to that chart date meanwhile (tCO::ChartDateTT).
class TObjectsLock {
 public:
  TObjectsLock() { LockObjects(); }
  explicit TObjectsLock(double chartDateTT) : TObjectsLock() {
    if (ObjectCatalog) {
      ObjectCatalog->ChartDateTT = chartDateTT;
      dated_ = true;
    }
  }
  ~TObjectsLock() {
    if (dated_ && ObjectCatalog) ObjectCatalog->ChartDateTT = std::numeric_limits<double>::quiet_NaN();
    UnlockObjects();
  }
  TObjectsLock(const TObjectsLock&) = delete;
  TObjectsLock& operator=(const TObjectsLock&) = delete;

 private:
  bool dated_ = false;
};

// The path of "Objects.sqlite" in the program folder.
std::string ObjectDatabasePath();

// True when two table names name the same table: SQLite compares them
// without regard to ASCII letter case.
bool SameTableName(const std::string& a, const std::string& b);

// What is wrong with an open object database, in SQLite's words, or ""
// when it is sound: an empty file, a failed integrity check (pages cut off
// or written over), no base catalogue table, or an error of the library
// that says the file is damaged (corrupt, not a database, input/output).
// Any other error (a database another program holds locked) raises: it
// says nothing about the file. Reads only.
std::string ObjectDatabaseDamage(TSQLiteDatabase& db, const std::string& path);
// The same for the file at `path`, opened for this check alone;
// kDataFileMissing when there is no file, what stands in its place when it
// is not a regular file ("it is a named pipe, not a file"; never opened),
// "" when it could not be checked for another reason (the caller's own use
// of the file then fails with that reason).
std::string CheckObjectDatabase(const std::string& path);
// ""Objects.sqlite" is in use by another program (database is locked)":
// a database that another program holds locked, with the library's words.
std::string ObjectDatabaseBusyText(const std::string& reason);
// The problem told for the object database: missing, refused to this user
// (102: "Permission denied", told without rebuild advice) or not a regular
// file (102, with what it is), or damaged (103) for this reason.
TDataFileProblem ObjectDatabaseProblem(const std::string& reason);
// The text that tells the user the object database was left unchanged
// because of `reason` (CheckObjectDatabase's), with how to rebuild it.
std::string ObjectDatabaseRefusalText(const std::string& reason);
