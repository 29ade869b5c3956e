// Chart styles and colours: style defaults, the "FontsAndColors" storage,
// printer fonts and print inversion; colour modes, the shared pens and
// brushes, and the derived colour tables.
#include "chart/styles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "tests/chart/auto_bitmaps.h"

using platform::Brush;
using platform::MakePixel;
using platform::Pen;

namespace {

class StylesAndColours : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    CreateScreenFonts();
    Reset();
    MakeDrawingColors();
  }
  static void Reset() {
    platform::TRegIniFile reg;
    reg.EraseSection("FontsAndColors");
    reg.Flush();
    FreeEveryAutoBitmap();
    ColorMode = 0;
    PrintScale = 1;
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
  }
};

// At 96 pixels per inch a font of p points is MulDiv(p, 96, 72) pixels high:
// 8 -> 11 (10.67), 11 -> 15 (14.67), 20 -> 27 (26.67). Faces missing here are
// replaced by the installed test fonts; symbol faces take the symbol
// character set.
TEST_F(StylesAndColours, DefaultFontsPixelHeightsAndFaces) {
  ASSERT_EQ(platform::ScreenDpiY(), 96) << "the offscreen test screen";
  const TStyleEntry& objects = Styles[kStyleCelestialObjects];
  ASSERT_TRUE(objects.Handle);
  EXPECT_EQ(objects.Height, -11);
  EXPECT_EQ(objects.Handle->QtFont().family().toStdString(), "Liberation Sans");
  EXPECT_EQ(objects.Handle->QtFont().pixelSize(), 11);
  EXPECT_EQ(Styles[kStyleCompassDirections].Height, -27);
  EXPECT_EQ(Styles[kStyleCompassDirections].Handle->QtFont().family().toStdString(), "Liberation Serif");
  EXPECT_EQ(Styles[kStyleCoordinateGrid].Height, -15);
  // Only the styles with a role have fonts.
  int fonts = 0;
  for (const TStyleEntry& e : Styles) fonts += e.Handle ? 1 : 0;
  EXPECT_EQ(fonts, 9);
  EXPECT_FALSE(Styles[kStyleConstellationBoundaries].Handle);
  EXPECT_TRUE(Styles[kStyleStarAbbreviations].Handle->Log().symbolCharset);
  EXPECT_FALSE(Styles[kStyleStarNames].Handle->Log().symbolCharset);
  TStyleEntry e;
  CreateStyleFont(e, "MT Extra Symbol Pro", 0, false, false, 10);
  EXPECT_TRUE(e.Handle->Log().symbolCharset);
  EXPECT_EQ(e.Handle->QtFont().family().toStdString(), "DejaVu Sans");
  DeleteStyleFont(e);
  EXPECT_FALSE(e.Handle);
}

TEST_F(StylesAndColours, LargeStarAbbreviationsFollowStyleTen) {
  const TStyleEntry& large = Styles[kStyleLargeStarAbbreviations];
  CreateStyleFont(Styles[kStyleStarAbbreviations], "Courier New", MakeColorRef(1, 2, 3), true, true, 15);
  UpdateLargeStarAbbreviationStyle();
  EXPECT_EQ(large.Name, "Courier New");
  EXPECT_EQ(large.PointSize, 17);
  EXPECT_EQ(large.Color, MakeColorRef(1, 2, 3));
  EXPECT_EQ(large.Bold, 1);
  EXPECT_EQ(large.Ital, 1);
  EXPECT_EQ(large.Height, -23);  // 17 pt at 96 per inch: 22.67
}

