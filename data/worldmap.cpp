#include "data/worldmap.h"

#include <algorithm>
#include <cmath>
#include <deque>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "data/common.h"
#include "platform/codec.h"

namespace mkdata {

namespace {

constexpr int kS = kWorldSamplesPerDegree * kWorldSamplesPerDegree;  // samples per tile

// Bits written least significant first.
class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int b = 0; b < bits; ++b, ++pos_) {
      if (pos_ / 8 >= bytes_.size()) bytes_.push_back(0);
      if (value >> b & 1u) bytes_[pos_ / 8] |= uint8_t(1u << (pos_ % 8));
    }
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::size_t pos_ = 0;
};

int BitsFor(uint32_t v) {
  int n = 0;
  while (v >> n) ++n;
  return n;
}

// Run-length coded steps: code = count × 2 + kind; kind 0: one step that
// stands for `count` equal steps, kind 1: `count` literal steps follow.
std::vector<uint8_t> RunLengthSteps(const std::vector<uint32_t>& raw, int n) {
  constexpr std::size_t kMaxCount = (1u << (kWorldRunBits - 1)) - 1;
  BitWriter w;
  std::vector<uint32_t> literals;
  auto flush = [&] {
    if (literals.empty()) return;
    w.Put(uint32_t(literals.size() * 2 + 1), kWorldRunBits);
    for (uint32_t v : literals) w.Put(v, n);
    literals.clear();
  };
  for (std::size_t i = 0; i < raw.size();) {
    std::size_t len = 1;
    while (i + len < raw.size() && raw[i + len] == raw[i] && len < kMaxCount) ++len;
    if (len * std::size_t(n) > std::size_t(kWorldRunBits + n) || n == 0) {
      flush();
      w.Put(uint32_t(len * 2), kWorldRunBits);
      w.Put(raw[i], n);
      i += len;
    } else {
      literals.push_back(raw[i++]);
      if (literals.size() == kMaxCount) flush();
    }
  }
  flush();
  return w.Bytes();
}

}  // namespace

std::vector<uint8_t> LandMask(const std::vector<LonLatRing>& ringsIn, int perDegree) {
  const double step = 1.0 / perDegree;
  const int rowCount = 180 * perDegree, columns = 360 * perDegree;
  std::vector<LonLatRing> rings;
  for (const LonLatRing& r : ringsIn) rings.push_back(Unwrap(r));
  // Edges by the sample rows whose latitude they may cross.
  struct Edge {
    double x1, y1, x2, y2;
  };
  std::vector<std::vector<Edge>> rows(std::size_t(rowCount), std::vector<Edge>{});
  auto rowOf = [&](double lat) { return std::clamp(int(std::floor((90.0 - lat) * perDegree)), 0, rowCount - 1); };
  for (const LonLatRing& r : rings)
    for (std::size_t i = 0; i + 1 < r.size(); ++i) {
      const Edge e{r[i].first, r[i].second, r[i + 1].first, r[i + 1].second};
      for (int row = rowOf(std::max(e.y1, e.y2)); row <= rowOf(std::min(e.y1, e.y2)); ++row)
        rows[std::size_t(row)].push_back(e);
    }
  std::vector<uint8_t> mask(std::size_t(rowCount) * std::size_t(columns), 0);
  std::vector<double> crossings;
  for (int row = 0; row < rowCount; ++row) {
    const double lat = 90.0 - (row + 0.5) * step;
    crossings.clear();
    for (const Edge& e : rows[std::size_t(row)])
      if ((e.y1 <= lat && lat < e.y2) || (e.y2 <= lat && lat < e.y1)) {
        const double x = e.x1 + (lat - e.y1) / (e.y2 - e.y1) * (e.x2 - e.x1);
        for (double shift : {-360.0, 0.0, 360.0}) crossings.push_back(x + shift);
      }
    std::sort(crossings.begin(), crossings.end());
    // Inside when an odd number of crossings lie west of the sample.
    std::size_t k = 0;
    for (int col = 0; col < columns; ++col) {
      const double lon = -180.0 + (col + 0.5) * step;
      while (k < crossings.size() && crossings[k] < lon) ++k;
      mask[std::size_t(row) * std::size_t(columns) + std::size_t(col)] = k % 2;
    }
  }
  return mask;
}

