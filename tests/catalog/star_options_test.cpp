#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

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
  using platform::GetF64;
  EXPECT_EQ(std::tuple(GetF64(&b[0]), GetF64(&b[8]), GetF64(&b[43]), GetF64(&b[51])),
            std::tuple(7.25, -2.0, 0.5, 9.75));
  // Variable mode, O0-4, WN, III, drawing mode, Greek letters.
  EXPECT_EQ(std::tuple(b[16], b[17], b[17 + 20], b[38 + 2], b[59], b[60]), std::tuple(3, 1, 0, 0, 2, 1));
  // Size adjustment, then automatic faint limit, colours and names.
  EXPECT_EQ(std::tuple(platform::GetI16(&b[61]), b[63], b[64], b[65]), std::tuple(-3, 1, 1, 1));

  TStarOptions back;
  ASSERT_TRUE(DecodeStarOptions(b.data(), b.size(), back));
  EXPECT_EQ(back, o);
  // Damaged blocks are refused and change nothing.
  auto nan = b, mode = b;
  platform::PutF64(&nan[51], std::nan(""));
  mode[16] = 4;
  TStarOptions untouched;
  EXPECT_FALSE(DecodeStarOptions(nan.data(), nan.size(), untouched));
  EXPECT_FALSE(DecodeStarOptions(mode.data(), mode.size(), untouched));
  EXPECT_FALSE(DecodeStarOptions(b.data(), 65, untouched));
  EXPECT_EQ(untouched, TStarOptions{});
}

TEST(StarOptionsRecord, Registry) {
  ChartSpy spy;
  platform::TRegIniFile().EraseSection("Stars");
  StarOptions = TStarOptions{};
  ReadRegStars();
  EXPECT_EQ(StarOptions, RegistryDefaultStarOptions());
  EXPECT_EQ(std::tuple(StarOptions.LowMagLimit, StarOptions.VariableMode), std::tuple(-1.5, 2));
  ASSERT_EQ(spy.appearance.size(), 1u);
  EXPECT_EQ(std::tuple(spy.appearance[0].ShowGreek, spy.appearance[0].ShowNames), std::tuple(1, 0));

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
  const TStarOptions& o = StarOptions;
  for (int i = 0; i < 20; ++i) EXPECT_EQ(o.SpectralClasses[i], 0) << i;
  // Only WN, only III; 5 is no variable mode: unchanged.
  EXPECT_EQ(std::tuple(o.SpectralClasses[20], o.LuminosityClasses[2], o.LuminosityClasses[0], o.VariableMode),
            std::tuple(1, 1, 0, 1));
  EXPECT_EQ(std::tuple(o.DrawingMode, o.ShowNames, o.ShowGreek), std::tuple(2, 1, 0));
  platform::TRegIniFile().WriteInteger("Stars", "spectral classes", 1 << 20);
  ReadRegStars();
  EXPECT_EQ(std::tuple(o.SpectralClasses[0], o.SpectralClasses[1]), std::tuple(1, 0));  // only O0-4

  // Written and read back.
  TStarOptions w = RegistryDefaultStarOptions();
  w.HighMagLimit = 9.0;
  w.VariableMode = 0;
  w.SpectralClasses[5] = 0;
  w.LuminosityClasses[4] = 0;
  w.HighProperLimit = 2.5;
  w.DrawingMode = 2;
  w.SizeAdjust = 4;
  w.ColorBySpectrum = 0;
  WriteRegStars(w);
  ReadRegStars();
  EXPECT_EQ(StarOptions, w);
  // Brightness by magnitude (drawing mode 0) is stored as 1, images as 0.
  EXPECT_EQ(platform::TRegIniFile().ReadInteger("Stars", "brightness by magnitude", -1), 0);
  w.DrawingMode = 0;
  WriteRegStars(w);
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
