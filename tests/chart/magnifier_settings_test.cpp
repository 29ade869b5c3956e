// Telescopes and eyepieces: the cell parsers with their units, the derived
// tables (valid flags, default eyepieces, true fields with mirror and
// invert), the field mode after reading settings, the tidy step, the
// registry section and block 7 of the settings files.
#include <gtest/gtest.h>

#include "app/core/settings_sections.h"
#include "app/messages.h"
#include "chart/magnifier_settings.h"
#include "platform/registry.h"

namespace {

void ClearGrids() {
  TeleGrid = TMagnifierGrid(kTeleColumns);
  EyeGrid = TMagnifierGrid(kEyeColumns);
}

void SetTele(int row, std::initializer_list<const char*> cells) {
  int c = 0;
  for (const char* s : cells) TeleGrid.Cells[row][c++] = s;
  TeleGrid.RowCount = std::max(TeleGrid.RowCount, row + 2);
}
void SetEye(int row, std::initializer_list<const char*> cells) {
  int c = 0;
  for (const char* s : cells) EyeGrid.Cells[row][c++] = s;
  EyeGrid.RowCount = std::max(EyeGrid.RowCount, row + 2);
}

}  // namespace

// Lengths: no unit means inches (25.4 mm); "in", "in.", the inch sign, "mm",
// "cm"; diameters 15..1016 mm, eyepiece focal lengths 4..60 mm.
TEST(MagnifierSettings, LengthParsers) {
  struct Case {
    const char* text;
    bool eyepiece;
    bool ok;
    double mm;
  } cases[] = {
      {"8", false, true, 203.2},    {"200mm", false, true, 200},  {"20cm", false, true, 200},
      {"12in", false, true, 304.8}, {"8in.", false, true, 203.2}, {" 10\" ", false, true, 254},
      {"1017mm", false, false, 0},  {"14mm", false, false, 0},    {"8mm0", false, false, 0},
      {"abc", false, false, 0},     {"25MM", true, true, 25},     {"25", true, false, 0},
      {"1in", true, true, 25.4},    {"3mm", true, false, 0},      {"", true, false, 0},
  };
  for (const Case& c : cases) {
    double mm = -1;
    const bool ok = c.eyepiece ? ParseEyepieceFocalLength(c.text, mm) : ParseDiameter(c.text, mm);
    EXPECT_EQ(ok, c.ok) << c.text;
    EXPECT_NEAR(mm, c.mm, 1e-9) << c.text;
  }
}

