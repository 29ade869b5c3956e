#include <gtest/gtest.h>

#include <cmath>

#include "app/globals.h"
#include "catalog/hooks.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"

namespace {

// Records what reaches the chart.
struct ChartSpy {
  int replots = 0;
  std::vector<TStarOptions> appearance;
  ChartSpy() {
    TCatalogHooks h;
    h.requestReplot = [this] { ++replots; };
    h.applyStarAppearance = [this](const TStarOptions& o) { appearance.push_back(o); };
    SetCatalogHooks(h);
  }
  ~ChartSpy() { SetCatalogHooks({}); }
};

}  // namespace

TEST(StarOptionsRecord, BlockLayout) {
  TStarOptions o = RegistryDefaultStarOptions();
  o.HighMagLimit = 7.25;
  o.LowMagLimit = -2.0;
  o.VariableMode = 3;
  o.SpectralClasses[20] = 0;
  o.LuminosityClasses[2] = 0;
  o.LowProperLimit = 0.5;
  o.HighProperLimit = 9.75;
  o.DrawingMode = 2;
  o.SizeAdjust = -3;
  o.ShowNames = 1;
  const auto b = EncodeStarOptions(o);
  ASSERT_EQ(b.size(), 66u);
  EXPECT_EQ(platform::GetF64(&b[0]), 7.25);
  EXPECT_EQ(platform::GetF64(&b[8]), -2.0);
  EXPECT_EQ(b[16], 3);
  EXPECT_EQ(b[17], 1);       // O0-4
  EXPECT_EQ(b[17 + 20], 0);  // WN
  EXPECT_EQ(b[38 + 2], 0);   // III
  EXPECT_EQ(platform::GetF64(&b[43]), 0.5);
  EXPECT_EQ(platform::GetF64(&b[51]), 9.75);
  EXPECT_EQ(b[59], 2);
  EXPECT_EQ(b[60], 1);
  EXPECT_EQ(platform::GetI16(&b[61]), -3);
  EXPECT_EQ(b[63], 1);
  EXPECT_EQ(b[64], 1);
  EXPECT_EQ(b[65], 1);

  TStarOptions back;
  ASSERT_TRUE(DecodeStarOptions(b.data(), b.size(), back));
  EXPECT_EQ(back, o);
  // Damaged blocks are refused and change nothing.
  auto bad = b;
  platform::PutF64(&bad[51], std::nan(""));
  TStarOptions untouched;
  EXPECT_FALSE(DecodeStarOptions(bad.data(), bad.size(), untouched));
  bad = b;
  bad[16] = 4;
  EXPECT_FALSE(DecodeStarOptions(bad.data(), bad.size(), untouched));
  EXPECT_FALSE(DecodeStarOptions(b.data(), 65, untouched));
  EXPECT_EQ(untouched, TStarOptions{});
}

TEST(StarOptionsRecord, Registry) {
  ChartSpy spy;
  platform::TRegIniFile().EraseSection("Stars");
  StarOptions = TStarOptions{};
  ReadRegStars();
  EXPECT_EQ(StarOptions, RegistryDefaultStarOptions());
  EXPECT_EQ(StarOptions.LowMagLimit, -1.5);
  EXPECT_EQ(StarOptions.VariableMode, 2);
  ASSERT_EQ(spy.appearance.size(), 1u);
  EXPECT_EQ(spy.appearance[0].ShowGreek, 1);
  EXPECT_EQ(spy.appearance[0].ShowNames, 0);

  {
    platform::TRegIniFile reg;
    reg.WriteInteger("Stars", "spectral classes", 1);
    reg.WriteInteger("Stars", "luminosity classes", 4);
    reg.WriteInteger("Stars", "variable star mode", 5);
    reg.WriteInteger("Stars", "brightness by magnitude", 0);
    reg.WriteInteger("Stars", "misc settings", 4);
  }
  StarOptions.VariableMode = 1;
  ReadRegStars();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(StarOptions.SpectralClasses[i], 0) << i;
  EXPECT_EQ(StarOptions.SpectralClasses[20], 1);  // only WN
  EXPECT_EQ(StarOptions.LuminosityClasses[2], 1);  // only III
  EXPECT_EQ(StarOptions.LuminosityClasses[0], 0);
  EXPECT_EQ(StarOptions.VariableMode, 1);  // 5 is no mode: unchanged
  EXPECT_EQ(StarOptions.DrawingMode, 2);
  EXPECT_EQ(StarOptions.ShowNames, 1);
  EXPECT_EQ(StarOptions.ShowGreek, 0);
  platform::TRegIniFile().WriteInteger("Stars", "spectral classes", 1 << 20);
  ReadRegStars();
  EXPECT_EQ(StarOptions.SpectralClasses[0], 1);  // only O0-4
  EXPECT_EQ(StarOptions.SpectralClasses[1], 0);

  // Written and read back.
  TStarOptions o = RegistryDefaultStarOptions();
  o.HighMagLimit = 9.0;
  o.VariableMode = 0;
  o.SpectralClasses[5] = 0;
  o.LuminosityClasses[4] = 0;
  o.HighProperLimit = 2.5;
  o.DrawingMode = 2;
  o.SizeAdjust = 4;
  o.ColorBySpectrum = 0;
  WriteRegStars(o);
  ReadRegStars();
  EXPECT_EQ(StarOptions, o);
  // Brightness by magnitude (drawing mode 0) is stored as 1, images as 0.
  EXPECT_EQ(platform::TRegIniFile().ReadInteger("Stars", "brightness by magnitude", -1), 0);
  o.DrawingMode = 0;
  WriteRegStars(o);
  EXPECT_EQ(platform::TRegIniFile().ReadInteger("Stars", "brightness by magnitude", -1), 1);
  platform::TRegIniFile().EraseSection("Stars");
}

TEST(StarOptionsRecord, SettingsBlock) {
  ChartSpy spy;
  platform::ScopedScriptedDialogs dialogs;
  testing_support::TempDir dir;
  DataFolder = dir.Path();  // no star files: the reload finds nothing
  StarOptions = RegistryDefaultStarOptions();
  const std::vector<uint8_t> block = StarOptionsBlock();
  EXPECT_EQ(block.size(), kStarOptionsBytes);

  // No block in the file: nothing changes, the chart is redrawn.
  StarOptions.HighMagLimit = 3.0;
  EXPECT_TRUE(ApplyStarOptionsBlock(nullptr));
  EXPECT_EQ(StarOptions.HighMagLimit, 3.0);
  EXPECT_EQ(spy.replots, 1);
  EXPECT_FALSE(StarThreadRunning());

  // A damaged block is refused.
  std::vector<uint8_t> bad = block;
  platform::PutF64(&bad[0], INFINITY);
  EXPECT_FALSE(ApplyStarOptionsBlock(&bad));
  EXPECT_EQ(StarOptions.HighMagLimit, 3.0);
  EXPECT_FALSE(StarThreadRunning());

  // A good one replaces the options and reloads the stars.
  EXPECT_TRUE(ApplyStarOptionsBlock(&block));
  EXPECT_EQ(StarOptions, RegistryDefaultStarOptions());
  EXPECT_TRUE(StarThreadRunning());
  ASSERT_TRUE(WaitForStarLoad());
  EXPECT_EQ(dialogs.Last().text, "Error processing star catalog.\r\nStopped at record#     0");
  FreeStarCatalogs();
  DataFolder.clear();
}
