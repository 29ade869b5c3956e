// Screen-layout and performance settings: the sizes of the four chart
// insets as size codes, the shape of the chart mask, the horizontal aspect
// correction of the circular insets, and the twilight-colours switch; their
// registry sections "ScreenLayout" and "Performance"; and the translation
// between size codes and the inset sizes in pixels.
//
// The windows that edit them (chart/forms) call the plain functions here.
#pragma once

#include <cstdint>
#include <functional>

// The stored layout, six values in this order.
struct TScreenLayoutSettings {
  int32_t OvalMask = 2;      // "use oval mask", 0..4
  int32_t Guide = 2;         // "guide" (star sphere), 0..3
  int32_t Globe = 2;         // "globe", 0..3
  int32_t Magnifier = 2;     // "magnifier", 0..4
  int32_t Clock = 2;         // "clock", 0..3
  int32_t AspectAdjust = 0;  // "aspect adjust", -10..10 steps of 1/40
  bool operator==(const TScreenLayoutSettings&) const = default;
};
extern TScreenLayoutSettings ScreenLayoutSettings;

// Size codes: 0 hidden, 1 small, 2 normal, 3 large, 4 huge (magnifier only).
inline constexpr int32_t kMaxInsetCode = 3;
inline constexpr int32_t kMaxMagnifierCode = 4;
inline constexpr int32_t kMaxAspectAdjust = 10;

// Inset sizes in pixels (0 hidden), set from the presets by the codes.
extern int16_t GuideSize;
extern int32_t MagnifierSize;

// The preset of a size code 1..4 (InsetSizeSmall .. InsetSizeHuge); 0 for
// any other code.
int32_t InsetPresetSize(int32_t code);

// Every value brought into its range (out-of-range stored values cannot
// stretch the insets beyond their bitmaps or divide by zero). An inset size
// code the inset does not have becomes the code of its present size (0 when
// hidden or of no preset), so applying it leaves the size unchanged.
TScreenLayoutSettings ClampScreenLayout(TScreenLayoutSettings s);

// Reads section "ScreenLayout" into ScreenLayoutSettings: missing or
// non-numeric values give the defaults, as do size codes an inset does not
// have; the mask and the aspect are clamped into their ranges.
void ReadRegScreenLayout();
// Writes the six values in the order "guide", "globe", "magnifier",
// "clock", "use oval mask", "aspect adjust".
void WriteRegScreenLayout();

// AspectAdjust for an aspect-adjust value: value / 40 + 1.
double AspectAdjustFor(int32_t aspectAdjust);
// InsetAspect := screen pixels per inch horizontally / vertically ×
// AspectAdjust.
void ComputeInsetAspect();

// Start and resize: sizes of the insets whose codes are above 0 from the
// presets (codes of 0 leave the size as it is), OvalMaskKind and
// AspectAdjust from the settings, then InsetAspect.
void ApplyScreenLayout();
// The window's reverse: each code from the present size (the last preset
// it equals wins; 0 for a hidden inset; unchanged for a size equal to no
// preset).
void ReadScreenLayoutSizes();

// What the layout window asks of the main window and of the magnifier,
// which the chart library does not hold. Empty hooks are skipped.
struct ScreenLayoutHost {
  // The main window's size commands (GuideSML, GlobeSML, MagSML, ClockSML).
  std::function<void(int32_t code)> guideSize, globeSize, magnifierSize, clockSize;
  // Rebuilds the magnifier frame for MagnifierSize and the field mode.
  std::function<void()> updateMagnifierFrame;
};
extern ScreenLayoutHost TheScreenLayoutHost;

// Rebuilds every inset after the aspect or the colours changed: InsetAspect,
// ring ramps, globe texture, clock pens and face, magnifier frame, star
// sphere; marks the insets in RepaintMask, repaints the mask and asks for a
// new chart.
void RefreshScreen();

// The choices of the layout window when OK is pressed: indices of the
// lists (-1 no selection) and the track-bar position.
struct TScreenLayoutChoice {
  int32_t mask = 2, guide = 2, globe = 2, magnifier = 2, clock = 2, aspect = 0;
};
// The window's values for the present state (ReadScreenLayoutSizes, the
// aspect back from AspectAdjust, OvalMaskKind).
TScreenLayoutChoice CurrentScreenLayoutChoice();
// OK: stores the clamped choice, calls the size command of each inset whose
// code changed, repaints the mask when its kind changed, refreshes the
// insets when the aspect changed, and writes the section.
void ApplyScreenLayoutChoice(const TScreenLayoutChoice& choice);

// --- Performance ---------------------------------------------------------------------

// Twilight colours of the chart at sunrise and sunset ("graphic sun
// riseset", default on).
extern bool GraphicSunRiseSet;
// Graph span selector of the information windows; 2 once the performance
// window exists.
extern uint8_t VisibilityGraphSpan;

void ReadRegPerformance();
// OK of the performance window: writes the switch, makes it live, passes
// it to the main plotter and asks for a new chart.
void WriteRegPerformance(bool graphicSunRiseSet);
