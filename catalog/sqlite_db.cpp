#include "catalog/sqlite_db.h"
#include "astro/text.h"

#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/codec.h"
#include "platform/data_file.h"
#include "shell/data_files.h"
#include "platform/numfmt.h"
#include "platform/float_to_int.h"

namespace {

// One-line descriptions of the primary result codes 0..26.
constexpr const char* kCodeTexts[] = {
    "Successful result",
    "SQL error or missing database",
    "Internal logic error in SQLite",
    "Access permission denied",
    "Callback routine requested an abort",
    "The database file is locked",
    "A table in the database is locked",
    "A malloc() failed",
    "Attempt to write a readonly database",
    "Operation terminated by sqlite3_interrupt()",
    "Some kind of disk I/O error occurred",
    "The database disk image is malformed",
    "(Internal Only) Table or record not found",
    "Insertion failed because database is full",
    "Unable to open the database file",
    "Database lock protocol error",
    "Database is empty",
    "The database schema changed",
    "Too much data for one row of a table",
    "Abort due to contraint violation",
    "Data type mismatch",
    "Library used incorrectly",
    "Uses OS features not supported on host",
    "Authorization denied",
    "Auxiliary database format error",
    "2nd parameter to sqlite3_bind out of range",
    "File opened that is not a database file",
};

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// The kind of a column from its declared type; dtNull when it has none.
TSQLiteKind KindOfDeclaredType(const char* decl) {
  if (!decl) return dtNull;
  const std::string t = UpperCaseStr(decl);
  if (t == "INTEGER" || t == "BOOLEAN") return dtInt;
  if (t == "NUMERIC" || t == "FLOAT" || t == "DOUBLE" || t == "REAL") return dtNumeric;
  if (t == "BLOB") return dtBlob;
  return dtStr;
}

// The kind of a value as the library stores it.
TSQLiteKind KindOfValue(int type) {
  switch (type) {
    case SQLITE_INTEGER: return dtInt;
    case SQLITE_FLOAT: return dtNumeric;
    case SQLITE_BLOB: return dtBlob;
    case SQLITE_NULL: return dtNull;
    default: return dtStr;
  }
}


}  // namespace

std::string SQLiteErrorDescription(int code) {
  if (code >= 0 && code <= 26) return kCodeTexts[code];
  if (code == 100) return "sqlite3_step() has another row ready";
  if (code == 101) return "sqlite3_step() has finished executing";
  return "Unknown SQLite Error Code \"" + std::to_string(code) + "\"";
}

bool ESQLiteException::IsBusy() const { return code_ == SQLITE_BUSY || code_ == SQLITE_LOCKED; }

bool ESQLiteException::IsDamage() const {
  return !IsPermission() && (code_ == SQLITE_CORRUPT || code_ == SQLITE_NOTADB || code_ == SQLITE_IOERR);
}

bool ESQLiteException::IsPermission() const {
  const bool refused = systemError_ == EACCES || systemError_ == EPERM || systemError_ == EROFS;
  return code_ == SQLITE_PERM || code_ == SQLITE_READONLY ||
         (refused && (code_ == SQLITE_CANTOPEN || code_ == SQLITE_IOERR));
}

bool ESQLiteException::IsMissing() const { return code_ == SQLITE_CANTOPEN && systemError_ == ENOENT; }

// (The opener refuses what is not a regular file with EINVAL.)
bool ESQLiteException::IsNotAFile() const { return code_ == SQLITE_CANTOPEN && systemError_ == EINVAL; }

std::string ESQLiteException::Why() const {
  const std::string words = reason_.empty() ? std::string(what()) : reason_;
  if (!IsPermission()) return words;
  std::string text = kDataFileNoPermission;
  if (systemError_ == EROFS) text += " (read-only file system)";
  else if (code_ == SQLITE_READONLY || code_ == SQLITE_PERM) text += " (" + words + ")";
  return text;
}

std::string SQLiteQuoteName(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

// --- TSQLiteDatabase -----------------------------------------------------------

void TSQLiteDatabase::StmtCloser::operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }

