// Colour modes, the shared pens and brushes, and the derived colour tables.
#include "chart/drawing_colors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/graph_misc.h"
#include "chart/styles.h"
#include "platform/dialogs.h"

using platform::Brush;
using platform::MakePixel;
using platform::Pen;

namespace {

class DrawingColorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeAllAutoBitmaps();
    ColorMode = 0;
    PrintScale = 1;
    SetDefaultObjectColors();
  }
  void TearDown() override {
    ColorMode = 0;
    PrintScale = 1;
    SetDefaultObjectColors();
    MakeDrawingColors();
    FreeAllAutoBitmaps();
  }
};

struct NamedPen {
  const char* name;
  const Pen* pen;
};
struct NamedBrush {
  const char* name;
  const Brush* brush;
};

#define PEN(p) NamedPen{#p, &p}
#define BRUSH(b) NamedBrush{#b, &b}

std::vector<NamedPen> AllPens() {
  std::vector<NamedPen> pens = {
      PEN(WhitePen),       PEN(WhiteOutlinePen), PEN(HairlinePen),     PEN(ThinPen),        PEN(RulePen),
      PEN(FramePen),       PEN(DarkRedPen),      PEN(OliveDotPen),     PEN(OlivePen),       PEN(GreenPen),
      PEN(PaleGreenPen),   PEN(GreyPen),         PEN(BoundaryPen),     PEN(TealPen),        PEN(WhiteSymbolPen),
      PEN(YellowPen),      PEN(WhiteMarkerPen),  PEN(GreyDotPen),      PEN(DarkGreyWidePen), PEN(LightGreyPen),
      PEN(GridPen),        PEN(GridWidePen),     PEN(RedDotPen),       PEN(MilkyWayPen),     PEN(BluePen)};
  for (int i = 1; i <= 9; ++i) pens.push_back(NamedPen{"StarDiscPens", &StarDiscPens[i]});
  return pens;
}

std::vector<NamedBrush> AllBrushes() {
  std::vector<NamedBrush> brushes = {
      BRUSH(BlackFillBrush), BRUSH(WhiteBrush),       BRUSH(BlackBrush),      BRUSH(DarkRedBrush),
      BRUSH(OliveBrush),     BRUSH(GreenBrush),       BRUSH(DarkGreenBrush),  BRUSH(PointOfInterestBrush),
      BRUSH(DarkGreyBrush),  BRUSH(WhiteSymbolBrush), BRUSH(YellowBrush),     BRUSH(WhiteMarkerBrush),
      BRUSH(NearBlackBrush), BRUSH(MilkyWayBrush),    BRUSH(BlueBrush)};
  for (int i = 1; i <= 9; ++i) brushes.push_back(NamedBrush{"StarDiscBrushes", &StarDiscBrushes[i]});
  return brushes;
}

bool IsRedOnly(TColorRef c) { return platform::GreenOf(c) == 0 && platform::BlueOf(c) == 0; }
bool IsThreeLevelGrey(TColorRef c) {
  const uint8_t r = platform::RedOf(c);
  return (r == 0 || r == 128 || r == 255) && platform::GreenOf(c) == r && platform::BlueOf(c) == r;
}

TEST_F(DrawingColorsTest, ColourModesMapRgb) {
  struct Case {
    uint8_t mode, r, g, b;
    TColorRef want;
  };
  const Case cases[] = {
      // Three-level grey: a mean of 254 and above is white, 128 and above grey.
      {1, 127, 128, 129, MakeColorRef(128, 128, 128)}, {1, 253, 254, 255, MakeColorRef(255, 255, 255)},
      {1, 253, 253, 255, MakeColorRef(128, 128, 128)}, {1, 127, 127, 128, MakeColorRef(0, 0, 0)},
      // Night vision puts the mean into red.
      {2, 0, 0, 255, MakeColorRef(85, 0, 0)}, {2, 255, 255, 255, MakeColorRef(255, 0, 0)},
      // Full colour, and unknown modes as full colour, keep the colour.
      {0, 1, 2, 3, MakeColorRef(1, 2, 3)}, {7, 1, 2, 3, MakeColorRef(1, 2, 3)},
  };
  for (const Case& c : cases) {
    ColorMode = c.mode;
    EXPECT_EQ(ColorForMode(c.r, c.g, c.b), c.want) << int(c.mode) << " " << int(c.r);
  }
  // The colour reference variant reads red from the low byte and drops flag
  // bits; a display pixel holds red in the high byte.
  ColorMode = 2;
  EXPECT_EQ(ColorRefForMode(MakeColorRef(0, 0, 255)), MakeColorRef(85, 0, 0));
  EXPECT_EQ(PixelForMode(MakePixel(30, 60, 90)), MakePixel(60, 0, 0));
  ColorMode = 0;
  EXPECT_EQ(ColorRefForMode(MakeColorRef(1, 2, 3) | 0x02000000u), MakeColorRef(1, 2, 3));
}

