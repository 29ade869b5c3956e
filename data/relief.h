// The globe's surface file "scripps2.dat": 181 rows (latitude -90..90) of
// 360 cells (longitude 1..360 east) of 7 bytes: elevation in metres
// (signed 16-bit), the surface kind ("E" land, else water) and a 4-byte
// colour slot. Land and water come from the Natural Earth land polygons,
// elevations from the relief raster of Debian's marble-qt-data (see
// data/elevation.h), or stand-ins without it (kLandElevation and
// SeaElevation).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkdata {

inline constexpr int kReliefRows = 181;
inline constexpr int kReliefColumns = 360;
inline constexpr int kReliefCellSize = 7;

// A ring of a land polygon: (longitude east, latitude) in degrees.
using LonLatRing = std::vector<std::pair<double, double>>;

// The rings of the land polygons of a TopoJSON file holding a "land"
// object (quantised arcs, delta-encoded).
std::vector<LonLatRing> ReadTopoJsonLand(const std::string& path);

// The ring made continuous in longitude (no step over 180°, so a ring cut
// at the antimeridian becomes one piece); a ring around a pole is closed
// along that pole.
LonLatRing Unwrap(const LonLatRing& ring);

// The land fraction of each grid node: mask[row][cell] in [0, 1], for the
// node at latitude row - 90 and longitude cell + 1, from 5 × 5 samples over
// the 1° cell around the node (even-odd rule over all rings; rings cut at
// the antimeridian and rings around a pole are handled).
std::vector<std::vector<double>> LandFractions(const std::vector<LonLatRing>& rings);

// Stand-in elevations: land lies at 200 m; the sea is 200 m deep next to
// land, 2,000 m one cell further out and 4,000 m beyond.
inline constexpr int16_t kLandElevation = 200;
// The depth of a water node `distance` cells (8-neighbourhood) from land.
int16_t SeaElevation(int distance);

// The whole file: a node is land when at least half its cell is land; the
// south pole row is land (Antarctica), the north pole row sea. Elevations
// are the means of `heights` over each node's 1° cell, land no lower than
// the lowest dry land and water at least 1 m deep (SurfaceMetres); the
// stand-ins without it. The colour slots of row 0 hold white (0x00FFFFFF),
// which the globe shows at the south pole; the other slots are zero (the
// program colours them).
struct ElevationSource;
std::vector<uint8_t> EncodeRelief(const std::vector<std::vector<double>>& landFraction, int* landNodes = nullptr,
                                  const ElevationSource* heights = nullptr);

}  // namespace mkdata
