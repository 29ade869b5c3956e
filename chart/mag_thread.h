// The magnifier's driver: decides when the magnifier is drawn again and
// draws it. It runs as a 10 ms timer on the GUI thread (the drawing needs the
// GUI thread anyway), so it never overlaps a main render and copies the main
// chart's observer and solar-system record at a consistent moment. Each tick
// chooses the centre (a shown point of interest, else the sky under the
// pointer), renders when the centre, the field or the instant (by more than
// one minute) changed or after a pause, and shows the empty frame once when
// the pointer leaves the chart.
//
// The pause protocol (pause_protocol.h) keeps its rules: while a pause is
// outstanding no tick draws, and the first tick after the last resume
// renders.
#pragma once

#include <cstdint>

#include "chart/pause_protocol.h"

extern TPauseGate MagnifierGate;
bool PauseMagnifierThread();
void ResumeMagnifierThread();
void InvalidateMagnifierPosition();

// Centre of the magnifier (radians, of date).
extern double MagnifierCentreRA;
extern double MagnifierCentreDec;

// What it needs of the main window comes through MagnifierHooks
// (magnifier_inset.h).

// One tick of the driver (tMag_Thread.Execute's loop body).
void MagnifierStep();
class tPlotterB;
struct TObserverTime;
namespace platform {
class DrawingContext;
}
// The magnifier's layer switches (its settings) and, for a telescope with
// an eyepiece, the image orientation of field-of-view mode `mode`, set on
// plotter m: for each render and for the printed views.
void ApplyMagnifierSwitches(tPlotterB& m, int32_t mode);
// The magnifier's view for a printer page: a printing magnifier plotter
// with the screen magnifier's settings draws the sky about (ra, dec) (of
// date, radians) for `observer` in field-of-view mode `mode`, inside the
// circle of diameter `side` device pixels whose box has its top-left corner
// at (left, top), on white.
void PlotMagnifierOnPage(platform::DrawingContext& dc, const TObserverTime& observer, double ra, double dec,
                         int32_t mode, int left, int top, int side);
// One render of the magnifier at inset size `size` (pixels); nothing when
// the inset is too small for its ring.
void RenderMagnifier(int32_t size);

// Starts the 10 ms timer (needs the application object) and stops it.
void CreateMagnifierThread();
void StopMagnifierThread();
// Forgets the remembered centre, field and instant (tests, new start).
void ResetMagnifierState();
// Renders and empty frames shown since the start (tests).
struct TMagnifierCounts {
  int64_t Renders = 0;
  int64_t Blanks = 0;
};
TMagnifierCounts MagnifierCountsForTest();
