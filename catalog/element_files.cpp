#include "catalog/element_files.h"

#include "astro/text.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>

#include "astro/planets.h"
#include "astro/solar_system.h"
#include "astro/timescales.h"
#include "catalog/hooks.h"
#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/inifile.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "shell/messages.h"

std::string AsteroidElementsFile = "default.ast";
std::string CometElementsFile = "default.cmt";

namespace {

constexpr std::size_t kMaxLineChars = 255;
constexpr const char* kVersionLine = ";Noctra Planetarium 3.27";

const char* const kAsteroidTitles[] = {"Show", "Name", "Epoch", "M",  "a", "e",
                                       "Peri", "Node", "i",     "H",  "G"};
const char* const kCometTitles[] = {"Show", "Name", "Epoch", "q", "e",
                                    "Peri", "Node", "i",     "H", "G"};

// File widths of the grid columns.
const int kAsteroidWidths[] = {4, 30, 12, 9, 9, 9, 9, 9, 9, 5, 5};
const int kCometWidths[] = {4, 30, 12, 9, 9, 9, 9, 9, 5, 5};

// Template sections of the numeric columns, from grid column 3 on.
const char* const kAsteroidNumericSections[] = {
    "MEAN ANOMALY",   "SEMI MAJOR AXIS",     "ECCENTRICITY",       "LONGITUDE OF PERIHELION",
    "LONGITUDE OF ASCENDING NODE", "INCLINATION", "ABSOLUTE MAGNITUDE", "MAGNITUDE SLOPE"};
const char* const kCometNumericSections[] = {
    "PERI DIST",   "ECCENTRICITY",       "LONGITUDE OF PERIHELION", "LONGITUDE OF ASCENDING NODE",
    "INCLINATION", "ABSOLUTE MAGNITUDE", "MAGNITUDE SLOPE"};

const std::vector<std::string> kAsteroidHeader = {
    ";Minor planet elements",
    kVersionLine,
    ";Ecliptic plane and equinox=J2000.0",
    ";Sh NAME                           julian epoch M         a         e         Peri      Node  "
    "    Incl      H     G",
    ";23 123456789012345678901234567890 123456789012 123456789 123456789 123456789 123456789 "
    "123456789 123456789 12345 12345"};
const std::vector<std::string> kCometHeader = {
    ";Comet elements",
    kVersionLine,
    ";Ecliptic plane and equinox=J2000.0",
    ";sh name                           julian epoch q         a         e         Peri      Node  "
    "    Incl      H     G",
    ";23 123456789012345678901234567890 123456789012 123456789 123456789 123456789 123456789 "
    "123456789 123456789 12345 12345"};

const int* Widths(TElementKind kind) {
  return kind == TElementKind::Asteroid ? kAsteroidWidths : kCometWidths;
}

// The text padded with blanks or cut to `width` bytes.
std::string Fit(std::string s, int width) {
  s.resize(std::size_t(width), ' ');
  return s;
}

// The file code of a Show text: "Y   ", "N   " or "nM  ". A text that is
// none of the known codes writes "N   ", so the columns never shift.
std::string ShowFileCode(const std::string& show) {
  const std::string u = UpperCaseStr(show);
  if (u == "YES") return "Y   ";
  if ((u.size() == 1 || (u.size() == 2 && u[1] == 'M')) && u[0] >= '1' && u[0] <= '9')
    return std::string(1, u[0]) + "M  ";
  return "N   ";
}

bool SameNameNoCase(const std::string& a, const std::string& b) {
  return UpperCaseStr(a) == UpperCaseStr(b);
}

// True for blanks, an optional sign, digits with one ".", and nothing else:
// only such texts lose their trailing zeros.
bool IsPlainDecimal(const std::string& t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  bool point = false;
  bool digit = false;
  for (; i < t.size(); ++i) {
    if (t[i] == '.') {
      if (point) return false;
      point = true;
    } else if (t[i] >= '0' && t[i] <= '9') {
      digit = true;
    } else {
      break;
    }
  }
  for (; i < t.size(); ++i)
    if (t[i] != ' ') return false;
  return point && digit;
}

std::string JulianDateText(double year, double month, double day) {
  return platform::FormatGeneral(JulianDay(year, month, day, 0.0), 15);
}

std::string FallbackEpochText() { return JulianDateText(2000, 1, 1); }

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};

