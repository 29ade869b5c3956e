// Screen-layout and performance settings: registry round trip, clamping of
// bad stored values, size codes and presets, and the layout window's OK.
#include "chart/screen_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "chart/clock.h"
#include "chart/globe.h"
#include "chart/inset_host.h"
#include "chart/mask.h"
#include "chart/plotter.h"
#include "platform/registry.h"
#include "shell/globals.h"

namespace {

class ScreenLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::TRegIniFile reg;
    reg.EraseSection("ScreenLayout");
    reg.EraseSection("Performance");
    ScreenLayoutSettings = {};
    TearDown();
  }
  void TearDown() override {
    MainPlotter = nullptr;
    TheScreenLayoutHost = {};
    TheInsetHost = {};
    AspectAdjust = InsetAspect = 1.0;
    OvalMaskKind = 2;
    GuideSize = ClockSize = 0;
    GlobeSize = MagnifierSize = 0;
  }
};

// Absent values read as the defaults; the six values round-trip; bad
// stored values are clamped or defaulted (an aspect never 0, so no
// division by zero); a size code an inset does not have reads as Normal,
// so a damaged value never hides an inset.
TEST_F(ScreenLayoutTest, RegistryRoundTripAndBadStoredValues) {
  ReadRegScreenLayout();
  EXPECT_EQ(ScreenLayoutSettings, TScreenLayoutSettings{});  // defaults 2, 2, 2, 2, 2, 0
  const TScreenLayoutSettings stored{4, 0, 3, 4, 1, -7};
  ScreenLayoutSettings = stored;
  WriteRegScreenLayout();
  ScreenLayoutSettings = {};
  ReadRegScreenLayout();
  EXPECT_EQ(ScreenLayoutSettings, stored);
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadString("ScreenLayout", "aspect adjust", ""), "-7");
  reg.WriteInteger("ScreenLayout", "use oval mask", 9);
  reg.WriteInteger("ScreenLayout", "guide", -3);
  reg.WriteInteger("ScreenLayout", "globe", 7);
  reg.WriteInteger("ScreenLayout", "magnifier", 5);
  reg.WriteString("ScreenLayout", "clock", "big");
  reg.WriteInteger("ScreenLayout", "aspect adjust", -40);
  GlobeSize = InsetSizeSmall;
  ReadRegScreenLayout();
  EXPECT_EQ(ScreenLayoutSettings, (TScreenLayoutSettings{4, 2, 2, 2, 2, -10}));
  ApplyScreenLayout();
  EXPECT_EQ(GuideSize, InsetSizeNormal);
  EXPECT_EQ(GlobeSize, InsetSizeNormal);
  EXPECT_DOUBLE_EQ(AspectAdjust, 0.75);
  EXPECT_GT(InsetAspect, 0.0);
}

TEST_F(ScreenLayoutTest, CodesSelectPresetsAndSizesGiveCodesBack) {
  ScreenLayoutSettings = {1, 1, 2, 4, 3, 10};
  ApplyScreenLayout();
  EXPECT_EQ(GuideSize, InsetSizeSmall);
  EXPECT_EQ(GlobeSize, InsetSizeNormal);
  EXPECT_EQ(MagnifierSize, InsetSizeHuge);
  EXPECT_EQ(ClockSize, InsetSizeLarge);
  EXPECT_EQ(OvalMaskKind.load(), 1);
  EXPECT_DOUBLE_EQ(AspectAdjust, 1.25);
  // Code 0 leaves a size as it is.
  ScreenLayoutSettings.Clock = 0;
  ApplyScreenLayout();
  EXPECT_EQ(ClockSize, InsetSizeLarge);
  // Back from sizes: hidden is 0, a size equal to no preset keeps its code.
  GuideSize = 0;
  GlobeSize = 123;
  ScreenLayoutSettings.Globe = 3;
  ReadScreenLayoutSizes();
  EXPECT_EQ(ScreenLayoutSettings.Guide, 0);
  EXPECT_EQ(ScreenLayoutSettings.Globe, 3);
  EXPECT_EQ(ScreenLayoutSettings.Magnifier, 4);
  EXPECT_EQ(ScreenLayoutSettings.Clock, 3);
  // The window shows the aspect it was given.
  EXPECT_EQ(CurrentScreenLayoutChoice().aspect, 10);
}

TEST_F(ScreenLayoutTest, OkCallsTheSizeCommandsOfChangedInsetsAndWritesTheSection) {
  std::vector<std::pair<char, int>> calls;
  TheScreenLayoutHost.guideSize = [&](int c) { calls.push_back({'g', c}); };
  TheScreenLayoutHost.globeSize = [&](int c) { calls.push_back({'e', c}); };
  TheScreenLayoutHost.magnifierSize = [&](int c) { calls.push_back({'m', c}); };
  TheScreenLayoutHost.clockSize = [&](int c) { calls.push_back({'c', c}); };
  tPlotter plotter;
  plotter.Replot = 0;
  MainPlotter = &plotter;
  OvalMaskKind = 2;
  TScreenLayoutChoice choice;  // all "Normal", medium mask, no aspect change
  choice.guide = -1;           // no selection counts as hidden
  choice.clock = 3;
  choice.mask = 3;
  ApplyScreenLayoutChoice(choice);
  EXPECT_EQ(calls, (std::vector<std::pair<char, int>>{{'g', 0}, {'c', 3}}));
  EXPECT_EQ(OvalMaskKind.load(), 3);
  EXPECT_EQ(plotter.Replot, 1);
  MainPlotter = nullptr;
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("ScreenLayout", "clock", -1), 3);
  EXPECT_EQ(reg.ReadInteger("ScreenLayout", "use oval mask", -1), 3);
  // OK without a change still writes the section.
  reg.EraseSection("ScreenLayout");
  calls.clear();
  ApplyScreenLayoutChoice(choice);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(platform::TRegIniFile().ReadInteger("ScreenLayout", "guide", -1), 0);
}

}  // namespace
