// The star display options: which catalogue stars are loaded and how they
// look. The record is kept as the 66-byte little-endian block of the
// settings files; the registry section "Stars" stores it as integers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

inline constexpr std::size_t kStarOptionsBytes = 66;
inline constexpr int kStarOptionsSlot = 1;

struct TStarOptions {
  double HighMagLimit = 0;      // faint end, magnitudes
  double LowMagLimit = 0;       // bright end, magnitudes
  uint8_t VariableMode = 0;     // 0 all, 1 only variables, 2 no variables without magnitude, 3 none
  // O0-4, O5-9, B0-4, B5-9, A0-4, A5-9, F0-4, F5-9, G0-4, G5-9, K0-4, K5-9,
  // M0-4, M5-9, R, N, S, Q, P, WC, WN
  uint8_t SpectralClasses[21] = {};
  uint8_t LuminosityClasses[5] = {};  // I, II, III, IV, V
  double LowProperLimit = 0;    // arcseconds per year
  double HighProperLimit = 0;   // arcseconds per year
  uint8_t DrawingMode = 0;      // 0 brightness by magnitude, 2 size by magnitude
  uint8_t ColorBySpectrum = 0;
  int16_t SizeAdjust = 0;
  uint8_t AutoFaintLimit = 0;
  uint8_t ShowNames = 0;
  uint8_t ShowGreek = 0;

  bool operator==(const TStarOptions&) const = default;
};

// The ranges of the star options window's controls, which every reader of
// stored options keeps to: magnitude limits in tenths (-2.0 to 13.0),
// proper-motion limits in hundredths of an arcsecond per year (0 to 11.00),
// the star size adjustment.
inline constexpr int32_t kStarMagTenthsMin = -20, kStarMagTenthsMax = 130;
inline constexpr int32_t kStarProperHundredthsMin = 0, kStarProperHundredthsMax = 1100;
inline constexpr int32_t kStarSizeAdjustMin = -25, kStarSizeAdjustMax = 25;

// The live options, read by the star loader when a load starts.
extern TStarOptions StarOptions;

// The 66-byte block, and back. Decoding fails (record untouched) on a block
// of any other size, or with a value outside the window's ranges: limits
// outside the ranges above (NaN included), a variable mode above 3, a
// switch other than 0 or 1, a drawing mode other than 0 or 2.
std::array<uint8_t, kStarOptionsBytes> EncodeStarOptions(const TStarOptions& o);
bool DecodeStarOptions(const uint8_t* data, std::size_t size, TStarOptions& o);

// The record that the registry defaults give.
TStarOptions RegistryDefaultStarOptions();

// Reads section "Stars" into StarOptions (missing values, and values
// outside the window's ranges, take their defaults; a stored variable mode
// outside 1..4 leaves the mode unchanged) and copies the appearance values into the main plotter's star switches.
void ReadRegStars();
// Writes the eleven values of section "Stars" from `o`.
void WriteRegStars(const TStarOptions& o);

// Settings-file block 1, for the shell's settings files. The writer gives
// StarOptions as a 66-byte block. The reader applies a block read from a
// file: a complete and valid block replaces StarOptions, gives the main
// plotter its star look (applyStarAppearance) and reloads the stars; a
// damaged one is refused (false, StarOptions unchanged); a null
// block (the file has none) changes nothing. The replot byte is set in
// every case.
std::vector<uint8_t> StarOptionsBlock();
bool ApplyStarOptionsBlock(const std::vector<uint8_t>* block);