// Reads one line (without its CR LF), cut to 255 characters. False at the
// end of the file; `error` set when the read failed.
bool ReadLine(std::FILE* f, std::string& line, bool& error) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < kMaxLineChars + 1) line += char(c);
  }
  if (c == EOF && std::ferror(f)) {
    error = true;
    return false;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kMaxLineChars) line.resize(kMaxLineChars);
  return any;
}

}  // namespace

// --- Grid -------------------------------------------------------------------------

TElementGrid::TElementGrid(int columns) : columns_(columns) { SetRowCount(2); }

void TElementGrid::SetRowCount(int rows) {
  cells_.resize(std::size_t(std::max(rows, 2)), std::vector<std::string>(std::size_t(columns_)));
}

const std::string& TElementGrid::Cell(int col, int row) const {
  static const std::string empty;
  if (col < 0 || col >= columns_ || row < 0 || row >= RowCount()) return empty;
  return cells_[std::size_t(row)][std::size_t(col)];
}

void TElementGrid::SetCell(int col, int row, const std::string& text) {
  if (col < 0 || col >= columns_ || row < 0 || row >= RowCount()) return;
  cells_[std::size_t(row)][std::size_t(col)] = text;
}

void TElementGrid::Clear() {
  for (std::size_t r = 1; r < cells_.size(); ++r)
    for (std::string& c : cells_[r]) c.clear();
  cells_.resize(2);
}

int ElementColumns(TElementKind kind) { return kind == TElementKind::Asteroid ? 11 : 10; }

void SetElementTitles(TElementKind kind, TElementGrid& grid) {
  const char* const* titles = kind == TElementKind::Asteroid ? kAsteroidTitles : kCometTitles;
  for (int c = 0; c < ElementColumns(kind); ++c) grid.SetCell(c, 0, titles[c]);
}

// --- Writing ----------------------------------------------------------------------

const std::vector<std::string>& ElementFileHeader(TElementKind kind) {
  return kind == TElementKind::Asteroid ? kAsteroidHeader : kCometHeader;
}

std::string ElementFileLine(TElementKind kind, const TElementGrid& grid, int row) {
  const int* widths = Widths(kind);
  // The show code fills columns 1-4, the name follows directly; every
  // further field after one blank.
  std::string line = ShowFileCode(grid.Cell(0, row));
  line += Fit(platform::Utf8ToCp1252(grid.Cell(1, row)), widths[1]);
  for (int c = 2; c < ElementColumns(kind); ++c)
    line += ' ' + Fit(platform::Utf8ToCp1252(grid.Cell(c, row)), widths[c]);
  return line;
}

namespace {

bool SaveElements(TElementKind kind, const TElementGrid& grid, const std::string& fileName,
                  const std::string& currentFile) {
  // An existing file other than the current one is overwritten only on Yes
  // (No is the default button: Return keeps the file).
  std::error_code ec;
  if (std::filesystem::exists(fileName, ec) && !SameNameNoCase(fileName, currentFile) &&
      platform::ShowMessageBox("Overwrite existing file?", "Noctra Planetarium", platform::MsgButtons::YesNo,
                               platform::MsgIcon::Question, platform::IDNO) != platform::IDYES)
    return false;

  std::string text;
  for (const std::string& h : ElementFileHeader(kind)) text += h + "\r\n";
  for (int r = 1; r <= grid.BodyCount(); ++r) text += ElementFileLine(kind, grid, r) + "\r\n";
  // Written through a temporary file: a failed save never leaves a damaged
  // element file behind.
  if (!platform::WriteFileAtomically(fileName, text.data(), text.size())) {
    ShowErrorMessage(105, "\"" + fileName + "\"");
    return false;
  }
  return true;
}

}  // namespace

bool SaveAsteroidElements(const TElementGrid& grid, const std::string& fileName) {
  return SaveElements(TElementKind::Asteroid, grid, fileName, AsteroidElementsFile);
}

bool SaveCometElements(const TElementGrid& grid, const std::string& fileName) {
  return SaveElements(TElementKind::Comet, grid, fileName, CometElementsFile);
}

// --- Layouts and fields -------------------------------------------------------------

