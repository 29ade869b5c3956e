#include "data/state_borders.h"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>

#include "astro/trig.h"
#include "data/common.h"

namespace mkdata {

namespace {

// A longitude value of 65535 opens a new ring.
constexpr uint16_t kRingMark = 65535;
// Kilometres per degree of latitude (mean; the tolerance needs no more).
constexpr double kKmPerDegree = 111.2;
// Side of the cells of the edge index, degrees.
constexpr double kCellDegrees = 0.05;

// An open netCDF file, closed when it goes.
class NcFile {
 public:
  explicit NcFile(const std::string& path) : path_(path) {
    if (const int status = nc_open(path.c_str(), NC_NOWRITE, &id_); status != NC_NOERR)
      throw SourceError(path + ": " + nc_strerror(status));
  }
  ~NcFile() { nc_close(id_); }
  NcFile(const NcFile&) = delete;
  NcFile& operator=(const NcFile&) = delete;

  // The raw values of a one-dimensional coordinate variable and its
  // attributes "min" and "scale"; false when the file has no such variable.
  bool Coordinate(const std::string& name, std::vector<uint16_t>& raw, double& min, double& scale) const {
    int var = 0, ndims = 0, dim = 0;
    if (nc_inq_varid(id_, name.c_str(), &var) != NC_NOERR) return false;
    std::size_t length = 0;
    if (nc_inq_varndims(id_, var, &ndims) != NC_NOERR || ndims != 1 || nc_inq_vardimid(id_, var, &dim) != NC_NOERR ||
        nc_inq_dimlen(id_, dim, &length) != NC_NOERR)
      throw SourceError(path_ + ": " + name + " is not a list of values");
    if (nc_get_att_double(id_, var, "min", &min) != NC_NOERR ||
        nc_get_att_double(id_, var, "scale", &scale) != NC_NOERR || !std::isfinite(min) || !(scale > 0))
      throw SourceError(path_ + ": " + name + " has no usable \"min\" and \"scale\"");
    raw.resize(length);
    if (length > 0 && nc_get_var_ushort(id_, var, raw.data()) != NC_NOERR)
      throw SourceError(path_ + ": " + name + " cannot be read as 16-bit values");
    return true;
  }

 private:
  std::string path_;
  int id_ = -1;
};

// All outline points in one array; the edge starting at point i ends at
// point Next[i] (the ring's first point for its last point).
struct Outlines {
  std::vector<std::pair<double, double>> Points;
  std::vector<uint32_t> Next;
  std::vector<uint16_t> Area;
  struct Ring {
    uint16_t area;
    uint32_t first, count;
  };
  std::vector<Ring> Rings;
};

// Horizontal km per degree of longitude at a latitude (held above 0 near
// the poles).
double KmPerLonDegree(double lat) { return kKmPerDegree * std::max(std::cos(std::min(std::fabs(lat), 85.0) * kDegToRad), 0.087); }

// Distance in km from p to the segment a-b, in a flat frame about p.
double DistanceKm(std::pair<double, double> p, std::pair<double, double> a, std::pair<double, double> b) {
  const double kx = KmPerLonDegree(p.second);
  const double ax = (a.first - p.first) * kx, ay = (a.second - p.second) * kKmPerDegree;
  const double bx = (b.first - p.first) * kx, by = (b.second - p.second) * kKmPerDegree;
  const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
  const double t = len2 > 0 ? std::clamp(-(ax * dx + ay * dy) / len2, 0.0, 1.0) : 0.0;
  return std::hypot(ax + t * dx, ay + t * dy);
}

// The edges by the cells they pass within the tolerance of: entries
// sorted by cell, then area, so that a query skips its own area's edges.
class EdgeIndex {
 public:
  EdgeIndex(const Outlines& o, double toleranceKm) : o_(o), tol_(toleranceKm) {
    for (uint32_t i = 0; i < o.Points.size(); ++i) {
      const auto [x1, y1] = o.Points[i];
      const auto [x2, y2] = o.Points[o.Next[i]];
      const double padY = tol_ / kKmPerDegree;
      const double padX = tol_ / KmPerLonDegree(std::max(std::fabs(y1), std::fabs(y2)));
      for (int64_t cx = Cell(std::min(x1, x2) - padX + 360.0); cx <= Cell(std::max(x1, x2) + padX + 360.0); ++cx)
        for (int64_t cy = Cell(std::min(y1, y2) - padY + 90.0); cy <= Cell(std::max(y1, y2) + padY + 90.0); ++cy)
          entries_.push_back({Key(cx, cy, o.Area[i]), i});
    }
    std::sort(entries_.begin(), entries_.end());
  }