TSQLiteDatabase::TSQLiteDatabase(const std::string& fileName, bool createIfMissing) {
  // Looked at first with the data files' opener, which never opens what is
  // not a regular file; a missing file or one the system refuses is left
  // to the library, which says so in its own words.
  std::string notAFile;
  if (std::FILE* f = platform::OpenDataFile(fileName, &notAFile)) std::fclose(f);
  else if (errno == EINVAL)
    throw ESQLiteException("Failed to open database \"" + fileName + "\" : " + notAFile, SQLITE_CANTOPEN, notAFile,
                           EINVAL);
  const int flags = SQLITE_OPEN_READWRITE | (createIfMissing ? SQLITE_OPEN_CREATE : 0);
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(fileName.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    const int code = db ? sqlite3_errcode(db) & 0xFF : rc;
    std::string reason = db ? sqlite3_errmsg(db) : "unknown error";
    const int systemError = db ? sqlite3_system_errno(db) : 0;
    sqlite3_close(db);
    throw ESQLiteException("Failed to open database \"" + fileName + "\" : " + reason, code, reason, systemError);
  }
  db_ = db;
}

TSQLiteDatabase::~TSQLiteDatabase() {
  if (inTransaction_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db_);
}

void TSQLiteDatabase::RaiseError(const std::string& message, const std::string& sql) const {
  const int code = sqlite3_errcode(db_) & 0xFF;
  if (code == SQLITE_OK) throw ESQLiteException(message);
  const std::string reason = sqlite3_errmsg(db_);
  throw ESQLiteException(message + ".\rError [" + std::to_string(code) + "]: " + SQLiteErrorDescription(code) +
                             ".\r\"" + sql + "\": " + reason,
                         code, reason, sqlite3_system_errno(db_));
}

TSQLiteDatabase::Stmt TSQLiteDatabase::Prepare(const std::string& sql, const char* failMessage) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &raw, nullptr);
  Stmt stmt(raw);
  if (rc != SQLITE_OK) {
    params_.clear();
    RaiseError(failMessage, sql);
  }
  if (!stmt) {
    params_.clear();
    throw ESQLiteException("Could not prepare SQL statement");
  }
  return stmt;
}

void TSQLiteDatabase::BindParams(sqlite3_stmt* stmt, const std::string& sql) {
  std::vector<Param> params;
  params.swap(params_);  // the list is used once, whatever happens
  for (const Param& p : params) {
    int index = sqlite3_bind_parameter_index(stmt, p.name.c_str());
    for (const char* prefix : {":", "@", "$"})
      if (index == 0) index = sqlite3_bind_parameter_index(stmt, (prefix + p.name).c_str());
    if (index == 0) continue;  // the statement does not use this name
    int rc = SQLITE_OK;
    const char* what = "";
    switch (p.kind) {
      case dtInt:
        rc = sqlite3_bind_int64(stmt, index, p.i);
        what = "Could not bind integer";
        break;
      case dtNumeric:
        rc = sqlite3_bind_double(stmt, index, p.d);
        what = "Could not bind extended";
        break;
      case dtStr:
        rc = sqlite3_bind_text(stmt, index, p.s.data(), int(p.s.size()), SQLITE_TRANSIENT);
        what = "Could not bind text";
        break;
      default:
        rc = sqlite3_bind_null(stmt, index);
        what = "Could not bind null";
        break;
    }
    if (rc != SQLITE_OK) RaiseError(what, sql);
  }
}

void TSQLiteDatabase::BindPositional(sqlite3_stmt* stmt, const std::string& sql,
                                     const TSQLiteBindings& bindings) {
  int index = 0;
  for (const TSQLiteBinding& b : bindings) {
    ++index;
    int rc = SQLITE_OK;
    const char* what = "";
    if (b.valueless_by_exception()) throw ESQLiteException("Unhandled binding");
    if (std::holds_alternative<std::monostate>(b)) {
      rc = sqlite3_bind_null(stmt, index);
      what = "Could not bind null";
    } else if (const bool* v = std::get_if<bool>(&b)) {
      rc = sqlite3_bind_int(stmt, index, *v ? 1 : 0);
      what = "Could not bind boolean";
    } else if (const int64_t* i = std::get_if<int64_t>(&b)) {
      rc = sqlite3_bind_int64(stmt, index, *i);
      what = (*i >= INT32_MIN && *i <= INT32_MAX) ? "Could not bind integer" : "Could not bind int64";
    } else if (const double* d = std::get_if<double>(&b)) {
      rc = sqlite3_bind_double(stmt, index, *d);
      what = "Could not bind extended";
    } else if (const std::string* t = std::get_if<std::string>(&b)) {
      rc = sqlite3_bind_text(stmt, index, t->data(), int(t->size()), SQLITE_TRANSIENT);
      what = "Could not bind text";
    } else {
      const auto& blob = std::get<std::vector<uint8_t>>(b);
      rc = sqlite3_bind_blob(stmt, index, blob.data(), int(blob.size()), SQLITE_TRANSIENT);
      what = "Could not bind BLOB";
    }
    if (rc != SQLITE_OK) RaiseError(what, sql);
  }
}

