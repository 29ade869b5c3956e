// The 88 constellations, numbered 1..88 in the alphabetical order of their
// Latin names as the IAU lists them (1 Andromeda .. 88 Vulpecula). The
// reference files (constellation lines, boundaries) and the constellation
// settings number constellations by this table.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr int ConstellationCount = 88;

// Full Latin names (at most 20 characters), entries 1..88; entry 0 is "".
extern const char* const ConstellationNames[ConstellationCount + 1];
// IAU three-letter abbreviations in their usual mixed case ("And", "CVn",
// "UMa"), entries 1..88; entry 0 is "".
extern const char* const ConstellationAbbreviations[ConstellationCount + 1];
// Approximate centre of each constellation (J2000): right ascension in
// tenths of an hour (0..239) and declination in whole degrees, entries
// 1..88; entry 0 is 0.
extern const int16_t ConstellationCentreRA[ConstellationCount + 1];
extern const int16_t ConstellationCentreDec[ConstellationCount + 1];

// The number 1..88 of the constellation whose abbreviation is `abbr`
// (compared without regard to ASCII case, surrounding blanks ignored);
// 0 when there is none.
int ConstellationNumber(std::string_view abbr);
