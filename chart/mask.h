// The chart mask: a screen-sized bitmap that holds the mask colour outside
// the visible chart shape and black (the transparent key) inside it. After
// each render the main window lays it over the back buffer with a
// transparent copy, so the mask colour frames the chart. The same shape
// answers whether a point lies in the chart (InChartArea, arithmetic),
// on the masked border (IsMaskedPixel) or near its edge (IsNearMaskEdge).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/bitmap.h"

// Shape of the mask, 0..4: 0 "No mask" (the chart rectangle), 1 "Small
// mask" (an ellipse larger than the chart, cut to the rectangle), 2
// "Medium mask", 3 "Large mask", 4 "Very large mask" (ellipses). Initially
// 2. The plotters read it (and the margins and insets below) from the
// magnifier thread too, hence atomics.
extern std::atomic<int32_t> OvalMaskKind;
inline constexpr int32_t kOvalMaskKindCount = 5;

// Margins of the chart rectangle, 2 and 2 from the first UpdateOvalMask on
// (0 before).
extern std::atomic<int32_t> MaskMarginLeft;
extern std::atomic<int32_t> MaskMarginTop;
// Ellipse insets of the current kind (0 until a kind 1..4 is built; kind 0
// keeps the previous values).
extern std::atomic<int32_t> MaskInsetX;
extern std::atomic<int32_t> MaskInsetY;

// The mask bitmap (an auto bitmap of the back buffer's size), or nullptr.
extern platform::Bitmap* MaskBitmap;

// Makes the mask bitmap at the back buffer's size; false when it cannot be
// made (the main window then ends its start-up with code 6).
bool CreateOvalMask();

// Re-creates the mask when the back buffer's size changed and paints the
// shape of OvalMaskKind in the mask colour (style 7 through the colour
// mode). A failed re-creation shows "Fatal error" and ends the program.
void UpdateOvalMask();

// True when pixel (x, y) of the mask (y from the top) has another colour
// than the mask's centre pixel, i.e. lies on the mask colour. Points whose
// element index lies outside the bitmap answer false. The whole 24-bit
// colour is compared.
bool IsMaskedPixel(int32_t x, int32_t y);

// True when any of the four diagonal points at distance d lies outside the
// mask bitmap or on the mask colour.
bool IsNearMaskEdge(int32_t x, int32_t y, int32_t d);

// The arithmetic shape test of the current kind for the MapWidth x
// MapHeight chart: inside the ellipse (kinds 1..4) and inside the margins
// (kinds 0 and 1).
bool InChartArea(int32_t x, int32_t y);