void TSQLiteDatabase::Execute(const std::string& sql) { Execute(sql, {}); }

void TSQLiteDatabase::Execute(const std::string& sql, const TSQLiteBindings& bindings) {
  Stmt stmt = Prepare(sql, "Error executing SQL statement");
  BindParams(stmt.get(), sql);
  BindPositional(stmt.get(), sql, bindings);
  if (OnQueryForTest) OnQueryForTest(sql);
  const int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_DONE) {
    sqlite3_reset(stmt.get());
    RaiseError("Error executing SQL statement", sql);
  }
}

TSQLiteTable TSQLiteDatabase::GetTable(const std::string& sql) { return GetTable(sql, {}); }

TSQLiteTable TSQLiteDatabase::GetTable(const std::string& sql, const TSQLiteBindings& bindings) {
  Stmt stmt = Prepare(sql, "Error executing SQL");
  if (OnQueryForTest) OnQueryForTest(sql);
  BindParams(stmt.get(), sql);
  BindPositional(stmt.get(), sql, bindings);

  TSQLiteTable t;
  sqlite3_stmt* s = stmt.get();
  for (;;) {
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) break;
    if (rc == SQLITE_BUSY) {
      sqlite3_reset(s);
      throw ESQLiteException("Could not prepare SQL statement", SQLITE_BUSY, sqlite3_errstr(SQLITE_BUSY));
    }
    if (rc != SQLITE_ROW) {
      sqlite3_reset(s);
      RaiseError("Could not retrieve data", sql);
    }
    if (t.rowCount_ == 0) {
      // The first row fixes the column names and kinds.
      t.columnCount_ = sqlite3_column_count(s);
      for (int c = 0; c < t.columnCount_; ++c) {
        const char* name = sqlite3_column_name(s, c);
        t.columns_.push_back(name ? name : "");
        TSQLiteKind k = KindOfDeclaredType(sqlite3_column_decltype(s, c));
        if (k == dtNull) k = KindOfValue(sqlite3_column_type(s, c));
        t.kinds_.push_back(k);
      }
    }
    for (int c = 0; c < t.columnCount_; ++c) {
      const int type = sqlite3_column_type(s, c);
      if (type == SQLITE_NULL) {
        t.values_.emplace_back(std::monostate{});
        continue;
      }
      TSQLiteKind k = t.kinds_[std::size_t(c)];
      if (k == dtNull) k = KindOfValue(type);
      switch (k) {
        case dtInt:
          t.values_.emplace_back(int64_t(sqlite3_column_int64(s, c)));
          break;
        case dtNumeric:
          t.values_.emplace_back(sqlite3_column_double(s, c));
          break;
        case dtBlob: {
          const void* p = sqlite3_column_blob(s, c);
          const int n = sqlite3_column_bytes(s, c);
          TSQLiteTable::Blob b;
          if (p && n > 0) {
            const auto* bytes = static_cast<const uint8_t*>(p);
            b = std::make_shared<const std::vector<uint8_t>>(bytes, bytes + n);
          }
          t.values_.emplace_back(std::move(b));
          break;
        }
        default: {
          const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
          const int n = sqlite3_column_bytes(s, c);
          t.values_.emplace_back(p ? std::string(p, std::size_t(n)) : std::string());
          break;
        }
      }
    }
    ++t.rowCount_;
  }
  t.row_ = 0;
  return t;
}

void TSQLiteDatabase::BeginTransaction() {
  if (inTransaction_) throw ESQLiteException("Transaction already open");
  Execute("BEGIN TRANSACTION");
  inTransaction_ = true;
}

