// The elevation grid behind the relief files ("world.dat" and the globe's
// "scripps2.dat"): the grey relief raster of Debian's marble-qt-data
// package (maps/earth/srtm, public domain per its map file; SRTM30 land
// heights and sea-floor depths as 8-bit greys, brighter is higher). Level
// 3 of its tile pyramid is one equirectangular picture of 10,800 × 5,400
// greys (30 a degree), cut into 8 rows of 16 JPEG tiles of 675 × 675:
// tile (row, column) is "<row>/<row>_<column>.jpg" with six-digit numbers,
// row 0 at the north pole, column 0 at 180° W.
//
// The pictures carry no scale of their own. GreyToMetres turns greys into
// heights: sea level is the grey at the coasts of the land outlines
// (SeaLevelGrey finds it from the data), and the greys above and below it
// follow the stops of the package's relief legend (kGreyScale), checked
// against places of known height and depth. Heights are approximate: one
// grey step is 3 m near sea level but 100 to 250 m in the mountains and
// the deep sea, JPEG blurs the greys by a step or two, and a pixel is the
// mean over about 3.7 km, so summits come out lower than they are and
// trench floors are good to about 500 m.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/relief.h"

namespace mkdata {

// Where the builder reads the raster from, and its layout.
inline constexpr const char* kReliefPackage = "marble-qt-data";
inline constexpr const char* kReliefTileFolder = "/usr/share/marble/data/maps/earth/srtm/3/";
inline constexpr int kReliefTileRows = 8;
inline constexpr int kReliefTileColumns = 16;

// An 8-bit grey picture, rows from the top.
struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width × height
};

// Decodes a JPEG file through libjpeg into greys (a colour file is taken to
// its luminance). Throws SourceError naming the file when it cannot be read
// or decoded.
GreyImage ReadJpegGrey(const std::string& path);

// The tile files of the raster in `folder` (ending in "/"), row by row.
std::vector<std::string> ReliefTileFiles(const std::string& folder);

// The whole raster: `perDegree` greys a degree; pixel (x, y) covers east
// longitude -180 + x / perDegree to -180 + (x + 1) / perDegree and latitude
// 90 - y / perDegree down to 90 - (y + 1) / perDegree.
struct ReliefRaster {
  int perDegree = 0;
  int width = 0, height = 0;
  std::vector<uint8_t> grey;
  uint8_t At(int x, int y) const { return grey[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// Joins the tiles of `folder` (a tileRows × tileColumns grid of equal
// tiles) into the raster. Throws SourceError when a tile is missing, cannot
// be decoded or differs in size, or when the whole is not a 2:1 picture of
// a whole number of pixels a degree.
ReliefRaster ReadReliefRaster(const std::string& folder, int tileRows = kReliefTileRows,
                              int tileColumns = kReliefTileColumns);

// --- Grey to metres ---------------------------------------------------------------------

// The sea-level grey: the level that best splits the raster's pixels along
// the coasts into land (grey above it) and sea (below), the coasts being
// where `landMask` (raster-sized, 1 for land from the outlines) differs
// between a pixel and one of its four neighbours. Where several levels
// split them equally well, the middle one. A value such as 97.5 lies
// between two greys. Throws SourceError when the mask has no coast.
double SeaLevelGrey(const ReliefRaster& raster, const std::vector<uint8_t>& landMask);

// The scale: heights at greys, piecewise linear between these stops, from
// the package's own relief legend (see elevation.cpp); checked against
// places of known height and depth (salt flats, lakes, ice domes, abyssal
// plains, trenches), which it meets within 150 m where the ground is
// flat over a pixel.
struct GreyStop {
  double grey;
  double metres;
};
extern const std::vector<GreyStop> kGreyScale;

// Metres of a grey, with sea level at `seaLevelGrey` (in place of the
// scale's own stop at 0 m): increasing with the grey.
double GreyToMetres(double grey, double seaLevelGrey);

// --- Sampling ------------------------------------------------------------------------------

// Heights in metres of a raster, one per pixel (GreyToMetres).
std::vector<float> RasterMetres(const ReliefRaster& raster, double seaLevelGrey);

// The mean of `metres` (one per raster pixel) over the area from latitude
// `north` down to `south` and east longitude `west` to `east` (degrees,
// west < east, either may lie beyond ±180°), each pixel weighted by the
// part of it inside. Only pixels whose sign agrees with `land` (>= 0 on
// land, < 0 at sea) count; when none does, the mean of all.
double AreaMean(const ReliefRaster& raster, const std::vector<float>& metres, double north, double south,
                double west, double east, bool land);

// The height of a place of the given kind: the mean of the raster over
// the area (AreaMean), land no lower than kLowestLand and sea at least
// `shallowestSea` metres deep, so that the land and sea flags of the
// outlines keep their sense.
inline constexpr double kLowestLand = -430;  // the shore of the Dead Sea
double SurfaceMetres(const ReliefRaster& raster, const std::vector<float>& metres, double north, double south,
                     double west, double east, bool land, double shallowestSea);

// The elevation grid the relief files are made from, and how it was read.
struct ElevationSource {
  ReliefRaster raster;
  std::vector<float> metres;  // per raster pixel
  double seaLevelGrey = 0;
  // Empty when the raster was read; else what is missing and how to
  // install it (the files then hold the stand-in elevations).
  std::string missing;
  bool Available() const { return missing.empty(); }
  double Surface(double north, double south, double west, double east, bool land, double shallowestSea) const {
    return SurfaceMetres(raster, metres, north, south, west, east, land, shallowestSea);
  }
};

// Reads the raster in `folder` with the sea level found at the coasts of
// `rings` (the land outlines). A missing package is not an error: the
// result says so in `missing`. A damaged one throws SourceError.
ElevationSource ReadElevationSource(const std::string& folder, const std::vector<LonLatRing>& rings);

}  // namespace mkdata
