#include "catalog/object_catalog.h"

#include "astro/text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <thread>

#include "astro/names.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "shell/data_files.h"
#include "shell/globals.h"

const std::vector<std::string>& ObjectClassNames = ObjectTypeNames;

std::unique_ptr<tCO> ObjectCatalog;

namespace {

constexpr const char* kColumnNames[kObjectColumnCount] = {
    "idx", "ID", "SubID", "CL", "SubCL", "RA", "DE", "Mv", "MaA", "MiA", "PA", "DIST", "RNGCOld",
    "RNGCNew"};
constexpr double kJ2000 = 2451545.0;
constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::atomic<bool> g_objectsLock{false};

// Typed reads that give the no-value marker for a NULL, or for a value the
// column's kind cannot give (a damaged database never stops a walk).
bool Present(const TSQLiteTable& t, int col) {
  try {
    return col >= 0 && !t.FieldIsNull(col);
  } catch (const ESQLiteException&) {
    return false;
  }
}

std::string TextOr(const TSQLiteTable& t, int col) {
  return Present(t, col) ? t.FieldAsString(col) : std::string();
}

double DoubleOr(const TSQLiteTable& t, int col, double none) {
  if (!Present(t, col)) return none;
  try {
    return t.FieldAsDouble(col);
  } catch (const ESQLiteException&) {
    return none;
  }
}

int32_t IntOr(const TSQLiteTable& t, int col, int32_t none) {
  if (!Present(t, col)) return none;
  try {
    const int64_t v = t.FieldAsInteger(col);
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  } catch (const ESQLiteException&) {
    return none;
  }
}

}  // namespace

std::string ObjectDatabasePath() { return platform::FindFileNoCase(ProgramFolder, kObjectDatabaseName); }

namespace {
uint64_t NextGeneration() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}
}  // namespace

tCO::tCO(const std::vector<std::string>& tableNames) : tCO(ObjectDatabasePath(), tableNames) {}

tCO::tCO(const std::string& databasePath, const std::vector<std::string>& tableNames)
    : path_(databasePath) {
  InitObserver(precession_);
  Open();
  damage_ = ObjectDatabaseDamage(*db_, path_);
  precessionDate_ = ObserverTime.JD_TT - 1.0 / 24.0;

  // One query per table; a failing one ends the list before it.
  for (const std::string& name : tableNames) {
    if (int(names_.size()) == kMaxObjectTables) break;
    // A table named again, in any letter case, is the same table: its
    // objects are read once.
    if (std::any_of(names_.begin(), names_.end(), [&](const std::string& n) { return SameTableName(n, name); }))
      continue;
    TSQLiteTable t;
    try {
      t = db_->GetTable("SELECT * FROM " + SQLiteQuoteName(name));
    } catch (const ESQLiteException& e) {
      // A table locked by another program is not missing: the catalogue
      // cannot be read now, whole, and is read again later.
      if (e.IsBusy()) throw;
      // Without its base catalogue the database is no use to the chart.
      if (names_.empty() && damage_.empty()) damage_ = e.Why();
      break;
    }
    const int i = int(names_.size());
    names_.push_back(name);
    clauses_.emplace_back();
    // Column map, found by name without regard to case. The names come from
    // the table's schema, so an empty table has its map too.
    std::vector<std::string> columns = t.Columns();
    try {
      db_->AddParamText(":t", name);
      TSQLiteTable info = db_->GetTable("SELECT name FROM pragma_table_info(:t)");
      columns.clear();
      for (bool row = info.MoveFirst(); row; row = info.Next()) columns.push_back(info.FieldAsString(0));
    } catch (const ESQLiteException& e) {
      if (e.IsBusy()) throw;
    }
    for (int c = 0; c < kObjectColumnCount; ++c) {
      column_[i][c] = -1;
      const std::string wanted = UpperCaseStr(kColumnNames[c]);
      for (std::size_t k = 0; k < columns.size(); ++k)
        if (UpperCaseStr(columns[k]) == wanted) {
          column_[i][c] = int(k);
          break;
        }
    }
    tables_.push_back(std::move(t));
  }
  lastTable_ = int(names_.size()) - 1;
  generation_ = NextGeneration();
  if (!SeekRecord(0)) {
    ClearFields();
    Cursor = 0;
  }
}

