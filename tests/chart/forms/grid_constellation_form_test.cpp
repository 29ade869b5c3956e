// The coordinate-grid and constellation windows and their blocks: the
// windows change the main plotter only on OK, the registry sections and the
// settings-file blocks round-trip, and damaged blocks change nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <cstring>

#include "chart/constellation_options.h"
#include "chart/forms/constellation_form.h"
#include "chart/forms/coordinate_grid_form.h"
#include "chart/grid_options.h"
#include "chart/plotter.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "shell/settings_sections.h"
#include "tests/support/test_support.h"

namespace {

struct MainPlotterFixture : ::testing::Test {
  std::unique_ptr<tPlotter> plotter = std::make_unique<tPlotter>();
  std::vector<bool> menu;
  void SetUp() override {
    MainPlotter = plotter.get();
    plotter->Replot = 0;
    SetCentreOnHorizonMenuCheck = [this](bool on) { menu.push_back(on); };
    platform::TRegIniFile reg;
    reg.EraseSection("Coordinate grid");
    reg.EraseSection("Constellation");
  }
  void TearDown() override {
    MainPlotter = nullptr;
    SetCentreOnHorizonMenuCheck = nullptr;
    UnregisterAllSettingsSectionsForTest();
  }
};

void Save(QWidget& w, const char* name) {
  if (const char* dir = std::getenv("NOCTRA_GRAB_DIR")) w.grab().save(QString(dir) + "/" + name + ".png");
}

}  // namespace

TEST_F(MainPlotterFixture, GridWindowOkChangesThePlotterRegistryAndBlockCancelNothing) {
  const TGridBlock before = GridBlockOf(*plotter);
  {
    TCoordinateGridForm1 form;
    form.show();
    form.HorGridRadioButton1->setChecked(true);
    form.EnableCheckBox1->setChecked(false);
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_EQ(GridBlockOf(*plotter), before);
    EXPECT_EQ(plotter->Replot, 0);
  }
  TCoordinateGridForm1 form;
  form.show();
  EXPECT_FALSE(form.TrackBar1->isEnabled());
  form.AutoGridCheckBox1->click();
  EXPECT_TRUE(form.TrackBar1->isEnabled());
  form.HorGridRadioButton1->click();
  form.TrackBar1->setValue(2);
  EXPECT_EQ(form.SpacingLabel1->text(), "Grid spacing: Azm=7.5\u00B0, Alt=7.5\u00B0");
  form.CenterHorzCheckBox1->click();
  form.LabelGridCheckBox1->click();
  Save(form, "coordinate_grid");
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  const TGridBlock want{1, 0, 1, 1, 1, 0, 2};
  EXPECT_EQ(GridBlockOf(*plotter), want);
  EXPECT_EQ(plotter->GridSpacingLevel, 2);
  EXPECT_EQ(plotter->Replot, 1);
  EXPECT_EQ(menu, std::vector<bool>{false});

  QTest::mouseClick(form.SaveDefaultBitBtn1, Qt::LeftButton);
  SetGridBlock(*plotter, TGridBlock{});
  ReadRegCoordinateGrid();
  EXPECT_EQ(GridBlockOf(*plotter), want);
  EXPECT_EQ(GridOptionsBlock(), (std::vector<uint8_t>{1, 0, 1, 1, 1, 0, 2, 0, 0, 0}));
  // A stored resolution that is no slider position reads as the default 1.
  for (const char* stored : {"3", "-1", "-2147483648", "1e308", "nan"}) {
    platform::TRegIniFile().WriteString("Coordinate grid", "resolution", stored);
    ReadRegCoordinateGrid();
    EXPECT_EQ(plotter->GridSpacingLevel, 1) << stored;
  }
}

TEST(GridOptions, CaptionsSayWhatTheGridDraws) {
  EXPECT_EQ(GridSpacingCaption(true, 0), "Grid spacing: Ra=1 hour, Dec=10\u00B0");
  EXPECT_EQ(GridSpacingCaption(true, 1), "Grid spacing: Ra=30', Dec=5\u00B0");
  EXPECT_EQ(GridSpacingCaption(true, 2), "Grid spacing: Ra=15', Dec=2\u00B0 30'");
  EXPECT_EQ(GridSpacingCaption(false, 0), "Grid spacing: Azm=15\u00B0, Alt=15\u00B0");
  EXPECT_EQ(GridSpacingCaption(false, 1), "Grid spacing: Azm=7.5\u00B0, Alt=7.5\u00B0");
}

TEST_F(MainPlotterFixture, ConstellationWindowOkSetsSelectionsAndModes) {
  {
    TConstellationForm1 form;
    form.show();
    form.ListBox1->item(0)->setSelected(false);
    form.ShowNamesRadioButton1->setChecked(true);
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_EQ(plotter->LineSelection[1], 1);
    EXPECT_EQ(plotter->ConstellationNames, 0);
  }
  TConstellationForm1 form;
  form.show();
  ASSERT_EQ(form.ListBox1->count(), 88);
  EXPECT_EQ(form.ListBox1->item(0)->text(), "Andromeda");
  EXPECT_EQ(form.ListBox2->item(87)->text(), "Vulpecula");
  form.ListBox1->item(0)->setSelected(false);  // no lines for Andromeda
  form.ListBox2->clearSelection();
  form.ListBox2->item(87)->setSelected(true);  // the boundary of Vulpecula only
  form.ShowConstRadioButton1->click();
  Save(form, "constellation");
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(plotter->LineSelection[1], 0);
  EXPECT_EQ(plotter->LineSelection[2], 1);
  EXPECT_EQ(plotter->ConstellationLines, 1);
  EXPECT_EQ(plotter->ConstellationBoundaries, 1);
  EXPECT_EQ(plotter->NameSelection[88], 1);
  EXPECT_EQ(plotter->NameSelection[87], 0);
  EXPECT_EQ(plotter->ConstellationNames, 1);
  EXPECT_EQ(plotter->Replot, 1);

  QTest::mouseClick(form.SaveDefaultBitBtn1, Qt::LeftButton);
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("Constellation", "lb0", -1), 0);
  EXPECT_EQ(reg.ReadInteger("Constellation", "lb1", -1), 1);
  EXPECT_EQ(reg.ReadInteger("Constellation", "lb87", -1), 11);
  EXPECT_EQ(reg.ReadInteger("Constellation", "name mode", -1), 1);

  // Every list item selected gives lines mode 2.
  form.show();
  TConstellationForm1::SelectAll(form.ListBox1);
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(plotter->ConstellationLines, 2);
}