std::vector<uint8_t> WorldLandMask(const std::vector<LonLatRing>& rings) {
  return LandMask(rings, kWorldSamplesPerDegree);
}

std::vector<int16_t> WorldElevations(const std::vector<uint8_t>& mask) {
  if (mask.size() != std::size_t(kWorldRows) * kWorldColumns) throw SourceError("world mask has the wrong size");
  // Distance of every sea sample from land in samples (eight neighbours,
  // longitude wrapping), followed only as far as the deepest band.
  constexpr int kFar = 3 * kWorldSamplesPerDegree + 1;
  std::vector<int> dist(mask.size(), -1);
  std::deque<std::size_t> queue;
  for (std::size_t i = 0; i < mask.size(); ++i)
    if (mask[i]) dist[i] = 0, queue.push_back(i);
  while (!queue.empty()) {
    const std::size_t i = queue.front();
    queue.pop_front();
    const int r = int(i / kWorldColumns), c = int(i % kWorldColumns);
    if (dist[i] >= kFar) continue;
    for (int dr = -1; dr <= 1; ++dr)
      for (int dc = -1; dc <= 1; ++dc) {
        const int nr = r + dr, nc = (c + dc + kWorldColumns) % kWorldColumns;
        if (nr < 0 || nr >= kWorldRows) continue;
        const std::size_t j = std::size_t(nr) * kWorldColumns + std::size_t(nc);
        if (dist[j] >= 0) continue;
        dist[j] = dist[i] + 1;
        queue.push_back(j);
      }
  }
  std::vector<int16_t> e(mask.size());
  for (std::size_t i = 0; i < mask.size(); ++i) {
    const int d = dist[i];
    e[i] = d == 0 ? 200 : d > 0 && d <= kWorldSamplesPerDegree ? -200 : d > 0 && d <= 3 * kWorldSamplesPerDegree ? -2000 : -4000;
  }
  return e;
}

std::vector<int16_t> WorldElevations(const std::vector<uint8_t>& mask, const ElevationSource& heights) {
  if (mask.size() != std::size_t(kWorldRows) * kWorldColumns) throw SourceError("world mask has the wrong size");
  constexpr double kStep = 1.0 / kWorldSamplesPerDegree;
  std::vector<int16_t> e(mask.size());
  for (int row = 0; row < kWorldRows; ++row)
    for (int col = 0; col < kWorldColumns; ++col) {
      const std::size_t i = std::size_t(row) * kWorldColumns + std::size_t(col);
      // The mean over the sample's own 5' cell; the sea at least one
      // stored unit deep.
      const double north = 90.0 - row * kStep, west = -180.0 + col * kStep;
      e[i] = ClampToI16(heights.Surface(north, north - kStep, west, west + kStep, mask[i] != 0, kWorldMetresPerUnit));
    }
  return e;
}

int16_t WorldUnits(double metres, bool land) {
  const int units = int(std::nearbyint(metres / kWorldMetresPerUnit));
  constexpr int kLowestLandUnits = -int(-kLowestLand / kWorldMetresPerUnit);  // toward 0: not below the lowest land
  return int16_t(land ? std::max(units, kLowestLandUnits) : std::min(units, -1));
}