TElementLayout BuiltInElementLayout(TElementKind kind) {
  TElementLayout l;
  l.use = {1, 3};
  l.name = {5, 30};
  l.epoch = {36, 12};
  if (kind == TElementKind::Asteroid)
    l.numeric = {{49, 9}, {59, 9}, {69, 9}, {79, 9}, {89, 9}, {99, 9}, {109, 5}, {115, 5}};
  else
    l.numeric = {{49, 9}, {59, 9}, {69, 9}, {79, 9}, {89, 9}, {99, 5}, {105, 5}};
  return l;
}

namespace {

// The template sections of a layout, each with the span it names; the
// numeric spans are sized for the kind first.
std::vector<std::pair<const char*, TElementSpan*>> TemplateSections(TElementKind kind, TElementLayout& l) {
  const bool asteroid = kind == TElementKind::Asteroid;
  std::vector<std::pair<const char*, TElementSpan*>> s = {{"USE", &l.use},
                                                          {"NAME", &l.name},
                                                          {"EPOCH DAY", &l.epochDay},
                                                          {"EPOCH MONTH", &l.epochMonth},
                                                          {"EPOCH YEAR", &l.epochYear},
                                                          {"EPOCH", &l.epoch}};
  if (asteroid) s.push_back({"EPOCH CODED", &l.epochCoded});
  const char* const* numeric = asteroid ? kAsteroidNumericSections : kCometNumericSections;
  l.numeric.resize(asteroid ? std::size(kAsteroidNumericSections) : std::size(kCometNumericSections));
  for (std::size_t i = 0; i < l.numeric.size(); ++i) s.push_back({numeric[i], &l.numeric[i]});
  return s;
}

}  // namespace

TElementLayout MpcElementLayout(TElementKind kind) {
  // Columns of the Minor Planet Center's one-line orbit formats: minor
  // planets (the export format of MPCORB, packed epoch) and comets (the
  // perihelion date as year, month and day, then the designation and name).
  TElementLayout l;
  if (kind == TElementKind::Asteroid) {
    l.name = {167, 28};
    l.epochCoded = {21, 5};
    l.numeric = {{27, 9}, {93, 11}, {71, 9}, {38, 9}, {49, 9}, {60, 9}, {9, 5}, {15, 5}};
  } else {
    l.name = {103, 56};
    l.epochYear = {15, 4};
    l.epochMonth = {20, 2};
    l.epochDay = {23, 7};
    l.numeric = {{31, 9}, {42, 8}, {52, 8}, {62, 8}, {72, 8}, {92, 4}, {97, 4}};
  }
  return l;
}

TElementLayout ReadElementTemplate(TElementKind kind, const std::string& templatePath) {
  const platform::TIniFile ini(templatePath);
  TElementLayout l;
  for (const auto& [section, span] : TemplateSections(kind, l))
    *span = {ini.ReadInteger(section, "START", -1), ini.ReadInteger(section, "LEN", -1)};
  return l;
}

void EnsureMpcTemplates(const std::string& folder) {
  for (TElementKind kind : {TElementKind::Asteroid, TElementKind::Comet}) {
    const std::string path = folder + (kind == TElementKind::Asteroid ? "mpc.ast.template" : "mpc.cmt.template");
    if (platform::FileExists(path)) continue;
    TElementLayout l = MpcElementLayout(kind);
    std::string text;
    for (const auto& [section, span] : TemplateSections(kind, l))
      text += "[" + std::string(section) + "]\r\nSTART=" + std::to_string(span->start) +
              "\r\nLEN=" + std::to_string(span->len) + "\r\n";
    platform::WriteFileAtomically(path, text.data(), text.size());
  }
}

std::string ElementTemplateName(const std::string& listPath) {
  const std::size_t slash = listPath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : listPath.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? listPath : listPath.substr(slash + 1);
  const std::size_t last = name.rfind('.');
  const std::size_t second = (last == std::string::npos || last == 0) ? std::string::npos
                                                                       : name.rfind('.', last - 1);
  if (second != std::string::npos) return folder + name.substr(second + 1) + ".template";
  return folder + name + ".template";
}

std::string ElementFieldText(const std::string& line, TElementSpan span) {
  if (span.len < 1) return std::string();
  const std::size_t start = std::size_t(std::max(span.start, 1)) - 1;
  if (start >= line.size()) return std::string();
  std::string t = line.substr(start, std::size_t(span.len));
  // Leading blanks.
  t.erase(0, t.find_first_not_of(' ') == std::string::npos ? t.size() : t.find_first_not_of(' '));
  // Trailing zeros of a plain decimal number that end the field.
  if (IsPlainDecimal(t))
    while (!t.empty() && t.back() == '0') t.pop_back();
  // Trailing blanks, then one trailing ".".
  while (!t.empty() && t.back() == ' ') t.pop_back();
  if (!t.empty() && t.back() == '.') t.pop_back();
  return t;
}

