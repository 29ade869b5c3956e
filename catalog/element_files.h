// Orbital elements of asteroids and comets in their three forms: the native
// text files (".ast", ".cmt"), the element grids of the solar-system window
// (plain text cells, one row per body) and the record tables Asteroids and
// Comets that the chart computes from. Files are read into a grid, a grid is
// written to a file, and the apply step validates a grid and fills the
// table. Asteroid and comet routines are twins that differ in their columns,
// header and ranges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// --- The grid ---------------------------------------------------------------------

// Row 0 holds the column titles, rows 1 .. RowCount − 2 the bodies, and the
// last row stays empty for typing a new body. An empty grid has RowCount 2.
class TElementGrid {
 public:
  explicit TElementGrid(int columns);

  int ColCount() const { return columns_; }
  int RowCount() const { return int(cells_.size()); }
  // Number of bodies: RowCount − 2.
  int BodyCount() const { return RowCount() - 2; }
  // Sets the row count (at least 2); new rows are empty.
  void SetRowCount(int rows);
  // Cell text; a cell outside the grid reads as "" and ignores writes.
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, const std::string& text);
  // Empties rows 1 .. RowCount − 1 and sets RowCount to 2 (titles stay).
  void Clear();

 private:
  int columns_;
  std::vector<std::vector<std::string>> cells_;
};

enum class TElementKind { Asteroid, Comet };

// Grid columns: asteroids Show, Name, Epoch, M, a, e, Peri, Node, i, H, G;
// comets Show, Name, Epoch, q, e, Peri, Node, i, H, G.
int ElementColumns(TElementKind kind);
// Writes the column titles into row 0.
void SetElementTitles(TElementKind kind, TElementGrid& grid);

// Names of the current element files ("default.ast" and "default.cmt" at
// start; empty means none).
extern std::string AsteroidElementsFile;
extern std::string CometElementsFile;

// Most bodies a table holds.
inline constexpr int kMaxElementBodies = 1000;

// --- Native files ---------------------------------------------------------------

// The data line of grid row `row` (119 characters for asteroids, 109 for
// comets), Windows-1252.
std::string ElementFileLine(TElementKind kind, const TElementGrid& grid, int row);
// The five header lines.
const std::vector<std::string>& ElementFileHeader(TElementKind kind);

// Writes the grid to a native file (header, then one line per body, CR LF).
// An existing file other than the current element file is overwritten only
// after the user agrees. The file is replaced only when written completely;
// otherwise coded message 105 and false.
bool SaveAsteroidElements(const TElementGrid& grid, const std::string& fileName);
bool SaveCometElements(const TElementGrid& grid, const std::string& fileName);

// --- Applying a grid -------------------------------------------------------------

// The cells of one grid row, converted and checked.
struct TElementRow {
  std::string show;       // the Show text upper-cased, cut to 3 characters
  std::string name;       // cut to 30 characters
  double values[11] = {}; // columns 2..: 3.4E38 for a text that does not convert
  bool valid = true;      // every value converted and lies in its column's range
};
TElementRow ParseElementRow(TElementKind kind, const TElementGrid& grid, int row);

// Validates the grid and fills the table (Asteroids and AsteroidCount, or
// Comets and CometCount) from rows 1 .. min(RowCount − 2, 1,000). Rows with
// a bad cell get "No" in their Show cell and "NO" as the record's use field.
// The overlay threads are paused while the table is rewritten.
void ApplyAsteroidGrid(TElementGrid& grid);
void ApplyCometGrid(TElementGrid& grid);

// --- Reading lists --------------------------------------------------------------

// Start column (1-based) and length of one field of a list line; -1 = absent.
struct TElementSpan {
  int start = -1;
  int len = -1;
};

// Where each field stands in a line. `numeric` lists the grid columns from
// 3 on (asteroids M, a, e, Peri, Node, i, H, G; comets q, e, Peri, Node, i,
// H, G).
struct TElementLayout {
  TElementSpan use, name, epochDay, epochMonth, epochYear, epoch, epochCoded;
  std::vector<TElementSpan> numeric;
};

// The layout of the native files.
TElementLayout BuiltInElementLayout(TElementKind kind);
// The layout of the Minor Planet Center's one-line lists: minor planets in
// the export format of MPCORB (packed epoch), comets with the perihelion
// date as year, month and day.
TElementLayout MpcElementLayout(TElementKind kind);
// Writes the column templates "mpc.ast.template" and "mpc.cmt.template"
// (the layouts above) into `folder` ("" or ending in "/") where missing.
void EnsureMpcTemplates(const std::string& folder);
// The layout of a column template (INI sections named after the fields,
// keys START and LEN; anything missing reads as -1).
TElementLayout ReadElementTemplate(TElementKind kind, const std::string& templatePath);
// The template that belongs to a list: "x/2026-12-06.mpc.ast" uses
// "x/mpc.ast.template", "x/bright.ast" uses "x/bright.ast.template".
std::string ElementTemplateName(const std::string& listPath);

// The text of a field, trimmed: leading blanks go; in a plain decimal number
// trailing zeros go; trailing blanks go; then one trailing ".".
std::string ElementFieldText(const std::string& line, TElementSpan span);

// "0".."9" give 0..9, "A".."Z" give 10..35, any other character -1.
int Base36Digit(char c);
// The Julian date text of a packed five-character MPC date ("K107N" gives
// "2455400.5"); a malformed date gives 2000 January 1.0.
std::string PackedEpochText(const std::string& packed);
// The Julian date text of a day (with fraction), month and year; texts that
// do not convert, or a date outside the calendar, give 2000 January 1.0.
std::string DateEpochText(const std::string& day, const std::string& month,
                          const std::string& year);

// The number of body lines of a list (lines that are not empty, not a
// comment and longer than 20 characters, as the readers take them); -1 when
// the file cannot be opened.
int ElementFileBodyCount(const std::string& fileName);

// How a list was read: whole (or there is no file of that name), or not
// whole because the file cannot be opened or read to its end (or is no
// regular file: a pipe, a folder or a device in its place), or because it
// holds more bodies than a table takes.
enum class TElementLoadProblem { None, Missing, NotAFile, Unreadable, TooMany };

// What the user is told of a list not read whole: its name, why, what was
// loaded, and that the file stays as it is; "" for None and Missing.
std::string ElementLoadProblemText(TElementKind kind, const std::string& fileName, TElementLoadProblem problem);

// Reads a list into the grid, through the column template named after it
// when one exists, in the Minor Planet Center's layout when the list is
// named like a downloaded one ("*.mpc.ast", "*.mpc.cmt") and has no template
// beside it (`templateUsed` tells of both), else in the native layout. Replace
// mode empties the grid first; merge mode overwrites rows of the same name
// (ignoring case) and appends the others after the grid's bodies. At most
// 1,000 bodies: asteroid lists with more fail, comet lists keep the first
// 1,000. On success the grid is applied to the table. False, and the table
// untouched, when the file cannot be opened or read. `problem` (may be
// null) tells whether the list was read whole.
bool LoadAsteroidElements(TElementGrid& grid, const std::string& fileName, bool mergeMode,
                          bool& templateUsed, TElementLoadProblem* problem = nullptr);
bool LoadCometElements(TElementGrid& grid, const std::string& fileName, bool mergeMode,
                       bool& templateUsed, TElementLoadProblem* problem = nullptr);
