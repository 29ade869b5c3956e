// Angle reduction, clamped inverse trigonometry and the lookup tables that
// the astronomy core, the chart and the insets share.
//
// The routines keep no state. The tables are filled once by the start-up
// initialisation (before main, or at the first call of EnsureStartupTables)
// and are read-only afterwards, so any thread may read them.
#pragma once

#include <cstdint>

// 2π as the 64-bit value every angle reduction of the program uses.
inline constexpr double TwoPi = 6.283185307179586;
// Degrees per radian.
inline constexpr double DegPerRad = 57.29577951308232;

// An array indexed Lo..Hi (both inclusive), for tables whose natural index
// starts below zero. Indexing outside the range is the caller's fault, as
// with any built-in array.
template <typename T, int Lo, int Hi>
struct TOffsetArray {
  static_assert(Hi >= Lo);
  static constexpr int Low = Lo;
  static constexpr int High = Hi;
  static constexpr int Count = Hi - Lo + 1;
  T Data[Count];
  constexpr T& operator[](int i) { return Data[i - Lo]; }
  constexpr const T& operator[](int i) const { return Data[i - Lo]; }
};

// WrapAngle: the angle x moved by whole turns (hi − lo, in x's own unit:
// radians, degrees, tenths of a degree) into [lo, hi]; the one reduction
// routine of the program. The result is the value the loop
//   while (x > hi) x -= hi - lo;  while (x < lo) x += hi - lo;
// would leave, found with fmod in the same short time for any x: a value in
// [lo, hi] is returned as it is, one above hi lands in (lo, hi], one below
// lo in [lo, hi). NaN and ±infinity give NaN (no angle, and no endless loop).
double WrapAngle(double x, double lo, double hi);

// ModTwoPi: the angle x (radians) reduced into [0, 2π] by whole turns,
// WrapAngle(x, 0, 2π); an input of exactly 2π stays 2π.
double ModTwoPi(double x);

// TanR: sin x / cos x (x in radians).
double TanR(double x);

// ArcSinR: arcsine of x in [-π/2, π/2], with x clamped to [-1, 1] (values
// slightly outside the range from rounding give ±π/2 instead of NaN).
double ArcSinR(double x);

// ArcCosR: arccosine of x in [0, π], with x clamped to [-1, 1].
double ArcCosR(double x);

// ArcTan2R: the direction of the point (x, y), in (-π/2, 3π/2]. NOTE: x is
// the FIRST argument and the range is not that of std::atan2(y, x):
// (0, 0) gives 0, (0, y>0) gives π/2, (0, y<0) gives 3π/2, (x<0, 0) gives π,
// otherwise atan(y/x), plus π when x < 0.
double ArcTan2R(double x, double y);

// Log10R: decimal logarithm ln x / ln 10.
double Log10R(double x);

// PowerR: base raised to exponent as exp(exponent × ln base); a base of 0
// gives 0. The base must not be negative (NaN results).
double PowerR(double base, double exponent);

// --- Lookup tables (32-bit floats) ----------------------------------------

// sin and cos of i/10 degrees, i = -900 .. 3600.
extern TOffsetArray<float, -900, 3600> SinTable;
extern TOffsetArray<float, -900, 3600> CosTable;
// cos(arcsin(i/50000)) = sqrt(1 - x²) for x = i/50000, i = 0 .. 50000.
extern TOffsetArray<float, 0, 50000> CosArcSinTable;
// ArcSinR(i/50000) and ArcCosR(i/50000), i = -50000 .. 50000 (radians).
extern TOffsetArray<float, -50000, 50000> ArcSinTable;
extern TOffsetArray<float, -50000, 50000> ArcCosTable;

// --- Colour tables ---------------------------------------------------------

// A Windows COLORREF: red in the low byte, then green, then blue.
using TColorRef = uint32_t;
constexpr TColorRef MakeColorRef(uint8_t r, uint8_t g, uint8_t b) {
  return TColorRef(r) | (TColorRef(g) << 8) | (TColorRef(b) << 16);
}

// Star colours by colour class 0..9: table 0 for discs, table 1 for bright
// image pixels, table 2 (half intensity) and table 3 (one third) for fainter
// shades; entries 8 and 9 of tables 2 and 3 are 0.
extern TColorRef StarColors[4][10];

// One colour as three bytes, red first.
struct TColorTriple {
  uint8_t Red;
  uint8_t Green;
  uint8_t Blue;
};

// 171 colours: constant entries 0..31, 96, 97, 138; a warm ramp 32..63, a
// grey ramp 64..95, the blue ramp 98..137 (bright to dark), and the first
// eight entries of the four StarColors tables at 139, 147, 155 and 163.
inline constexpr int ColorTripleCount = 171;
inline constexpr int WarmRampFirst = 32;
inline constexpr int GreyRampFirst = 64;
inline constexpr int BlueRamp = 98;  // first of the 40 blue-ramp entries
inline constexpr int BlueRampCount = 40;
inline constexpr int StarColorTriplesFirst = 139;
extern TColorTriple ColorTriples[ColorTripleCount];

// Fills every table of this file (and the interpolated rows of the spectral
// tables). Runs once, before main, from this module's initialisation; code
// that reads the tables during static initialisation of another file calls
// it first. Thread-safe and idempotent.
void EnsureStartupTables();