// Stored list values "lb<k>" (1 for lines plus 10 for the boundary): lines
// from value & 1, boundaries from value & 10 (bitwise, as stored), a value
// outside 0..11 gives the default (both); the name
// mode from its low byte, 1 or 2 else 0; the modes derived from the lists.
TEST_F(MainPlotterFixture, ConstellationRegistryValues) {
  const struct {
    int32_t lb0;
    uint8_t lines, bounds;
  } cases[] = {{10, 0, 1}, {2, 0, 1}, {8, 0, 1}, {1, 1, 0}, {11, 1, 1}, {0, 0, 0},
               // no pair of 1 and 10: the default, both
               {12, 1, 1}, {-1, 1, 1}, {INT32_MIN, 1, 1}};
  for (const auto& c : cases) {
    platform::TRegIniFile().WriteInteger("Constellation", "lb0", c.lb0);
    ReadRegConstellation();
    EXPECT_EQ(plotter->LineSelection[1], c.lines) << c.lb0;
    EXPECT_EQ(plotter->NameSelection[1], c.bounds) << c.lb0;
  }
  for (const auto& [stored, mode] : {std::pair{258, 2}, std::pair{3, 0}, std::pair{1, 1}}) {
    platform::TRegIniFile().WriteInteger("Constellation", "name mode", stored);
    ReadRegConstellation();
    EXPECT_EQ(plotter->ConstellationNames, mode) << stored;
  }
  for (const auto& [value, derived] : {std::pair{11, 2}, std::pair{0, 0}}) {
    platform::TRegIniFile reg;
    for (int k = 0; k < 88; ++k) reg.WriteInteger("Constellation", "lb" + std::to_string(k), value);
    ReadRegConstellation();
    EXPECT_EQ(plotter->ConstellationLines, derived);
    EXPECT_EQ(plotter->ConstellationBoundaries, derived);
  }
}

TEST_F(MainPlotterFixture, BlocksFourAndFiveRoundTripAndDamagedBlocksGiveTheDefaults) {
  platform::ScopedScriptedDialogs dialogs;
  testing_support::TempDir dir;
  RegisterChartSettingsOwners();
  SetGridBlock(*plotter, {0, 1, 1, 0, 0, 0, 2});
  plotter->LineSelection[5] = 0;
  plotter->ConstellationNames = 2;
  DeriveConstellationModes(*plotter);
  const std::vector<uint8_t> grid = GridOptionsBlock(), constellations = ConstellationOptionsBlock();
  ASSERT_TRUE(WriteSettingsFile(dir.File("a.ssf"), 1));

  SetGridBlock(*plotter, TGridBlock{});
  ResetConstellationDefaults();
  EXPECT_EQ(ReadSettingsFile(dir.File("a.ssf")), TSettingsReadResult::Ok);
  EXPECT_EQ(GridOptionsBlock(), grid);
  EXPECT_EQ(ConstellationOptionsBlock(), constellations);
  EXPECT_EQ(plotter->GridSpacingLevel, 2);

  // A resolution of 3 in the grid block and a mode of 3 in the
  // constellation block: each block is refused whole and gives the
  // defaults, whatever the chart showed before.
  std::vector<uint8_t> bytes = testing_support::ReadFile(dir.File("a.ssf"));
  auto offsetOf = [&](int slot) {
    const uint8_t* e = &bytes[std::size_t(6 * slot + 1)];
    return std::size_t(e[0] | e[1] << 8 | e[2] << 16 | uint32_t(e[3]) << 24);
  };
  bytes[offsetOf(5) + 6] = 3;
  bytes[offsetOf(4) + 0] = 3;
  testing_support::WriteFile(dir.File("b.ssf"), bytes);
  SetGridBlock(*plotter, {0, 0, 1, 1, 0, 0, 2});
  plotter->LineSelection[5] = 0;
  plotter->NameSelection[7] = 0;
  plotter->ConstellationNames = 2;
  DeriveConstellationModes(*plotter);
  plotter->Replot = 0;
  menu.clear();
  EXPECT_EQ(ReadSettingsFile(dir.File("b.ssf")), TSettingsReadResult::Refused);
  EXPECT_EQ(GridBlockOf(*plotter), TGridBlock{});
  EXPECT_EQ(menu, std::vector<bool>{true});  // the menu's check mark follows the default
  EXPECT_EQ(plotter->LineSelection[5], 1);
  EXPECT_EQ(plotter->NameSelection[7], 1);
  EXPECT_EQ(plotter->ConstellationLines, 2);
  EXPECT_EQ(plotter->ConstellationBoundaries, 2);
  EXPECT_EQ(plotter->ConstellationNames, 0);
  EXPECT_EQ(plotter->Replot, 1);
}
