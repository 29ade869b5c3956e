// Constellation options without their window: the 181-byte constellation
// block of the main plotter (settings-file slot 4) and its registry section
// "Constellation".
#pragma once

#include <array>
#include <cstdint>
#include <vector>

class tPlotter;

inline constexpr std::size_t kConstellationBlockBytes = 181;
inline constexpr int kConstellationSlot = 4;

// Lines and boundaries modes from the selections: 0 when no constellation
// 1..88 is selected, 2 when all are, else 1.
void DeriveConstellationModes(tPlotter& p);
// Expands modes 0 and 2 into the selections (all off, all on).
void ExpandConstellationModes(tPlotter& p);

// The block of a plotter, and back. Decoding refuses (plotter untouched) a
// block of another size, a mode above 2 or a selection byte other than 0
// or 1.
std::array<uint8_t, kConstellationBlockBytes> EncodeConstellationBlock(const tPlotter& p);
bool DecodeConstellationBlock(const uint8_t* data, std::size_t size, tPlotter& p);

// Every line and boundary selection on, both modes 2, no names (MainPlotter).
void ResetConstellationDefaults();
// Reads section "Constellation" into MainPlotter: lb0..lb87 (1 lines, plus
// 10 boundaries; default 11) and "name mode".
void ReadRegConstellation();
// Writes lb0..lb87 and "name mode" (a mode outside 0..2 is written as 0)
// and confirms with a flash message.
void WriteRegConstellation(const uint8_t lines[89], const uint8_t bounds[89], int nameMode);

// Settings-file slot 4 for MainPlotter; a valid block is applied, a damaged
// one gives the defaults of ResetConstellationDefaults (and false); the
// replot byte is set in every case.
std::vector<uint8_t> ConstellationOptionsBlock();
bool ApplyConstellationOptionsBlock(const std::vector<uint8_t>* block);

// Registers the chart's settings-file owners: slot 4 (constellations) and
// slot 5 (coordinate grid). The main window calls it once at start.
void RegisterChartSettingsOwners();