// Focal ratios 3..30 with "f/" in front or "f" anywhere; apparent fields
// 20..90° with "deg", "degree(s)", "deg." or the degree sign.
TEST(MagnifierSettings, RatioFieldAndFlagParsers) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  } ratios[] = {{"f/10", true, 10}, {"f10", true, 10}, {"10", true, 10}, {"F/4.5", true, 4.5},
                {"10f/", false, 0}, {"f/2", false, 0}, {"31", false, 0}, {"f/x", false, 0}},
    fields[] = {{"50", true, 50},          {"82°", true, 82},     {"68 deg", true, 68}, {"52deg.", true, 52},
                {"40 degrees", true, 40},  {"45degree", true, 45}, {"19", false, 0},    {"100°", false, 0},
                {"wide", false, 0}};
  for (const Case& c : ratios) {
    double v = -1;
    EXPECT_EQ(ParseFocalRatio(c.text, v), c.ok) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
  for (const Case& c : fields) {
    double v = -1;
    EXPECT_EQ(ParseApparentField(c.text, v), c.ok) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
  int32_t f = 0;
  EXPECT_TRUE(ParseMirrorFlag("Yes", f));
  EXPECT_EQ(f, -1);
  EXPECT_TRUE(ParseMirrorFlag("", f));
  EXPECT_EQ(f, 1);
  EXPECT_FALSE(ParseMirrorFlag("maybe", f));
  EXPECT_EQ(f, 1);
  EXPECT_TRUE(ValidateTeleCell("anything", 0));
  EXPECT_FALSE(ValidateTeleCell("f/2", 2));
  EXPECT_FALSE(ValidateEyeCell("25", 1));
}

// A 200 mm f/5 telescope (1000 mm) with a 25 mm eyepiece of 50° gives 40×
// and a true field of 1.25° (50 / 40); the mirror and invert flags of the
// telescope come with it.
TEST(MagnifierSettings, FieldTableAndDefaultEyepieces) {
  ClearGrids();
  SetEye(1, {"Plossl 25", "25mm", "50"});
  SetEye(2, {"bad", "25", "50"});  // 25 inches: invalid
  SetEye(3, {"Wide 10", "10mm", "82°"});
  SetTele(1, {"Newton", "200mm", "f/5", "no", "no", "wide 10"});
  SetTele(2, {"Refractor", "4in", "f/8", "yes", "-1", "2"});  // default names an invalid eyepiece
  SetTele(3, {"SCT", "8", "10", "n", "y", "nothing"});         // name of no eyepiece: the first
  SetTele(4, {"Incomplete", "", "f/5", "no", "no", ""});
  BuildFieldTables();
  ComputeFieldTable();
  EXPECT_EQ(EyepieceValid[1], 1);
  EXPECT_EQ(EyepieceValid[2], 0);
  EXPECT_EQ(EyepieceValid[3], 1);
  EXPECT_EQ(TelescopeValid[1], 1);
  EXPECT_EQ(TelescopeEyepiece[1], 3);
  EXPECT_EQ(TelescopeValid[2], 0);
  EXPECT_EQ(TelescopeValid[3], 1);
  EXPECT_EQ(TelescopeEyepiece[3], 1);
  EXPECT_EQ(TelescopeValid[4], 0);
  EXPECT_NEAR(FieldTable[1][1].TrueField, 1.25, 1e-12);
  EXPECT_NEAR(FieldTable[1][3].TrueField, 82.0 * 10 / 1000, 1e-12);
  EXPECT_EQ(FieldTable[2][1].Mirror, -1);
  EXPECT_EQ(FieldTable[2][1].Invert, -1);
  EXPECT_EQ(FieldTable[3][1].Mirror, 1);
  EXPECT_EQ(FieldTable[3][1].Invert, -1);
  EXPECT_EQ(FieldTable[4][1].TrueField, 0.0);
  EXPECT_EQ(FieldChoiceNames()[9], "Newton");
  EXPECT_EQ(FieldChoiceNames()[10], "Incomplete");
}

// Field mode after reading settings: 0 automatic, fixed fields kept, a
// telescope choice gives 100 × t when that telescope is valid, else 9.
TEST(MagnifierSettings, FieldModeFromDefault) {
  ClearGrids();
  SetEye(1, {"E", "25mm", "50"});
  SetTele(1, {"T", "200mm", "5", "n", "n", ""});
  const struct {
    int32_t def, mode;
  } cases[] = {{0, 9}, {3, 3}, {9, 100}, {10, 9}, {-4, 1}, {40, 9}};
  for (const auto& c : cases) {
    DefaultFieldOfView = c.def;
    EXPECT_EQ(FieldModeFromDefault(), c.mode) << c.def;
  }
  ClearGrids();
  DefaultFieldOfView = 9;
  EXPECT_EQ(FieldModeFromDefault(), 9);
}

// The tidy step closes gaps (also two in one pass), keeps the edited row and
// one empty row after the last entry; ten entries leave no empty row.
TEST(MagnifierSettings, TidyKeepsOneEmptyRow) {
  TMagnifierGrid g(kEyeColumns);
  g.RowCount = 7;
  g.Cells[1][0] = "A";
  g.Cells[4][0] = "B";
  g.Cells[5][0] = "C";
  TidyGrid(g, -1);
  EXPECT_EQ(g.RowCount, 5);
  EXPECT_EQ(g.Cells[1][0], "A");
  EXPECT_EQ(g.Cells[2][0], "B");
  EXPECT_EQ(g.Cells[3][0], "C");
  EXPECT_TRUE(g.RowEmpty(4));

  TMagnifierGrid e(kEyeColumns);
  e.RowCount = 4;
  e.Cells[1][0] = "A";
  e.Cells[3][0] = "C";
  TidyGrid(e, 2);  // row 2 is being edited: it stays
  EXPECT_EQ(e.RowCount, 5);
  EXPECT_EQ(e.Cells[3][0], "C");

  TMagnifierGrid full(kEyeColumns);
  full.RowCount = 11;
  for (int r = 1; r <= 10; ++r) full.Cells[r][0] = "x";
  TidyGrid(full, -1);
  EXPECT_EQ(full.RowCount, 11);
  full.RowCount = 40;  // damaged count
  TidyGrid(full, -1);
  EXPECT_EQ(full.RowCount, 11);
}

// Block 7 written and read back; row counts clamped to 2..11; a damaged
// block changes nothing.
TEST(MagnifierSettings, SettingsBlockRoundTrip) {
  ClearGrids();
  SetEye(1, {"Plössl", "25mm", "50"});
  SetTele(1, {"Newton", "200mm", "f/5", "no", "yes", "1"});
  SetTele(2, {"Small", "60mm", "f/10", "n", "n", ""});
  MagnifierSwitches = TMagnifierSwitches{0, 1, 0, 2, 1};
  DefaultFieldOfView = 10;
  std::vector<uint8_t> block = MagnifierSettingsBlock();
  ASSERT_EQ(block.size(), kMagnifierBlockBytes);
  EXPECT_EQ(block[5], 4);   // two entries: row count 4
  EXPECT_EQ(block[9 + 2 * 6 * 256], 0);  // row 3 empty

  int32_t announced = 0;
  MagnifierFieldModeChanged = [&](int32_t mode) { announced = mode; };
  ClearGrids();
  MagnifierSwitches = TMagnifierSwitches{};
  DefaultFieldOfView = 0;
  ASSERT_TRUE(ApplyMagnifierSettingsBlock(block));
  EXPECT_EQ(TeleGrid.RowCount, 4);
  EXPECT_EQ(TeleGrid.Cells[2][0], "Small");
  EXPECT_EQ(EyeGrid.Cells[1][0], "Plössl");
  EXPECT_EQ(MagnifierSwitches.ShowGrid, 0);
  EXPECT_EQ(MagnifierSwitches.StarMode, 2);
  EXPECT_EQ(DefaultFieldOfView, 10);
  EXPECT_EQ(announced, 200);

  block[5] = 200;  // an impossible row count is clamped
  ASSERT_TRUE(ApplyMagnifierSettingsBlock(block));
  EXPECT_EQ(TeleGrid.RowCount, 11);

  std::vector<uint8_t> damaged = MagnifierSettingsBlock();
  damaged[3] = 7;  // star mode neither 0 nor 2
  TeleGrid.Cells[1][0] = "kept";
  EXPECT_FALSE(ApplyMagnifierSettingsBlock(damaged));
  EXPECT_EQ(TeleGrid.Cells[1][0], "kept");
  damaged.resize(100);
  EXPECT_FALSE(ApplyMagnifierSettingsBlock(damaged));
  MagnifierFieldModeChanged = nullptr;
}

// The registry section: written and read back, row counts clamped.
TEST(MagnifierSettings, RegistryRoundTrip) {
  ClearGrids();
  SetEye(1, {"E", "25mm", "50"});
  SetTele(1, {"T", "200mm", "5", "n", "n", ""});
  MagnifierSwitches = TMagnifierSwitches{1, 0, 1, 2, 0};
  DefaultFieldOfView = 9;
  std::string flash;
  FlashSink sink;
  sink.message = [&](const std::string& t, int) { flash = t; };
  SetFlashSink(sink);
  WriteRegMagnifier();
  SetFlashSink({});
  EXPECT_EQ(flash, "Magnifier defaults saved.");
  ClearGrids();
  MagnifierSwitches = TMagnifierSwitches{};
  EXPECT_EQ(ReadRegTeleAndEyepiece(), 100);
  ReadRegMagnifier();
  EXPECT_EQ(TeleGrid.Cells[1][1], "200mm");
  EXPECT_EQ(EyeGrid.RowCount, 3);
  EXPECT_EQ(MagnifierSwitches.GraphicSun, 0);
  EXPECT_EQ(MagnifierSwitches.StarMode, 2);
  {
    platform::TRegIniFile reg;
    reg.WriteInteger("Magnifier", "number eyepieces", 99);
  }
  ReadRegTeleAndEyepiece();
  EXPECT_EQ(EyeGrid.RowCount, 11);
  platform::TRegIniFile().EraseSection("Magnifier");
  MagnifierSwitches = TMagnifierSwitches{};
}