TEST_F(StylesAndColours, RoundTripThroughTheSettings) {
  ColorMode = 2;
  CreateStyleFont(Styles[kStyleStarNames], "Courier New", MakeColorRef(9, 8, 7), true, false, 14);
  Styles[kStyleOvalMask].ObjectColor = MakeColorRef(0, 0, 90);
  Styles[kStyleCoordinateGrid].AltObjectColor = MakeColorRef(5, 6, 7);
  Styles[140].UseColor = 1;
  Styles[140].ObjectColor = MakeColorRef(11, 22, 33);
  WriteRegFontsAndColors();

  // The oval mask is stored under FC007, the colour mode under "Color Mode".
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("FontsAndColors/FC007", "object color", -1), 90 << 16);
  EXPECT_EQ(reg.ReadInteger("FontsAndColors/Color Mode", "value", -1), 2);
  EXPECT_EQ(reg.ReadString("FontsAndColors/FC011", "name", ""), "Courier New");
  // Styles with neither font nor colour are not written.
  EXPECT_FALSE(reg.ValueExists("FontsAndColors/FC013", "handle"));

  ColorMode = 0;
  SetDefaultObjectColors();
  ReadRegFontsAndColors();
  EXPECT_EQ(ColorMode, 2);
  EXPECT_EQ(PendingColorMode, 2);
  // Object colours apply at once; fonts wait for ApplySavedStyleFonts.
  EXPECT_EQ(Styles[kStyleOvalMask].ObjectColor, MakeColorRef(0, 0, 90));
  EXPECT_EQ(Styles[kStyleCoordinateGrid].AltObjectColor, MakeColorRef(5, 6, 7));
  EXPECT_EQ(Styles[140].ObjectColor, MakeColorRef(11, 22, 33));
  EXPECT_EQ(SavedStyles[kStyleOvalMask].UseColor, 0);
  EXPECT_FALSE(Styles[kStyleStarNames].Handle);
  SetDefaultStyleFonts();
  ApplySavedStyleFonts();
  const TStyleEntry& names = Styles[kStyleStarNames];
  ASSERT_TRUE(names.Handle);
  EXPECT_EQ(names.Name, "Courier New");
  EXPECT_EQ(names.PointSize, 14);
  EXPECT_EQ(names.Ital, 1);
  EXPECT_EQ(names.Color, MakeColorRef(9, 8, 7));
  EXPECT_EQ(names.Height, -19);  // 14 pt: 18.67
  EXPECT_FALSE(SavedStyles[kStyleStarNames].Handle);
  // Untouched styles keep their values.
  EXPECT_EQ(Styles[kStyleCompassDirections].PointSize, 20);
  EXPECT_EQ(Styles[kStyleCompassDirections].Name, "Times New Roman");
}

TEST_F(StylesAndColours, HandleWithoutLowBitsMeansNoFont) {
  platform::TRegIniFile reg;
  for (const char* style : {"FontsAndColors/FC000", "FontsAndColors/FC001"}) {
    reg.WriteString(style, "name", "Courier New");
    reg.WriteInteger(style, "point size", 30);
  }
  reg.WriteInteger("FontsAndColors/FC000", "handle", 65536);
  reg.WriteString("FontsAndColors/FC001", "handle", "4294901761");  // 0xFFFF0001: a font
  reg.Flush();
  ReadRegFontsAndColors();
  ApplySavedStyleFonts();
  EXPECT_EQ(Styles[kStyleCelestialObjects].Name, "Arial");
  EXPECT_EQ(Styles[kStyleCelestialObjects].PointSize, 8);
  EXPECT_EQ(Styles[kStyleConstellationNames].Name, "Courier New");
  EXPECT_EQ(Styles[kStyleConstellationNames].PointSize, 30);
}

TEST_F(StylesAndColours, UseColourZeroKeepsTheDefaultObjectColour) {
  platform::TRegIniFile reg;
  reg.WriteInteger("FontsAndColors/FC003", "use color", 0);
  reg.WriteInteger("FontsAndColors/FC003", "object color", 255);
  reg.WriteString("FontsAndColors/FC004", "use color", "1");
  reg.WriteString("FontsAndColors/FC004", "object color", "dark");  // not a number
  reg.WriteString("FontsAndColors/Color Mode", "value", "night");
  reg.Flush();
  ColorMode = 1;
  SavedStyles[kStyleHorizon].ObjectColor = MakeColorRef(1, 1, 1);
  ReadRegFontsAndColors();
  EXPECT_EQ(Styles[kStyleConstellationLines].ObjectColor, MakeColorRef(63, 63, 63));
  // A non-numeric value keeps the value held before; the other values of
  // the style still apply.
  EXPECT_EQ(Styles[kStyleHorizon].UseColor, 1);
  EXPECT_EQ(Styles[kStyleHorizon].ObjectColor, MakeColorRef(1, 1, 1));
  EXPECT_EQ(ColorMode, 1);
}