int Base36Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return -1;
}

std::string PackedEpochText(const std::string& packedText) {
  const std::string p = packedText.substr(0, 20);
  if (p.size() < 5) return FallbackEpochText();
  const int century = Base36Digit(p[0]);
  const bool digits = p[1] >= '0' && p[1] <= '9' && p[2] >= '0' && p[2] <= '9';
  const int month = Base36Digit(p[3]);
  const int day = Base36Digit(p[4]);
  if (century < 0 || !digits || month < 1 || month > 12 || day < 1 || day > 31)
    return FallbackEpochText();
  const int year = century * 100 + (p[1] - '0') * 10 + (p[2] - '0');
  return JulianDateText(year, month, day);
}

std::string DateEpochText(const std::string& day, const std::string& month,
                          const std::string& year) {
  double d = 0, m = 0, y = 0;
  if (!platform::ParseDouble(day.substr(0, 20), d) || !platform::ParseDouble(month.substr(0, 20), m) ||
      !platform::ParseDouble(year.substr(0, 20), y) || m < 1 || m >= 13 || d < 1 || d >= 32)
    return FallbackEpochText();
  return JulianDateText(y, std::trunc(m), d);
}

// --- Applying ---------------------------------------------------------------------

namespace {

constexpr double kNoValue = 3.4E38;

struct Range {
  double min;
  bool minExclusive;
  double max;
};

// Ranges of the grid columns from 2 on.
const Range kAsteroidRanges[] = {{2086274.5, false, 2816753.5}, {0, false, 360},  {0, true, 1e6},
                                 {0, false, 1.2},               {0, false, 360},  {0, false, 360},
                                 {-180, false, 180},            {-10, false, 30}, {-1, false, 1}};
const Range kCometRanges[] = {{2086274.5, false, 2816753.5}, {0, true, 1e6},    {0, false, 1.2},
                              {0, false, 360},               {0, false, 360},   {-180, false, 180},
                              {-10, false, 30},              {-10, false, 30}};

bool InRange(double v, const Range& r) {
  return (r.minExclusive ? v > r.min : v >= r.min) && v <= r.max;
}

}  // namespace

TElementRow ParseElementRow(TElementKind kind, const TElementGrid& grid, int row) {
  const Range* ranges = kind == TElementKind::Asteroid ? kAsteroidRanges : kCometRanges;
  TElementRow r;
  r.show = platform::CutToChars(UpperCaseStr(grid.Cell(0, row)), 3);
  r.name = platform::CutToChars(grid.Cell(1, row), 30);
  for (int c = 2; c < ElementColumns(kind); ++c) {
    const std::string text = platform::CutToChars(grid.Cell(c, row), 255);
    double v = 0;
    if (!platform::ParseDouble(text, v)) {
      v = kNoValue;
      r.valid = false;
    } else if (!InRange(v, ranges[c - 2])) {
      r.valid = false;
    }
    r.values[c] = v;
  }
  return r;
}

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
// The equinox of the elements as the files give it: JulianDay(2000, 0, 0, 0).
constexpr double kElementsEquinox = 2451511.5;

