// Rules of the chart's sky layers that tests and other chart code share:
// the magnitude limits of the star and deep-sky layers and the spacing of
// the coordinate grids. The layers themselves are members of tPlotter
// (chart/plotter.h).
#pragma once

#include <cstdint>

class tPlotter;
class tCO;
namespace platform {
class DrawingContext;
}

// Star layer: the magnitude-byte limit of the star pass, or -1 for none:
// the star sphere's own limit; on other charts with naked-eye stars only,
// 80 (magnitude 6.0) up to zoom 2 and 90 (7.0) up to zoom 3.
int StarLimitByte(const tPlotter& p);

// Deep-sky layer: true when an object of magnitude `mv` is drawn at `zoom`.
bool DeepSkyZoomGate(double zoom, double mv);
// Deep-sky layer: the symbol of class `cls` (1 open cluster, 2 globular
// cluster, 3 diffuse nebula, 4 planetary nebula, 5 galaxy) as the chart
// draws it, centred on (cx, cy), r pixels high from the centre and
// r / aspect wide, with the chart's drawing colours (the printed key).
void DrawDeepSkyKeySymbol(platform::DrawingContext& dc, int cls, int32_t cx, int32_t cy, int32_t r, double aspect);
// Messier number of the object database's current object, or 0: an object
// of the base catalogue ("NGC" designations) without SubID whose number is
// one of the 110 Messier objects'.
int DeepSkyMessierNumber(const tCO& o);

// Coordinate grids: spacing of one grid at one level.
struct TGridSpacing {
  double LineStep;     // meridian (or azimuth line) step, radians
  double CircleStep;   // declination (or altitude) circle step, radians
  double CircleChord;  // chord along circles, radians
  double LineChord;    // chord along meridians (azimuth lines), radians
  // Thinning toward the pole: beyond |angle| Limit[i] only every Every[i]-th
  // line (counted from 0) is drawn; unused entries have Every 1.
  double Limit[3];
  int32_t Every[3];
};
// The spacing level of the grid: by zoom when automatic (0 below 6, 1 below
// 12, else 2), else the stored level.
int32_t GridLevel(bool automatic, int32_t storedLevel, double zoom);
TGridSpacing EquatorialGridSpacing(int32_t level);
TGridSpacing HorizontalGridSpacing(int32_t level);
// Thinning class of line k at |angle|: 3 drawn; 0, 1 or 2 the first,
// second or third thinning limit that hides it.
int GridThinningClass(const TGridSpacing& s, double absAngle, int32_t k);
