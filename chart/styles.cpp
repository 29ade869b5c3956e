#include "chart/styles.h"

#include <charconv>
#include <cstdio>

#include "chart/drawing_colors.h"
#include "platform/registry.h"
#include "platform/value_range.h"

TStyleEntry Styles[kStyleCount];
TStyleEntry SavedStyles[kStyleCount];
uint8_t PendingColorMode = 0;
TColorRef StyleTextColors[kStyleCount];
TColorRef StyleObjectColors[kStyleCount];

const char* const StyleNames[kNamedStyleCount] = {
    "Celestial objects",     "Constellation abbreviations and names",
    "Constellation boundries", "Constellation lines",
    "Horizon",               "Coordinate Grid",
    "Milkyway",              "Oval mask",
    "Points of interest",    "Solar system objects",
    "Star abbreviations",    "Star names",
    "Compass directions"};

namespace {

constexpr const char* kSection = "FontsAndColors";

// True while the styles hold the printer fonts and print-inverted colours.
bool PrinterFontsActive = false;

// (Re)creates the entry's font from its stored parameters for a device of
// `dpiY` pixels per inch.
void MakeFont(TStyleEntry& entry, int32_t dpiY) {
  entry.Handle.reset();
  entry.Width = 0;
  entry.Height = -platform::MulDiv(entry.PointSize, dpiY, 72);
  platform::LogFont log;
  log.height = entry.Height;
  log.width = 0;
  log.weight = entry.Bold ? 700 : 400;
  log.italic = entry.Ital != 0;
  log.symbolCharset = entry.Name.find("Symbol") != std::string::npos;
  log.face = entry.Name;
  entry.Handle = platform::CreateFont(log);
}

std::string StyleSection(int index) {
  char name[8];
  std::snprintf(name, sizeof name, "FC%03d", index);
  return std::string(kSection) + "/" + name;
}

// Reads a whole number; a missing or non-numeric value gives `deflt`.
int64_t ReadWhole(const platform::TRegIniFile& reg, const std::string& section, const char* ident,
                  int64_t deflt) {
  const std::string text = reg.ReadString(section, ident, "");
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, value);
  return (ec == std::errc() && p == end && !text.empty()) ? value : deflt;
}

// A whole number within [lo, hi]; a missing, non-numeric or out-of-range
// value gives `deflt`.
int64_t ReadWhole(const platform::TRegIniFile& reg, const std::string& section, const char* ident, int64_t deflt,
                  int64_t lo, int64_t hi) {
  return platform::InRangeOr(ReadWhole(reg, section, ident, deflt), lo, hi, deflt);
}

// A colour reference: red, green and blue, and the palette flag (bit 25)
// that the print colours carry; any other bit makes it no colour, which
// reads as `deflt`.
TColorRef ReadColor(const platform::TRegIniFile& reg, const std::string& section, const char* ident,
                    TColorRef deflt) {
  const int64_t v = ReadWhole(reg, section, ident, deflt, 0, 0x02FFFFFF);
  return (v & 0x01000000) != 0 ? deflt : TColorRef(v);
}

void ReadStyle(const platform::TRegIniFile& reg, int index, TStyleEntry& e) {
  const std::string s = StyleSection(index);
  // Only the low 16 bits of the stored font handle count.
  const int64_t handle = ReadWhole(reg, s, "handle", e.Handle ? 1 : 0);
  e.Color = ReadColor(reg, s, "color", e.Color);
  // Width and height are recomputed for every device; only a sane value is
  // kept. Point sizes are the window's 2..64 (style 110 is style 10's + 2).
  e.Width = int32_t(ReadWhole(reg, s, "width", e.Width, -kMaxStylePoints * 100, kMaxStylePoints * 100));
  e.Height = int32_t(ReadWhole(reg, s, "height", e.Height, -kMaxStylePoints * 100, kMaxStylePoints * 100));
  e.PointSize = int32_t(ReadWhole(reg, s, "point size", e.PointSize, kMinStylePoints, kMaxStylePoints + 2));
  e.Bold = uint8_t(ReadWhole(reg, s, "bold", e.Bold, 0, 1));
  e.Ital = uint8_t(ReadWhole(reg, s, "ital", e.Ital, 0, 1));
  e.Name = reg.ReadString(s, "name", e.Name).substr(0, 255);
  e.UseColor = uint8_t(ReadWhole(reg, s, "use color", e.UseColor, 0, 1));
  e.ObjectColor = ReadColor(reg, s, "object color", e.ObjectColor);
  e.AltObjectColor = ReadColor(reg, s, "alt object color", e.AltObjectColor);
  // A stored font without a point size the window gives is no font: the
  // style keeps its default one.
  const bool hasFont = (handle & 0xFFFF) != 0 && platform::InRange(e.PointSize, kMinStylePoints, kMaxStylePoints + 2);
  if (hasFont) MakeFont(e, platform::ScreenDpiY());
  else e.Handle.reset();
}

}  // namespace