tCO::~tCO() = default;

void tCO::Open() {
  auto db = std::make_unique<TSQLiteDatabase>(path_);
  // Reading the schema tells a damaged or foreign file at once.
  db->GetTable("SELECT count(*) FROM sqlite_master");
  db_ = std::move(db);
}

int tCO::Count() const {
  int n = 0;
  for (int t = 0; t <= lastTable_; ++t) n += tables_[std::size_t(t)].RowCount();
  return n;
}

int tCO::BaseTableCount() const { return lastTable_ >= 0 ? tables_[0].RowCount() : 0; }

int tCO::RowsBefore(int t) const {
  int n = 0;
  for (int i = 0; i < t; ++i) n += tables_[std::size_t(i)].RowCount();
  return n;
}

bool tCO::SeekRecord(int n) {
  Cursor = n;
  int before = 0;
  for (int t = 0; t <= lastTable_ && n >= 0; ++t) {
    TSQLiteTable& table = tables_[std::size_t(t)];
    if (before + table.RowCount() > n) {
      CurrentTable = t;
      const bool moved = table.MoveTo(n - before);
      Decode();
      return moved;
    }
    before += table.RowCount();
  }
  Cursor = -1;
  return false;
}

bool tCO::SeekKey(int32_t key) {
  const int t = int(uint32_t(key) >> 24);
  const int64_t idx = key & 0xFFFFFF;
  if (t > lastTable_ || column_[t][ocIdx] < 0) return false;
  TSQLiteTable& table = tables_[std::size_t(t)];
  const int col = column_[t][ocIdx];
  const int keep = table.Row();
  for (int r = 0; r < table.RowCount(); ++r) {
    table.MoveTo(r);
    int64_t v = 0;
    if (Present(table, col) && platform::ParseInt(table.FieldAsString(col), v) && v == idx) {
      CurrentTable = t;
      Cursor = RowsBefore(t) + r;
      Decode();
      return true;
    }
  }
  if (keep < table.RowCount()) table.MoveTo(keep);
  return false;
}

bool tCO::Next() {
  if (CurrentTable < 0 || CurrentTable > lastTable_) return false;
  bool reached = tables_[std::size_t(CurrentTable)].Next();
  // Off the end of a table: on to the next one that has rows.
  while (!reached && CurrentTable < lastTable_) {
    ++CurrentTable;
    reached = tables_[std::size_t(CurrentTable)].MoveFirst();
  }
  if (!reached) return false;
  ++Cursor;
  Decode();
  return true;
}

void tCO::ClearFields() {
  Key = 0;
  ID.clear();
  SubID.clear();
  CL.clear();
  SubCL.clear();
  RA = DE = RADate = DEDate = kNaN;
  Mv = kNoMagnitude;
  MaA = MiA = PA = kNoSize;
  DIST = kNaN;
  RNGCOld.clear();
  RNGCNew.clear();
}