namespace {

// Values within `err` units of the wanted `units`, land no lower than the
// lowest dry land and the sea below 0, whose steps from one to the next all
// lie in [offset, offset + span]: the range each value may take given the
// ones before it, then from the last back the value nearest the wanted one
// that the next one can be reached from. False when there are none.
bool FitSteps(const std::vector<int16_t>& units, const std::vector<uint8_t>& land, int offset, int span, int err,
              std::vector<int>* values) {
  const std::size_t n = units.size();
  std::vector<int> low(n), high(n);
  for (std::size_t j = 0; j < n; ++j) {
    low[j] = units[j] - err, high[j] = units[j] + err;
    if (land[j]) low[j] = std::max(low[j], int(WorldUnits(kLowestLand, true)));
    else high[j] = std::min(high[j], -1);
    if (j > 0) low[j] = std::max(low[j], low[j - 1] + offset), high[j] = std::min(high[j], high[j - 1] + offset + span);
    if (low[j] > high[j]) return false;
  }
  if (values) {
    values->assign(n, 0);
    (*values)[n - 1] = std::clamp(int(units[n - 1]), low[n - 1], high[n - 1]);
    for (std::size_t j = n - 1; j > 0; --j)
      (*values)[j - 1] = std::clamp(int(units[j - 1]), std::max(low[j - 1], (*values)[j] - offset - span),
                                    std::min(high[j - 1], (*values)[j] - offset));
  }
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeWorldTile(const std::vector<int16_t>& units, const std::vector<uint8_t>& land, int* changed) {
  if (units.size() != std::size_t(kS) || land.size() != std::size_t(kS)) throw SourceError("world tile has the wrong size");
  const bool whole = std::all_of(land.begin(), land.end(), [&](uint8_t l) { return l == land[0]; });
  // Flag bit: 0 land, 1 sea; carried in the lowest bit when not whole.
  auto flag = [&](int j) { return land[std::size_t(j)] ? 0 : 1; };
  // Steps of at most 9 bits span 511 units, or 255 beside a flag bit.
  const int span = whole ? 511 : 255;
  int lowest = 0x7FFF, highest = -0x8000;
  for (int j = 1; j < kS; ++j) {
    const int d = units[std::size_t(j)] - units[std::size_t(j - 1)];
    lowest = std::min(lowest, d), highest = std::max(highest, d);
  }
  std::vector<int> value(units.begin(), units.end());
  int offset = lowest;
  if (highest - lowest > span) {
    // Too steep: the values nearest the wanted ones whose steps fit, with
    // the smallest largest difference over every offset, each sample kept
    // to its kind.
    auto fits = [&](int err, std::vector<int>* values) {
      for (int o = lowest; o <= highest - span; ++o)
        if (FitSteps(units, land, o, span, err, values)) return offset = o, true;
      return false;
    };
    int lo = 1, hi = 0x7FFF;
    if (!fits(hi, nullptr)) throw SourceError("a world tile whose steps fit no offset");
    while (lo < hi) {
      const int err = (lo + hi) / 2;
      if (fits(err, nullptr)) hi = err;
      else lo = err + 1;
    }
    fits(lo, &value);
  }
  if (changed) {
    *changed = 0;
    for (int j = 0; j < kS; ++j) *changed = std::max(*changed, std::abs(value[std::size_t(j)] - units[std::size_t(j)]));
  }
  std::vector<uint32_t> raw;
  for (int j = 1; j < kS; ++j) {
    const uint32_t d = uint32_t(value[std::size_t(j)] - value[std::size_t(j - 1)] - offset);
    raw.push_back(whole ? d : 2 * d + uint32_t(flag(j)));
  }
  const int n = BitsFor(*std::max_element(raw.begin(), raw.end()));
  const int v0 = value[0];
  const int base = whole ? v0 : 2 * v0 + (v0 < 0 ? -flag(0) : flag(0));
  BitWriter plain;
  for (uint32_t v : raw) plain.Put(v, n);
  const std::vector<uint8_t> coded = RunLengthSteps(raw, n);
  const bool rle = coded.size() < plain.Bytes().size();
  const std::vector<uint8_t>& payload = rle ? coded : plain.Bytes();
  std::vector<uint8_t> out(5);
  out[0] = uint8_t(n | (whole ? 16 : 0) | (whole && !land[0] ? 32 : 0) | (rle ? 64 : 0));
  platform::PutI16(&out[1], int16_t(base));
  platform::PutI16(&out[3], int16_t(offset));
  out.insert(out.end(), payload.begin(), payload.end());
  if (out.size() > 255) throw SourceError("world tile longer than 255 bytes");
  return out;
}

WorldMapFiles EncodeWorldMap(const std::vector<uint8_t>& mask, const ElevationSource* heights) {
  const std::vector<int16_t> elevation = heights ? WorldElevations(mask, *heights) : WorldElevations(mask);
  WorldMapFiles f;
  platform::ByteWriter head;
  for (int v : {0, kWorldSamplesPerDegree, kWorldMetresPerUnit, kWorldSamplesPerDegree, kWorldRunBits})
    head.I16(int16_t(v));
  f.dat = head.Bytes();
  std::vector<int16_t> units(kS);
  std::vector<uint8_t> land(kS);
  // Tile (r, c): r = -90..89 rows of 1° from the north pole, c = -180..179
  // the east longitude of the tile's western edge.
  for (int r = -90; r < 90; ++r)
    for (int c = -180; c < 180; ++c) {
      for (int i = 0; i < kWorldSamplesPerDegree; ++i)
        for (int k = 0; k < kWorldSamplesPerDegree; ++k) {
          const std::size_t s = std::size_t((r + 90) * kWorldSamplesPerDegree + i) * kWorldColumns +
                                std::size_t((c + 180) * kWorldSamplesPerDegree + k);
          units[std::size_t(i * kWorldSamplesPerDegree + k)] = WorldUnits(elevation[s], mask[s] != 0);
          land[std::size_t(i * kWorldSamplesPerDegree + k)] = mask[s];
        }
      int change = 0;
      const std::vector<uint8_t> tile = EncodeWorldTile(units, land, &change);
      f.steepTiles += change > 0;
      f.largestChange = std::max(f.largestChange, change * kWorldMetresPerUnit);
      f.idx.push_back(uint8_t(tile.size()));
      f.dat.insert(f.dat.end(), tile.begin(), tile.end());
    }
  return f;
}

std::vector<LonLatRing> ReadTopoJsonBorders(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBinaryFile(path);
  const QJsonDocument doc = QJsonDocument::fromJson(
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
  if (doc.isNull()) throw SourceError(path + ": not valid JSON");
  const QJsonObject top = doc.object();
  const QJsonArray scale = top.value("transform").toObject().value("scale").toArray();
  const QJsonArray translate = top.value("transform").toObject().value("translate").toArray();
  if (scale.size() != 2 || translate.size() != 2) throw SourceError(path + ": no quantisation transform");
  const QJsonArray arcs = top.value("arcs").toArray();
  // Which countries use each arc (either way round).
  std::vector<std::vector<int>> users(std::size_t(arcs.size()));
  const QJsonArray countries = top.value("objects").toObject().value("countries").toObject().value("geometries").toArray();
  for (int g = 0; g < countries.size(); ++g) {
    const QJsonObject geo = countries[g].toObject();
    QJsonArray polygons;
    if (geo.value("type").toString() == "Polygon") polygons.append(geo.value("arcs"));
    else polygons = geo.value("arcs").toArray();
    for (const QJsonValue& poly : polygons)
      for (const QJsonValue& ring : poly.toArray())
        for (const QJsonValue& iv : ring.toArray()) {
          int i = iv.toInt();
          if (i < 0) i = ~i;
          if (i >= 0 && i < arcs.size() && (users[std::size_t(i)].empty() || users[std::size_t(i)].back() != g))
            users[std::size_t(i)].push_back(g);
        }
  }
  if (countries.isEmpty()) throw SourceError(path + ": no countries");
  // The shared arcs, decoded (quantised, delta-encoded positions).
  std::vector<LonLatRing> borders;
  for (int a = 0; a < arcs.size(); ++a) {
    if (users[std::size_t(a)].size() < 2) continue;
    LonLatRing line;
    double x = 0, y = 0;
    for (const QJsonValue& pv : arcs[a].toArray()) {
      const QJsonArray p = pv.toArray();
      if (p.size() < 2) throw SourceError(path + ": bad arc point");
      x += p[0].toDouble(), y += p[1].toDouble();
      line.push_back({x * scale[0].toDouble() + translate[0].toDouble(), y * scale[1].toDouble() + translate[1].toDouble()});
    }
    if (line.size() > 1) borders.push_back(std::move(line));
  }
  return borders;
}

int BorderRegion(const LonLatRing& line) {
  const auto [lon, lat] = line[line.size() / 2];
  if (lon < -30) return lat >= 8 ? 0 : 1;
  if (lat >= 36 && lon < 40) return 2;
  if (lon < 52 && (lat < 12 || (lat < 36 && lon < 34.5))) return 4;
  return 3;
}

std::vector<uint8_t> EncodeBoundaryFile(const std::vector<BoundaryLine>& lines) {
  platform::ByteWriter segs;
  struct Entry {
    int32_t n, s, e, w, offset;
    int16_t bytes, cls;
  };
  std::vector<Entry> entries;
  int32_t largest = 0;
  // Lines longer than a segment can hold (16-bit byte size) are split.
  constexpr std::size_t kMaxPoints = 4000;
  std::vector<BoundaryLine> pieces;
  for (const BoundaryLine& l : lines)
    for (std::size_t from = 0; from < l.points.size(); from += kMaxPoints - 1) {
      const std::size_t to = std::min(l.points.size(), from + kMaxPoints);
      pieces.push_back({l.cls, LonLatRing(l.points.begin() + long(from), l.points.begin() + long(to))});
      if (to == l.points.size()) break;
    }
  for (const BoundaryLine& l : pieces) {
    if (l.points.empty()) continue;
    std::vector<std::pair<int32_t, int32_t>> pts;
    for (const auto& [lon, lat] : l.points)
      pts.push_back({int32_t(std::lround(lon * 3600)), int32_t(std::lround(lat * 3600))});
    platform::ByteWriter data;
    for (std::size_t i = 1; i < pts.size(); ++i) {
      const int32_t dx = pts[i].first - pts[i - 1].first, dy = pts[i].second - pts[i - 1].second;
      if (dx >= -64 && dx <= 63 && dy >= -128 && dy <= 127) {
        const uint8_t hi = dx >= 0 ? uint8_t(dx | 0x40) : uint8_t(dx & 0xFF);
        data.U16(uint16_t(hi << 8 | uint8_t(int8_t(dy))));
      } else {
        for (int32_t d : {dx, dy}) {
          data.U16(uint16_t((uint32_t(d) >> 16) & ~0x4000u));
          data.U16(uint16_t(uint32_t(d) & 0xFFFF));
        }
      }
    }
    Entry e{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 0, int16_t(data.Size()), l.cls};
    for (const auto& [x, y] : pts)
      e.n = std::max(e.n, y), e.s = std::min(e.s, y), e.e = std::max(e.e, x), e.w = std::min(e.w, x);
    e.offset = int32_t(segs.Size());
    segs.I32(pts[0].first);
    segs.I32(pts[0].second);
    segs.I32(0);
    segs.U16(uint16_t(pts.size() - 1));
    segs.U16(0);
    segs.Raw(data.Bytes().data(), data.Size());
    largest = std::max(largest, int32_t(data.Size() / 2));
    entries.push_back(e);
  }
  platform::ByteWriter out;
  const int32_t indexOffset = 40 + int32_t(segs.Size());
  out.I32(0x20770002);
  out.I32(indexOffset);
  out.I32(int32_t(entries.size()));
  out.I32(int32_t(entries.size() * 28));
  out.I32(largest);
  out.Zeros(20);
  out.Raw(segs.Bytes().data(), segs.Size());
  for (const Entry& e : entries) {
    out.I32(0);
    for (int32_t v : {e.n, e.s, e.e, e.w, e.offset + 40}) out.I32(v);
    out.I16(e.bytes);
    out.I16(e.cls);
  }
  return out.Bytes();
}

}  // namespace mkdata
