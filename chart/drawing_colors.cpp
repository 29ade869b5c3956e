#include "chart/drawing_colors.h"

#include <algorithm>
#include <cmath>

#include "chart/graph_misc.h"
#include "chart/styles.h"

using platform::Brush;
using platform::Pen;

uint8_t ColorMode = 0;
int32_t PrintScale = 1;

Pen WhitePen, WhiteOutlinePen, HairlinePen, ThinPen, RulePen, FramePen, DarkRedPen, OliveDotPen, OlivePen,
    GreenPen, PaleGreenPen, GreyPen, BoundaryPen, TealPen, WhiteSymbolPen, YellowPen, WhiteMarkerPen, GreyDotPen,
    DarkGreyWidePen, LightGreyPen, GridPen, GridWidePen, RedDotPen, MilkyWayPen, BluePen;
Brush BlackFillBrush, WhiteBrush, BlackBrush, DarkRedBrush, OliveBrush, GreenBrush, DarkGreenBrush,
    PointOfInterestBrush, DarkGreyBrush, WhiteSymbolBrush, YellowBrush, WhiteMarkerBrush, NearBlackBrush,
    MilkyWayBrush, BlueBrush;
Brush StarDiscBrushes[10];
Pen StarDiscPens[10];

TColorRef GlobeLandColors[5][11];
TColorRef GlobeSeaColors[5][11];

uint32_t StarPixels[3][10];
uint32_t DimGreyPixel, HorizonPixel, GridAltPixel, GridPixel, BoundaryPixel, ConstellationLinePixel, DarkRedPixel,
    NearWhitePixel;
uint32_t BlueRampPixels[40];

int32_t PrintScaleForResolution(int32_t dpiX, int32_t dpiY) {
  const double scale = std::nearbyint((double(dpiX) + double(dpiY)) / 400.0);
  return scale < 1.0 ? 1 : int32_t(scale);
}

TColorRef ColorForMode(uint8_t r, uint8_t g, uint8_t b) {
  const int mean = (int(r) + int(g) + int(b)) / 3;
  switch (ColorMode) {
    case 2:
      return MakeColorRef(uint8_t(mean), 0, 0);
    case 1: {
      const uint8_t level = mean < 128 ? 0 : mean <= 253 ? 128 : 255;
      return MakeColorRef(level, level, level);
    }
    default:
      return MakeColorRef(r, g, b);
  }
}

TColorRef ColorRefForMode(TColorRef color) {
  return ColorForMode(platform::RedOf(color), platform::GreenOf(color), platform::BlueOf(color));
}

uint32_t PixelForMode(uint32_t pixel) {
  return platform::ColorRefToPixel(ColorRefForMode(platform::PixelToColorRef(pixel)));
}

// --- Pens and brushes --------------------------------------------------------------

namespace {

Pen SolidPen(int32_t width, uint8_t r, uint8_t g, uint8_t b) { return Pen::Solid(width, ColorForMode(r, g, b)); }
Pen DotPen(uint8_t r, uint8_t g, uint8_t b) { return Pen::Dotted(ColorForMode(r, g, b)); }
Brush SolidBrush(uint8_t r, uint8_t g, uint8_t b) { return Brush::Solid(ColorForMode(r, g, b)); }
Pen StylePen(int32_t width, int style) { return Pen::Solid(width, ColorRefForMode(Styles[style].ObjectColor)); }
Brush StyleBrush(int style) { return Brush::Solid(ColorRefForMode(Styles[style].ObjectColor)); }

}  // namespace

