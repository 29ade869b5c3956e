// The star-sphere inset (the "guide"): a small round picture of the whole
// visible sky in the top-left corner of the chart, drawn by SpherePlotter
// in its star-sphere mode, framed by the shaded ring, with the main chart's
// field of view as a blue oval. A left click re-centres the main chart on
// the clicked point; a right click opens the inset's menu.
//
// Two 400 × 400 bitmaps: the frame (green surround, dark disc, warm ring),
// drawn once per size change, and the chart, drawn after every main render
// (DrawStarSphere), whose first pixel is the green key of painting's
// transparent copy. The inset's centre is pixel (200, 200) (row 199 for
// the ring); painting puts it at (10 + RG, 10 + GuideSize) of the chart,
// RG = GuideSize × InsetAspect rounded (see PlaceStarSphere).
//
// Before DrawStarSphere the main window copies MainPlotter's state block
// into SpherePlotter; DrawStarSphere then sets the inset's own fields.
#pragma once

#include <QRect>
#include <cstdint>

#include "platform/bitmap.h"

class tPlotter;

// Ring width GuideSize div 25; hit-test radii trunc(GuideSize ×
// InsetAspect) and GuideSize. (GuideSize itself: chart/screen_layout.h.)
extern int16_t StarSphereRing;
extern int32_t SphereRadiusX;
extern int32_t SphereRadiusY;
// Where the inset lies in chart paint-box coordinates.
extern QRect StarSphereRect;

extern platform::Bitmap* SphereFrameBitmap;
extern platform::Bitmap* SphereChartBitmap;

// Start-up step (code 10): both bitmaps; true when both exist.
bool InitStarSphereBuffers();
// Sets GuideSize (0 does nothing), prepares SpherePlotter and redraws the
// frame.
void SetStarSphereSize(int16_t size);
// Sets SpherePlotter's fields for an inset chart of radius r: star-sphere
// output (the whole sky about the zenith, turned like the main chart), zoom
// 1, stars to magnitude 3, constellation lines only, no grid, objects or
// star letters, the chart centred at about (198.5, 198.5) of the bitmaps.
void PrepareSpherePlotter(tPlotter& plotter, int32_t r);
// Renders the inset (after each main render).
void DrawStarSphere();
// Painting's placement: StarSphereRect for the present size and aspect.
void PlaceStarSphere();
// Copies the inset onto `backBuffer` at its place, skipping the key.
void ComposeStarSphere(platform::Bitmap& backBuffer);

// The position under the chart point (x, y): true, with right ascension,
// declination (of date), altitude and azimuth (radians), when the point lies
// on the sphere at least 0.1° above its horizon.
bool StarSpherePointToRaDec(int32_t x, int32_t y, double& ra, double& dec, double& alt, double& az);
// A chart click (button 0 left, 1 right): false when the inset is hidden or
// the point is not on the sphere. Left centres the main chart there (held
// altitude and azimuth when it is centred on the horizon), ends the zenith
// view and tracking and asks for a render; right opens the inset's menu.
bool StarSphereClick(uint8_t button, int32_t x, int32_t y);
// Within 1.1 radii of the inset's centre (grid labels keep off).
bool InsideStarSphere(int32_t x, int32_t y);