void tCO::Decode() {
  ClearFields();
  if (CurrentTable < 0 || CurrentTable > lastTable_) return;
  const TSQLiteTable& t = tables_[std::size_t(CurrentTable)];
  if (t.AtEnd()) return;
  const int* col = column_[CurrentTable];

  // Key: "idx" with the table number in the top byte.
  int64_t idx = 0;
  if (Present(t, col[ocIdx]) && platform::ParseInt(t.FieldAsString(col[ocIdx]), idx))
    Key = int32_t((idx & 0xFFFFFF) + (int64_t(CurrentTable) << 24));
  ID = TextOr(t, col[ocID]);
  SubID = TextOr(t, col[ocSubID]);
  CL = TextOr(t, col[ocCL]);
  SubCL = TextOr(t, col[ocSubCL]);
  RA = DoubleOr(t, col[ocRA], kNaN);
  DE = DoubleOr(t, col[ocDE], kNaN);
  Mv = float(DoubleOr(t, col[ocMv], kNoMagnitude));
  MaA = IntOr(t, col[ocMaA], kNoSize);
  MiA = IntOr(t, col[ocMiA], kNoSize);
  PA = IntOr(t, col[ocPA], kNoSize);
  DIST = DoubleOr(t, col[ocDIST], kNaN);
  RNGCOld = TextOr(t, col[ocRNGCOld]);
  RNGCNew = TextOr(t, col[ocRNGCNew]);

  // Precession angles for the chart date, refreshed when it moved by more
  // than a minute either way.
  const double jd = std::isnan(ChartDateTT) ? ObserverTime.JD_TT : ChartDateTT;
  if (std::fabs(jd - precessionDate_) > 1.0 / 1440.0) {
    precessionDate_ = jd;
    SetPrecession(precession_, kJ2000, precessionDate_);
  }
  // The position of date; a missing position stays NaN.
  if (std::isfinite(RA) && std::isfinite(DE)) {
    double ra = RA, de = DE;
    Precess(precession_, ra, de);
    ra = std::fmod(ra, kTwoPi);
    if (ra < 0) ra += kTwoPi;
    if (ra >= kTwoPi) ra = 0;
    RADate = ra;
    DEDate = de;
  }
}

std::string tCO::ClauseFor(int t) const {
  // The magnitude and class conditions, each only for a table that has the
  // column, so that a catalogue without magnitudes can still be filtered.
  std::string magnitude = "((Mv>=" + platform::FormatGeneral(filter_.LowMagLimit, 15) +
                          ") AND (Mv<=" + platform::FormatGeneral(filter_.HighMagLimit, 15) +
                          ")) OR (Mv=23)";
  std::string list;
  for (int d = 0; d < 10; ++d)
    if (filter_.Classes[d]) list += std::string(list.empty() ? "" : ",") + "'" + char('0' + d) + "'";
  const bool hasMv = column_[t][ocMv] >= 0;
  const bool hasCl = column_[t][ocCL] >= 0;
  if (hasMv && hasCl) return " WHERE (" + magnitude + ") AND (Cl IN (" + list + "))";
  if (hasMv) return " WHERE (" + magnitude + ")";
  if (hasCl) return " WHERE (Cl IN (" + list + "))";
  return std::string();
}

void tCO::Query(std::vector<TSQLiteTable>& out, const std::vector<std::string>& clauses) {
  for (int t = 0; t <= lastTable_; ++t)
    out.push_back(db_->GetTable("SELECT * FROM " + SQLiteQuoteName(names_[std::size_t(t)]) +
                                clauses[std::size_t(t)]));
}

void tCO::SetFilter(const TObjectFilter& filter) {
  const TObjectFilter old = filter_;
  filter_ = filter;
  std::vector<std::string> clauses;
  std::vector<TSQLiteTable> tables;
  try {
    for (int t = 0; t <= lastTable_; ++t) clauses.push_back(ClauseFor(t));
    Open();
    Query(tables, clauses);
  } catch (...) {
    filter_ = old;  // the previous rows stay in use
    throw;
  }
  // The new rows replace the old ones only when every query succeeded.
  tables_ = std::move(tables);
  clauses_ = std::move(clauses);
  generation_ = NextGeneration();
  precessionDate_ = ObserverTime.JD_TT - 1.0 / 24.0;
  // The cursor goes back to the first row of the current table; when that
  // table has no rows left, to the first record of all.
  if (CurrentTable >= 0 && CurrentTable <= lastTable_ &&
      tables_[std::size_t(CurrentTable)].MoveFirst()) {
    Cursor = RowsBefore(CurrentTable);
    Decode();
  } else if (!SeekRecord(0)) {
    ClearFields();
    Cursor = 0;
  }
}

