// The location window's relief map: the tiled elevation grid "world.dat"
// with its index "world.idx", the boundary segment files under "map", and
// the map view (centre, zoom scale, pan, pixel and place conversions, city
// marks, nearest city).
//
// Every file is checked before use: sizes, index sums, run and step counts
// bounded by the bytes present; a damaged file is refused whole and the map
// then shows no relief.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "shell/data_files.h"

// --- "world.dat" and "world.idx" -----------------------------------------------------------

struct TWorldMapData {
  int32_t SamplesPerTile = 0;  // h1: samples per tile side
  int32_t MetresPerUnit = 0;   // h2
  int32_t SamplesPerDegree = 0;  // h3 (= h1: a tile covers 1° × 1°)
  int32_t RunBits = 0;         // h4
  std::vector<uint8_t> Tiles;  // the bytes after the 10-byte head
  std::vector<uint32_t> Offsets;  // tile t starts at Offsets[t]; Offsets[count] = Tiles.size()
  bool Loaded() const { return !Offsets.empty(); }
  int TileCount() const { return int(Offsets.size()) - 1; }
};

// What is wrong with the two files: the coded message (100 format, 101
// size), the file ("world.dat" or "world.idx") and the reason.
struct TWorldMapDamage {
  int16_t code = 0;
  std::string file;
  std::string reason;
};

// Checks and takes the two files' bytes: a head of five 16-bit values with
// h1 = h3 in 1..60, h2 > 0, h4 in 2..16; one index byte for each of the
// 64,800 tiles; the index lengths summing to the bytes after the head.
// False, `map` unchanged and `damage` filled, otherwise.
bool ParseWorldMap(const std::vector<uint8_t>& dat, const std::vector<uint8_t>& idx, TWorldMapData& map,
                   TWorldMapDamage* damage = nullptr);

// Decodes tile t into S = h1 × h1 elevations (metres) and land flags (1
// land), row by row from the north-west corner. False for a tile whose
// head, steps or run codes reach past its bytes or do not give exactly S - 1
// steps.
bool DecodeWorldTile(const TWorldMapData& map, int tile, std::vector<int16_t>& elevation,
                     std::vector<uint8_t>& land);

// The one map, loaded from DataFolder at start.
extern TWorldMapData WorldMap;
// Reads "world.dat" and "world.idx" from the folder; false (map empty) when
// either is missing or damaged. A missing or damaged file is reported
// (shell/data_files.h), so are tiles that do not decode (they are drawn
// black, the others as they are).
bool LoadWorldMap(const std::string& folder);

// --- Boundary segment files ----------------------------------------------------------------

inline constexpr int32_t kBoundaryMagic = 0x20770002;

// One boundary line: points (east longitude, latitude) in degrees.
struct TBoundaryLine {
  int16_t Class = 0;
  std::vector<std::pair<double, double>> Points;
  // Limits from the file's index, degrees (east and north positive).
  double North = 90, South = -90, East = 180, West = -180;
};

// Reads a boundary file's bytes: the 40-byte head, the index (entries of 28
// bytes, no more than its byte size holds) and each segment's points (no
// more than its bytes hold). Segments of class 0 are skipped. The result
// code follows the coded message table: 0 read, 100 wrong magic, 101 index
// outside the file, 103 head short; a damaged segment ends the file there.
int ParseBoundaryFile(const std::vector<uint8_t>& bytes, std::vector<TBoundaryLine>& lines);

// The six files, relative to the data folder: the state boundaries first,
// then the five national ones.
extern const char* const kBoundaryFiles[6];

// The boundaries read once, and the problems found (the file's relative
// name, the message code and the reason), for the window to report once as
// damaged data files: 102 cannot open, 103 short, 100 wrong magic, 101
// index outside the file.
struct TBoundarySet {
  std::vector<TBoundaryLine> States, Nations;
  std::vector<TDataFileProblem> Problems;
};
TBoundarySet LoadBoundaryFiles(const std::string& folder);

// --- The map view --------------------------------------------------------------------------

inline constexpr int kMapZoomLevels = 7;
// Pixels per degree of latitude at zoom level 1..7.
double MapScaleOf(int zoom);

struct TMapView {
  int Width = 0, Height = 0;
  double Latitude = 0;       // centre, degrees north
  double WestLongitude = 0;  // centre, degrees west positive in [0, 360)
  int Zoom = 1;
  double Aspect = 1.0;       // horizontal pixels per vertical pixel
  double Scale() const { return MapScaleOf(Zoom); }
};

// Place of a pixel: east longitude in [-180, 180) and latitude, degrees.
void PixelToLonLat(const TMapView& v, int x, int y, double& eastLon, double& lat);
// Pixel of a place.
void LonLatToPixel(const TMapView& v, double eastLon, double lat, int& x, int& y);

// Colour (0x00BBGGRR) of an elevation in tile row r (-90..89) from the
// relief palettes (level 0 of the globe's land and sea colours).
uint32_t ElevationColor(int r, int elevation, bool land);

// Draws the relief into `bitmap` (made Width × Height): cleared to 0, the
// tiles in view decoded and placed, gaps filled along rows and then
// columns. Tiles that do not decode are left out.
void RenderWorldMap(const TWorldMapData& map, const TMapView& v, platform::Bitmap& bitmap);

// Draws over the relief: the state boundaries (grey, solid, one pixel), the
// national boundaries (grey, dash-dot, two pixels), a white 3 × 3 mark for each city
// of the city table, and a black frame.
void DrawMapOverlay(const TMapView& v, const std::vector<TBoundaryLine>& states,
                    const std::vector<TBoundaryLine>& nations, platform::Bitmap& bitmap);

// The city nearest to a place within 2° (flat distance, longitude wrapping);
// -1 when none.
int NearestCity(double eastLon, double lat);

// Pan by one step (2° of latitude and 4° of longitude at scale 10, 1° and
// 2° at the larger scales); latitude stays within ±90°. Direction: 0 north,
// 1 south, 2 west, 3 east.
void PanMap(TMapView& v, int direction);
