// Angle reduction, clamped inverse trigonometry and the start-up tables.
#include "astro/trig.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "astro/spectral.h"

double WrapAngle(double x, double lo, double hi) {
  if (!std::isfinite(x)) return std::nan("");
  const double turn = hi - lo;
  // Above the range: within one turn the loop's one step; farther, the
  // remainder past lo, except that whole turns give hi (the loop stops at hi
  // itself).
  if (x > hi) {
    if (x - turn <= hi) return std::max(x - turn, lo);
    const double r = std::fmod(x - lo, turn);
    return r == 0.0 ? hi : std::min(lo + r, hi);
  }
  // Below: likewise, with the remainder in (-turn, 0] moved up by one turn.
  if (x < lo) {
    if (x + turn >= lo) return std::min(x + turn, hi);
    const double r = std::fmod(x - lo, turn);
    return r < 0.0 ? std::max(hi + r, lo) : lo;
  }
  return x;
}

double ModTwoPi(double x) { return WrapAngle(x, 0.0, TwoPi); }

double TanR(double x) { return std::sin(x) / std::cos(x); }

double ArcSinR(double x) {
  // Clamp: rounding can push a sine slightly outside [-1, 1].
  if (x >= 1.0) return M_PI / 2.0;
  if (x <= -1.0) return -M_PI / 2.0;
  if (x == 0.0) return 0.0;
  return std::asin(x);
}

double ArcCosR(double x) {
  if (x >= 1.0) return 0.0;
  if (x <= -1.0) return M_PI;
  if (x == 0.0) return M_PI / 2.0;
  return std::acos(x);
}

double ArcTan2R(double x, double y) {
  // On the y axis.
  if (x == 0.0) {
    if (y == 0.0) return 0.0;
    return y > 0.0 ? M_PI / 2.0 : 3.0 * M_PI / 2.0;
  }
  // On the x axis.
  if (y == 0.0) return x > 0.0 ? 0.0 : M_PI;
  // Right half-plane gives (-π/2, π/2), left half-plane (π/2, 3π/2).
  double t = std::atan(y / x);
  return x > 0.0 ? t : t + M_PI;
}

double Log10R(double x) { return std::log(x) / std::log(10.0); }

double PowerR(double base, double exponent) {
  if (base == 0.0) return 0.0;
  return std::exp(exponent * std::log(base));
}

// --- Tables -----------------------------------------------------------------

TOffsetArray<float, -900, 3600> SinTable;
TOffsetArray<float, -900, 3600> CosTable;
TOffsetArray<float, 0, 50000> CosArcSinTable;
TOffsetArray<float, -50000, 50000> ArcSinTable;
TOffsetArray<float, -50000, 50000> ArcCosTable;

TColorRef StarColors[4][10];

TColorTriple ColorTriples[ColorTripleCount] = {
    {0, 255, 255},   {0, 220, 0},     {0, 190, 0},     {0, 170, 0},     {64, 128, 0},
    {128, 100, 0},   {128, 64, 0},    {130, 80, 80},   {170, 100, 100}, {210, 170, 170},
    {255, 255, 255}, {0, 0, 10},      {0, 0, 20},      {0, 0, 30},      {0, 0, 40},
    {0, 0, 60},      {0, 0, 80},      {0, 0, 100},     {0, 0, 130},     {0, 0, 160},
    {0, 0, 170},     {0, 0, 220},     {200, 170, 110}, {48, 48, 48},    {64, 64, 64},
    {128, 128, 128}, {140, 140, 140}, {180, 180, 180}, {0, 0, 0},       {100, 130, 100},
    {160, 160, 10},  {70, 0, 0},
    // 32..95 are computed; 96 and 97 are set in FillColorRamps; 138 likewise.
};

