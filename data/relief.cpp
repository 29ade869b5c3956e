#include "data/relief.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <deque>

#include "data/common.h"
#include "data/elevation.h"
#include "platform/codec.h"
#include "platform/float_to_int.h"

namespace mkdata {

namespace {

// Quantised positions of the land file reach a hair beyond ±180° and ±90°.
constexpr double kEdgeSlack = 1e-6;

}  // namespace

std::vector<LonLatRing> ReadTopoJsonLand(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBinaryFile(path);
  QJsonParseError err{};
  const QJsonDocument doc = QJsonDocument::fromJson(
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())), &err);
  if (doc.isNull()) throw SourceError(path + ": not valid JSON");
  const QJsonObject top = doc.object();
  // Quantisation: position = quantised value × scale + translate.
  const QJsonObject tr = top.value("transform").toObject();
  const QJsonArray scale = tr.value("scale").toArray(), translate = tr.value("translate").toArray();
  const bool quantised = scale.size() == 2 && translate.size() == 2;
  const double sx = quantised ? scale[0].toDouble() : 1, sy = quantised ? scale[1].toDouble() : 1;
  const double tx = quantised ? translate[0].toDouble() : 0, ty = quantised ? translate[1].toDouble() : 0;
  // Decode the arcs (delta-encoded when quantised).
  std::vector<LonLatRing> arcs;
  for (const QJsonValue& av : top.value("arcs").toArray()) {
    LonLatRing arc;
    double x = 0, y = 0;
    for (const QJsonValue& pv : av.toArray()) {
      const QJsonArray p = pv.toArray();
      if (p.size() < 2) throw SourceError(path + ": bad arc point");
      std::pair<double, double> lonLat;
      if (quantised) {
        x += p[0].toDouble();
        y += p[1].toDouble();
        lonLat = {x * sx + tx, y * sy + ty};
      } else {
        lonLat = {p[0].toDouble(), p[1].toDouble()};
      }
      // A point off the globe (or not a number) means a damaged file.
      if (!(std::fabs(lonLat.first) <= 180.0 + kEdgeSlack) || !(std::fabs(lonLat.second) <= 90.0 + kEdgeSlack))
        throw SourceError(path + ": an arc point lies off the globe");
      arc.push_back(lonLat);
    }
    arcs.push_back(std::move(arc));
  }
  // Rings of the land polygons: each a list of arc indices, ~i meaning arc
  // i reversed; consecutive arcs share their joining point.
  auto ring = [&](const QJsonArray& indices) {
    LonLatRing r;
    for (const QJsonValue& iv : indices) {
      int i = iv.toInt();
      const bool reversed = i < 0;
      if (reversed) i = ~i;
      if (i < 0 || std::size_t(i) >= arcs.size()) throw SourceError(path + ": bad arc index");
      LonLatRing a = arcs[std::size_t(i)];
      if (reversed) std::reverse(a.begin(), a.end());
      r.insert(r.end(), a.begin() + (r.empty() ? 0 : 1), a.end());
    }
    return r;
  };
  std::vector<LonLatRing> rings;
  const QJsonObject land = top.value("objects").toObject().value("land").toObject();
  QJsonArray geometries = land.value("geometries").toArray();
  if (geometries.isEmpty()) geometries.append(land);
  for (const QJsonValue& gv : geometries) {
    const QJsonObject g = gv.toObject();
    const QString type = g.value("type").toString();
    QJsonArray polygons;
    if (type == "Polygon") polygons.append(g.value("arcs"));
    else if (type == "MultiPolygon") polygons = g.value("arcs").toArray();
    for (const QJsonValue& pv : polygons)
      for (const QJsonValue& rv : pv.toArray()) rings.push_back(ring(rv.toArray()));
  }
  if (rings.empty()) throw SourceError(path + ": no land polygons");
  return rings;
}

// A ring made continuous in longitude (no step of more than 180°, so rings
// cut at the antimeridian become one piece); a ring that goes once around a
// pole (Antarctica) is closed along that pole.
LonLatRing Unwrap(const LonLatRing& ring) {
  LonLatRing out;
  for (const auto& [lon, lat] : ring) {
    double x = lon;
    // Whole turns towards the previous point, in one step.
    if (!out.empty()) x -= 360.0 * std::nearbyint((x - out.back().first) / 360.0);
    out.push_back({x, lat});
  }
  if (out.size() > 1 && std::abs(out.back().first - out.front().first) > 180.0) {
    double meanLat = 0;
    for (const auto& p : out) meanLat += p.second;
    const double pole = meanLat < 0 ? -90.0 : 90.0;
    out.push_back({out.back().first, pole});
    out.push_back({out.front().first, pole});
    out.push_back(out.front());
  }
  return out;
}

