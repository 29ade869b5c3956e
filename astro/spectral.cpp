// Stellar quantities by MK spectral type.
#include "astro/spectral.h"

#include <initializer_list>

namespace {

// A table with every entry missing; the constant rows are filled in below.
constexpr TSpectralTable MissingTable() {
  TSpectralTable t{};
  for (int l = 1; l <= 5; ++l)
    for (int c = 1; c <= 7; ++c)
      for (int s = 0; s <= 9; ++s) t[l][c][s] = SpectralMissing;
  return t;
}

// Mean of two neighbouring rows, or missing when either is.
float MeanOrMissing(float a, float b) {
  if (a == SpectralMissing || b == SpectralMissing) return SpectralMissing;
  return (a + b) / 2.0f;
}

}  // namespace

TSpectralTable AbsMagnitudeTable = MissingTable();
TSpectralTable SpectralTable1 = MissingTable();
TSpectralTable SpectralTable2 = MissingTable();
TSpectralTable SpectralTable3 = MissingTable();

void CompleteSpectralTables() {
  for (TSpectralTable* t : {&SpectralTable1, &SpectralTable2, &SpectralTable3})
    for (int c = 1; c <= 7; ++c)
      for (int s = 0; s <= 9; ++s) {
        (*t)[2][c][s] = MeanOrMissing((*t)[1][c][s], (*t)[3][c][s]);
        (*t)[4][c][s] = MeanOrMissing((*t)[3][c][s], (*t)[5][c][s]);
      }
}