namespace {

// Star colour classes, tables 0 (disc colours) and 1 (pale image colours).
constexpr uint8_t kStarTable0[10][3] = {
    {255, 255, 255}, {128, 200, 255}, {200, 200, 200}, {220, 220, 190}, {255, 255, 130},
    {220, 200, 130}, {220, 110, 0},   {230, 80, 80},   {255, 255, 255}, {0, 0, 0}};
constexpr uint8_t kStarTable1[10][3] = {
    {255, 255, 255}, {210, 220, 255}, {240, 240, 240}, {240, 240, 200}, {250, 250, 190},
    {220, 200, 170}, {250, 220, 190}, {250, 220, 220}, {255, 255, 255}, {0, 0, 0}};

uint8_t Red(TColorRef c) { return uint8_t(c & 0xFF); }
uint8_t Green(TColorRef c) { return uint8_t((c >> 8) & 0xFF); }
uint8_t Blue(TColorRef c) { return uint8_t((c >> 16) & 0xFF); }

// Channel value trunc(v) as a byte (the ramps stay inside 0..255).
uint8_t TruncByte(double v) { return uint8_t(std::trunc(v)); }

void FillTrigTables() {
  // sqrt(1 - x²) on [0, 1].
  for (int i = 0; i <= 50000; ++i) CosArcSinTable[i] = float(std::cos(ArcSinR(i / 50000.0)));
  // Arcsine and arccosine on [-1, 1].
  for (int i = -50000; i <= 50000; ++i) {
    ArcSinTable[i] = float(ArcSinR(i / 50000.0));
    ArcCosTable[i] = float(ArcCosR(i / 50000.0));
  }
  // Sine and cosine in tenths of a degree.
  for (int i = -900; i <= 3600; ++i) {
    double a = (i / 10.0) / DegPerRad;
    SinTable[i] = float(std::sin(a));
    CosTable[i] = float(std::cos(a));
  }
}

void FillColorRamps() {
  // Warm ramp 32..63.
  for (int i = 1; i <= 32; ++i) {
    double v = i * 6.71875;
    ColorTriples[31 + i] = {TruncByte(v / 1.1 + 20), TruncByte(v / 2 + 20), TruncByte(v / 3.5 + 20)};
  }
  // Grey ramp 64..95.
  for (int i = 1; i <= 32; ++i) {
    uint8_t g = TruncByte(i * 5 / 1.7 + 20);
    ColorTriples[63 + i] = {g, g, g};
  }
  ColorTriples[96] = {120, 90, 20};
  ColorTriples[97] = {254, 254, 254};
  // Blue ramp 98..137, bright to dark.
  for (int i = 0; i <= 39; ++i) {
    int k = 39 - i;
    ColorTriples[BlueRamp + i] = {TruncByte(k * 1.225 + 14), TruncByte(k * 1.575 + 17),
                                  TruncByte(k * 3.45 + 32)};
  }
  ColorTriples[138] = {63, 150, 63};
}

void FillStarColors() {
  // Tables 0 and 1 as given; 2 and 3 are table 1 at 1/2 and 1/3 intensity.
  for (int i = 0; i < 10; ++i) {
    StarColors[0][i] = MakeColorRef(kStarTable0[i][0], kStarTable0[i][1], kStarTable0[i][2]);
    StarColors[1][i] = MakeColorRef(kStarTable1[i][0], kStarTable1[i][1], kStarTable1[i][2]);
    StarColors[2][i] = 0;
    StarColors[3][i] = 0;
  }
  for (int i = 0; i < 8; ++i) {
    TColorRef c = StarColors[1][i];
    StarColors[2][i] = MakeColorRef(Red(c) >> 1, Green(c) >> 1, Blue(c) >> 1);
    StarColors[3][i] = MakeColorRef(Red(c) / 3, Green(c) / 3, Blue(c) / 3);
  }
  // Entries 0..7 of each table into the colour triples.
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 8; ++i) {
      TColorRef c = StarColors[t][i];
      ColorTriples[StarColorTriplesFirst + 8 * t + i] = {Red(c), Green(c), Blue(c)};
    }
}

std::once_flag tablesOnce;

// Fills the tables before main.
[[maybe_unused]] const bool tablesReady = (EnsureStartupTables(), true);

}  // namespace

void EnsureStartupTables() {
  std::call_once(tablesOnce, [] {
    CompleteSpectralTables();
    FillTrigTables();
    FillColorRamps();
    FillStarColors();
  });
}
