// Catalogue import without its window: splitting the lines of a text
// catalogue into fields, the tree of column types with its group rules, and
// the import itself, which turns the file into a table of "Objects.sqlite"
// with J2000 positions in radians, distances in parsecs and sizes in the
// units the object layer reads.
//
// The import reads and converts the whole file first, without the object
// lock; only then it takes the lock and creates the table inside one
// transaction (CREATE and every INSERT), so a failure leaves the database as
// it was. A table that exists already is never replaced. Lines without a
// position, or with one off the sky, are refused and counted in the report.
// Text that is not UTF-8 is read as Windows-1252 (Latin-1). Errors come
// back as text for the caller to show once the lock is released.
#pragma once

#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "catalog/sqlite_db.h"

// How the lines of the file are cut into fields.
struct TImportLayout {
  int StartRow = 1;  // number of the first line used (1..20)
  bool Tab = false, Semicolon = false, Comma = false, Space = false, Bar = false;
  bool Fixed = false;
  std::vector<int> FixedPositions;  // 1-based start columns, increasing
};

// The fields of one line: at fixed positions (each trimmed), or split at
// the chosen separators (tab is character 9) with every field trimmed; with
// no separator the whole line is one field. Each field is UTF-8: one that
// is not valid UTF-8 is decoded from Windows-1252.
std::vector<std::string> SplitImportLine(const std::string& line, const TImportLayout& layout);

// Reads a list of fixed start positions ("1,10,25"): at most 100 numbers
// from 1 to 2048, strictly increasing. Answers "" and fills `out`, or the
// error text (and `out` emptied).
std::string ParseFixedPositions(const std::string& text, std::vector<int>& out);

// Up to `maxLines` lines from the start row, each split into fields. An
// unreadable file gives no lines.
std::vector<std::vector<std::string>> ReadImportPreview(const std::string& fileName,
                                                        const TImportLayout& layout,
                                                        int maxLines = 20);

// --- The column-type tree ---------------------------------------------------

// One entry a column can be assigned: its text in the tree ("Hours [RAH]"),
// its code ("RAH"), its top-level group and, for entries of a sub-group
// such as "HMS {RA}", the sub-group's number within the group and the
// database column the sub-group fills ("RA"); −1 and "" otherwise.
struct TImportType {
  std::string Text;
  std::string Code;
  int Group = 0;
  int SubGroup = -1;
  std::string Column;
};

struct TImportTypeTree {
  std::vector<std::string> Groups;                  // top-level texts
  std::vector<std::vector<std::string>> SubGroups;  // per group, e.g. "HMS {RA}"
  std::vector<TImportType> Types;                   // every entry, in tree order
};
const TImportTypeTree& ImportTypeTree();

// The header shown for a column assigned type t: the code, and for a
// grouped entry a blank and the group in braces ("RAH {RA}").
std::string ImportTypeHeader(const TImportType& t);

// Checks the assignment (column of each type of the tree, −1 for none)
// against the group rules. Answers "" when it passes, otherwise the text of
// the first group that breaks a rule.
std::string CheckImportAssignment(const std::vector<int>& columnOfType);

// --- The import --------------------------------------------------------------

enum class TImportEpoch { J2000, B1975, B1950, B1900, J2050 };
// The Julian date of each source epoch (B1975 is 1975 January 1.0).
double ImportEpochJD(TImportEpoch epoch);

struct TImportJob {
  std::string FileName;
  std::string DatabasePath;                // "Objects.sqlite"
  std::string Table;                       // the new table's name
  TImportLayout Layout;
  TImportEpoch Epoch = TImportEpoch::J2000;
  std::vector<int> ColumnOfType;           // as for CheckImportAssignment
  std::vector<std::string> NamesInUse;     // tables of the other catalogue slots
};

// The table name an import of this file gets: its name without folder and
// extension.
std::string ImportTableName(const std::string& fileName);

// The file read and converted, the database not touched: the table's
// columns (name, SQL type) and one row of values per line, in column order.
struct TImportTable {
  std::vector<std::pair<std::string, std::string>> Columns;
  std::vector<TSQLiteBindings> Rows;
  int NoPosition = 0;  // lines refused: no right ascension or declination
  int OffSky = 0;      // lines refused: declination beyond ±90°, right ascension beyond ±360° or not finite
};
// Answers "" with `out` filled, or the error text of the first column
// assignment or field the import refuses (a field quoted to at most 60
// characters, followed by its line and preview column), or of a file none
// of whose lines holds a position on the sky.
std::string ConvertCatalogImport(const TImportJob& job, TImportTable& out,
                                 const std::function<void(int)>& progress = {});

// The import's report: objects imported, lines refused and why.
std::string ImportReport(const TImportTable& table);

// Runs the import (ConvertCatalogImport, then the table created). Answers
// "" on success, with the report in `report` (may be null), otherwise the
// error text; on every failure, and for a table name the database holds
// already, the database is as it was before. `progress` (may be empty)
// gets the percentage of the file read.
std::string RunCatalogImport(const TImportJob& job, const std::function<void(int)>& progress = {},
                             std::string* report = nullptr);
