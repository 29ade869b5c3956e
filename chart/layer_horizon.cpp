// The horizon line, the ground below it and the compass.
#include "chart/graph_misc.h"
#include "chart/plotter.h"

void tPlotter::DrawChartSegment(platform::DrawingContext& dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                uint32_t color) {
  if (OutputKind == kOutputPrinter) {
    dc.MoveTo(x1, y1);
    dc.LineTo(x2, y2);
  } else {
    DrawLine(x1, y1, x2, y2, color);
  }
}
void tPlotter::DrawHorizonLine() {}
void tPlotter::DrawGround() {}
void tPlotter::DrawCompass() {}
