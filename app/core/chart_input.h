// The chart's input and layout rules that need no window: the 20 zoom
// levels, the key table, the point-of-interest digit keys, the field-of-view
// keys, the status read-out texts, the inset rectangles and size presets, and
// the time buttons' places.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class IChartView;

// --- Zoom -------------------------------------------------------------------

inline constexpr int kZoomLevels = 20;
inline constexpr int kStartZoomLevel = 4;
inline constexpr std::array<double, kZoomLevels> kZoomScales = {0.4, 0.6, 0.8, 0.95, 1.2, 1.6, 1.9,
                                                                2.2, 2.6, 3.0, 3.5, 4.0, 4.5, 5.0,
                                                                6.0, 7.0, 10.0, 13.0, 18.0, 40.0};
// Scale of level 1..20 (levels outside are clamped).
double ZoomScaleOfLevel(int level);

// Field of view shown for a zoom scale: 180 / scale rounded, at most 180.
int FieldOfViewDegrees(double zoomScale);
// Status panel 2: n followed by "° fov".
std::string FieldOfViewText(double zoomScale);
// Status panel 1 for a pointer on the sky: "ra=" hours and minutes ", dec="
// degrees with one decimal.
std::string PointerPositionText(double ra, double dec);

// --- Keys -------------------------------------------------------------------

// What the chart keys reach outside the chart view.
struct TChartKeyCommands {
  std::function<void()> clearPointOfInterestMode;   // Esc in point-of-interest mode
  std::function<void()> newDateTime;                // D, d
  std::function<void()> find;                       // F, f
  std::function<void()> newLocation;                // L, l
  std::function<void()> starOptions;                // O
  std::function<void()> objectOptions;              // o
  std::function<void()> newPointOfInterest;         // P, p
  std::function<void(double days)> shiftTime;       // H h M m S s
  std::function<void()> startPOIKeyTimer;           // first digit typed
  std::function<void(bool shown)> horizonChecked;   // Z, z: the menu check
};

// State the keys read and change.
struct TChartKeyState {
  int ZoomLevel = kStartZoomLevel;
  bool PointOfInterestMode = false;
  bool TelescopeConnected = false;
  bool NewTimeEnabled = true;        // the date-and-time command is available
  std::string POIKeyBuffer;          // at most 4 digits
};

// One typed character on the chart (FormKeyPress). Returns true when the key
// was consumed (Esc always).
bool ChartKeyPress(char key, TChartKeyState& st, IChartView& view, const TChartKeyCommands& cmd);

// Zoom commands: level + 1 (at most 20), level - 1 (at least 1), whole sky
// (level 4 and the full-view flag). Each applies the scale and marks replot.
void ZoomIn(TChartKeyState& st, IChartView& view);
void ZoomOut(TChartKeyState& st, IChartView& view);
void WholeSkyView(TChartKeyState& st, IChartView& view);

// The point-of-interest digit timer's end: one or two digits give the point
// to show (returned), three or four give -1; the buffer is emptied.
int TakePOIKeys(std::string& buffer);

// Keys with modifiers (FormKeyUp): the field-of-view mode of Ctrl+1..9
// (9, then 1..8) and Alt+0..9 (telescope 100 × n, Alt+0 = 1000); -1 when
// the key sets no mode. A telescope key is ignored (-1) when n exceeds
// `telescopeRows` - 2 (the rows of the telescope list of the magnifier
// settings).
int FieldOfViewKeyMode(int digit, bool ctrl, bool alt, int telescopeRows);

// --- Insets -----------------------------------------------------------------

struct TRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const TRect&) const = default;
};
TRect UnionRect(const TRect& a, const TRect& b);

// Horizontal extent of an inset of size s: s × InsetAspect rounded.
int InsetHalfWidth(int size, double insetAspect);

// The magnifier's rectangle and centre in the chart's lower-left corner.
// (The star sphere, globe and clock place themselves: PlaceStarSphere,
// PlaceGlobe, PlaceClock.)
struct TInsetPlace {
  TRect rect;
  int x = 0, y = 0;
};
TInsetPlace MagnifierPlace(int mapHeight, int magnifierSize, double insetAspect);

// The inset presets from the chart width (small, normal, large, huge).
struct TInsetPresets {
  int small = 0, normal = 0, large = 0, huge = 0;
};
TInsetPresets ComputeInsetPresets(int mapWidth);

// Top-left corners of the four time buttons (day back, hour back, hour
// forward, day forward) beside the clock; off screen when the clock is
// hidden.
std::array<std::array<int, 2>, 4> TimeButtonPlaces(int clockX, int clockY, int clockSize);

// --- Pointer shape ------------------------------------------------------------

// Screen cursors of the chart.
enum : int { kCursorDefault = 1, kCursorMap = 5, kCursorUnderHorizon = 6, kCursorMagnifier = 9 };

struct TPointerRegion {
  bool inGlobe = false, inClock = false, onStarSphere = false, inMagnifier = false, onSky = false;
};
struct TPointerShape {
  int cursor = kCursorUnderHorizon;
  bool pointerOnChart = false;
  bool globeDragging = false;
};
// The pointer shape for a region, first match in the order globe, clock,
// star sphere, magnifier, sky above the horizon, elsewhere.
TPointerShape ChartPointerShape(const TPointerRegion& r, bool pointOfInterestMode);