bool tCO::FindByName(const std::string& prefix, const std::string& number) {
  std::string wanted = number;
  if (prefix == "MES") {
    int32_t n = 0;
    if (!platform::ParseInt32(number, n) || n < 1 || n > kMessierCount) return false;
    wanted = std::to_string(MessierToRngc[n]);
  } else if (prefix != "NGC") {
    return false;
  }
  ObserverTime.ClipBelowHorizon = 0;
  TObjectsLock lock;
  const int base = BaseTableCount();
  if (base == 0 || !SeekRecord(0)) return false;
  for (int i = 0; i < base; ++i) {
    if (i > 0 && !Next()) return false;
    if (ID == wanted) return true;
  }
  return false;
}

std::string tCO::CatalogName() const {
  if (CurrentTable <= 0 || CurrentTable > lastTable_) return "NGC";
  return names_[std::size_t(CurrentTable)];
}

std::string tCO::DisplayName() const { return UpperCaseStr(CatalogName()) + ID + SubID; }

std::string tCO::ClassText() const {
  if (CL.empty() || CL[0] < '0' || CL[0] > '9') return std::string();
  std::string text = ObjectClassNames[std::size_t(CL[0] - '0')];
  if (CL.size() > 1 && CL[1] >= '0' && CL[1] <= '9')
    text += " " + ObjectClassNames[std::size_t(CL[1] - '0')];
  return text;
}

std::string ObjectDatabaseDamage(TSQLiteDatabase& db, const std::string& path) {
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) == 0 && !ec) return "the file is empty (0 bytes)";
  try {
    // The library's own check of every page and index (it reads, never
    // writes); its first finding is the reason.
    TSQLiteTable check = db.GetTable("PRAGMA quick_check(1)");
    if (check.MoveFirst()) {
      std::string found = check.FieldAsString(0);
      if (found != "ok") {
        // "*** in database main ***" heads the finding on a line of its own.
        const std::size_t head = found.find("***\n");
        if (found.rfind("***", 0) == 0 && head != std::string::npos) found.erase(0, head + 4);
        for (char& c : found)
          if (c == '\n' || c == '\r') c = ' ';
        return "database disk image is malformed (SQLite's check found: " + found + ")";
      }
    }
    if (!db.TableExists(kBaseCatalogTable)) return std::string("no such table: ") + kBaseCatalogTable;
  } catch (const ESQLiteException& e) {
    // Only damage is told as damage: a database another program holds
    // locked, or any other failure of the check, is the caller's to handle.
    if (!e.IsDamage()) throw;
    return e.Why();
  }
  return std::string();
}

std::string CheckObjectDatabase(const std::string& path) {
  try {
    TSQLiteDatabase db(path);
    return ObjectDatabaseDamage(db, path);
  } catch (const ESQLiteException& e) {
    if (e.IsMissing()) return kDataFileMissing;
    return e.IsDamage() || e.IsNotAFile() ? e.Why() : std::string();
  }
}

bool SameTableName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string ObjectDatabaseBusyText(const std::string& reason) {
  return "\"" + std::string(kObjectDatabaseName) + "\" is in use by another program (" + reason + ")";
}

TDataFileProblem ObjectDatabaseProblem(const std::string& reason) {
  TDataFileProblem p{103, kObjectDatabaseName, reason};
  // One that cannot be opened: not there, not this user's to open, or
  // something else than a file in its place.
  if (reason == kDataFileMissing || DataFileRefusedAccess(p) || DataFileNotAFile(p)) p.code = 102;
  return p;
}

std::string ObjectDatabaseRefusalText(const std::string& reason) {
  return "The object database was left unchanged.\r\n\r\n" + DataFileProblemText({ObjectDatabaseProblem(reason)});
}

void LockObjects() {
  while (g_objectsLock.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
}

void UnlockObjects() { g_objectsLock.store(false, std::memory_order_release); }
