// Coordinate grids (equatorial and horizontal) and the ecliptic.
#include "chart/plotter.h"

void tPlotter::DrawEquatorialGrid() {}
void tPlotter::DrawHorizontalGrid() {}
