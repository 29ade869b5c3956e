// Coordinate-grid options without their window: the ten-byte grid block of
// the main plotter (settings-file slot 5), its registry section "Coordinate
// grid" and the spacing captions.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class tPlotter;

inline constexpr std::size_t kGridBlockBytes = 10;
inline constexpr int kGridSlot = 5;

// The block in file order.
struct TGridBlock {
  uint8_t ShowGrid = 1;
  uint8_t CentreOnHorizon = 1;
  uint8_t GridKind = 0;  // 0 equatorial, 1 horizon
  uint8_t GridLabels = 0;
  uint8_t GridDirections = 1;
  uint8_t GridAutoResolution = 1;
  int32_t GridResolution = 1;  // 0 coarse .. 2 fine, when not automatic
  bool operator==(const TGridBlock&) const = default;
};

TGridBlock GridBlockOf(const tPlotter& p);
void SetGridBlock(tPlotter& p, const TGridBlock& b);

// The ten bytes, and back. Decoding refuses (record untouched) a block of
// another size, a switch other than 0 or 1 and a resolution outside 0..2.
std::array<uint8_t, kGridBlockBytes> EncodeGridBlock(const TGridBlock& b);
bool DecodeGridBlock(const uint8_t* data, std::size_t size, TGridBlock& b);

// Sets the main menu's "Center on Horizon coordinates" check mark; the main
// window installs it.
extern std::function<void(bool)> SetCentreOnHorizonMenuCheck;

// The defaults: grid shown, centre on the horizon, equatorial, no labels,
// directions, automatic resolution, resolution 1. Applied to MainPlotter.
void ResetGridDefaults();
// Reads section "Coordinate grid" into MainPlotter (the resolution only when
// automatic resolution is off) and sets the menu check mark.
void ReadRegCoordinateGrid();
// Writes the section from `b` (the resolution only when automatic
// resolution is off) and confirms with a flash message.
void WriteRegCoordinateGrid(const TGridBlock& b);

// Settings-file slot 5: MainPlotter's block; a valid block is applied, a
// damaged one gives the defaults of ResetGridDefaults (and false); the
// replot byte is set in every case.
std::vector<uint8_t> GridOptionsBlock();
bool ApplyGridOptionsBlock(const std::vector<uint8_t>* block);

// The caption under the resolution slider, saying the spacing the grid
// layer draws at that resolution.
std::string GridSpacingCaption(bool equatorial, int resolution);
