// Chart styles: one table of 151 entries, each a text font (face, point
// size, bold, italic, colour) and, for layers without text, an object
// colour. Every chart text and every user-colourable layer reads its style
// by index. The table is stored in the per-user settings under
// "FontsAndColors" and re-created for the printer around printing.
#pragma once

#include <cstdint>
#include <string>

#include "astro/trig.h"
#include "platform/drawing.h"

struct TStyleEntry {
  platform::FontHandle Handle;  // the style's font; empty: the style has no font
  TColorRef Color = 0;          // text colour
  int32_t Width = 0;            // font width of the font creation; always 0
  int32_t Height = 0;           // -MulDiv(point size, device pixels per inch, 72)
  int32_t PointSize = 0;
  uint8_t Bold = 0;             // weight 700 when set, else 400
  uint8_t Ital = 0;
  std::string Name;             // font face
  uint8_t UseColor = 0;         // the style carries an object colour
  TColorRef ObjectColor = 0;
  TColorRef AltObjectColor = 0;  // second layer colour (coordinate grid only)
};

inline constexpr int kStyleCount = 151;
// The point sizes the colours-and-fonts window offers.
inline constexpr int32_t kMinStylePoints = 2, kMaxStylePoints = 64;

// Styles with a role.
enum : int {
  kStyleCelestialObjects = 0,
  kStyleConstellationNames = 1,
  kStyleConstellationBoundaries = 2,
  kStyleConstellationLines = 3,
  kStyleHorizon = 4,
  kStyleCoordinateGrid = 5,
  kStyleMilkyWay = 6,
  kStyleOvalMask = 7,
  kStylePointsOfInterest = 8,
  kStyleSolarSystemObjects = 9,
  kStyleStarAbbreviations = 10,
  kStyleStarNames = 11,
  kStyleCompassDirections = 12,
  kStyleLargeStarAbbreviations = 110,  // style 10 two points larger
};
// Names of styles 0..12 as the colours-and-fonts window lists them.
inline constexpr int kNamedStyleCount = 13;
extern const char* const StyleNames[kNamedStyleCount];

// The live table, and the second table that receives the stored values at
// start and holds the colours-and-fonts window's snapshot.
extern TStyleEntry Styles[kStyleCount];
extern TStyleEntry SavedStyles[kStyleCount];

// Selects a style's font and its text colour through the colour mode.
void SelectStyle(platform::DrawingContext& dc, int style);

// The colour mode chosen in the colours-and-fonts window, applied by its OK.
extern uint8_t PendingColorMode;

// Screen colours kept while the printer fonts are in use.
extern TColorRef StyleTextColors[kStyleCount];
extern TColorRef StyleObjectColors[kStyleCount];

// Stores the font parameters in the entry and creates its font for the
// screen: height -MulDiv(points, screen pixels per inch, 72), width 0,
// weight 700 or 400, the symbol character set when the face contains
// "Symbol". The entry's previous font is released.
void CreateStyleFont(TStyleEntry& entry, const std::string& face, TColorRef color, bool italic, bool bold,
                     int32_t pointSize);
// Releases the entry's font.
void DeleteStyleFont(TStyleEntry& entry);

// Clears the fonts and object colours of both tables, then sets the default
// object colours in Styles.
void SetDefaultObjectColors();
// Creates the default fonts of styles 0, 1, 5, 8, 9, 10, 11, 12 and 110.
void SetDefaultStyleFonts();
// Makes style 110 a copy of style 10 two points larger.
void UpdateLargeStarAbbreviationStyle();

// Reads "FontsAndColors": the colour mode into ColorMode and
// PendingColorMode, every style into SavedStyles; stored object colours go
// to Styles at once, stored fonts wait in SavedStyles for
// ApplySavedStyleFonts. Missing or non-numeric values keep the current
// ones, as do values no window gives (a colour mode other than 0..2, a
// colour with bits beyond red, green, blue and the palette flag, a point
// size outside 2..66, switches other than 0 and 1); a stored font whose
// point size is outside 2..66 is not taken.
void ReadRegFontsAndColors();
// Creates in Styles the fonts that ReadRegFontsAndColors left in
// SavedStyles, then clears them there. The colours-and-fonts window's
// creation runs SetDefaultStyleFonts, this, and MakeDrawingColors.
void ApplySavedStyleFonts();
// Writes the colour mode and every style that has a font or an object
// colour to "FontsAndColors" (the colours-and-fonts window's storage).
void WriteRegFontsAndColors();

// Program start: default object colours, then the stored values.
void InitChartStyles();

// Grey colours (channels pairwise less than 3 apart) become their inverse
// with the palette flag (bit 25) set; other colours are unchanged. White
// chart text thus prints black on paper.
TColorRef PrintInvertColor(TColorRef color);

// Re-creates every style font for a printer of `printerDpiY` pixels per inch
// and print-inverts the text and object colours (kept for the screen);
// CreateScreenFonts goes back to the screen fonts and colours.
void CreatePrinterFonts(int32_t printerDpiY);
void CreateScreenFonts();
