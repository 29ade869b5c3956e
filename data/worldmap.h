// The location window's relief map "world.dat" and "world.idx": 1° × 1°
// tiles of 12 × 12 samples (5'), each tile packed as a base value, a step
// offset and n-bit steps (n <= 9), least significant bit first, optionally
// run-length coded with 8-bit run codes; one length byte per tile in the
// index. Land and sea come from the Natural Earth land polygons, heights
// and depths from the relief raster of Debian's marble-qt-data (see
// data/elevation.h). Without that package elevations stand in: land
// 200 m, the sea 200 m deep within 1° of the coast, 2,000 m within 3° and
// 4,000 m beyond.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/elevation.h"
#include "data/relief.h"

namespace mkdata {

inline constexpr int kWorldSamplesPerDegree = 12;  // h1 = h3
inline constexpr int kWorldMetresPerUnit = 20;     // h2
inline constexpr int kWorldRunBits = 8;            // h4
inline constexpr int kWorldRows = 180 * kWorldSamplesPerDegree;     // samples north to south
inline constexpr int kWorldColumns = 360 * kWorldSamplesPerDegree;  // samples from 180° W eastwards
inline constexpr int kWorldTiles = 360 * 180;

// 1 for land at each sample centre of a grid of `perDegree` samples a
// degree: row i at latitude 90 - (i + 0.5) / perDegree, column j at
// longitude -180 + (j + 0.5) / perDegree (even-odd rule over the rings).
std::vector<uint8_t> LandMask(const std::vector<LonLatRing>& rings, int perDegree);
// The mask of the map's 5' samples.
std::vector<uint8_t> WorldLandMask(const std::vector<LonLatRing>& rings);

// Stand-in elevation in metres of each sample of a land mask (as above).
std::vector<int16_t> WorldElevations(const std::vector<uint8_t>& mask);
// Elevation in metres of each sample from the elevation grid: the mean
// over the sample's 5' cell, kept to the sample's kind (SurfaceMetres).
std::vector<int16_t> WorldElevations(const std::vector<uint8_t>& mask, const ElevationSource& heights);

// The stored value of an elevation: the nearest multiple of 20 m, land
// not below kLowestLand, the sea at least one unit deep.
int16_t WorldUnits(double metres, bool land);

// One tile from its samples (row by row from the north-west corner) in
// units of 20 m, and their land flags. At most 255 bytes. Steps are at
// most 9 bits wide (511 units, 255 where the flags vary): a tile that
// needs wider ones (a mountain coast beside a deep trench) keeps the
// values nearest the wanted ones whose steps fit, with the smallest
// largest difference, land not below the lowest dry land and sea below 0;
// `changed` is that difference in units (0 when the tile is exact).
std::vector<uint8_t> EncodeWorldTile(const std::vector<int16_t>& units, const std::vector<uint8_t>& land,
                                     int* changed = nullptr);

// The two files from a land mask, with elevations from `heights` (the
// stand-ins without it).
struct WorldMapFiles {
  std::vector<uint8_t> dat, idx;
  int steepTiles = 0;     // tiles whose values were changed to fit the steps
  int largestChange = 0;  // the largest such change, metres
};
WorldMapFiles EncodeWorldMap(const std::vector<uint8_t>& mask, const ElevationSource* heights = nullptr);

// --- Boundary files under "map" ---------------------------------------------------------

// A boundary line: its class (0 is never drawn) and points (east longitude,
// latitude) in degrees.
struct BoundaryLine {
  int16_t cls = 1;
  LonLatRing points;
};

// The national borders of a TopoJSON file holding a "countries" object: the
// arcs that two different countries share (coastlines, used by one country
// only, are left out).
std::vector<LonLatRing> ReadTopoJsonBorders(const std::string& path);

// The region file a border belongs to, by its middle point: 0 namer,
// 1 samer, 2 europe, 3 asia, 4 africa.
int BorderRegion(const LonLatRing& line);

// A boundary segment file: a 40-byte head (magic 0x20770002, index offset,
// segment count, index bytes, largest segment in 16-bit words), the
// segments (start point in arc-seconds, point count, then per point one
// word for steps within -64..63" of longitude and -128..127" of latitude,
// else four words), then the index of 28-byte entries (limits, offset,
// bytes, class).
std::vector<uint8_t> EncodeBoundaryFile(const std::vector<BoundaryLine>& lines);

}  // namespace mkdata