void DeleteDrawingPens() {
  for (int i = 0; i < 10; ++i) {
    StarDiscBrushes[i] = Brush{};
    StarDiscPens[i] = Pen{};
  }
  for (Pen* p : {&WhitePen, &WhiteOutlinePen, &HairlinePen, &ThinPen, &RulePen, &FramePen, &DarkRedPen,
                 &OliveDotPen, &OlivePen, &GreenPen, &PaleGreenPen, &GreyPen, &BoundaryPen, &TealPen,
                 &WhiteSymbolPen, &YellowPen, &WhiteMarkerPen, &GreyDotPen, &DarkGreyWidePen, &LightGreyPen,
                 &GridPen, &GridWidePen, &RedDotPen, &MilkyWayPen, &BluePen})
    *p = Pen{};
  for (Brush* b : {&BlackFillBrush, &WhiteBrush, &BlackBrush, &DarkRedBrush, &OliveBrush, &GreenBrush,
                   &DarkGreenBrush, &PointOfInterestBrush, &DarkGreyBrush, &WhiteSymbolBrush, &YellowBrush,
                   &WhiteMarkerBrush, &NearBlackBrush, &MilkyWayBrush, &BlueBrush})
    *b = Brush{};
}

void CreateDrawingPens() {
  DeleteDrawingPens();
  const int32_t w = std::max<int32_t>(1, PrintScale);
  WhitePen = SolidPen(w, 255, 255, 255);
  BlackFillBrush = SolidBrush(0, 0, 0);
  WhiteOutlinePen = SolidPen(w, 255, 255, 255);
  WhiteBrush = SolidBrush(255, 255, 255);
  HairlinePen = SolidPen(1, 0, 0, 0);
  ThinPen = SolidPen(w, 0, 0, 0);
  RulePen = SolidPen(2 * w, 0, 0, 0);
  FramePen = SolidPen(4 * w, 0, 0, 0);
  BlackBrush = SolidBrush(0, 0, 0);
  DarkRedPen = SolidPen(w, 64, 32, 32);
  DarkRedBrush = SolidBrush(120, 32, 32);
  OliveDotPen = DotPen(128, 128, 64);
  OliveBrush = SolidBrush(128, 128, 64);
  OlivePen = SolidPen(w, 128, 128, 64);
  GreenPen = SolidPen(w, 32, 255, 32);
  GreenBrush = SolidBrush(32, 120, 32);
  PaleGreenPen = SolidPen(w, 140, 180, 140);
  DarkGreenBrush = SolidBrush(32, 100, 32);
  GreyPen = SolidPen(w, 170, 170, 170);
  PointOfInterestBrush = StyleBrush(kStylePointsOfInterest);
  BoundaryPen = StylePen(w, kStyleConstellationBoundaries);
  TealPen = SolidPen(w, 0, 85, 85);
  DarkGreyBrush = SolidBrush(85, 85, 85);
  WhiteSymbolPen = SolidPen(w, 255, 255, 255);
  WhiteSymbolBrush = SolidBrush(255, 255, 255);
  YellowPen = SolidPen(w, 255, 255, 0);
  YellowBrush = SolidBrush(255, 255, 0);
  WhiteMarkerPen = SolidPen(w, 255, 255, 255);
  GreyDotPen = DotPen(63, 63, 63);
  WhiteMarkerBrush = SolidBrush(255, 255, 255);
  NearBlackBrush = SolidBrush(23, 23, 23);
  DarkGreyWidePen = SolidPen(2 * w, 85, 85, 85);
  LightGreyPen = SolidPen(w, 170, 170, 170);
  GridPen = StylePen(w, kStyleCoordinateGrid);
  GridWidePen = StylePen(2 * w, kStyleCoordinateGrid);
  RedDotPen = DotPen(170, 0, 0);
  MilkyWayPen = StylePen(w, kStyleMilkyWay);
  MilkyWayBrush = StyleBrush(kStyleMilkyWay);
  BluePen = SolidPen(w, 63, 80, 170);
  BlueBrush = SolidBrush(63, 80, 170);
  // Star discs by colour class. Night vision turns them red like every
  // other colour; black-and-white printing draws grey discs with black rims.
  for (int i = 1; i <= 9; ++i) {
    const TColorRef c = ColorMode == 1 ? MakeColorRef(128, 128, 128) : ColorRefForMode(StarColors[0][i]);
    StarDiscBrushes[i] = Brush::Solid(c);
    StarDiscPens[i] = Pen::Solid(1, ColorMode == 1 ? MakeColorRef(0, 0, 0) : c);
  }
}