void ApplyGrid(TElementKind kind, TElementGrid& grid, TSolSysBody* table, int32_t& tableCount) {
  const bool asteroid = kind == TElementKind::Asteroid;
  // The table holds 1,000 bodies; further rows stay in the grid only.
  const int count = std::clamp(grid.BodyCount(), 0, kMaxElementBodies);
  // The overlay threads read the tables: keep them away while rewriting.
  // The new records are made aside and written once the cursor watch is
  // known paused.
  CallHook(CatalogHooks().pauseCursorThread);
  CallHook(CatalogHooks().pauseMagnifierThread);
  auto bodies = std::make_shared<std::vector<TSolSysBody>>(table, table + count);
  for (int r = 1; r <= count; ++r) {
    const TElementRow row = ParseElementRow(kind, grid, r);
    TSolSysBody& b = (*bodies)[std::size_t(r - 1)];
    const double* v = row.values;
    b.ShowCode = row.show;
    b.Name = row.name;
    b.Epoch = v[2];
    if (asteroid) {
      b.MeanAnomaly = v[3] / kDegreesPerRadian;
      b.SemiMajorAxis = v[4];
      b.PerihelionDistance = -1;
    } else {
      b.PerihelionDistance = v[3];
      b.MeanAnomaly = 0;
      b.SemiMajorAxis = -1;
    }
    const int e = asteroid ? 5 : 4;  // column of the eccentricity
    b.Eccentricity = v[e];
    b.Perihelion = v[e + 1] / kDegreesPerRadian;
    b.Node = v[e + 2] / kDegreesPerRadian;
    b.Inclination = v[e + 3] / kDegreesPerRadian;
    b.AbsMagnitude = v[e + 4];
    b.Slope = v[e + 5];
    // A row with a bad cell is kept but neither drawn nor identified.
    if (!row.valid) {
      grid.SetCell(0, r, "No");
      b.ShowCode = "NO";
    }
    b.EquinoxEpoch = kElementsEquinox;
    b.DailyMotion = -1;
    b.Period = -1;
    b.LastJD = -1;  // new elements: the next position is computed afresh
    CheckElementConversion(b);
  }
  RunWhenCursorPaused([bodies, table, &tableCount] {
    std::copy(bodies->begin(), bodies->end(), table);
    tableCount = int32_t(bodies->size());
    CallHook(CatalogHooks().resumeMagnifierThread);
    CallHook(CatalogHooks().resumeCursorThread);
    // The chart shows the new bodies at once, with the time stopped too.
    CallHook(CatalogHooks().requestReplot);
  });
}

}  // namespace

void ApplyAsteroidGrid(TElementGrid& grid) {
  ApplyGrid(TElementKind::Asteroid, grid, Asteroids, AsteroidCount);
}

void ApplyCometGrid(TElementGrid& grid) { ApplyGrid(TElementKind::Comet, grid, Comets, CometCount); }

// --- Reading lists --------------------------------------------------------------

int ElementFileBodyCount(const std::string& fileName) {
  std::unique_ptr<std::FILE, FileCloser> f(platform::OpenDataFile(fileName));
  if (!f) return -1;
  int count = 0;
  std::string line;
  bool readError = false;
  while (ReadLine(f.get(), line, readError))
    if (!line.empty() && line[0] != ';' && line.size() > 20) ++count;
  return count;
}