TEST_F(DrawingColorsTest, PrintScaleRoundsHalvesToEvenAndIsAtLeastOne) {
  const int cases[][3] = {{96, 96, 1}, {300, 300, 2}, {500, 500, 2}, {700, 700, 4}, {600, 1200, 4}, {0, 0, 1}};
  for (const auto& c : cases) EXPECT_EQ(PrintScaleForResolution(c[0], c[1]), c[2]) << c[0] << "x" << c[1];
}

TEST_F(DrawingColorsTest, PenWidthsFollowThePrintScale) {
  PrintScale = 3;
  ASSERT_TRUE(MakeDrawingColors());
  for (const NamedPen& p : AllPens()) EXPECT_FALSE(p.pen->IsNull()) << p.name;
  for (const NamedBrush& b : AllBrushes()) EXPECT_FALSE(b.brush->IsNull()) << b.name;
  EXPECT_EQ(ThinPen.width, 3);
  EXPECT_EQ(RulePen.width, 6);
  EXPECT_EQ(FramePen.width, 12);
  EXPECT_EQ(HairlinePen.width, 1);
  for (const Pen* p : {&OliveDotPen, &GreyDotPen, &RedDotPen}) {
    EXPECT_EQ(p->style, platform::PenStyle::Dot);
    EXPECT_EQ(p->width, 1);
  }
  EXPECT_TRUE(StarDiscBrushes[0].IsNull());
}

TEST_F(DrawingColorsTest, ThreeLevelGreyReachesEveryPenAndBrush) {
  ColorMode = 1;
  ASSERT_TRUE(MakeDrawingColors());
  for (const NamedPen& p : AllPens()) EXPECT_TRUE(IsThreeLevelGrey(p.pen->color)) << p.name;
  for (const NamedBrush& b : AllBrushes()) EXPECT_TRUE(IsThreeLevelGrey(b.brush->color)) << b.name;
  for (int i = 1; i <= 9; ++i) {
    EXPECT_EQ(StarDiscBrushes[i].color, MakeColorRef(128, 128, 128)) << i;
    EXPECT_EQ(StarDiscPens[i].color, MakeColorRef(0, 0, 0)) << i;
  }
  EXPECT_EQ(GreenPen.color, MakeColorRef(0, 0, 0));         // mean 106
  EXPECT_EQ(PaleGreenPen.color, MakeColorRef(128, 128, 128));  // mean 153
}

TEST_F(DrawingColorsTest, NightVisionTurnsEveryPenBrushAndPixelRed) {
  ColorMode = 2;
  ASSERT_TRUE(MakeDrawingColors());
  for (const NamedPen& p : AllPens()) EXPECT_TRUE(IsRedOnly(p.pen->color)) << p.name;
  for (const NamedBrush& b : AllBrushes()) EXPECT_TRUE(IsRedOnly(b.brush->color)) << b.name;
  EXPECT_EQ(StarDiscBrushes[1].color, MakeColorRef(194, 0, 0));  // (128 + 200 + 255) div 3
  auto redPixel = [](uint32_t p) { return (p & 0x0000FFFFu) == 0; };
  for (int k = 0; k < 3; ++k)
    for (int e = 0; e < 10; ++e) EXPECT_TRUE(redPixel(StarPixels[k][e])) << k << "," << e;
  for (uint32_t p : {DimGreyPixel, HorizonPixel, GridAltPixel, GridPixel, BoundaryPixel, ConstellationLinePixel,
                     DarkRedPixel, NearWhitePixel})
    EXPECT_TRUE(redPixel(p)) << std::hex << p;
  for (uint32_t p : BlueRampPixels) EXPECT_TRUE(redPixel(p));
  for (int level = 0; level < 5; ++level)
    for (int e = 0; e < 11; ++e) {
      EXPECT_TRUE(IsRedOnly(GlobeLandColors[level][e]));
      EXPECT_TRUE(IsRedOnly(GlobeSeaColors[level][e]));
    }
}

