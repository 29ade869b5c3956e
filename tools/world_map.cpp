#include "tools/world_map.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "astro/reference_files.h"
#include "astro/trig.h"
#include "chart/drawing_colors.h"
#include "platform/codec.h"
#include "platform/drawing.h"
#include "platform/float_to_int.h"
#include "platform/paths.h"
#include "shell/data_files.h"

TWorldMapData WorldMap;

const char* const kBoundaryFiles[6] = {"map/namer.map/pby.cbd",  "map/namer.map/bdy.cbd", "map/samer.map/bdy.cbd",
                                       "map/europe.map/bdy.cbd", "map/asia.map/bdy.cbd",  "map/africa.map/bdy.cbd"};

namespace {

constexpr int kHeadBytes = 10;
constexpr int kTileCount = 360 * 180;

// Reads bits least significant first, never past the end of its bytes.
class BitReader {
 public:
  BitReader(const uint8_t* p, std::size_t bytes) : p_(p), bits_(bytes * 8) {}
  uint32_t Get(int n) {
    if (pos_ + std::size_t(n) > bits_) {
      ok_ = false;
      return 0;
    }
    uint32_t v = 0;
    for (int b = 0; b < n; ++b, ++pos_) v |= uint32_t(p_[pos_ / 8] >> (pos_ % 8) & 1u) << b;
    return v;
  }
  bool Ok() const { return ok_; }

