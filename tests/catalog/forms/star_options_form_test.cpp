// The star options window driven through its controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "app/core/settings_sections.h"
#include "catalog/forms/star_options_form.h"
#include "catalog/hooks.h"
#include "catalog/forms/settings_owners.h"
#include "catalog/stars.h"
#include "chart/drawing_colors.h"
#include "chart/plotter.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "tests/catalog/forms/grab.h"
#include "tests/support/test_support.h"

namespace {

struct StarFormFixture : ::testing::Test {
  platform::ScopedScriptedDialogs dialogs;  // the reload finds no star files here
  testing_support::TempDir folder;
  tPlotter plotter;
  int replots = 0;
  void SetUp() override {
    MakeDrawingColors();
    MainPlotter = &plotter;
    TCatalogHooks h;
    h.requestReplot = [this] { ++replots; };
    SetCatalogHooks(h);
    StarOptions = RegistryDefaultStarOptions();
    ApplyStarAppearance(StarOptions);
    platform::TRegIniFile().EraseSection("Stars");
  }
  void TearDown() override {
    WaitForStarLoad();
    MainPlotter = nullptr;
    SetCatalogHooks({});
  }
};

}  // namespace

TEST_F(StarFormFixture, OkWithOnlyTheColourSwitchRedrawsWithoutReloading) {
  TOptionsForm1 form;
  form.show();
  const TStarOptions before = StarOptions;
  form.ColorCheckBox1->click();
  QTest::mouseClick(form.OkBitBtn1, Qt::LeftButton);
  EXPECT_FALSE(StarThreadRunning());
  EXPECT_EQ(replots, 1);
  EXPECT_EQ(plotter.StarOptionA, before.ColorBySpectrum ? 0 : 1);
  EXPECT_EQ(StarOptions.ColorBySpectrum, plotter.StarOptionA);
}

TEST_F(StarFormFixture, OkWithANewLimitReloadsAndReachesBlockRegistryAndPlotter) {
  {
    TOptionsForm1 form;  // Cancel changes nothing
    form.show();
    form.TrackBarMagn2->setValue(80);
    form.SizeMagRadioButton1->click();
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_EQ(StarOptions, RegistryDefaultStarOptions());
    EXPECT_EQ(plotter.StarDiscs, 0);
  }
  TOptionsForm1 form;
  form.show();
  form.TrackBarMagn2->setValue(60);
  EXPECT_FALSE(form.AutoLimitCheckBox1->isEnabled());
  form.TrackBarMagn2->setValue(61);
  EXPECT_TRUE(form.AutoLimitCheckBox1->isEnabled());
  form.TrackBarMagn1->setValue(70);  // drags the high limit along
  EXPECT_EQ(form.TrackBarMagn2->value(), 70);
  form.TrackBarMagn1->setValue(-10);
  form.SpectralListBox1->item(20)->setSelected(false);
  form.SizeMagRadioButton1->click();
  form.StarSizeTrackBar1->setValue(5);
  form.PageControl1->setCurrentIndex(4);
  GrabWindow(form, "star_options");
  QTest::mouseClick(form.OkBitBtn1, Qt::LeftButton);
  EXPECT_TRUE(StarThreadRunning() || dialogs.Count() > 0);
  WaitForStarLoad();
  EXPECT_EQ(StarOptions.HighMagLimit, 7.0);
  EXPECT_EQ(StarOptions.SpectralClasses[20], 0);
  EXPECT_EQ(plotter.StarDiscs, 2);
  EXPECT_EQ(plotter.StarSize, 5);
  TStarOptions fromBlock;
  const std::vector<uint8_t> block = StarOptionsBlock();
  ASSERT_TRUE(DecodeStarOptions(block.data(), block.size(), fromBlock));
  EXPECT_EQ(fromBlock, StarOptions);

  form.show();
  form.DefaultsClick(0);  // the window's own defaults: low limit -2.0
  EXPECT_EQ(form.TrackBarMagn1->value(), -20);
  EXPECT_EQ(form.TrackBarMagn2->value(), 65);
  QTest::mouseClick(form.SaveDefaultBitBtn1, Qt::LeftButton);
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("Stars", "low mag limit", 0), -20);
  EXPECT_EQ(reg.ReadInteger("Stars", "size adjust", 0), 5);
  EXPECT_EQ(reg.ReadInteger("Stars", "brightness by magnitude", 1), 0);
}

TEST(CatalogSettingsOwners, StarAndFilterBlocksRoundTripAndDamagedOnesAreRefused) {
  platform::ScopedScriptedDialogs dialogs;
  testing_support::TempDir dir;
  UnregisterAllSettingsSections();
  RegisterCatalogSettingsOwners();
  StarOptions = RegistryDefaultStarOptions();
  StarOptions.HighMagLimit = 8.5;
  ASSERT_TRUE(WriteSettingsFile(dir.File("a.ssf"), 1));
  StarOptions.HighMagLimit = 3.0;
  EXPECT_EQ(ReadSettingsFile(dir.File("a.ssf")), TSettingsReadResult::Ok);
  WaitForStarLoad();
  EXPECT_EQ(StarOptions.HighMagLimit, 8.5);

  // A block with a variable mode out of range is refused whole.
  std::vector<uint8_t> bytes = testing_support::ReadFile(dir.File("a.ssf"));
  const uint32_t at = bytes[7] | bytes[8] << 8 | bytes[9] << 16 | uint32_t(bytes[10]) << 24;
  bytes[at + 16] = 9;
  testing_support::WriteFile(dir.File("b.ssf"), bytes);
  StarOptions.HighMagLimit = 3.0;
  EXPECT_EQ(ReadSettingsFile(dir.File("b.ssf")), TSettingsReadResult::Refused);
  EXPECT_EQ(StarOptions.HighMagLimit, 3.0);
  UnregisterAllSettingsSections();
}
