// The magnifier plotter: a small chart centred on one position with north
// up, at a true field whose half lies exactly on the inset's inner radius.
// It is a tPlotter whose positions are placed about its centre (the centred
// frame of projection.h) instead of the observer's zenith, so the main
// chart's layers draw it; its own layers (mag_layers.cpp) are the star pass
// through the band index and the horizon line.
//
// Output kind 4 (the magnifier on screen) draws into a 400 x 400 bitmap;
// kind 1 draws on a printer page through the drawing context alone.
#pragma once

#include <cstdint>

#include "chart/mag_layers.h"
#include "chart/plotter.h"

inline constexpr uint8_t kOutputMagnifier = 4;
// The faintest stars the magnifier draws as discs (the SAO stars).
inline constexpr double kMagnifierFaintestMagnitude = 12.0;

class tPlotterB : public tPlotter {
 public:
  // 1 = render again (Create sets it; Plot clears it at its end).
  uint8_t NeedsRender = 1;
  // The field's radius, radians.
  double HalfField = 0.017453292519943295;
  // Pixels per radian from the centre, horizontally and vertically.
  double ScaleX = 0;
  double ScaleY = 0;
  // Right ascension windows: primary max, min, wrap-around max, min (0, 0
  // when none); declination window max, min.
  double RAWindow[4] = {};
  double DecWindow[2] = {};

  tPlotterB();

  // Renders the magnifier chart. Before the call the owner has set the
  // observer, the centre (CentreRA, CentreDec of date), Zoom, HalfField, the
  // mirror and invert factors, the geometry and OutputKind.
  void Plot(platform::DrawingContext& dc, platform::Bitmap* target);

  // A position's candidate test against the windows.
  bool InWindows(double ra, double dec) const;
  // Projection of a position of date to a chart point: false when it lies
  // 90° or more from the centre or beyond the ±32767 limit.
  bool PlacePoint(double ra, double dec, int32_t& x, int32_t& y);
  // The projection about (CentreRA, CentreDec) for Zoom, CentreX, CentreY,
  // Aspect and the mirror and invert factors: north up, east left, a
  // point beyond the ±32767 limit not on screen with x = 32767.
  void SetupCentredProjection();
  // The windows for CentreRA (in [0, 2π)), CentreDec and HalfField.
  void SetupWindows();

 private:
  void DrawMagnifierStars();
  void DrawMagnifierHorizon();
};

// The magnifier's plotter (null until the main window creates it).
extern tPlotterB* MagnifierPlotter;