std::vector<std::vector<double>> LandFractions(const std::vector<LonLatRing>& ringsIn) {
  constexpr int kSamples = 5;
  std::vector<LonLatRing> rings;
  for (const LonLatRing& r : ringsIn) rings.push_back(Unwrap(r));
  std::vector<std::vector<double>> frac(kReliefRows, std::vector<double>(kReliefColumns, 0.0));
  // The edges by the whole degrees of latitude they touch.
  struct Edge {
    double x1, y1, x2, y2;
  };
  std::vector<std::vector<Edge>> bands(182);
  auto band = [](double lat) {
    return std::clamp(platform::ClampFloatToInt<int>(std::floor(lat)), -90, 91) + 90;
  };
  for (const LonLatRing& r : rings)
    for (std::size_t i = 0; i + 1 < r.size(); ++i) {
      const Edge e{r[i].first, r[i].second, r[i + 1].first, r[i + 1].second};
      for (int b = band(std::min(e.y1, e.y2)); b <= band(std::max(e.y1, e.y2)); ++b) bands[std::size_t(b)].push_back(e);
    }
  std::vector<double> crossings;
  for (int row = 0; row < kReliefRows; ++row) {
    for (int sy = 0; sy < kSamples; ++sy) {
      const double lat = std::clamp(row - 90 + (sy - 2) / double(kSamples), -89.999, 89.999);
      // Longitudes where the rings cross this latitude (half-open rule, so
      // a vertex on the line counts once).
      crossings.clear();
      for (const Edge& e : bands[std::size_t(band(lat))]) {
        const auto [x1, y1, x2, y2] = e;
        if ((y1 <= lat && lat < y2) || (y2 <= lat && lat < y1)) {
          // The unwrapped rings may reach past ±180°: count their copies
          // one turn east and west as well.
          const double x = x1 + (lat - y1) / (y2 - y1) * (x2 - x1);
          for (double shift : {-360.0, 0.0, 360.0}) crossings.push_back(x + shift);
        }
      }
      std::sort(crossings.begin(), crossings.end());
      for (int cell = 0; cell < kReliefColumns; ++cell)
        for (int sx = 0; sx < kSamples; ++sx) {
          double lon = cell + 1 + (sx - 2) / double(kSamples);
          if (lon > 180.0) lon -= 360.0;
          // Inside when an odd number of crossings lie west of the point.
          const auto n = std::lower_bound(crossings.begin(), crossings.end(), lon) - crossings.begin();
          if (n % 2) frac[std::size_t(row)][std::size_t(cell)] += 1.0 / (kSamples * kSamples);
        }
    }
  }
  return frac;
}

int16_t SeaElevation(int distance) {
  if (distance < 0) return -4000;  // no land anywhere
  if (distance <= 1) return -200;
  if (distance == 2) return -2000;
  return -4000;
}

std::vector<uint8_t> EncodeRelief(const std::vector<std::vector<double>>& landFraction, int* landNodes,
                                  const ElevationSource* heights) {
  if (landFraction.size() != std::size_t(kReliefRows)) throw SourceError("relief grid needs 181 rows");
  // Land nodes; the poles by rule.
  std::vector<std::vector<bool>> land(kReliefRows, std::vector<bool>(kReliefColumns, false));
  for (int r = 0; r < kReliefRows; ++r) {
    if (landFraction[std::size_t(r)].size() != std::size_t(kReliefColumns))
      throw SourceError("relief grid needs 360 cells a row");
    for (int c = 0; c < kReliefColumns; ++c)
      land[std::size_t(r)][std::size_t(c)] = r == 0 || (r < kReliefRows - 1 && landFraction[std::size_t(r)][std::size_t(c)] >= 0.5);
  }
  // Distance of every water node from land, in steps to one of the eight
  // neighbours (longitude wraps around).
  std::vector<std::vector<int>> dist(kReliefRows, std::vector<int>(kReliefColumns, -1));
  std::deque<std::pair<int, int>> queue;
  for (int r = 0; r < kReliefRows; ++r)
    for (int c = 0; c < kReliefColumns; ++c)
      if (land[std::size_t(r)][std::size_t(c)]) {
        dist[std::size_t(r)][std::size_t(c)] = 0;
        queue.push_back({r, c});
      }
  while (!queue.empty()) {
    const auto [r, c] = queue.front();
    queue.pop_front();
    for (int dr = -1; dr <= 1; ++dr)
      for (int dc = -1; dc <= 1; ++dc) {
        const int nr = r + dr, nc = (c + dc + kReliefColumns) % kReliefColumns;
        if (nr < 0 || nr >= kReliefRows || dist[std::size_t(nr)][std::size_t(nc)] >= 0) continue;
        dist[std::size_t(nr)][std::size_t(nc)] = dist[std::size_t(r)][std::size_t(c)] + 1;
        queue.push_back({nr, nc});
      }
  }
  std::vector<uint8_t> out(std::size_t(kReliefRows) * kReliefColumns * kReliefCellSize, 0);
  int count = 0;
  for (int r = 0; r < kReliefRows; ++r)
    for (int c = 0; c < kReliefColumns; ++c) {
      uint8_t* p = out.data() + (std::size_t(r) * kReliefColumns + std::size_t(c)) * kReliefCellSize;
      const bool isLand = land[std::size_t(r)][std::size_t(c)];
      count += isLand;
      int16_t e = isLand ? kLandElevation : SeaElevation(dist[std::size_t(r)][std::size_t(c)]);
      if (heights) {
        // The mean over the node's 1° cell (half a cell at the poles).
        const double lat = r - 90, lon = c + 1 > 180 ? c + 1 - 360 : c + 1;
        e = ClampToI16(heights->Surface(std::min(lat + 0.5, 90.0), std::max(lat - 0.5, -90.0), lon - 0.5, lon + 0.5,
                                        isLand, 1));
      }
      platform::PutI16(p, e);
      p[2] = isLand ? 'E' : 'W';
      if (r == 0) platform::PutU32(p + 3, 0x00FFFFFFu);
    }
  if (landNodes) *landNodes = count;
  return out;
}

}  // namespace mkdata