void CreateStyleFont(TStyleEntry& entry, const std::string& face, TColorRef color, bool italic, bool bold,
                     int32_t pointSize) {
  entry.Color = color;
  entry.PointSize = pointSize;
  entry.Name = face;
  entry.Bold = bold ? 1 : 0;
  entry.Ital = italic ? 1 : 0;
  MakeFont(entry, platform::ScreenDpiY());
}

void DeleteStyleFont(TStyleEntry& entry) { entry.Handle.reset(); }

void SetDefaultObjectColors() {
  for (TStyleEntry* table : {Styles, SavedStyles})
    for (int i = 0; i < kStyleCount; ++i) {
      table[i].Handle.reset();
      table[i].UseColor = 0;
    }
  auto set = [](int index, uint8_t r, uint8_t g, uint8_t b) {
    Styles[index].UseColor = 1;
    Styles[index].ObjectColor = MakeColorRef(r, g, b);
  };
  set(kStyleConstellationBoundaries, 35, 85, 35);
  set(kStyleConstellationLines, 63, 63, 63);
  set(kStyleHorizon, 87, 87, 87);
  set(kStyleCoordinateGrid, 42, 42, 42);
  Styles[kStyleCoordinateGrid].AltObjectColor = MakeColorRef(31, 31, 31);
  set(kStyleMilkyWay, 22, 22, 22);
  set(kStyleOvalMask, 50, 0, 0);
  set(kStylePointsOfInterest, 40, 40, 40);
}

void UpdateLargeStarAbbreviationStyle() {
  const TStyleEntry& small = Styles[kStyleStarAbbreviations];
  CreateStyleFont(Styles[kStyleLargeStarAbbreviations], small.Name, small.Color, small.Ital != 0, small.Bold != 0,
                  small.PointSize + 2);
}

void SetDefaultStyleFonts() {
  CreateStyleFont(Styles[kStyleCelestialObjects], "Arial", MakeColorRef(104, 92, 51), false, false, 8);
  CreateStyleFont(Styles[kStyleConstellationNames], "Times New Roman", MakeColorRef(55, 73, 55), false, true, 20);
  CreateStyleFont(Styles[kStyleCoordinateGrid], "Times New Roman", MakeColorRef(130, 124, 19), true, false, 11);
  CreateStyleFont(Styles[kStylePointsOfInterest], "Times New Roman", MakeColorRef(255, 255, 255), false, true, 11);
  CreateStyleFont(Styles[kStyleSolarSystemObjects], "Times New Roman", MakeColorRef(255, 255, 255), false, false, 8);
  CreateStyleFont(Styles[kStyleStarAbbreviations], "Symbol", MakeColorRef(170, 170, 170), false, false, 8);
  CreateStyleFont(Styles[kStyleStarNames], "Times New Roman", MakeColorRef(255, 255, 255), false, false, 9);
  CreateStyleFont(Styles[kStyleCompassDirections], "Times New Roman", MakeColorRef(255, 160, 128), true, true, 20);
  UpdateLargeStarAbbreviationStyle();
}