  // The areas other than `self` whose outline passes within the tolerance
  // of p, in ascending order.
  std::vector<uint16_t> Near(std::pair<double, double> p, uint16_t self) const {
    std::vector<uint16_t> areas;
    const int64_t cx = Cell(p.first + 360.0), cy = Cell(p.second + 90.0);
    auto from = std::lower_bound(entries_.begin(), entries_.end(), Entry{Key(cx, cy, 0), 0});
    const auto to = std::lower_bound(from, entries_.end(), Entry{Key(cx, cy, 0xFFFF) + 1, 0});
    while (from != to) {
      const uint16_t area = uint16_t(from->key & 0xFFFF);
      const auto next = std::lower_bound(from, to, Entry{Key(cx, cy, area) + 1, 0});
      if (area != self)
        for (auto e = from; e != next; ++e)
          if (DistanceKm(p, o_.Points[e->edge], o_.Points[o_.Next[e->edge]]) <= tol_) {
            areas.push_back(area);
            break;
          }
      from = next;
    }
    return areas;
  }

 private:
  struct Entry {
    uint64_t key;
    uint32_t edge;
    bool operator<(const Entry& o) const { return key != o.key ? key < o.key : edge < o.edge; }
  };
  static int64_t Cell(double v) { return int64_t(std::floor(v / kCellDegrees)); }
  static uint64_t Key(int64_t cx, int64_t cy, uint16_t area) {
    return uint64_t(cx & 0xFFFF) << 32 | uint64_t(cy & 0xFFFF) << 16 | area;
  }
  const Outlines& o_;
  double tol_;
  std::vector<Entry> entries_;
};

// Douglas-Peucker over a polyline, distances in degrees of latitude (a
// longitude step counted by the cosine of the latitude).
LonLatRing Simplify(const LonLatRing& line, double tolerance) {
  if (line.size() < 3 || tolerance <= 0) return line;
  std::vector<char> keep(line.size(), 0);
  keep.front() = keep.back() = 1;
  std::vector<std::pair<std::size_t, std::size_t>> stack = {{0, line.size() - 1}};
  while (!stack.empty()) {
    const auto [a, b] = stack.back();
    stack.pop_back();
    double worst = 0;
    std::size_t at = a;
    for (std::size_t i = a + 1; i < b; ++i) {
      const double d = DistanceKm(line[i], line[a], line[b]) / kKmPerDegree;
      if (d > worst) worst = d, at = i;
    }
    if (worst > tolerance) {
      keep[at] = 1;
      stack.push_back({a, at});
      stack.push_back({at, b});
    }
  }
  LonLatRing out;
  for (std::size_t i = 0; i < line.size(); ++i)
    if (keep[i]) out.push_back(line[i]);
  return out;
}

// Length of a polyline, km.
double LengthKm(const LonLatRing& line) {
  double km = 0;
  for (std::size_t i = 1; i < line.size(); ++i) km += DistanceKm(line[i], line[i - 1], line[i - 1]);
  return km;
}

// Longitude brought into [-180, 180).
double Wrap180(double lon) {
  const double w = WrapAngle(lon, -180.0, 180.0);
  return w == 180.0 ? -180.0 : w;
}

}  // namespace

std::vector<std::string> ReadDcwStateCodes(const std::string& listPath, const std::vector<std::string>& countries) {
  const std::string text = ReadTextFile(listPath);
  std::vector<std::string> codes;
  for (std::string_view line : SplitLines(text)) {
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t a = line.find(' ');
    if (a == std::string_view::npos) continue;
    const std::string_view country = line.substr(0, a);
    const std::string_view rest = Trim(line.substr(a + 1));
    const std::string_view state = rest.substr(0, rest.find(' '));
    if (state.empty() || std::find(countries.begin(), countries.end(), country) == countries.end()) continue;
    codes.push_back(std::string(country) + std::string(state));
  }
  return codes;
}

std::vector<DcwArea> ReadDcwAreas(const std::string& path, const std::vector<std::string>& codes) {
  const NcFile file(path);
  std::vector<DcwArea> areas;
  for (const std::string& code : codes) {
    std::vector<uint16_t> x, y;
    double minX = 0, scaleX = 1, minY = 0, scaleY = 1;
    if (!file.Coordinate(code + "_lon", x, minX, scaleX)) continue;
    if (!file.Coordinate(code + "_lat", y, minY, scaleY) || y.size() != x.size())
      throw SourceError(path + ": " + code + "_lat does not match " + code + "_lon");
    DcwArea area{code, {}};
    LonLatRing ring;
    auto close = [&] {
      if (ring.size() > 1) area.rings.push_back(std::move(ring));
      ring.clear();
    };
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (x[i] == kRingMark) {
        close();
        continue;
      }
      const double lat = minY + y[i] / scaleY;
      if (std::fabs(lat) > 90.0) throw SourceError(path + ": " + code + " has a latitude beyond the pole");
      ring.push_back({minX + x[i] / scaleX, lat});
    }
    close();
    areas.push_back(std::move(area));
  }
  return areas;
}

