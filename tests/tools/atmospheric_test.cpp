// Atmospheric settings: the field readers and label, registry defaults, OK
// with a rejected field, and slot 6 with the atmosphere in force.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/transforms.h"
#include "chart/plotter.h"
#include "platform/codec.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"
#include "tools/atmospheric.h"

namespace {

class AtmosphericTest : public testing::Test {
 protected:
  void SetUp() override {
    InitObserver(ObserverTime);
    plotter = std::make_unique<tPlotter>();
    MainPlotter = plotter.get();
  }
  void TearDown() override { MainPlotter = nullptr; }
  std::unique_ptr<tPlotter> plotter;
};

TEST_F(AtmosphericTest, FieldsAndLabel) {
  struct Case {
    const char* text;
    bool ok;
    double celsius;
    const char* label;
  } cases[] = {{"86F", true, 30, "°F = (30°C)"}, {" 30 ", true, 30, "°C = (86°F)"}, {"30C", true, 30, "°C = (86°F)"},
               {"-50", true, -50, "°C = (-58°F)"}, {"61", false, 0, ""},           {"-58F", true, -50, "°F = (-50°C)"},
               {"abc", false, 0, ""},            {"-59F", false, 0, ""}};
  for (const Case& c : cases) {
    double v = 0;
    EXPECT_EQ(ParseTemperatureField(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_NEAR(v, c.celsius, 1e-12) << c.text;
    }
    EXPECT_EQ(TemperatureLabel(c.text), c.label) << c.text;
  }
  double p;
  EXPECT_TRUE(ParsePressureField("1 013", p));
  EXPECT_DOUBLE_EQ(p, 1013);
  for (const char* bad : {"400", "1501", "x", ""}) EXPECT_FALSE(ParsePressureField(bad, p)) << bad;
}

TEST_F(AtmosphericTest, RegistryDefaultsAndSave) {
  testing_support::TempDir dir;
  testing_support::ScopedEnv env("XDG_CONFIG_HOME", dir.Path());
  {
    platform::TRegIniFile reg;
    reg.WriteString("Atmospheric", "pressure", "400");
    reg.WriteBool("Atmospheric", "refraction", true);
  }
  ReadRegAtmospheric(ObserverTime);
  EXPECT_EQ(ObserverTime.Temperature, 30.0);
  EXPECT_EQ(ObserverTime.Pressure, 1000.0);
  EXPECT_EQ(MainPlotter->Refraction, 1);
  WriteRegAtmospheric(false, "50F", "junk");  // junk pressure is not written
  ReadRegAtmospheric(ObserverTime);
  EXPECT_NEAR(ObserverTime.Temperature, 10.0, 1e-9);
  EXPECT_EQ(ObserverTime.Pressure, 1000.0);
  EXPECT_EQ(MainPlotter->Refraction, 0);
}

TEST_F(AtmosphericTest, OkKeepsTheValueInForceForARejectedField) {
  SetAtmosphere(ObserverTime, 12.0, 990.0);
  EXPECT_EQ(ApplyAtmosphericFields(ObserverTime, true, "61", "1010"), "Invalid atmospheric temperature");
  EXPECT_EQ(ObserverTime.Temperature, 12.0);
  EXPECT_EQ(ObserverTime.Pressure, 1010.0);
  EXPECT_EQ(MainPlotter->Refraction, 1);
  EXPECT_EQ(ApplyAtmosphericFields(ObserverTime, true, "20", "5"), "Invalid atmospheric pressure");
  EXPECT_EQ(ObserverTime.Temperature, 20.0);
  EXPECT_EQ(ObserverTime.Pressure, 1010.0);
}

// The block holds the atmosphere in force, not what the window's fields
// hold; a damaged block changes nothing.
TEST_F(AtmosphericTest, Slot6RoundTripAndDamagedBlocks) {
  SetAtmosphere(ObserverTime, -5.0, 850.0);
  MainPlotter->Refraction = 1;
  const auto block = EncodeAtmosphericBlock(ObserverTime);
  ASSERT_EQ(block.size(), kAtmosphericBlockBytes);
  SetAtmosphere(ObserverTime, 25.0, 1020.0);
  MainPlotter->Refraction = 0;
  ASSERT_TRUE(ReadAtmosphericBlock(ObserverTime, &block));
  EXPECT_EQ(ObserverTime.Temperature, -5.0);
  EXPECT_EQ(ObserverTime.Pressure, 850.0);
  EXPECT_EQ(MainPlotter->Refraction, 1);
  auto cold = block, nan = block, flag = block;
  platform::PutF64(cold.data() + 1, -273.0);
  platform::PutF64(nan.data() + 9, std::nan(""));
  flag[0] = 2;
  std::vector<uint8_t> shortBlock(block.begin(), block.begin() + 9);
  MainPlotter->Refraction = 0;
  for (const std::vector<uint8_t>* b : {&cold, &nan, &flag, &shortBlock}) {
    EXPECT_FALSE(ReadAtmosphericBlock(ObserverTime, b));
    EXPECT_EQ(ObserverTime.Temperature, -5.0);
    EXPECT_EQ(ObserverTime.Pressure, 850.0);
    EXPECT_EQ(MainPlotter->Refraction, 0);
  }
}

}  // namespace

// The three tool slots through a whole settings file.
#include "chart/globe.h"
#include "shell/settings_sections.h"
#include "tools/tool_settings.h"

namespace {

TEST_F(AtmosphericTest, ToolSlotsThroughASettingsFile) {
  testing_support::TempDir dir;
  RegisterToolSettingsSections();
  for (int slot : {6, 9, 10}) EXPECT_EQ(SettingsBlockBytes(slot) > 0, HasSettingsSectionOwner(slot)) << slot;
  SetAtmosphere(ObserverTime, 3.0, 900.0);
  ASSERT_TRUE(WriteSettingsFile(dir.File("a.ssf"), 1));
  SetAtmosphere(ObserverTime, 20.0, 1000.0);
  EXPECT_EQ(ReadSettingsFile(dir.File("a.ssf")), TSettingsReadResult::Ok);
  EXPECT_EQ(ObserverTime.Temperature, 3.0);
  EXPECT_EQ(ObserverTime.Pressure, 900.0);
  UnregisterAllSettingsSectionsForTest();
  DoneGlobe();  // slot 9 turned the globe
}

}  // namespace