 private:
  const uint8_t* p_;
  std::size_t bits_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// x brought into [-180, 180).
double Wrap180(double x) {
  x = std::fmod(x + 180.0, 360.0);
  if (x < 0) x += 360.0;
  return x - 180.0;
}

}  // namespace

// --- "world.dat" and "world.idx" -----------------------------------------------------------

bool ParseWorldMap(const std::vector<uint8_t>& dat, const std::vector<uint8_t>& idx, TWorldMapData& map,
                   TWorldMapDamage* damage) {
  auto fail = [&](int16_t code, const char* file, const std::string& reason) {
    if (damage) *damage = {code, file, reason};
    return false;
  };
  if (dat.size() < std::size_t(kHeadBytes))
    return fail(101, "world.dat", ByteCountText(dat.size()) + ", shorter than its head of 10 bytes");
  const int h1 = platform::GetI16(&dat[2]), h2 = platform::GetI16(&dat[4]);
  const int h3 = platform::GetI16(&dat[6]), h4 = platform::GetI16(&dat[8]);
  if (h1 < 1 || h1 > 60 || h3 != h1 || h2 < 1 || h4 < 2 || h4 > 16)
    return fail(100, "world.dat",
                "its head gives " + std::to_string(h1) + " samples a tile side, " + std::to_string(h3) +
                    " a degree, " + std::to_string(h2) + " metres a unit and " + std::to_string(h4) +
                    "-bit run codes, which make no map");
  if (idx.size() != std::size_t(kTileCount))
    return fail(101, "world.idx",
                ByteCountText(idx.size()) + " where the index of the map's " + std::to_string(kTileCount) +
                    " tiles takes " + ByteCountText(kTileCount));
  TWorldMapData m;
  m.SamplesPerTile = h1, m.MetresPerUnit = h2, m.SamplesPerDegree = h3, m.RunBits = h4;
  m.Offsets.resize(idx.size() + 1);
  uint32_t sum = 0;
  for (std::size_t t = 0; t < idx.size(); ++t) {
    m.Offsets[t] = sum;
    sum += idx[t];
  }
  m.Offsets.back() = sum;
  if (sum != dat.size() - kHeadBytes)
    return fail(101, "world.dat",
                "its tiles take " + ByteCountText(dat.size() - kHeadBytes) + " where its index \"world.idx\" gives " +
                    ByteCountText(sum) + " (one of the two was cut short or written over)");
  m.Tiles.assign(dat.begin() + kHeadBytes, dat.end());
  map = std::move(m);
  return true;
}

bool DecodeWorldTile(const TWorldMapData& map, int tile, std::vector<int16_t>& elevation, std::vector<uint8_t>& land) {
  if (!map.Loaded() || tile < 0 || tile >= map.TileCount()) return false;
  const uint32_t off = map.Offsets[std::size_t(tile)], len = map.Offsets[std::size_t(tile) + 1] - off;
  if (len < 5) return false;
  const uint8_t* t = map.Tiles.data() + off;
  const int n = t[0] & 15;
  const bool whole = t[0] & 16, sea = t[0] & 32, runs = t[0] & 64;
  const int16_t base = platform::GetI16(t + 1), stepOffset = platform::GetI16(t + 3);
  const int S = map.SamplesPerTile * map.SamplesPerTile;
  // The steps, unpacked from runs where the tile is run-length coded.
  std::vector<uint32_t> raw(std::size_t(S - 1));
  BitReader bits(t + 5, len - 5);
  if (!runs) {
    for (auto& r : raw) r = bits.Get(n);
  } else {
    for (int j = 0; j < S - 1;) {
      const uint32_t code = bits.Get(map.RunBits);
      const int count = int(code / 2);
      if (!bits.Ok() || count == 0 || j + count > S - 1) return false;
      if (code % 2) {
        for (int k = 0; k < count; ++k) raw[std::size_t(j++)] = bits.Get(n);
      } else {
        const uint32_t v = bits.Get(n);
        for (int k = 0; k < count; ++k) raw[std::size_t(j++)] = v;
      }
    }
  }
  if (!bits.Ok()) return false;
  // Samples: the base, then each step plus the step offset; without a
  // whole-tile flag every value carries its land bit (0 land) lowest.
  elevation.resize(std::size_t(S));
  land.resize(std::size_t(S));
  int16_t value = whole ? base : int16_t(base / 2);
  bool isSea = whole ? sea : (base & 1) != 0;
  for (int j = 0; j < S; ++j) {
    if (j > 0) {
      const uint32_t r = raw[std::size_t(j - 1)];
      value = int16_t(value + int32_t(whole ? r : r >> 1) + stepOffset);
      if (!whole) isSea = r & 1;
    }
    elevation[std::size_t(j)] = int16_t(value * map.MetresPerUnit);
    land[std::size_t(j)] = isSea ? 0 : 1;
  }
  return true;
}

bool LoadWorldMap(const std::string& folder) {
  WorldMap = TWorldMapData{};
  std::vector<uint8_t> bytes[2];
  int i = 0;
  for (const char* file : {"world.dat", "world.idx"}) {
    std::string refused;
    auto read = ReadDataFileWhole(folder + file, refused);
    if (!read) {
      ReportDataFileProblem(102, file, refused);
      return false;
    }
    bytes[i++] = std::move(*read);
  }
  TWorldMapData m;
  TWorldMapDamage damage;
  if (!ParseWorldMap(bytes[0], bytes[1], m, &damage)) {
    ReportDataFileProblem(damage.code, damage.file, damage.reason);
    return false;
  }
  // Tiles that do not decode are drawn black: told, and the others kept.
  std::vector<int16_t> elevation;
  std::vector<uint8_t> land;
  int bad = 0, first = -1;
  for (int t = 0; t < m.TileCount(); ++t)
    if (!DecodeWorldTile(m, t, elevation, land) && bad++ == 0) first = t;
  if (bad)
    ReportDataFileProblem(103, "world.dat",
                          std::to_string(bad) + " of its " + std::to_string(m.TileCount()) +
                              " tiles do not decode (the first is tile " + std::to_string(first) +
                              "); the map is black there");
  WorldMap = std::move(m);
  return true;
}

// --- Boundary segment files ----------------------------------------------------------------

int ParseBoundaryFile(const std::vector<uint8_t>& b, std::vector<TBoundaryLine>& lines) {
  lines.clear();
  if (b.size() < 40) return 103;
  platform::ByteReader head(b);
  if (head.I32() != kBoundaryMagic) return 100;
  const int64_t indexOffset = head.I32(), segments = head.I32(), indexBytes = head.I32();
  if (indexOffset < 40 || indexBytes < 0 || segments < 0 || indexOffset + indexBytes > int64_t(b.size())) return 101;
  // No more entries than the index's bytes hold.
  const int64_t count = std::min<int64_t>(segments, indexBytes / 28);
  for (int64_t s = 0; s < count; ++s) {
    platform::ByteReader e(b.data() + indexOffset + 28 * s, 28);
    e.Skip(4);
    const double north = e.I32() / 3600.0, south = e.I32() / 3600.0, east = e.I32() / 3600.0, west = e.I32() / 3600.0;
    const int64_t offset = e.I32();
    const int bytes = e.U16();
    const int16_t cls = e.I16();
    if (cls == 0) continue;
    if (offset < 40 || offset + 16 + bytes > int64_t(b.size())) return 0;  // the rest of the file is damaged
    platform::ByteReader seg(b.data() + offset, 16);
    int64_t x = seg.I32(), y = seg.I32();
    seg.Skip(4);
    const int points = seg.U16();
    platform::ByteReader p(b.data() + offset + 16, std::size_t(bytes));
    TBoundaryLine line;
    line.Class = cls;
    line.North = north, line.South = south, line.East = east, line.West = west;
    // A place off the globe (steps adding up beyond ±90° of latitude or
    // ±360° of longitude) ends the segment: the file is damaged there.
    auto onGlobe = [](int64_t lon, int64_t lat) { return std::llabs(lat) <= 90 * 3600 && std::llabs(lon) <= 360 * 3600; };
    if (!onGlobe(x, y)) continue;
    line.Points.push_back({x / 3600.0, y / 3600.0});
    for (int k = 0; k < points; ++k) {
      const uint16_t w = p.U16();
      if (!p.Ok()) break;  // points bounded by the segment's bytes
      if (w & 0x4000) {
        int hi = w >> 8;
        if (!(w & 0x8000)) hi &= 0x3F;  // positive: bit 14 is the marker
        x += int8_t(uint8_t(hi));
        y += int8_t(uint8_t(w & 0xFF));
      } else {
        const uint16_t w2 = p.U16(), w3 = p.U16(), w4 = p.U16();
        if (!p.Ok()) break;
        auto join = [](uint16_t hiWord, uint16_t lo) {
          if (hiWord & 0x8000) hiWord |= 0x4000;
          return int32_t(uint32_t(hiWord) << 16 | lo);
        };
        x += join(w, w2);
        y += join(w3, w4);
      }
      if (!onGlobe(x, y)) break;
      line.Points.push_back({x / 3600.0, y / 3600.0});
    }
    lines.push_back(std::move(line));
  }
  return 0;
}

TBoundarySet LoadBoundaryFiles(const std::string& folder) {
  TBoundarySet set;
  for (int i = 0; i < 6; ++i) {
    std::string refused;
    const auto bytes = ReadDataFileWhole(folder + kBoundaryFiles[i], refused);
    if (!bytes) {
      set.Problems.push_back({102, kBoundaryFiles[i], refused});
      continue;
    }
    std::vector<TBoundaryLine> lines;
    const int code = ParseBoundaryFile(*bytes, lines);
    const char* why = code == 100   ? "it is no boundary file (its head's mark is wrong)"
                      : code == 101 ? "its index lies beyond the file's end (the file was cut short)"
                                    : "it is shorter than its head of 40 bytes";
    if (code != 0)
      set.Problems.push_back({int16_t(code), kBoundaryFiles[i], std::string(why) + "; its boundaries are not drawn"});
    auto& to = i == 0 ? set.States : set.Nations;
    to.insert(to.end(), lines.begin(), lines.end());
  }
  return set;
}

// --- The map view --------------------------------------------------------------------------

double MapScaleOf(int zoom) {
  static const double kScales[kMapZoomLevels] = {10, 15, 20, 30, 40, 60, 100};
  return kScales[std::clamp(zoom, 1, kMapZoomLevels) - 1];
}

void PixelToLonLat(const TMapView& v, int x, int y, double& eastLon, double& lat) {
  eastLon = Wrap180((x - v.Width / 2) / (v.Scale() * v.Aspect) - v.WestLongitude);
  lat = v.Latitude - (y - v.Height / 2) / v.Scale();
}

void LonLatToPixel(const TMapView& v, double eastLon, double lat, int& x, int& y) {
  // Places from files may lie anywhere: offsets beyond a million pixels
  // (far off any view) are held there.
  auto pixels = [](double offset) {
    return platform::ClampFloatToInt<int>(std::nearbyint(std::clamp(offset, -1e6, 1e6)));
  };
  x = v.Width / 2 + pixels(Wrap180(eastLon + v.WestLongitude) * v.Scale() * v.Aspect);
  y = v.Height / 2 + pixels((v.Latitude - lat) * v.Scale());
}

uint32_t ElevationColor(int r, int e, bool land) {
  const TColorRef* L = GlobeLandColors[0];
  const TColorRef* S = GlobeSeaColors[0];
  if (land) {
    if ((90 - std::abs(r)) * 1.6 - 10 + (-e / 200) < 22) return L[10];
    static const int kTop[11] = {-3000, 0, 100, 200, 700, 1500, 2500, 4000, 5500, 7000, 9999};
    if (e < -9999 || e > 9999) return 0;
    for (int i = 0; i < 11; ++i)
      if (e <= kTop[i]) return L[i];
    return 0;
  }
  const int b = (e + 11000) / 80;
  static const int kTop[10] = {15, 25, 35, 50, 70, 90, 115, 145, 175, 205};
  for (int i = 0; i < 10; ++i)
    if (b <= kTop[i]) return S[i];
  return S[10];
}

void RenderWorldMap(const TWorldMapData& map, const TMapView& v, platform::Bitmap& bitmap) {
  if (bitmap.Width() != v.Width || bitmap.Height() != v.Height) bitmap = platform::Bitmap(v.Width, v.Height);
  if (bitmap.IsNull()) return;
  bitmap.Fill(0);
  if (!map.Loaded()) return;
  const double scale = v.Scale(), sx = scale * v.Aspect;
  // 1. The view in tile-row (minus latitude) and east-longitude terms.
  const double h = (v.Height / 2.0) / scale, w = (v.Width / 2.0) / sx;
  const double rLow = -v.Latitude - h, cLow = -v.WestLongitude - w;
  // 2. The tiles that touch it.
  const int r0 = std::clamp(int(std::nearbyint(rLow - 1)), -90, 89);
  const int r1 = std::clamp(int(std::nearbyint(rLow + 2 * h + 1)), -90, 89);
  const int c0 = int(std::nearbyint(cLow - 1));
  const int c1 = std::min(int(std::nearbyint(cLow + 2 * w + 1)), c0 + 359);
  const int n = map.SamplesPerDegree;
  std::vector<int16_t> elev;
  std::vector<uint8_t> land;
  for (int r = r0; r <= r1; ++r)
    for (int cc = c0; cc <= c1; ++cc) {
      int c = int(WrapAngle(cc, -180, 180));
      if (c == 180) c = -180;
      // 3. Decode and place each sample.
      if (!DecodeWorldTile(map, (r + 90) * 360 + (c + 180), elev, land)) continue;
      const double d = WrapAngle((c > 0 ? c - 360 : c) - cLow, -180, 180);
      for (int j = 0; j < n * n; ++j) {
        const int i = j / n, k = j % n;
        const int y = int(std::nearbyint((r + double(i) / n - rLow) * scale));
        const int x = int(std::nearbyint((d + double(k) / n + 0.08333) * sx));
        if (x < 0 || y < 0 || x >= v.Width || y >= v.Height) continue;
        bitmap.SetPixel(x, y, platform::ColorRefToPixel(ElevationColor(r, elev[std::size_t(j)], land[std::size_t(j)])));
      }
    }
  // 4. Gaps where samples lie further apart than pixels: along each row
  // from its first drawn pixel, then down each column.
  for (int y = 0; y < v.Height; ++y) {
    uint32_t* row = bitmap.Row(y);
    int x = 0;
    while (x < v.Width && row[x] == 0) ++x;
    for (++x; x < v.Width; ++x)
      if (row[x] == 0) row[x] = row[x - 1];
  }
  for (int x = 0; x < v.Width; ++x) {
    int y = 0;
    while (y < v.Height && bitmap.Pixel(x, y) == 0) ++y;
    for (++y; y < v.Height; ++y)
      if (bitmap.Pixel(x, y) == 0) bitmap.SetPixel(x, y, bitmap.Pixel(x, y - 1));
  }
}

void DrawMapOverlay(const TMapView& v, const std::vector<TBoundaryLine>& states,
                    const std::vector<TBoundaryLine>& nations, platform::Bitmap& bitmap) {
  if (bitmap.IsNull()) return;
  platform::DrawingContext dc(bitmap);
  const platform::ColorRef grey = platform::MakeColorRef(90, 90, 90);
  // Boundaries: a polyline breaks where it jumps across the far side of
  // the map (180° or more between wrapped longitudes).
  auto draw = [&](const std::vector<TBoundaryLine>& lines, const platform::Pen& pen) {
    dc.SelectPen(pen);
    std::vector<QPoint> poly;
    // The view's limits: lines wholly outside them are not drawn.
    const double h = v.Height / 2.0 / v.Scale(), w = v.Width / 2.0 / (v.Scale() * v.Aspect);
    for (const TBoundaryLine& l : lines) {
      if (l.South > v.Latitude + h || l.North < v.Latitude - h) continue;
      const double west = Wrap180(l.West + v.WestLongitude), span = l.East - l.West;
      if (span >= 0 && span < 180 && (west > w || west + span < -w) && (west + span - 360 < -w)) continue;
      poly.clear();
      double last = 0;
      for (const auto& [lon, lat] : l.Points) {
        const double rel = Wrap180(lon + v.WestLongitude);
        if (!poly.empty() && std::fabs(rel - last) >= 180.0) {
          if (poly.size() > 1) dc.Polyline(poly);
          poly.clear();
        }
        int x, y;
        LonLatToPixel(v, lon, lat, x, y);
        poly.push_back(QPoint(x, y));
        last = rel;
      }
      if (poly.size() > 1) dc.Polyline(poly);
    }
  };
  draw(states, platform::Pen::Solid(1, grey));
  draw(nations, platform::Pen::DashDot(2, grey));
  // City marks.
  dc.SelectPen(platform::Pen::Solid(1, platform::MakeColorRef(255, 255, 255)));
  dc.SelectBrush(platform::Brush{});
  for (const TCityRecord& c : Cities) {
    if (c.Name[0] == 0) continue;
    int x, y;
    LonLatToPixel(v, c.Longitude, c.Latitude, x, y);
    if (x >= 0 && y >= 0 && x < v.Width && y < v.Height) dc.Rectangle(x - 1, y - 1, x + 2, y + 2);
  }
  // The frame.
  dc.SelectPen(platform::Pen::Solid(3, platform::MakeColorRef(0, 0, 0)));
  dc.Polyline({QPoint(1, 1), QPoint(v.Width - 2, 1), QPoint(v.Width - 2, v.Height - 2), QPoint(1, v.Height - 2),
               QPoint(1, 1)});
}

int NearestCity(double eastLon, double lat) {
  int best = -1;
  double bestD = 2.0;
  for (int i = 0; i < kCityCount; ++i) {
    const TCityRecord& c = Cities[i];
    if (c.Name[0] == 0) continue;
    const double dl = Wrap180(c.Longitude - eastLon), db = c.Latitude - lat;
    const double d = std::sqrt(dl * dl + db * db);
    if (d < bestD) best = i, bestD = d;
  }
  return best;
}

void PanMap(TMapView& v, int direction) {
  const double step = 2.0 - (v.Scale() - 10.0) / 90.0;
  switch (direction) {
    case 0: v.Latitude = std::min(90.0, v.Latitude + step); break;
    case 1: v.Latitude = std::max(-90.0, v.Latitude - step); break;
    case 2:
      v.WestLongitude += 2 * step;
      if (v.WestLongitude >= 360) v.WestLongitude -= 360;
      break;
    case 3:
      v.WestLongitude -= 2 * step;
      if (v.WestLongitude < 0) v.WestLongitude += 360;
      break;
    default: break;
  }
}