std::vector<BoundaryLine> SharedBoundaries(const std::vector<DcwArea>& areas, double toleranceKm, double simplifyDeg,
                                           double shortestKm) {
  // Every ring as a closed chain of edges (a repeated first point dropped).
  Outlines o;
  for (std::size_t a = 0; a < areas.size() && a < 0xFFFF; ++a)
    for (const LonLatRing& r : areas[a].rings) {
      std::size_t n = r.size();
      if (n > 1 && r.front() == r.back()) --n;
      if (n < 2) continue;
      const uint32_t first = uint32_t(o.Points.size());
      for (std::size_t i = 0; i < n; ++i) {
        o.Points.push_back(r[i]);
        o.Next.push_back(i + 1 < n ? first + uint32_t(i) + 1 : first);
        o.Area.push_back(uint16_t(a));
      }
      o.Rings.push_back({uint16_t(a), first, uint32_t(n)});
    }
  const EdgeIndex index(o, toleranceKm);
  auto country = [&](uint16_t a) { return areas[a].code.substr(0, 2); };

  std::vector<BoundaryLine> lines;
  for (const Outlines::Ring& ring : o.Rings) {
    // The class of each edge: 0 unless its ends and middle lie along an
    // area listed later (the same area for all three).
    std::vector<int16_t> cls(ring.count, 0);
    std::vector<uint16_t> nearStart = index.Near(o.Points[ring.first], ring.area);
    for (uint32_t k = 0; k < ring.count; ++k) {
      const uint32_t i = ring.first + k;
      const auto p = o.Points[i], q = o.Points[o.Next[i]];
      std::vector<uint16_t> nearEnd = index.Near(q, ring.area);
      std::vector<uint16_t> both;
      std::set_intersection(nearStart.begin(), nearStart.end(), nearEnd.begin(), nearEnd.end(),
                            std::back_inserter(both));
      const auto later = std::upper_bound(both.begin(), both.end(), ring.area);
      if (later != both.end()) {
        const std::vector<uint16_t> mid = index.Near({(p.first + q.first) / 2, (p.second + q.second) / 2}, ring.area);
        for (auto b = later; b != both.end(); ++b)
          if (std::binary_search(mid.begin(), mid.end(), *b)) {
            cls[k] = country(*b) == country(ring.area) ? 1 : 2;
            break;
          }
      }
      nearStart = std::move(nearEnd);
    }
    // Runs of edges of one class, the ring read from an edge where the
    // class changes (a ring wholly along one area stays one closed line).
    uint32_t start = 0;
    while (start < ring.count && cls[start] == cls[(start + ring.count - 1) % ring.count]) ++start;
    if (start == ring.count) start = 0;
    for (uint32_t n = 0; n < ring.count;) {
      const uint32_t k = (start + n) % ring.count;
      if (cls[k] == 0) {
        ++n;
        continue;
      }
      BoundaryLine line{cls[k], {o.Points[ring.first + k]}};
      while (n < ring.count && cls[(start + n) % ring.count] == line.cls) {
        line.points.push_back(o.Points[o.Next[ring.first + (start + n) % ring.count]]);
        ++n;
      }
      if (LengthKm(line.points) < shortestKm) continue;
      line.points = Simplify(line.points, simplifyDeg);
      for (auto& pt : line.points) pt.first = Wrap180(pt.first);
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

StateBoundaryFile BuildStateBoundaryFile(const std::string& folder) {
  StateBoundaryFile f;
  const std::string nc = folder + kDcwFile, list = folder + kDcwStatesFile;
  for (const std::string& path : {nc, list})
    if (!std::ifstream(path)) {
      f.missing = "Debian's gmt-dcw package is not installed (" + path +
                  " not found): no state or province boundaries written; install it with "
                  "apt-get install gmt-dcw (deps.sh does) and run noctra-mkdata again";
      f.bytes = EncodeBoundaryFile({});
      f.summary = "0 state and province boundary lines written (gmt-dcw missing)";
      return f;
    }
  const std::vector<DcwArea> areas = ReadDcwAreas(nc, ReadDcwStateCodes(list, {"US", "CA"}));
  // Stretches between two countries (class 2) are left to the national
  // boundary files, which the map draws dash-dot over the state lines: a
  // solid state line under them would hide the national pattern.
  std::vector<BoundaryLine> lines = SharedBoundaries(areas, 0.5, 0.002, 2.0);
  std::erase_if(lines, [](const BoundaryLine& l) { return l.cls != 1; });
  std::size_t points = 0;
  for (const BoundaryLine& l : lines) points += l.points.size();
  f.bytes = EncodeBoundaryFile(lines);
  f.summary = std::to_string(lines.size()) + " state and province boundary lines (" + std::to_string(points) +
              " points) written from the outlines of " + std::to_string(areas.size()) +
              " US states and Canadian provinces and territories (gmt-dcw)";
  return f;
}

}  // namespace mkdata