void ReadRegFontsAndColors() {
  const platform::TRegIniFile reg;
  ColorMode = uint8_t(ReadWhole(reg, std::string(kSection) + "/Color Mode", "value", ColorMode, 0, 2));
  PendingColorMode = ColorMode;
  for (int i = 0; i < kStyleCount; ++i) {
    ReadStyle(reg, i, SavedStyles[i]);
    // A stored object colour applies at once.
    if (SavedStyles[i].UseColor != 0) {
      Styles[i].UseColor = SavedStyles[i].UseColor;
      Styles[i].ObjectColor = SavedStyles[i].ObjectColor;
      Styles[i].AltObjectColor = SavedStyles[i].AltObjectColor;
      SavedStyles[i].UseColor = 0;
    }
  }
}

void ApplySavedStyleFonts() {
  bool starAbbreviations = false;
  for (int i = 0; i < kStyleCount; ++i) {
    TStyleEntry& saved = SavedStyles[i];
    if (!saved.Handle) continue;
    CreateStyleFont(Styles[i], saved.Name, saved.Color, saved.Ital != 0, saved.Bold != 0, saved.PointSize);
    saved.Handle.reset();
    starAbbreviations = starAbbreviations || i == kStyleStarAbbreviations;
  }
  // Style 110 always follows style 10.
  if (starAbbreviations) UpdateLargeStarAbbreviationStyle();
}

void WriteRegFontsAndColors() {
  platform::TRegIniFile reg;
  reg.WriteInteger(std::string(kSection) + "/Color Mode", "value", ColorMode);
  for (int i = 0; i < kStyleCount; ++i) {
    const TStyleEntry& e = Styles[i];
    if (!e.Handle && e.UseColor == 0) continue;
    const std::string s = StyleSection(i);
    reg.WriteInteger(s, "handle", e.Handle ? 1 : 0);
    reg.WriteInteger(s, "color", int32_t(e.Color));
    reg.WriteInteger(s, "width", e.Width);
    reg.WriteInteger(s, "height", e.Height);
    reg.WriteInteger(s, "point size", e.PointSize);
    reg.WriteInteger(s, "bold", e.Bold);
    reg.WriteInteger(s, "ital", e.Ital);
    reg.WriteString(s, "name", e.Name);
    reg.WriteInteger(s, "use color", e.UseColor);
    reg.WriteInteger(s, "object color", int32_t(e.ObjectColor));
    reg.WriteInteger(s, "alt object color", int32_t(e.AltObjectColor));
  }
  reg.Flush();
}

void InitChartStyles() {
  SetDefaultObjectColors();
  ReadRegFontsAndColors();
}

TColorRef PrintInvertColor(TColorRef color) {
  const int r = platform::RedOf(color), g = platform::GreenOf(color), b = platform::BlueOf(color);
  auto near = [](int p, int q) { return (p > q ? p - q : q - p) < 3; };
  if (!(near(r, g) && near(g, b) && near(r, b))) return color;
  return MakeColorRef(uint8_t(255 - r), uint8_t(255 - g), uint8_t(255 - b)) | 0x02000000u;
}

void CreatePrinterFonts(int32_t printerDpiY) {
  for (int i = 0; i < kStyleCount; ++i) {
    TStyleEntry& e = Styles[i];
    // Screen colours are kept once, so a second call does not invert them back.
    if (e.Handle) {
      MakeFont(e, printerDpiY);
      if (!PrinterFontsActive) {
        StyleTextColors[i] = e.Color;
        e.Color = PrintInvertColor(e.Color);
      }
    }
    if (e.UseColor != 0 && !PrinterFontsActive) {
      StyleObjectColors[i] = e.ObjectColor;
      e.ObjectColor = PrintInvertColor(e.ObjectColor);
    }
  }
  PrinterFontsActive = true;
}

void CreateScreenFonts() {
  for (int i = 0; i < kStyleCount; ++i) {
    TStyleEntry& e = Styles[i];
    if (e.Handle) {
      MakeFont(e, platform::ScreenDpiY());
      if (PrinterFontsActive) e.Color = StyleTextColors[i];
    }
    if (e.UseColor != 0 && PrinterFontsActive) e.ObjectColor = StyleObjectColors[i];
  }
  PrinterFontsActive = false;
}

void SelectStyle(platform::DrawingContext& dc, int style) {
  dc.SelectFont(Styles[style].Handle);
  dc.SetTextColor(ColorRefForMode(Styles[style].Color));
}