namespace {

bool LoadElements(TElementKind kind, TElementGrid& grid, const std::string& fileName,
                  bool mergeMode, bool& templateUsed, TElementLoadProblem& problem) {
  problem = TElementLoadProblem::None;
  // Only a regular file is read: a pipe in the list's place would hold the
  // reader for ever.
  std::unique_ptr<std::FILE, FileCloser> f(platform::OpenDataFile(fileName));
  if (!f) {
    problem = errno == ENOENT   ? TElementLoadProblem::Missing
              : errno == EINVAL ? TElementLoadProblem::NotAFile
                                : TElementLoadProblem::Unreadable;
    return false;
  }

  // The bodies already in the grid, typed rows included, count in merge
  // mode; replace mode starts from an empty grid.
  if (!mergeMode) grid.Clear();
  int count = std::max(grid.BodyCount(), 0);

  // The template beside the list; a Minor Planet Center list without one
  // is read in the Center's own layout, so that a saved list loads right
  // wherever it lies.
  const std::string templatePath = ElementTemplateName(fileName);
  const std::string templateName = templatePath.substr(templatePath.find_last_of('/') + 1);
  const bool mpc =
      SameNameNoCase(templateName, kind == TElementKind::Asteroid ? "mpc.ast.template" : "mpc.cmt.template");
  const bool haveTemplate = platform::FileExists(templatePath);
  templateUsed = haveTemplate || mpc;
  TElementLayout layout = haveTemplate ? ReadElementTemplate(kind, templatePath)
                          : mpc        ? MpcElementLayout(kind)
                                       : BuiltInElementLayout(kind);
  const std::string marker = ElementFileHeader(kind)[0];
  bool markerSeen = false;
  const bool asteroid = kind == TElementKind::Asteroid;

  std::string line;
  bool readError = false;
  while (ReadLine(f.get(), line, readError)) {
    // A native file is read with the native layout, whatever template exists.
    if (line == marker) markerSeen = true;
    if (markerSeen && line == kVersionLine) layout = BuiltInElementLayout(kind);
    if (line.empty() || line[0] == ';' || line.size() <= 20) continue;

    // The row: a body of the same name in merge mode, else a new one.
    const std::string name = platform::Cp1252ToUtf8(ElementFieldText(line, layout.name));
    int row = 0;
    if (mergeMode)
      for (int r = 1; r <= count && row == 0; ++r)
        if (SameNameNoCase(grid.Cell(1, r), name)) row = r;
    if (row == 0) {
      if (count >= kMaxElementBodies) {
        problem = TElementLoadProblem::TooMany;
        if (asteroid) return false;  // the list does not fit the table
        break;
      }
      row = ++count;
      if (grid.RowCount() < count + 2) grid.SetRowCount(count + 2);
    }

    // Show: "Yes" without a USE field or for a blank or "Y" there.
    std::string show = "Yes";
    if (layout.use.start != -1) {
      const std::size_t at = std::size_t(std::max(layout.use.start, 1)) - 1;
      const char c = at < line.size() ? line[at] : ' ';
      if (c == 'N')
        show = "No";
      else if (c != ' ' && c != 'Y')
        show = platform::Cp1252ToUtf8(ElementFieldText(line, layout.use));
    }
    grid.SetCell(0, row, show);
    grid.SetCell(1, row, name);

    std::string epoch;
    if (layout.epoch.start != -1)
      epoch = ElementFieldText(line, layout.epoch);
    else if (asteroid && layout.epochCoded.start != -1)
      epoch = PackedEpochText(ElementFieldText(line, layout.epochCoded));
    else
      epoch = DateEpochText(ElementFieldText(line, layout.epochDay),
                            ElementFieldText(line, layout.epochMonth),
                            ElementFieldText(line, layout.epochYear));
    grid.SetCell(2, row, platform::Cp1252ToUtf8(epoch));

    for (std::size_t i = 0; i < layout.numeric.size(); ++i)
      grid.SetCell(3 + int(i), row, platform::Cp1252ToUtf8(ElementFieldText(line, layout.numeric[i])));
  }
  // A read error ends an asteroid load as a failure; comets keep what was read.
  if (readError) problem = TElementLoadProblem::Unreadable;
  if (readError && asteroid) return false;
  f.reset();
  grid.SetRowCount(count + 2);
  if (asteroid)
    ApplyAsteroidGrid(grid);
  else
    ApplyCometGrid(grid);
  return true;
}

}  // namespace

bool LoadAsteroidElements(TElementGrid& grid, const std::string& fileName, bool mergeMode,
                          bool& templateUsed, TElementLoadProblem* problem) {
  TElementLoadProblem p;
  const bool ok = LoadElements(TElementKind::Asteroid, grid, fileName, mergeMode, templateUsed, p);
  if (problem) *problem = p;
  return ok;
}

bool LoadCometElements(TElementGrid& grid, const std::string& fileName, bool mergeMode,
                       bool& templateUsed, TElementLoadProblem* problem) {
  TElementLoadProblem p;
  const bool ok = LoadElements(TElementKind::Comet, grid, fileName, mergeMode, templateUsed, p);
  if (problem) *problem = p;
  return ok;
}

std::string ElementLoadProblemText(TElementKind kind, const std::string& fileName, TElementLoadProblem problem) {
  const bool asteroid = kind == TElementKind::Asteroid;
  const std::string bodies = asteroid ? "asteroids" : "comets";
  const std::string list = (asteroid ? "The asteroid list \"" : "The comet list \"") + fileName + "\"";
  const std::string kept = " The file stays as it is.";
  static_assert(kMaxElementBodies == 1000, "the texts name the limit");
  if (problem == TElementLoadProblem::TooMany)
    return list + " holds more than 1,000 " + bodies + ", the most the table takes: " +
           (asteroid ? "it was not loaded." : "only the first 1,000 were loaded.") + kept + " Keep at most 1,000 " +
           bodies + " in it to load it whole.";
  if (problem == TElementLoadProblem::NotAFile)
    return list + " was not loaded: it is not a regular file (a named pipe, a folder or a device stands in its place)." +
           kept;
  if (problem == TElementLoadProblem::Unreadable)
    return list + " could not be read" + (asteroid ? ": it was not loaded." : " whole: only what was read was loaded.") +
           kept;
  return std::string();
}
