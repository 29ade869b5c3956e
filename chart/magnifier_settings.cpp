// The magnifier's telescopes, eyepieces and switches (see magnifier_settings.h).
#include "chart/magnifier_settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/codec.h"
#include "platform/numfmt.h"
#include "platform/registry.h"
#include "shell/messages.h"
#include "shell/settings_sections.h"

TMagnifierGrid TeleGrid(kTeleColumns);
TMagnifierGrid EyeGrid(kEyeColumns);
uint8_t EyepieceValid[kMaxGridEntries + 1] = {};
uint8_t TelescopeValid[kMaxGridEntries + 1] = {};
int32_t TelescopeEyepiece[kMaxGridEntries + 1] = {};
TFieldCell FieldTable[kMaxGridEntries + 1][kMaxGridEntries + 1];
int32_t DefaultFieldOfView = 9;
TMagnifierSwitches MagnifierSwitches;
std::function<void(int32_t mode)> MagnifierFieldModeChanged;

namespace {

const char* const kSection = "Magnifier";
const char* const kTeleValueNames[kTeleColumns] = {" name",    " diameter", " focal ratio",
                                                   " mirrors", " inverts",  " default eyepiece"};
const char* const kEyeValueNames[kEyeColumns] = {" name", " focal length", " focal ratio"};

// Lower-cased, blanks trimmed at both ends.
std::string Clean(const std::string& text) {
  std::string s;
  for (char c : text) s += char(std::tolower(static_cast<unsigned char>(c)));
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool ReadNumber(const std::string& text, double& value) {
  return platform::ParseDouble(text, value) && std::isfinite(value);
}

// A length with an optional unit at its end: the inch sign, "in", "in.",
// "mm" or "cm"; without a unit the number is in inches. Millimetres within
// [low, high]. A unit anywhere but at the end is not a number.
bool ParseLength(const std::string& text, double low, double high, double& mm) {
  mm = 0;
  std::string s = Clean(text);
  double factor = 25.4;
  for (const char* unit : {"\"", "in.", "in", "mm", "cm"}) {
    if (EndsWith(s, unit)) {
      s.resize(s.size() - std::string(unit).size());
      if (std::string(unit) == "mm") factor = 1;
      if (std::string(unit) == "cm") factor = 10;
      break;
    }
  }
  double v;
  if (!ReadNumber(Clean(s), v)) return false;
  v *= factor;
  if (v < low || v > high) return false;
  mm = v;
  return true;
}

bool CellPresent(const TMagnifierGrid& g, int row, int col) { return !Clean(g.Cells[row][col]).empty(); }

int EntryRows(const TMagnifierGrid& g) { return std::clamp(g.RowCount, 2, kGridMaxRows) - 1; }

}  // namespace

bool TMagnifierGrid::RowEmpty(int row) const {
  for (int c = 0; c < Columns; ++c)
    if (!Cells[row][c].empty()) return false;
  return true;
}

std::vector<std::string> FieldChoiceNames() {
  std::vector<std::string> names = {"Automatic", "15 minutes (¼°)", "30 minutes (½°)", "1 degree", "2 degree",
                                    "5 degree",  "10 degree",       "15 degree",       "20 degree"};
  for (int t = 1; t <= kMaxGridEntries; ++t) {
    std::string name = "Incomplete";
    if (TelescopeValid[t] && t < kGridMaxRows) {
      name = TeleGrid.Cells[t][0];
      if (name.size() > 40) name.resize(40);
    }
    names.push_back(name);
  }
  return names;
}

bool ParseDiameter(const std::string& text, double& mm) { return ParseLength(text, 15, 1016, mm); }

bool ParseEyepieceFocalLength(const std::string& text, double& mm) { return ParseLength(text, 4, 60, mm); }

bool ParseFocalRatio(const std::string& text, double& ratio) {
  ratio = 0;
  std::string s = Clean(text);
  if (s.rfind("f/", 0) == 0) s.erase(0, 2);
  else if (s.find("f/") != std::string::npos) return false;
  else if (const auto f = s.find('f'); f != std::string::npos) s.erase(f, 1);
  s = Clean(s);
  double v = 0;
  if (!s.empty() && !ReadNumber(s, v)) return false;
  if (v < 3 || v > 30) return false;
  ratio = v;
  return true;
}

bool ParseMirrorFlag(const std::string& text, int32_t& factor) {
  const std::string s = Clean(text);
  factor = 1;
  if (s == "-1" || s == "y" || s == "yes") {
    factor = -1;
    return true;
  }
  return s.empty() || s == "n" || s == "no" || s == "1";
}

bool ParseApparentField(const std::string& text, double& degrees) {
  degrees = 0;
  std::string s = Clean(text);
  for (const char* unit : {"degrees", "degree", "deg.", "deg", "°"}) {
    if (EndsWith(s, unit)) {
      s.resize(s.size() - std::string(unit).size());
      break;
    }
  }
  double v;
  if (!ReadNumber(Clean(s), v) || v < 20 || v > 90) return false;
  degrees = v;
  return true;
}

bool ValidateTeleCell(const std::string& text, int column) {
  const std::string s = Clean(text);
  if (s.empty() || s == "invalid" || column == 0 || column == 5) return true;
  double v;
  int32_t f;
  switch (column) {
    case 1: return ParseDiameter(s, v);
    case 2: return ParseFocalRatio(s, v);
    case 3:
    case 4: return ParseMirrorFlag(s, f);
    default: return true;
  }
}

bool ValidateEyeCell(const std::string& text, int column) {
  const std::string s = Clean(text);
  if (s.empty() || s == "invalid") return true;
  double v;
  if (column == 1) return ParseEyepieceFocalLength(s, v);
  if (column == 2) return ParseApparentField(s, v);
  return true;
}

void BuildFieldTables() {
  std::fill(std::begin(EyepieceValid), std::end(EyepieceValid), 0);
  std::fill(std::begin(TelescopeValid), std::end(TelescopeValid), 0);
  std::fill(std::begin(TelescopeEyepiece), std::end(TelescopeEyepiece), 0);
  // Eyepieces: focal length and field present and readable.
  int first = 0;
  for (int e = 1; e <= std::min(EntryRows(EyeGrid), kMaxGridEntries); ++e) {
    double v;
    if (EyeGrid.RowEmpty(e)) continue;
    if (ParseEyepieceFocalLength(EyeGrid.Cells[e][1], v) && ParseApparentField(EyeGrid.Cells[e][2], v)) {
      EyepieceValid[e] = 1;
      if (first == 0) first = e;
    }
  }
  // Telescopes: diameter, focal ratio, mirror and invert present and readable,
  // and an eyepiece to go with them.
  for (int t = 1; t <= std::min(EntryRows(TeleGrid), kMaxGridEntries); ++t) {
    if (first == 0 || TeleGrid.RowEmpty(t)) continue;
    bool ok = true;
    for (int c = 1; c <= 4; ++c) ok = ok && CellPresent(TeleGrid, t, c);
    double v;
    int32_t f;
    ok = ok && ParseDiameter(TeleGrid.Cells[t][1], v) && ParseFocalRatio(TeleGrid.Cells[t][2], v) &&
         ParseMirrorFlag(TeleGrid.Cells[t][3], f) && ParseMirrorFlag(TeleGrid.Cells[t][4], f);
    if (!ok) continue;
    TelescopeValid[t] = 1;
    // The default eyepiece: a row number, else a name, else the first.
    const std::string d = Clean(TeleGrid.Cells[t][5]);
    if ((d.size() == 1 && d[0] >= '1' && d[0] <= '9') || d == "10") {
      const int n = std::stoi(d);
      if (EyepieceValid[n]) {
        TelescopeEyepiece[t] = n;
      } else {
        TelescopeValid[t] = 0;
        TelescopeEyepiece[t] = first;
      }
      continue;
    }
    TelescopeEyepiece[t] = first;
    for (int e = 1; e <= kMaxGridEntries && !d.empty(); ++e)
      if (EyepieceValid[e] && Clean(EyeGrid.Cells[e][0]) == d) {
        TelescopeEyepiece[t] = e;
        break;
      }
  }
}

// True field = apparent field / magnification = A × f_e / (D × N).
void ComputeFieldTable() {
  for (auto& row : FieldTable)
    for (auto& cell : row) cell = TFieldCell{};
  for (int e = 1; e <= std::min(EntryRows(EyeGrid), kMaxGridEntries); ++e) {
    double fe, a;
    if (!ParseEyepieceFocalLength(EyeGrid.Cells[e][1], fe) || !ParseApparentField(EyeGrid.Cells[e][2], a)) continue;
    for (int t = 1; t <= std::min(EntryRows(TeleGrid), kMaxGridEntries); ++t) {
      double d, n;
      int32_t mirror, invert;
      if (!ParseDiameter(TeleGrid.Cells[t][1], d) || !ParseFocalRatio(TeleGrid.Cells[t][2], n) ||
          !ParseMirrorFlag(TeleGrid.Cells[t][3], mirror) || !ParseMirrorFlag(TeleGrid.Cells[t][4], invert))
        continue;
      const double magnification = d * n / fe;
      FieldTable[t][e] = TFieldCell{a / magnification, mirror, invert};
    }
  }
}

int32_t FieldModeFromDefault() {
  BuildFieldTables();
  ComputeFieldTable();
  int32_t v = DefaultFieldOfView;
  if (v == 0) v = 9;
  else if (v >= 9 && v <= 18) v += 1;
  v = std::clamp(v, 1, 19);
  if (v >= 10) {
    const int t = v - 9;
    v = TelescopeValid[t] ? 100 * t : 9;
  }
  return v;
}

void TidyGrid(TMagnifierGrid& grid, int editingRow) {
  grid.RowCount = std::clamp(grid.RowCount, 2, kGridMaxRows);
  // 1. Close the gaps; the row count is read again after each removal and
  // the same row tested again after a shift.
  int row = 1;
  while (row <= grid.RowCount - 2) {
    if (grid.RowEmpty(row) && row != editingRow) {
      for (int r = row; r < grid.RowCount - 1; ++r)
        for (int c = 0; c < grid.Columns; ++c) grid.Cells[r][c] = grid.Cells[r + 1][c];
      for (int c = 0; c < grid.Columns; ++c) grid.Cells[grid.RowCount - 1][c].clear();
      --grid.RowCount;
      if (editingRow > row) --editingRow;
    } else {
      ++row;
    }
  }
  // 2. At most one empty row at the end.
  if (grid.RowCount > 2 && grid.RowEmpty(grid.RowCount - 1) && grid.RowEmpty(grid.RowCount - 2)) --grid.RowCount;
  // 3. A filled last row gets an empty one after it.
  if (!grid.RowEmpty(grid.RowCount - 1) && grid.RowCount < kGridMaxRows) {
    for (int c = 0; c < grid.Columns; ++c) grid.Cells[grid.RowCount][c].clear();
    ++grid.RowCount;
  }
}

// --- Registry ---

void ReadRegMagnifier() {
  platform::TRegIniFile reg;
  TMagnifierSwitches& s = MagnifierSwitches;
  s.ShowGrid = reg.ReadBool(kSection, "coordinate grid", true);
  s.GraphicSun = reg.ReadBool(kSection, "graphic solsys", true);
  s.ShowMinorBodies = reg.ReadBool(kSection, "show asteroids comets", true);
  s.StarMode = reg.ReadBool(kSection, "star size as brightness", true) ? 0 : 2;
  s.IdentifyObjects = reg.ReadBool(kSection, "identify objects", true);
}

namespace {
void ReadGrid(const platform::TRegIniFile& reg, TMagnifierGrid& g, const char* count, const char* prefix,
              const char* const* names) {
  g.RowCount = std::clamp(reg.ReadInteger(kSection, count, 2), 2, kGridMaxRows);
  for (int r = 1; r < kGridMaxRows; ++r)
    for (int c = 0; c < g.Columns; ++c)
      g.Cells[r][c] = r < g.RowCount ? reg.ReadString(kSection, prefix + std::to_string(r) + names[c], "") : "";
}
void WriteGrid(platform::TRegIniFile& reg, const TMagnifierGrid& g, const char* count, const char* prefix,
               const char* const* names) {
  reg.WriteInteger(kSection, count, g.RowCount);
  for (int r = 1; r < g.RowCount; ++r)
    for (int c = 0; c < g.Columns; ++c) reg.WriteString(kSection, prefix + std::to_string(r) + names[c], g.Cells[r][c]);
}
int32_t ApplyFieldMode() {
  const int32_t mode = FieldModeFromDefault();
  if (MagnifierFieldModeChanged) MagnifierFieldModeChanged(mode);
  return mode;
}
}  // namespace

int32_t ReadRegTeleAndEyepiece() {
  platform::TRegIniFile reg;
  ReadGrid(reg, TeleGrid, "number telescopes", "Tele", kTeleValueNames);
  ReadGrid(reg, EyeGrid, "number eyepieces", "Eyepiece", kEyeValueNames);
  DefaultFieldOfView = reg.ReadInteger(kSection, "default field of view", 9, 0, kLastFieldChoice);
  return ApplyFieldMode();
}

void WriteRegMagnifier() {
  platform::TRegIniFile reg;
  const TMagnifierSwitches& s = MagnifierSwitches;
  reg.WriteBool(kSection, "coordinate grid", s.ShowGrid);
  reg.WriteBool(kSection, "graphic solsys", s.GraphicSun);
  reg.WriteBool(kSection, "show asteroids comets", s.ShowMinorBodies);
  reg.WriteBool(kSection, "identify objects", s.IdentifyObjects);
  reg.WriteBool(kSection, "star size as brightness", s.StarMode == 0);
  reg.WriteInteger(kSection, "default field of view", DefaultFieldOfView);
  WriteGrid(reg, TeleGrid, "number telescopes", "Tele", kTeleValueNames);
  WriteGrid(reg, EyeGrid, "number eyepieces", "Eyepiece", kEyeValueNames);
  reg.Flush();
  ShowFlashMessage("Magnifier defaults saved.", 2);
}

// --- Settings file, slot 7 ---
// 0..4 the five switches, 5 telescope row count (u32), 9 telescope cells
// (10 rows × 6 columns × 256 bytes), 15369 eyepiece row count, 15373
// eyepiece cells (10 × 3 × 256), 23053 default field (i32).

namespace {
constexpr std::size_t kTeleCountAt = 5, kTeleCellsAt = 9, kEyeCountAt = 15369, kEyeCellsAt = 15373,
                      kDefaultAt = 23053;

void PutGrid(uint8_t* p, const TMagnifierGrid& g) {
  for (int r = 1; r <= kMaxGridEntries; ++r)
    for (int c = 0; c < g.Columns; ++c)
      platform::PutShortString(p + ((r - 1) * g.Columns + c) * 256, r < g.RowCount ? g.Cells[r][c] : "");
}
void GetGrid(const uint8_t* p, uint32_t rows, TMagnifierGrid& g) {
  g.RowCount = int32_t(std::clamp<uint32_t>(rows, 2, kGridMaxRows));
  for (int r = 1; r < kGridMaxRows; ++r)
    for (int c = 0; c < g.Columns; ++c)
      g.Cells[r][c] = r < g.RowCount ? platform::GetShortString(p + ((r - 1) * g.Columns + c) * 256) : "";
}
}  // namespace

std::vector<uint8_t> MagnifierSettingsBlock() {
  std::vector<uint8_t> b(kMagnifierBlockBytes, 0);
  const TMagnifierSwitches& s = MagnifierSwitches;
  b[0] = s.ShowGrid;
  b[1] = s.GraphicSun;
  b[2] = s.ShowMinorBodies;
  b[3] = s.StarMode;
  b[4] = s.IdentifyObjects;
  platform::PutU32(&b[kTeleCountAt], uint32_t(TeleGrid.RowCount));
  PutGrid(&b[kTeleCellsAt], TeleGrid);
  platform::PutU32(&b[kEyeCountAt], uint32_t(EyeGrid.RowCount));
  PutGrid(&b[kEyeCellsAt], EyeGrid);
  platform::PutI32(&b[kDefaultAt], DefaultFieldOfView);
  return b;
}

bool ApplyMagnifierSettingsBlock(const std::vector<uint8_t>& b) {
  // A damaged block (wrong size, switches that are not Booleans, a star mode
  // other than 0 or 2, a default field outside the list) changes nothing.
  if (b.size() != kMagnifierBlockBytes) return false;
  if (b[0] > 1 || b[1] > 1 || b[2] > 1 || (b[3] != 0 && b[3] != 2) || b[4] > 1) return false;
  const int32_t defaultField = platform::GetI32(&b[kDefaultAt]);
  if (defaultField < 0 || defaultField > kLastFieldChoice) return false;
  MagnifierSwitches = TMagnifierSwitches{b[0], b[1], b[2], b[3], b[4]};
  GetGrid(&b[kTeleCellsAt], platform::GetU32(&b[kTeleCountAt]), TeleGrid);
  GetGrid(&b[kEyeCellsAt], platform::GetU32(&b[kEyeCountAt]), EyeGrid);
  DefaultFieldOfView = defaultField;
  ApplyFieldMode();
  return true;
}

void RegisterMagnifierSettingsSection() {
  TSettingsSectionOwner owner;
  owner.blockBytes = kMagnifierBlockBytes;
  owner.write = [] { return MagnifierSettingsBlock(); };
  owner.read = [](const std::vector<uint8_t>* block) {
    if (!block) {
      ApplyFieldMode();
      return true;
    }
    return ApplyMagnifierSettingsBlock(*block);
  };
  RegisterSettingsSection(kMagnifierSettingsSlot, std::move(owner));
}