// --- Derived colour tables -------------------------------------------------------------

namespace {

// Level 0 of a globe palette is the palette through the colour mode; each
// further level darkens the previous one channel by channel to
// max(0, trunc(x * f) - 5), computed in extended precision.
void ShadePalette(const TColorTriple* palette, const long double factors[4], TColorRef levels[5][11]) {
  for (int e = 0; e < 11; ++e) {
    long double rgb[3] = {static_cast<long double>(palette[e].Red), static_cast<long double>(palette[e].Green),
                          static_cast<long double>(palette[e].Blue)};
    levels[0][e] = ColorForMode(uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2]));
    for (int level = 1; level <= 4; ++level) {
      for (long double& x : rgb) x = std::max(0.0L, std::trunc(x * factors[level - 1]) - 5.0L);
      levels[level][e] = ColorForMode(uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2]));
    }
  }
}

uint8_t IndexOnLevel0(const TColorRef levels[5][11], TColorRef color) {
  for (int e = 0; e < 11; ++e)
    if (platform::SameColor(levels[0][e], color)) return uint8_t(e);
  return 255;
}

}  // namespace

uint8_t LandColorIndex(TColorRef color) { return IndexOnLevel0(GlobeLandColors, color); }
uint8_t SeaColorIndex(TColorRef color) { return IndexOnLevel0(GlobeSeaColors, color); }

bool MakeDrawingColors() {
  Bitmap* probe = CreateAutoBitmap(1, 1);
  const bool made = probe != nullptr;
  if (made) {
    // The land and sea palettes are the first 22 fixed colours.
    static constexpr long double kLandFactors[4] = {0.8L, 0.8L, 0.7L, 0.7L};
    static constexpr long double kSeaFactors[4] = {0.8L, 0.8L, 0.8L, 0.8L};
    ShadePalette(&ColorTriples[0], kLandFactors, GlobeLandColors);
    ShadePalette(&ColorTriples[11], kSeaFactors, GlobeSeaColors);
    {
      // Each colour is set into the probe pixel by the drawing context and
      // read back as the display stores it.
      platform::DrawingContext dc(*probe);
      auto pixel = [&](TColorRef c) {
        dc.SetPixel(0, 0, c);
        return probe->Pixel(0, 0) & platform::kRgbMask;
      };
      for (int k = 0; k < 3; ++k)
        for (int e = 0; e < 10; ++e) StarPixels[k][e] = pixel(ColorRefForMode(StarColors[k + 1][e]));
      DimGreyPixel = pixel(ColorForMode(26, 26, 26));
      HorizonPixel = pixel(ColorRefForMode(Styles[kStyleHorizon].ObjectColor));
      GridAltPixel = pixel(ColorRefForMode(Styles[kStyleCoordinateGrid].AltObjectColor));
      GridPixel = pixel(ColorRefForMode(Styles[kStyleCoordinateGrid].ObjectColor));
      BoundaryPixel = pixel(ColorRefForMode(Styles[kStyleConstellationBoundaries].ObjectColor));
      ConstellationLinePixel = pixel(ColorRefForMode(Styles[kStyleConstellationLines].ObjectColor));
      DarkRedPixel = pixel(ColorForMode(170, 0, 0));
      NearWhitePixel = pixel(ColorForMode(254, 254, 254));
      for (int i = 0; i < BlueRampCount; ++i) {
        const TColorTriple& t = ColorTriples[BlueRamp + i];
        BlueRampPixels[i] = pixel(ColorForMode(t.Red, t.Green, t.Blue));
      }
    }
    FreeAutoBitmap(probe);
  }
  CreateDrawingPens();
  return made;
}
