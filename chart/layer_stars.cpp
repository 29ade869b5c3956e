// The star layer: catalogue stars as images written straight into the back
// buffer or as filled discs, their proper names and their Bayer letters.
#include "chart/plotter.h"

const char BayerLetters[25] = "abgdezhqiklmnxoprstufcyw";

void tPlotter::MakeStarSizeTable(double, double, double) {}
int32_t tPlotter::StarWidth(uint8_t magnitude) const {
  return magnitude < kStarSizeEntries ? 2 * StarSizeTable[magnitude][0] : 0;
}
int32_t tPlotter::StarHeight(uint8_t magnitude) const {
  return magnitude < kStarSizeEntries ? 2 * StarSizeTable[magnitude][1] : 0;
}
void tPlotter::DrawStarDisc(platform::DrawingContext&, int32_t, int32_t, uint8_t, uint8_t) {}
void tPlotter::DrawStarImage(platform::DrawingContext&, int32_t, int32_t, uint8_t, uint8_t) {}
void tPlotter::DrawStars() {}
void tPlotter::DrawStarNames() {}
void tPlotter::DrawBayerLetters() {}