TEST_F(StylesAndColours, PrintInversionTurnsGreysOnly) {
  EXPECT_EQ(PrintInvertColor(MakeColorRef(200, 201, 202)), MakeColorRef(55, 54, 53) | 0x02000000u);
  EXPECT_EQ(PrintInvertColor(MakeColorRef(200, 210, 200)), MakeColorRef(200, 210, 200));
  EXPECT_EQ(PrintInvertColor(MakeColorRef(100, 102, 100)), MakeColorRef(155, 153, 155) | 0x02000000u);
  EXPECT_EQ(PrintInvertColor(MakeColorRef(100, 103, 100)), MakeColorRef(100, 103, 100));
  EXPECT_EQ(PrintInvertColor(MakeColorRef(255, 255, 255)), 0x02000000u);
}

TEST_F(StylesAndColours, PrinterFontsAndBackToTheScreen) {
  CreatePrinterFonts(600);
  // 11 pt at 600 per inch: 91.67 -> 92 pixels.
  EXPECT_EQ(Styles[kStylePointsOfInterest].Height, -92);
  EXPECT_EQ(Styles[kStylePointsOfInterest].Handle->QtFont().pixelSize(), 92);
  // White text prints black; coloured text and colours stay.
  EXPECT_EQ(Styles[kStylePointsOfInterest].Color, 0x02000000u);
  EXPECT_EQ(Styles[kStyleCompassDirections].Color, MakeColorRef(255, 160, 128));
  EXPECT_EQ(Styles[kStyleConstellationLines].ObjectColor, MakeColorRef(192, 192, 192) | 0x02000000u);
  EXPECT_EQ(Styles[kStyleOvalMask].ObjectColor, MakeColorRef(50, 0, 0));
  // A second call keeps the screen colours it saved.
  CreatePrinterFonts(600);
  EXPECT_EQ(Styles[kStylePointsOfInterest].Color, 0x02000000u);
  // Pens built while printing drop the palette flag.
  ASSERT_TRUE(MakeDrawingColors());
  EXPECT_EQ(ConstellationLinePixel, 0x00C0C0C0u);

  CreateScreenFonts();
  EXPECT_EQ(Styles[kStylePointsOfInterest].Height, -15);
  EXPECT_EQ(Styles[kStylePointsOfInterest].Color, MakeColorRef(255, 255, 255));
  EXPECT_EQ(Styles[kStyleConstellationLines].ObjectColor, MakeColorRef(63, 63, 63));
  // Going back twice changes nothing.
  CreateScreenFonts();
  EXPECT_EQ(Styles[kStylePointsOfInterest].Color, MakeColorRef(255, 255, 255));
  MakeDrawingColors();
}

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

