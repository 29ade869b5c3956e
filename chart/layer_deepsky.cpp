// The deep-sky object layer: class symbols of the object database and their
// designations.
#include "chart/plotter.h"

bool tPlotter::DrawObjectSymbol(platform::DrawingContext&, int32_t, double, double, double, double) {
  return false;
}
void tPlotter::DrawDeepSkyObjects() {}
void tPlotter::DrawObjectLabels() {}
