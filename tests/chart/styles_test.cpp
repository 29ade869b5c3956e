// Chart styles: defaults, the "FontsAndColors" storage, printer fonts and
// print inversion.
#include "chart/styles.h"

#include <gtest/gtest.h>

#include "chart/drawing_colors.h"
#include "platform/registry.h"


namespace {

class StylesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::TRegIniFile reg;
    reg.EraseSection("FontsAndColors");
    reg.Flush();
    ColorMode = 0;
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
  }
  void TearDown() override {
    CreateScreenFonts();
    platform::TRegIniFile reg;
    reg.EraseSection("FontsAndColors");
    ColorMode = 0;
    SetDefaultObjectColors();
  }
};

// At 96 pixels per inch a font of p points is MulDiv(p, 96, 72) pixels high:
// 8 -> 11 (10.67), 9 -> 12, 10 -> 13 (13.33), 11 -> 15 (14.67), 20 -> 27 (26.67).
TEST_F(StylesTest, DefaultFontsAndTheirPixelHeights) {
  ASSERT_EQ(platform::ScreenDpiY(), 96) << "the offscreen test screen";
  const TStyleEntry& objects = Styles[kStyleCelestialObjects];
  ASSERT_TRUE(objects.Handle);
  EXPECT_EQ(objects.Height, -11);
  EXPECT_EQ(objects.Handle->QtFont().family().toStdString(), "Liberation Sans");
  EXPECT_EQ(objects.Handle->QtFont().pixelSize(), 11);
  const TStyleEntry& compass = Styles[kStyleCompassDirections];
  EXPECT_EQ(compass.Height, -27);
  EXPECT_EQ(compass.Handle->Log().weight, 700);
  EXPECT_TRUE(compass.Handle->Log().italic);
  EXPECT_EQ(compass.Handle->QtFont().family().toStdString(), "Liberation Serif");
  EXPECT_EQ(Styles[kStyleCoordinateGrid].Height, -15);
  // Only the styles with a role have fonts.
  int fonts = 0;
  for (const TStyleEntry& e : Styles) fonts += e.Handle ? 1 : 0;
  EXPECT_EQ(fonts, 9);
  EXPECT_FALSE(Styles[kStyleConstellationBoundaries].Handle);
}

TEST_F(StylesTest, SymbolFacesUseTheSymbolCharacterSet) {
  EXPECT_TRUE(Styles[kStyleStarAbbreviations].Handle->Log().symbolCharset);
  EXPECT_FALSE(Styles[kStyleStarNames].Handle->Log().symbolCharset);
  TStyleEntry e;
  CreateStyleFont(e, "MT Extra Symbol Pro", 0, false, false, 10);
  EXPECT_TRUE(e.Handle->Log().symbolCharset);
  EXPECT_EQ(e.Handle->QtFont().family().toStdString(), "DejaVu Sans");
  DeleteStyleFont(e);
  EXPECT_FALSE(e.Handle);
}

TEST_F(StylesTest, LargeStarAbbreviationsFollowStyleTen) {
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

TEST_F(StylesTest, RoundTripThroughTheSettings) {
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

TEST_F(StylesTest, HandleWithoutLowBitsMeansNoFont) {
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

TEST_F(StylesTest, UseColourZeroKeepsTheDefaultObjectColour) {
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

TEST_F(StylesTest, PrintInversionTurnsGreysOnly) {
  EXPECT_EQ(PrintInvertColor(MakeColorRef(200, 201, 202)), MakeColorRef(55, 54, 53) | 0x02000000u);
  EXPECT_EQ(PrintInvertColor(MakeColorRef(200, 210, 200)), MakeColorRef(200, 210, 200));
  EXPECT_EQ(PrintInvertColor(MakeColorRef(100, 102, 100)), MakeColorRef(155, 153, 155) | 0x02000000u);
  EXPECT_EQ(PrintInvertColor(MakeColorRef(100, 103, 100)), MakeColorRef(100, 103, 100));
  EXPECT_EQ(PrintInvertColor(MakeColorRef(255, 255, 255)), 0x02000000u);
}

TEST_F(StylesTest, PrinterFontsAndBackToTheScreen) {
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

}  // namespace
