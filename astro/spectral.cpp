// Stellar quantities by MK spectral type.
//
// The values follow the MK calibration of Schmidt-Kaler (1982, Landolt-
// Börnstein VI/2b) for absolute magnitudes and bolometric corrections and
// the mass and radius calibration in Allen's Astrophysical Quantities (4th
// ed., 2000, ch. 15) for luminosity classes I, III and V, at the subtypes
// tabulated there; the other subtypes are interpolated linearly. The Sun
// (G2 V: M_V = 4.83, BC = -0.07, M = R = 1) anchors the main sequence, so
// its logarithmic entries are 0. Luminosity is 10^((4.74 - M_V - BC)/2.5).
// Classes O0..O2 do not exist and are marked missing.
#include "astro/spectral.h"

#include <initializer_list>

namespace {

// One tabulated subtype: position 10 × class + subclass (O0 = 0, B0 = 10,
// ..., M0 = 60), absolute visual magnitude, bolometric correction, log mass
// and log radius in solar units.
struct Anchor {
  int at;
  float mv, bc, logM, logR;
};

constexpr Anchor kMainSequence[] = {
    {3, -6.0f, -4.75f, 1.78f, 1.25f},   {5, -5.7f, -4.40f, 1.60f, 1.17f},
    {8, -4.9f, -3.54f, 1.36f, 1.00f},   {10, -4.0f, -3.16f, 1.25f, 0.87f},
    {13, -1.6f, -1.94f, 0.88f, 0.68f},  {15, -1.2f, -1.46f, 0.81f, 0.58f},
    {18, -0.25f, -0.80f, 0.61f, 0.48f}, {20, 0.65f, -0.30f, 0.51f, 0.40f},
    {25, 1.95f, -0.15f, 0.32f, 0.24f},  {30, 2.7f, -0.09f, 0.23f, 0.13f},
    {35, 3.5f, -0.14f, 0.11f, 0.08f},   {40, 4.4f, -0.18f, 0.04f, 0.02f},
    {42, 4.83f, -0.07f, 0.0f, 0.0f},    {45, 5.1f, -0.21f, -0.03f, -0.03f},
    {50, 5.9f, -0.31f, -0.11f, -0.07f}, {55, 7.35f, -0.72f, -0.16f, -0.13f},
    {60, 8.8f, -1.38f, -0.33f, -0.20f}, {62, 9.9f, -1.89f, -0.40f, -0.30f},
    {65, 12.3f, -2.73f, -0.67f, -0.50f}, {68, 15.2f, -4.0f, -1.00f, -0.90f},
    {69, 16.0f, -4.3f, -1.05f, -0.95f},
};

constexpr Anchor kGiants[] = {
    {3, -6.3f, -4.6f, 1.75f, 1.30f},    {5, -6.0f, -4.3f, 1.70f, 1.25f},
    {10, -5.1f, -3.0f, 1.30f, 1.20f},   {15, -2.2f, -1.4f, 0.85f, 0.90f},
    {20, 0.0f, -0.3f, 0.60f, 0.70f},    {30, 1.5f, -0.08f, 0.30f, 0.60f},
    {40, 1.0f, -0.20f, 0.40f, 0.78f},   {45, 0.9f, -0.34f, 0.47f, 1.00f},
    {50, 0.7f, -0.50f, 0.53f, 1.20f},   {55, -0.2f, -1.02f, 0.60f, 1.40f},
    {60, -0.4f, -1.25f, 0.63f, 1.60f},  {65, -0.3f, -2.48f, 0.70f, 1.90f},
    {69, -0.2f, -3.5f, 0.75f, 2.20f},
};

constexpr Anchor kSupergiants[] = {
    {3, -6.8f, -4.1f, 1.90f, 1.40f},    {5, -6.6f, -3.87f, 1.85f, 1.35f},
    {10, -6.4f, -2.49f, 1.40f, 1.30f},  {15, -6.2f, -0.95f, 1.30f, 1.45f},
    {20, -6.3f, -0.41f, 1.20f, 1.60f},  {25, -6.6f, -0.13f, 1.11f, 1.70f},
    {30, -6.6f, -0.01f, 1.08f, 1.80f},  {35, -6.6f, -0.03f, 1.04f, 1.90f},
    {40, -6.4f, -0.15f, 1.00f, 2.00f},  {45, -6.2f, -0.33f, 1.08f, 2.10f},
    {50, -6.0f, -0.50f, 1.11f, 2.30f},  {55, -5.8f, -1.01f, 1.18f, 2.60f},
    {60, -5.6f, -1.29f, 1.20f, 2.70f},  {65, -5.6f, -2.5f, 1.30f, 3.00f},
    {69, -5.6f, -3.5f, 1.35f, 3.20f},
};

// The quantities of one subtype, interpolated between anchors; false before
// the first anchor (the subtype does not exist).
template <std::size_t N>
constexpr bool Interpolate(const Anchor (&a)[N], int at, Anchor& out) {
  if (at < a[0].at) return false;
  for (std::size_t i = 0; i + 1 < N; ++i) {
    if (at <= a[i + 1].at) {
      float f = float(at - a[i].at) / float(a[i + 1].at - a[i].at);
      auto lerp = [f](float x, float y) { return x + (y - x) * f; };
      out = {at, lerp(a[i].mv, a[i + 1].mv), lerp(a[i].bc, a[i + 1].bc),
             lerp(a[i].logM, a[i + 1].logM), lerp(a[i].logR, a[i + 1].logR)};
      return true;
    }
  }
  out = a[N - 1];
  return true;
}

// Which quantity a table holds.
enum class Quantity { AbsMagnitude, LogLuminosity, LogRadius, LogMass };

constexpr float Value(const Anchor& a, Quantity q) {
  switch (q) {
    case Quantity::AbsMagnitude: return a.mv;
    case Quantity::LogLuminosity: return (4.74f - a.mv - a.bc) / 2.5f;
    case Quantity::LogRadius: return a.logR;
    case Quantity::LogMass: return a.logM;
  }
  return SpectralMissing;
}

// Fills a whole row of a table (one luminosity class) from its anchors.
template <std::size_t N>
constexpr void FillRow(TSpectralTable& t, int lum, const Anchor (&a)[N], Quantity q) {
  for (int c = 1; c <= 7; ++c)
    for (int s = 0; s <= 9; ++s) {
      Anchor v{};
      t[lum][c][s] = Interpolate(a, 10 * (c - 1) + s, v) ? Value(v, q) : SpectralMissing;
    }
}

// Mean of two neighbouring rows, or missing when either is.
constexpr float MeanOrMissing(float a, float b) {
  if (a == SpectralMissing || b == SpectralMissing) return SpectralMissing;
  return (a + b) / 2.0f;
}

// Rows II and IV as the means of their neighbours.
constexpr void FillMeanRows(TSpectralTable& t) {
  for (int c = 1; c <= 7; ++c)
    for (int s = 0; s <= 9; ++s) {
      t[2][c][s] = MeanOrMissing(t[1][c][s], t[3][c][s]);
      t[4][c][s] = MeanOrMissing(t[3][c][s], t[5][c][s]);
    }
}

// A table with rows I, III and V from the calibration; rows II and IV
// missing (the start-up fills them) unless `withMeanRows`.
constexpr TSpectralTable Build(Quantity q, bool withMeanRows) {
  TSpectralTable t{};
  for (int l = 1; l <= 5; ++l)
    for (int c = 1; c <= 7; ++c)
      for (int s = 0; s <= 9; ++s) t[l][c][s] = SpectralMissing;
  FillRow(t, 1, kSupergiants, q);
  FillRow(t, 3, kGiants, q);
  FillRow(t, 5, kMainSequence, q);
  if (withMeanRows) FillMeanRows(t);
  return t;
}

}  // namespace

// Absolute magnitudes are constant in all five rows (bright giants and
// subgiants between their neighbours).
constinit TSpectralTable AbsMagnitudeTable = Build(Quantity::AbsMagnitude, true);
constinit TSpectralTable SpectralTable1 = Build(Quantity::LogLuminosity, false);
constinit TSpectralTable SpectralTable2 = Build(Quantity::LogRadius, false);
constinit TSpectralTable SpectralTable3 = Build(Quantity::LogMass, false);

void CompleteSpectralTables() {
  for (TSpectralTable* t : {&SpectralTable1, &SpectralTable2, &SpectralTable3}) FillMeanRows(*t);
}
