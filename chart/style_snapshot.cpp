#include "chart/style_snapshot.h"

#include <cmath>

#include "chart/drawing_colors.h"
#include "platform/numfmt.h"

TStyleTable TakeStyleSnapshot() {
  TStyleTable t;
  for (int i = 0; i < kStyleCount; ++i) t[std::size_t(i)] = Styles[i];
  return t;
}

void RestoreStyleSnapshot(const TStyleTable& snapshot) {
  for (int i = 0; i < kStyleCount; ++i) Styles[i] = snapshot[std::size_t(i)];
  MakeDrawingColors();
}

void RevertStyles() {
  // SetDefaultObjectColors drops every font handle of the live table (the
  // fonts go unless a snapshot still holds them).
  SetDefaultObjectColors();
  SetDefaultStyleFonts();
  WriteRegFontsAndColors();
  MakeDrawingColors();
}

int ParseFontSize(const std::string& text) {
  int32_t v = 0;
  if (!platform::ParseInt32(text, v)) return 8;
  return v < 2 ? 2 : v > 64 ? 64 : v;
}

TColorRef AltGridColor(TColorRef color) {
  auto part = [](uint8_t c) { return uint8_t(std::nearbyint(c * 0.6)); };
  return platform::MakeColorRef(part(platform::RedOf(color)), part(platform::GreenOf(color)),
                                part(platform::BlueOf(color)));
}
