// The magnifier's settings: the user's telescopes and eyepieces (the cells of
// the two grids of TMagnifierSettingsForm1), the tables derived from them
// (valid flags, default eyepieces, the field-of-view table with each pair's
// true field and image orientation), the magnifier's layer switches, the
// default field of view, the registry section "Magnifier" and block 7 of the
// settings files.
//
// The window (chart/forms) only shows and edits these; everything here runs
// without widgets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr int kMaxGridEntries = 10;
inline constexpr int kGridMaxRows = 11;  // header + 10 entries
inline constexpr int kTeleColumns = 6;   // Name, Diameter, Focal Ratio, Mirror, Invert, Default Eyepiece
inline constexpr int kEyeColumns = 3;    // Name, Focal Length, Field Of View
inline constexpr int kMagnifierSettingsSlot = 7;
inline constexpr std::size_t kMagnifierBlockBytes = 23057;

// The two grids: row 0 is the header, rows 1..RowCount-1 hold text; the
// grid keeps one empty row after the last entry while it has fewer than ten.
struct TMagnifierGrid {
  explicit TMagnifierGrid(int32_t columns = 0) : Columns(columns) {}
  int32_t Columns = 0;
  int32_t RowCount = 2;
  std::string Cells[kGridMaxRows][kTeleColumns];
  bool RowEmpty(int row) const;
};
extern TMagnifierGrid TeleGrid;
extern TMagnifierGrid EyeGrid;

// One telescope-eyepiece pair: true field (degrees), mirror and invert
// factors (-1 = mirrored left-right, upside down).
struct TFieldCell {
  double TrueField = 0.0;
  int32_t Mirror = 1;
  int32_t Invert = 1;
};
// Derived tables, index 1..10 = grid row (index 0 unused).
extern uint8_t EyepieceValid[kMaxGridEntries + 1];
extern uint8_t TelescopeValid[kMaxGridEntries + 1];
extern int32_t TelescopeEyepiece[kMaxGridEntries + 1];
extern TFieldCell FieldTable[kMaxGridEntries + 1][kMaxGridEntries + 1];
// Index in the default-field list (0 automatic, 1..8 fixed fields, 9 + k the
// telescope of row k + 1), 0..kLastFieldChoice.
extern int32_t DefaultFieldOfView;
inline constexpr int32_t kLastFieldChoice = 18;
// The 19 choices of the default-field list.
std::vector<std::string> FieldChoiceNames();

// The magnifier's layer switches.
struct TMagnifierSwitches {
  uint8_t ShowGrid = 1;
  uint8_t GraphicSun = 1;  // also the Moon and the planets
  uint8_t ShowMinorBodies = 1;  // asteroids and comets
  uint8_t StarMode = 0;   // 0 magnitude as brightness (images), 2 as size (discs)
  uint8_t IdentifyObjects = 1;
};
extern TMagnifierSwitches MagnifierSwitches;

// --- Cell checks (text lower-cased and trimmed first) ---
// Each returns true with the value, or false with 0.
bool ParseDiameter(const std::string& text, double& mm);         // 15..1016 mm; no unit = inches
bool ParseFocalRatio(const std::string& text, double& ratio);    // 3..30
bool ParseMirrorFlag(const std::string& text, int32_t& factor);  // -1 or 1
bool ParseEyepieceFocalLength(const std::string& text, double& mm);  // 4..60 mm; no unit = inches
bool ParseApparentField(const std::string& text, double& degrees);   // 20..90
bool ValidateTeleCell(const std::string& text, int column);
bool ValidateEyeCell(const std::string& text, int column);

// Rebuilds EyepieceValid, TelescopeValid and TelescopeEyepiece from the grids.
void BuildFieldTables();
// Rebuilds FieldTable from the grids.
void ComputeFieldTable();
// The field-of-view mode after reading settings, from DefaultFieldOfView and
// the tables (rebuilt first): 100 × t for a valid telescope choice, else 9
// (automatic) or the fixed field.
int32_t FieldModeFromDefault();
// Called with the new mode after settings were read (the main window
// rebuilds its telescope menu and applies the mode); may be empty.
extern std::function<void(int32_t mode)> MagnifierFieldModeChanged;

// --- Tidy timer step ---
// Removes the empty rows between entries (never the row being edited),
// keeps exactly one empty row after the last entry while there are fewer
// than ten, as the window's 500 ms timer does. editingRow: -1 for none.
void TidyGrid(TMagnifierGrid& grid, int editingRow);

// --- Registry section "Magnifier" ---
void ReadRegMagnifier();
// The grids and the default field (one outside the list reads as 9), then
// the derived tables and the field mode (returned and passed to MagnifierFieldModeChanged).
int32_t ReadRegTeleAndEyepiece();
// Writes the switches, the default field and the grids, and says so in the
// flash message "Magnifier defaults saved.".
void WriteRegMagnifier();

// --- Settings file, slot 7 ---
std::vector<uint8_t> MagnifierSettingsBlock();
// Applies a block; false (nothing changed) for a block of the wrong size,
// switches that are not Booleans, a star mode other than 0 or 2 or a
// default field outside the list.
bool ApplyMagnifierSettingsBlock(const std::vector<uint8_t>& block);
// Registers the slot's writer and reader with the settings files.
void RegisterMagnifierSettingsSection();