void TSQLiteDatabase::Commit() {
  try {
    Execute("COMMIT");
  } catch (...) {
    inTransaction_ = sqlite3_get_autocommit(db_) == 0;
    throw;
  }
  inTransaction_ = false;
}

void TSQLiteDatabase::Rollback() {
  inTransaction_ = false;
  Execute("ROLLBACK");
}

bool TSQLiteDatabase::TableExists(const std::string& name) {
  AddParamText(":tname", LowerAscii(name));
  TSQLiteTable t = GetTable(
      "select [sql] from sqlite_master where [type] = 'table' and lower(name) = :tname ");
  return t.RowCount() > 0;
}

void TSQLiteDatabase::AddParamInt(const std::string& name, int64_t value) {
  Param p;
  p.name = name;
  p.kind = dtInt;
  p.i = value;
  params_.push_back(std::move(p));
}

void TSQLiteDatabase::AddParamFloat(const std::string& name, double value) {
  Param p;
  p.name = name;
  p.kind = dtNumeric;
  p.d = value;
  params_.push_back(std::move(p));
}

void TSQLiteDatabase::AddParamText(const std::string& name, const std::string& value) {
  Param p;
  p.name = name;
  p.kind = dtStr;
  p.s = value;
  params_.push_back(std::move(p));
}

void TSQLiteDatabase::AddParamNull(const std::string& name) {
  Param p;
  p.name = name;
  params_.push_back(std::move(p));
}

// --- TSQLiteTable --------------------------------------------------------------

bool TSQLiteTable::Next() {
  if (row_ < rowCount_) ++row_;
  return !AtEnd();
}

bool TSQLiteTable::MoveFirst() {
  if (rowCount_ == 0) return false;
  row_ = 0;
  return true;
}

bool TSQLiteTable::MoveTo(int n) {
  if (n < 0 || n >= rowCount_) return false;
  row_ = n;
  return true;
}

int TSQLiteTable::FieldIndex(const std::string& name) const {
  if (columns_.empty()) throw ESQLiteException("Field " + name + " Not found. Empty dataset");
  const std::string wanted = UpperCaseStr(name);
  for (std::size_t c = 0; c < columns_.size(); ++c)
    if (UpperCaseStr(columns_[c]) == wanted) return int(c);
  throw ESQLiteException("Field not found in dataset: " + name);
}

const TSQLiteTable::Value& TSQLiteTable::Field(int col) const {
  if (AtEnd()) throw ESQLiteException("Table is at End of File");
  if (col < 0 || col >= columnCount_)
    throw ESQLiteException("Field index out of range: " + std::to_string(col));
  return values_[std::size_t(row_) * std::size_t(columnCount_) + std::size_t(col)];
}

int64_t TSQLiteTable::FieldAsInteger(int col) const {
  const Value& v = Field(col);
  if (std::holds_alternative<std::monostate>(v)) return 0;
  if (const auto* i = std::get_if<int64_t>(&v)) return *i;
  if (const auto* d = std::get_if<double>(&v)) return platform::ClampFloatToInt<int64_t>(*d);  // NaN gives 0
  throw ESQLiteException("Not an integer or numeric field");
}

double TSQLiteTable::FieldAsDouble(int col) const {
  const Value& v = Field(col);
  if (std::holds_alternative<std::monostate>(v)) return 0.0;
  if (const auto* i = std::get_if<int64_t>(&v)) return double(*i);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  throw ESQLiteException("Not an integer or numeric field");
}

std::string TSQLiteTable::FieldAsString(int col) const {
  const Value& v = Field(col);
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&v)) return platform::FormatGeneral(*d, 15);
  if (const auto* s = std::get_if<std::string>(&v)) return platform::CutToChars(*s, 255);
  if (const auto* b = std::get_if<Blob>(&v))
    return *b ? platform::CutToChars(std::string((*b)->begin(), (*b)->end()), 255) : std::string();
  return std::string();
}

bool TSQLiteTable::FieldIsNull(int col) const {
  return std::holds_alternative<std::monostate>(Field(col));
}

const std::vector<uint8_t>* TSQLiteTable::FieldAsBlob(int col) const {
  const Value& v = Field(col);
  if (std::holds_alternative<std::monostate>(v)) return nullptr;
  if (const auto* b = std::get_if<Blob>(&v)) return b->get();
  throw ESQLiteException("Not a Blob field");
}
