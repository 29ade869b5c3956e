// The clock inset: an analogue 24-hour dial in the bottom-right corner of
// the chart. In "LMT/UT" mode a gold hand shows the chart's local clock
// time, a grey hand universal time, with minute and second hands, the local
// date, the caption "LMT&UT" or "DST&UT" and arcs for the hours the Sun and
// the Moon are above the horizon; in "Sidereal" mode the hands show local
// sidereal time under the caption "LST". The hands follow the simulated
// clock (ObserverTime), not the computer's clock.
//
// The face is drawn into ClockFaceBitmap when it changes and copied into
// ClockBitmap under the hands at every DrawClock; painting composes
// ClockBitmap (its first pixel is the transparent key) centred on the
// clock's place. The dial's centre is pixel (200, 200) of both bitmaps.
#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <string>

#include "platform/bitmap.h"
#include "platform/drawing.h"

struct TObserverTime;

// Radius in pixels, 0 = hidden.
extern int16_t ClockSize;
// Ring width ClockSize div 25 and twice that.
extern int32_t ClockRing;
extern int32_t ClockRing2;
// Horizontal and vertical radius (ClockSize × InsetAspect rounded; ClockSize).
extern double ClockRadiusX;
extern double ClockRadiusY;
// The clock's centre and rectangle in chart paint-box coordinates (see
// PlaceClock).
extern int32_t ClockCentreX;
extern int32_t ClockCentreY;
extern QRect ClockRect;

extern platform::Bitmap* ClockFaceBitmap;
extern platform::Bitmap* ClockBitmap;

// 0 "LMT/UT", 1 "Sidereal": the checked item of the main window's clock
// menu.
extern uint8_t ClockSidereal;
// "LMT&UT", "DST&UT" or "LST".
extern std::string ClockCaption;
// Set to 1 whenever the face or a hand moved; the main window clears it
// after repainting the clock.
extern uint8_t ClockChanged;
// Called by SetClockSize so the main window places its day and hour
// buttons beside the clock again; may be empty.
extern void (*ClockButtonsMoved)();

// One hand position: the left and right triangles (centre, shoulder, tip).
struct ClockHand {
  QPoint left[3];
  QPoint right[3];
};
// Positions of the last hands drawn: gold and grey 24-hour hands in tenths
// of an hour (0..240), minute and second hands (0..60).
extern int32_t ClockGoldHand;
extern int32_t ClockGreyHand;
extern int32_t ClockMinuteHand;
extern int32_t ClockSecondHand;
// Minute hand by minute 0..60 (tips also serve the second hand) and
// 24-hour hand by tenth of an hour 0..240.
extern ClockHand MinuteHands[61];
extern ClockHand HourHands[241];

// Start-up step (code 8 on failure): both bitmaps, then the pens.
bool InitClockBuffers();
// Pens and brushes of the clock through the colour mode; again after the
// colour mode changed.
void CreateClockPens();
void FreeClockPens();

// Sets ClockSize and rebuilds the hand tables.
void SetClockSize(int16_t size);
// The main window's placing: centre (mapWidth - (R + 11), mapHeight -
// (ClockSize + 11)) with R = ClockSize × InsetAspect rounded, and the
// clock's rectangle around it.
void PlaceClock(int32_t mapWidth, int32_t mapHeight);

// Brings ClockBitmap up to date for ObserverTime; redraws the face when the
// date, hour window, place, size or caption changed, or when force is 1.
void DrawClock(uint8_t force);
// Draws the face for the given date into ClockFaceBitmap.
void DrawClockFace(int32_t size, int year, int month, int day);

// Hours of the local clock during which a body at (ra, dec) of date is
// above the horizon (standard altitude h0, radians), for the dial's arc:
// false when it stays below all day;
// rise 0 and set 24 when it stays above.
bool BodyArcHours(const TObserverTime& rec, double ra, double dec, double h0, double& rise, double& set);

// Index of the gold (local clock) 24-hour hand, 0..239, for universal-time
// hand index h24 and a zone bias in minutes (UT = local + bias).
int32_t LocalHandIndex(int32_t h24, int32_t biasMinutes);

// Painting: copies ClockBitmap onto `backBuffer` centred on the clock's
// place, skipping the key colour (nothing while the clock is hidden).
void ComposeClock(platform::Bitmap& backBuffer);

// Hit tests in paint-box coordinates: within the dial, and within 1.1 radii.
bool InsideClock(int32_t x, int32_t y);
bool NearClock(int32_t x, int32_t y);
// A click (button 0 left, 1 right): false outside the dial; a right click
// pops up the clock menu; any click inside is consumed.
bool ClockClick(uint8_t button, int32_t x, int32_t y);

// Julian date (UT) of the computer's clock, to the millisecond (the
// heartbeat's real-time re-sync sets the simulated clock to it, so a value
// cut to whole seconds would put the clock back by up to a second).
double CurrentJulianDay();
