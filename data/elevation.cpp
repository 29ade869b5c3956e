#include "data/elevation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>

#include "data/common.h"
#include "data/worldmap.h"
#include "platform/paths.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace mkdata {

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }

// Decodes `bytes` into `out`; false on a library error. Nothing with a
// destructor lives between the jump and its target.
bool DecodeGrey(const std::vector<uint8_t>& bytes, GreyImage& out) {
  jpeg_decompress_struct info;
  JpegError err;
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  out.width = int(info.output_width);
  out.height = int(info.output_height);
  out.pixels.resize(std::size_t(out.width) * std::size_t(out.height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.pixels.data() + std::size_t(info.output_scanline) * std::size_t(out.width);
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

std::string Six(int n) {
  char s[16];
  std::snprintf(s, sizeof s, "%06d", n);
  return s;
}

}  // namespace

GreyImage ReadJpegGrey(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBinaryFile(path);
  GreyImage image;
  if (bytes.empty() || !DecodeGrey(bytes, image) || image.width <= 0 || image.height <= 0)
    throw SourceError(path + ": not a readable JPEG picture");
  return image;
}

std::vector<std::string> ReliefTileFiles(const std::string& folder) {
  std::vector<std::string> files;
  for (int r = 0; r < kReliefTileRows; ++r)
    for (int c = 0; c < kReliefTileColumns; ++c) files.push_back(folder + Six(r) + "/" + Six(r) + "_" + Six(c) + ".jpg");
  return files;
}

ReliefRaster ReadReliefRaster(const std::string& folder, int tileRows, int tileColumns) {
  ReliefRaster raster;
  int tileWidth = 0, tileHeight = 0;
  for (int r = 0; r < tileRows; ++r)
    for (int c = 0; c < tileColumns; ++c) {
      const std::string path = folder + Six(r) + "/" + Six(r) + "_" + Six(c) + ".jpg";
      const GreyImage tile = ReadJpegGrey(path);
      if (r == 0 && c == 0) {
        tileWidth = tile.width, tileHeight = tile.height;
        raster.width = tileWidth * tileColumns;
        raster.height = tileHeight * tileRows;
        if (raster.width != 2 * raster.height || raster.width % 360 != 0)
          throw SourceError(folder + ": the tiles do not make a whole-degree world picture of 2:1");
        raster.perDegree = raster.width / 360;
        raster.grey.assign(std::size_t(raster.width) * std::size_t(raster.height), 0);
      } else if (tile.width != tileWidth || tile.height != tileHeight) {
        throw SourceError(path + ": a tile of another size than the first");
      }
      for (int y = 0; y < tileHeight; ++y)
        std::copy_n(tile.pixels.begin() + std::ptrdiff_t(y) * tileWidth, tileWidth,
                    raster.grey.begin() + std::ptrdiff_t(r * tileHeight + y) * raster.width + c * tileWidth);
    }
  return raster;
}

// --- Grey to metres ---------------------------------------------------------------------

double SeaLevelGrey(const ReliefRaster& raster, const std::vector<uint8_t>& landMask) {
  if (landMask.size() != raster.grey.size()) throw SourceError("the land mask does not match the relief raster");
  // Greys of the pixels beside a coast: land or sea pixels with a
  // neighbour of the other kind (east and west around the globe, north and
  // south within it), each counted once.
  std::array<double, 256> land{}, sea{};
  const int w = raster.width, h = raster.height;
  auto kind = [&](int x, int y) { return landMask[std::size_t(y) * std::size_t(w) + std::size_t((x + w) % w)]; };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t k = kind(x, y);
      if (k != kind(x + 1, y) || k != kind(x - 1, y) || (y > 0 && k != kind(x, y - 1)) || (y + 1 < h && k != kind(x, y + 1)))
        (k ? land : sea)[raster.At(x, y)] += 1;
    }
  // The thresholds t (land from grey t up) that misplace the fewest of
  // them; sea level lies half a grey below the middle of those.
  double misplaced = 0;
  for (double n : sea) misplaced += n;  // t = 0: every sea pixel misplaced
  if (misplaced == 0) throw SourceError("the land outlines have no coast on the relief raster");
  double best = misplaced;
  int first = 0, last = 0;
  for (int t = 1; t <= 256; ++t) {
    misplaced += land[std::size_t(t - 1)] - sea[std::size_t(t - 1)];
    if (misplaced < best) best = misplaced, first = last = t;
    else if (misplaced == best) last = t;
  }
  return (first + last) / 2.0 - 0.5;
}

// The package's map file gives its relief legend as heights against
// colours, and its two colour ramps ("landcolors.leg", "seacolors.leg")
// place those colours at fractions of the grey range: 0 at grey 0, 1 at
// grey 255. The stops are those fractions × 255 with their heights. Sea
// level (0.38 × 255 = 96.9) is replaced by the grey found at the coasts.
// Beyond the last stop (7,000 m at 0.95) the last segment goes on.
const std::vector<GreyStop> kGreyScale = {
    {0.00 * 255, -11000}, {0.07 * 255, -6500}, {0.14 * 255, -4000}, {0.21 * 255, -2000}, {0.28 * 255, -200},
    {0.31 * 255, -50},    {0.38 * 255, 0},     {0.45 * 255, 50},    {0.52 * 255, 200},   {0.59 * 255, 500},
    {0.70 * 255, 1000},   {0.77 * 255, 2000},  {0.83 * 255, 3500},  {0.90 * 255, 5000},  {0.95 * 255, 7000},
};

double GreyToMetres(double grey, double seaLevelGrey) {
  // The segment holding the grey (the end segments beyond the ends), with
  // the stop at 0 m moved to the sea-level grey.
  const std::vector<GreyStop>& s = kGreyScale;
  auto at = [&](std::size_t k) { return s[k].metres == 0 ? seaLevelGrey : s[k].grey; };
  std::size_t k = 1;
  while (k + 1 < s.size() && grey > at(k)) ++k;
  const double g0 = at(k - 1), g1 = at(k);
  return s[k - 1].metres + (grey - g0) * (s[k].metres - s[k - 1].metres) / (g1 - g0);
}

// --- Sampling ------------------------------------------------------------------------------

std::vector<float> RasterMetres(const ReliefRaster& raster, double seaLevelGrey) {
  std::array<float, 256> table{};
  for (int g = 0; g < 256; ++g) table[std::size_t(g)] = float(GreyToMetres(g, seaLevelGrey));
  std::vector<float> metres(raster.grey.size());
  for (std::size_t i = 0; i < metres.size(); ++i) metres[i] = table[raster.grey[i]];
  return metres;
}

double AreaMean(const ReliefRaster& raster, const std::vector<float>& metres, double north, double south,
                double west, double east, bool land) {
  const double pd = raster.perDegree;
  // The area in pixel units: x from the west edge at 180° W, y from the top.
  const double x0 = (west + 180.0) * pd, x1 = (east + 180.0) * pd;
  const double y0 = std::max(0.0, (90.0 - north) * pd), y1 = std::min(double(raster.height), (90.0 - south) * pd);
  double sum = 0, weight = 0, sumAll = 0, weightAll = 0;
  for (int y = int(std::floor(y0)); y < int(std::ceil(y1)); ++y) {
    const double wy = std::min(y1, y + 1.0) - std::max(y0, double(y));
    if (wy <= 0) continue;
    for (int x = int(std::floor(x0)); x < int(std::ceil(x1)); ++x) {
      const double wx = std::min(x1, x + 1.0) - std::max(x0, double(x));
      if (wx <= 0) continue;
      const int xw = ((x % raster.width) + raster.width) % raster.width;
      const double m = metres[std::size_t(y) * std::size_t(raster.width) + std::size_t(xw)];
      sumAll += wx * wy * m, weightAll += wx * wy;
      if ((m >= 0) == land) sum += wx * wy * m, weight += wx * wy;
    }
  }
  if (weight > 0) return sum / weight;
  return weightAll > 0 ? sumAll / weightAll : 0.0;
}

double SurfaceMetres(const ReliefRaster& raster, const std::vector<float>& metres, double north, double south,
                     double west, double east, bool land, double shallowestSea) {
  const double m = AreaMean(raster, metres, north, south, west, east, land);
  return land ? std::max(m, kLowestLand) : std::min(m, -shallowestSea);
}

ElevationSource ReadElevationSource(const std::string& folder, const std::vector<LonLatRing>& rings) {
  ElevationSource s;
  for (const std::string& f : ReliefTileFiles(folder))
    if (!platform::FileExists(f)) {
      s.missing = std::string("Debian's ") + kReliefPackage + " package is not installed (" + f +
                  " not found): elevations are stand-ins; install it with apt-get install " + kReliefPackage +
                  " (deps.sh does) and run noctra-mkdata again";
      return s;
    }
  s.raster = ReadReliefRaster(folder);
  s.seaLevelGrey = SeaLevelGrey(s.raster, LandMask(rings, s.raster.perDegree));
  // The scale needs sea level between its neighbouring stops (-50 m and
  // 50 m); a level outside them means a raster of another kind.
  if (!(s.seaLevelGrey > 0.31 * 255 && s.seaLevelGrey < 0.45 * 255))
    throw SourceError(folder + ": sea level at grey " + std::to_string(s.seaLevelGrey) +
                      " lies outside the relief legend's grey range for 0 m");
  s.metres = RasterMetres(s.raster, s.seaLevelGrey);
  return s;
}

}  // namespace mkdata
