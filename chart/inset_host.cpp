#include "chart/inset_host.h"

#include "chart/clock.h"
#include "chart/globe.h"
#include "chart/plotter.h"
#include "chart/star_sphere.h"

InsetHost TheInsetHost;

bool NearChartInset(int x, int y) { return NearGlobe(x, y) || NearClock(x, y) || InsideStarSphere(x, y); }

void RequestChartReplot() {
  if (MainPlotter != nullptr) MainPlotter->Replot = 1;
}
