// A thin object layer over SQLite 3 for the deep-sky object database:
// TSQLiteDatabase (one open connection), TSQLiteTable (the whole result of
// one query held in memory, with a row cursor and typed field access) and
// ESQLiteException, the one exception of the layer.
//
// Every statement is prepared, stepped and finalised inside one call; a
// statement is finalised on every path, errors included, so no statement
// ever stays open and keeps a table locked.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;

class ESQLiteException : public std::runtime_error {
 public:
  explicit ESQLiteException(const std::string& message, int code = 0, std::string reason = std::string(),
                            int systemError = 0)
      : std::runtime_error(message), code_(code), reason_(std::move(reason)), systemError_(systemError) {}
  // The library's result code and its own words ("database disk image is
  // malformed"); 0 and empty for errors of the layer itself. `systemError`
  // is the error number of the system call under a failure to open or read
  // the file (0 when there was none); the questions below read it.
  int Code() const { return code_; }
  const std::string& Reason() const { return reason_; }
  // The library's words where it gave some, else the layer's message; for
  // a file this user may not open or write, "Permission denied" and the
  // library's words in brackets.
  std::string Why() const;
  // Another connection holds the database locked (busy or locked): the
  // file is sound and the same work may succeed later.
  bool IsBusy() const;
  // The file itself is damaged or cannot be read from the disk: corrupt,
  // not a database, or an input/output error.
  bool IsDamage() const;
  // The system refused this user the file or its folder (no read or write
  // permission, a read-only folder or file system): the file is sound.
  bool IsPermission() const;
  // There is no file of that name (nor, it may be, its folder).
  bool IsMissing() const;
  // Something else than a regular file stands in the file's place (a named
  // pipe, a folder, a device), which was never opened: Why() says what.
  bool IsNotAFile() const;

 private:
  int code_;
  std::string reason_;
  int systemError_;
};

// Kinds of result columns and of named parameters.
enum TSQLiteKind : int { dtInt = 1, dtNumeric = 2, dtStr = 3, dtBlob = 4, dtNull = 5 };

// The one-line description of an SQLite result code (codes 0..26, 100,
// 101), or "Unknown SQLite Error Code \"n\"".
std::string SQLiteErrorDescription(int code);

// A table or column name as a quoted SQL identifier ("name", inner quotes
// doubled), so that names taken from file names can never change a statement.
std::string SQLiteQuoteName(const std::string& name);

class TSQLiteTable;

// One positional binding ("?" in the statement, in order): NULL, a Boolean
// (bound as an integer), a 64-bit integer, a double, a text or a blob.
using TSQLiteBinding =
    std::variant<std::monostate, bool, int64_t, double, std::string, std::vector<uint8_t>>;
using TSQLiteBindings = std::vector<TSQLiteBinding>;

class TSQLiteDatabase {
 public:
  // Opens the database file. A missing file raises unless `createIfMissing`
  // is set: the program's database is never replaced by an empty new one.
  // Only a regular file is opened: a named pipe (which the library would
  // wait on for ever), a folder or a device in its place raises unopened
  // (IsNotAFile). Failure raises "Failed to open database "<name>" :
  // <library message>".
  // A statement that meets another connection's lock fails at once as busy
  // (ESQLiteException::IsBusy): the GUI thread never sleeps waiting for it.
  explicit TSQLiteDatabase(const std::string& fileName, bool createIfMissing = false);
  // Rolls back an open transaction and closes the connection.
  ~TSQLiteDatabase();
  TSQLiteDatabase(const TSQLiteDatabase&) = delete;
  TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

  // Runs a statement that returns no rows (prepare, bind the named
  // parameters, step once). Raises "Error executing SQL statement".
  void Execute(const std::string& sql);
  // The same with positional bindings after the named parameters. A value
  // that cannot be bound raises "Could not bind text", "Could not bind
  // integer", "Could not bind int64", "Could not bind extended", "Could not
  // bind boolean", "Could not bind null" or "Could not bind BLOB".
  void Execute(const std::string& sql, const TSQLiteBindings& bindings);
  // Runs a query and returns its whole result.
  TSQLiteTable GetTable(const std::string& sql);
  TSQLiteTable GetTable(const std::string& sql, const TSQLiteBindings& bindings);

  void BeginTransaction();  // raises "Transaction already open" when one is
  void Commit();
  void Rollback();
  bool InTransaction() const { return inTransaction_; }

  // True when a table of that name exists (name compared without case).
  bool TableExists(const std::string& name);

  // Named parameters, bound by name (":name", "@name" or "$name" in the
  // statement) to the next statement that is run, then cleared.
  void AddParamInt(const std::string& name, int64_t value);
  void AddParamFloat(const std::string& name, double value);
  void AddParamText(const std::string& name, const std::string& value);
  void AddParamNull(const std::string& name);
  void ParamsClear() { params_.clear(); }

  // Called with the statement text before each statement is stepped.
  std::function<void(const std::string&)> OnQueryForTest;

  sqlite3* Handle() const { return db_; }

 private:
  struct Param {
    std::string name;
    TSQLiteKind kind = dtNull;
    int64_t i = 0;
    double d = 0;
    std::string s;
  };
  struct StmtCloser {
    void operator()(struct sqlite3_stmt* s) const;
  };
  using Stmt = std::unique_ptr<struct sqlite3_stmt, StmtCloser>;

  Stmt Prepare(const std::string& sql, const char* failMessage);
  void BindParams(struct sqlite3_stmt* stmt, const std::string& sql);
  void BindPositional(struct sqlite3_stmt* stmt, const std::string& sql,
                      const TSQLiteBindings& bindings);
  [[noreturn]] void RaiseError(const std::string& message, const std::string& sql) const;

  sqlite3* db_ = nullptr;
  bool inTransaction_ = false;
  std::vector<Param> params_;
};

class TSQLiteTable {
 public:
  TSQLiteTable() = default;

  int RowCount() const { return rowCount_; }
  int ColumnCount() const { return columnCount_; }
  int Row() const { return row_; }
  const std::vector<std::string>& Columns() const { return columns_; }
  TSQLiteKind ColumnKind(int col) const { return kinds_.at(std::size_t(col)); }

  bool AtEnd() const { return row_ >= rowCount_; }
  // Moves one row on; true when a row is current afterwards.
  bool Next();
  // Row 0 when there are rows; answers whether it moved.
  bool MoveFirst();
  // Row n when 0 <= n < RowCount; answers whether it moved.
  bool MoveTo(int n);

  // Column number of a name, compared without case.
  int FieldIndex(const std::string& name) const;

  // Typed access to a column of the current row. Every access at the end
  // raises "Table is at End of File".
  int64_t FieldAsInteger(int col) const;
  double FieldAsDouble(int col) const;
  std::string FieldAsString(int col) const;  // at most 255 characters
  bool FieldIsNull(int col) const;
  // The blob's bytes, or nullptr for NULL and empty blobs.
  const std::vector<uint8_t>* FieldAsBlob(int col) const;

 private:
  friend class TSQLiteDatabase;
  using Blob = std::shared_ptr<const std::vector<uint8_t>>;
  using Value = std::variant<std::monostate, int64_t, double, std::string, Blob>;
  const Value& Field(int col) const;

  std::vector<Value> values_;
  int rowCount_ = 0;
  int columnCount_ = 0;
  std::vector<std::string> columns_;
  std::vector<TSQLiteKind> kinds_;
  int row_ = 0;
};