TEST_F(StylesAndColours, ColourModesMapRgb) {
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

TEST_F(StylesAndColours, PrintScaleRoundsHalvesToEvenAndIsAtLeastOne) {
  const int cases[][3] = {{96, 96, 1}, {300, 300, 2}, {500, 500, 2}, {700, 700, 4}, {600, 1200, 4}, {0, 0, 1}};
  for (const auto& c : cases) EXPECT_EQ(PrintScaleForResolution(c[0], c[1]), c[2]) << c[0] << "x" << c[1];
}

TEST_F(StylesAndColours, PenWidthsFollowThePrintScale) {
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

// Three-level grey and night vision reach every pen and brush; deleting
// empties them all.
TEST_F(StylesAndColours, ColourModesReachEveryPenAndBrush) {
  for (uint8_t mode : {1, 2}) {
    ColorMode = mode;
    ASSERT_TRUE(MakeDrawingColors());
    auto inMode = mode == 1 ? IsThreeLevelGrey : IsRedOnly;
    for (const NamedPen& p : AllPens()) EXPECT_TRUE(inMode(p.pen->color)) << int(mode) << " " << p.name;
    for (const NamedBrush& b : AllBrushes()) EXPECT_TRUE(inMode(b.brush->color)) << int(mode) << " " << b.name;
    if (mode == 1) {
      for (int i = 1; i <= 9; ++i) {
        EXPECT_EQ(StarDiscBrushes[i].color, MakeColorRef(128, 128, 128)) << i;
        EXPECT_EQ(StarDiscPens[i].color, MakeColorRef(0, 0, 0)) << i;
      }
      EXPECT_EQ(GreenPen.color, MakeColorRef(0, 0, 0));            // mean 106
      EXPECT_EQ(PaleGreenPen.color, MakeColorRef(128, 128, 128));  // mean 153
    }
  }
  DeleteDrawingPens();
  for (const NamedPen& p : AllPens()) EXPECT_TRUE(p.pen->IsNull()) << p.name;
  for (const NamedBrush& b : AllBrushes()) EXPECT_TRUE(b.brush->IsNull()) << b.name;
}

// Night vision turns the pixels and colour tables red as well.
TEST_F(StylesAndColours, NightVisionTurnsEveryPixelRed) {
  ColorMode = 2;
  ASSERT_TRUE(MakeDrawingColors());
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

TEST_F(StylesAndColours, StyleColourChangesReachPensAndPixelsOnRebuild) {
  ASSERT_TRUE(MakeDrawingColors());
  Styles[kStyleCoordinateGrid].ObjectColor = MakeColorRef(0, 0, 200);
  EXPECT_EQ(GridPixel, MakePixel(42, 42, 42));
  ASSERT_TRUE(MakeDrawingColors());
  EXPECT_EQ(GridPixel, MakePixel(0, 0, 200));
  EXPECT_EQ(GridPen.color, MakeColorRef(0, 0, 200));
}

TEST_F(StylesAndColours, GlobeShadingDarkensByTheFactors) {
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

TEST_F(StylesAndColours, PaletteIndexFindsLevelZeroEntriesOnly) {
  ASSERT_TRUE(MakeDrawingColors());
  EXPECT_EQ(LandColorIndex(MakeColorRef(64, 128, 0)), 4);
  EXPECT_EQ(LandColorIndex(MakeColorRef(255, 255, 255)), 10);
  EXPECT_EQ(LandColorIndex(GlobeLandColors[1][4]), 255);
  EXPECT_EQ(SeaColorIndex(MakeColorRef(0, 0, 220)), 10);
  EXPECT_EQ(SeaColorIndex(MakeColorRef(64, 128, 0)), 255);
}

TEST_F(StylesAndColours, FailedProbeKeepsTablesButBuildsPens) {
  const int32_t before = AutoBitmapCountForTest();
  ASSERT_TRUE(MakeDrawingColors());
  EXPECT_EQ(AutoBitmapCountForTest(), before) << "the probe bitmap is returned";
  DeleteDrawingPens();
  platform::ScopedScriptedDialogs dialogs;
  while (AutoBitmapCountForTest() < kAutoBitmapCapacity) ASSERT_NE(CreateAutoBitmap(1, 1), nullptr);
  ColorMode = 2;
  EXPECT_FALSE(MakeDrawingColors());
  EXPECT_EQ(DarkRedPixel, 0x00AA0000u) << "tables stay as they were";
  EXPECT_EQ(GlobeLandColors[0][4], MakeColorRef(64, 128, 0));
  EXPECT_FALSE(ThinPen.IsNull()) << "pens are built anyway";
  EXPECT_EQ(GreenPen.color, MakeColorRef(106, 0, 0));
  EXPECT_EQ(AutoBitmapCountForTest(), kAutoBitmapCapacity);
}


}  // namespace