TEST_F(DrawingColorsTest, DeletingEmptiesEveryVariable) {
  ASSERT_TRUE(MakeDrawingColors());
  DeleteDrawingPens();
  for (const NamedPen& p : AllPens()) EXPECT_TRUE(p.pen->IsNull()) << p.name;
  for (const NamedBrush& b : AllBrushes()) EXPECT_TRUE(b.brush->IsNull()) << b.name;
}

TEST_F(DrawingColorsTest, StyleColourChangesReachPensAndPixelsOnRebuild) {
  ASSERT_TRUE(MakeDrawingColors());
  Styles[kStyleCoordinateGrid].ObjectColor = MakeColorRef(0, 0, 200);
  EXPECT_EQ(GridPixel, MakePixel(42, 42, 42));
  ASSERT_TRUE(MakeDrawingColors());
  EXPECT_EQ(GridPixel, MakePixel(0, 0, 200));
  EXPECT_EQ(GridPen.color, MakeColorRef(0, 0, 200));
}

TEST_F(DrawingColorsTest, GlobeShadingDarkensByTheFactors) {
  ASSERT_TRUE(MakeDrawingColors());
  // Land entry 0 is (0, 255, 255): 255, 199, 154, 102, 66 on levels 0..4.
  const uint8_t expected[5] = {255, 199, 154, 102, 66};
  for (int level = 0; level < 5; ++level) {
    EXPECT_EQ(platform::GreenOf(GlobeLandColors[level][0]), expected[level]) << level;
    EXPECT_EQ(platform::BlueOf(GlobeLandColors[level][0]), expected[level]) << level;
    EXPECT_EQ(platform::RedOf(GlobeLandColors[level][0]), 0) << level;
  }
  // Land entry 4 is (64, 128, 0): red 64 -> 46 -> 31 -> 16 -> 6 (0.8, 0.8, 0.7, 0.7).
  EXPECT_EQ(GlobeLandColors[4][4], MakeColorRef(6, 26, 0));
  // Sea entry 0 is (0, 0, 10): 10 -> 3 -> trunc(2.4) - 5 < 0 -> 0 and stays 0.
  EXPECT_EQ(GlobeSeaColors[1][0], MakeColorRef(0, 0, 3));
  for (int level = 2; level < 5; ++level) EXPECT_EQ(GlobeSeaColors[level][0], 0u) << level;
  // Sea entry 10 (0, 0, 220) darkens by 0.8 on every level: 171, 131, 99, 74.
  EXPECT_EQ(GlobeSeaColors[4][10], MakeColorRef(0, 0, 74));
}

TEST_F(DrawingColorsTest, PaletteIndexFindsLevelZeroEntriesOnly) {
  ASSERT_TRUE(MakeDrawingColors());
  EXPECT_EQ(LandColorIndex(MakeColorRef(64, 128, 0)), 4);
  EXPECT_EQ(LandColorIndex(MakeColorRef(255, 255, 255)), 10);
  EXPECT_EQ(LandColorIndex(GlobeLandColors[1][4]), 255);
  EXPECT_EQ(SeaColorIndex(MakeColorRef(0, 0, 220)), 10);
  EXPECT_EQ(SeaColorIndex(MakeColorRef(64, 128, 0)), 255);
}

TEST_F(DrawingColorsTest, FailedProbeKeepsTablesButBuildsPens) {
  const int32_t before = AutoBitmapCount();
  ASSERT_TRUE(MakeDrawingColors());
  EXPECT_EQ(AutoBitmapCount(), before) << "the probe bitmap is returned";
  DeleteDrawingPens();
  platform::ScopedScriptedDialogs dialogs;
  while (AutoBitmapCount() < kAutoBitmapCapacity) ASSERT_NE(CreateAutoBitmap(1, 1), nullptr);
  ColorMode = 2;
  EXPECT_FALSE(MakeDrawingColors());
  EXPECT_EQ(DarkRedPixel, 0x00AA0000u) << "tables stay as they were";
  EXPECT_EQ(GlobeLandColors[0][4], MakeColorRef(64, 128, 0));
  EXPECT_FALSE(ThinPen.IsNull()) << "pens are built anyway";
  EXPECT_EQ(GreenPen.color, MakeColorRef(106, 0, 0));
  EXPECT_EQ(AutoBitmapCount(), kAutoBitmapCapacity);
}


}  // namespace
