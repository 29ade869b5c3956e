// Phase discs of the Moon and the planets, and the screen direction that
// turns them toward the Sun.
#include "chart/plotter.h"

QPoint PhaseDiscPoints[11][39];
QPoint PhaseShadowPoints[11][39];

void tPlotter::MakePhasePolygons(int32_t, int32_t, int32_t, int32_t, int32_t, double, double) {}
void tPlotter::DrawPhaseDisc(platform::DrawingContext&, int32_t) {}
void tPlotter::DrawPhaseShadow(platform::DrawingContext&, int32_t) {}
int32_t tPlotter::ScreenAngle(int32_t, int32_t, int32_t, int32_t) const { return 0; }
