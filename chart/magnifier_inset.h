// The magnifier inset: a circular close view of the sky in the lower-left
// corner of the chart, framed by a shaded ring whose caption names the
// source ("Scan" or a point of interest) and the field. This file owns the
// field-of-view modes with their captions and half fields, the three
// 400 x 400 bitmaps, the frame, the scale that puts the half field on the
// ring's inner radius, the hit tests and the click handling.
//
// Everything runs on the GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {
class Bitmap;
}

inline constexpr int kMagnifierBitmapSize = 400;

// Field-of-view mode: 1..8 fixed fields, 9 follows the main chart's zoom,
// e × 10000 + 100 × t telescope t with eyepiece e; anything else the 2°
// field.
extern int32_t FieldOfViewMode;
// The last eyepiece mode given a caption (0 = none).
extern int32_t LastEyepieceMode;
// Outer radius of the inset in pixels (0 = hidden), ring width, the scale
// (Zoom of the magnifier plotter).
extern int32_t MagnifierSize;
extern int16_t MagnifierFrameWidth;
extern double MagnifierScale;
// The magnifier's half field, radians (HalfField of the magnifier plotter).
extern double MagnifierHalfField;
// Inset centre and radii on the chart paint box (set by the main window's
// painting and UpdateMagnifierFrame).
extern int32_t MagnifierCentreX;
extern int32_t MagnifierCentreY;
extern int32_t MagnifierRadiusX;
extern int32_t MagnifierRadiusY;

// The three bitmaps (null until InitMagnifierBuffers): the frame (green key
// surround, ring, caption, black inside), the chart with the frame laid
// over it, and the finished magnifier that painting composes.
extern platform::Bitmap* MagnifierFrameBitmap;
extern platform::Bitmap* MagnifierChartBitmap;
extern platform::Bitmap* MagnifierScreenBitmap;

// What the magnifier needs of the main window; installed by it at start-up.
// Absent hooks: no placing mode, no point of interest shown, no menu, the
// observer location set.
struct TMagnifierHooks {
  std::function<bool()> placingMode;                   // point-of-interest placing mode
  std::function<int32_t()> currentPointOfInterest;     // 0 = none
  // Position (J2000, radians) and field-of-view mode of a point of interest.
  std::function<bool(int32_t index, double& ra, double& dec, int32_t& mode)> pointOfInterest;
  std::function<bool()> observerLocationSet;           // the first location was set
  std::function<void(int32_t x, int32_t y)> showMagMenu;  // MagMenu at a paint-box point
  std::function<void()> invalidateMagnifier;           // repaint the inset's rectangle
};
extern TMagnifierHooks MagnifierHooks;

bool InitMagnifierBuffers();
void DoneMagnifier();

// Half field (radians) and caption of a mode; mainZoom is the main chart's
// zoom (mode 9). A caption coming in as "no lastfieldselect" leaves
// LastEyepieceMode as it was.
void MagnifierFieldCaption(int32_t mode, double& halfField, std::string& caption, double mainZoom);
// The same with the zoom of MainPlotter (0.95 without one).
void MagnifierFieldCaption(int32_t mode, double& halfField, std::string& caption);
// The mode a point of interest stores for a half field (radians).
int32_t MagnifierZoomStep(double halfField);

// Rebuilds the frame for an inset size and mode and sets the scale (pauses
// the magnifier).
void UpdateMagnifierFrame(int32_t size, int32_t mode);
// The scale that puts half field `halfField` (radians) on inner radius r.
double MagnifierScaleFor(int32_t innerRadius, double halfField);

// Hit tests on the chart paint box: within the oval, and within 1.1 times.
bool InsideMagnifier(int32_t x, int32_t y);
bool InsideMagnifierMargin(int32_t x, int32_t y);
// A click on the chart: true when the magnifier takes it; a right click
// outside placing mode opens MagMenu.
bool MagnifierClick(int32_t button, int32_t x, int32_t y);

// Painting: copies the screen bitmap onto `backBuffer` centred on
// (MagnifierCentreX, MagnifierCentreY), skipping its key colour (nothing
// while the magnifier is hidden).
void ComposeMagnifier(platform::Bitmap& backBuffer);

// Fills the chart bitmap with the colour inside the frame.
void ClearMagnifierChart();
// Lays the frame over the chart bitmap (its inside stays), keeping the
// surround key colour in the first pixel of both.
void OverlayMagnifierFrame();
// Copies the chart bitmap to the screen bitmap and asks for a repaint.
void ShowMagnifierChart();
