#include "data/refdata.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include "astro/constellations.h"
#include "data/common.h"
#include "platform/codec.h"
#include "platform/float_to_int.h"

namespace mkdata {

// --- Milky Way ---------------------------------------------------------------------

std::vector<std::vector<SkyPoint>> ReadMilkyWayOutline(const std::string& path) {
  const std::string text = ReadTextFile(path);
  std::vector<std::vector<SkyPoint>> polygons;
  int lineNo = 0;
  for (std::string_view line : SplitLines(text)) {
    ++lineNo;
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    const char cmd = line.front();
    std::istringstream in{std::string(line.substr(1))};
    in.imbue(std::locale::classic());
    double raH = 0, decD = 0;
    if ((cmd != 'M' && cmd != 'D' && cmd != 'S') || !(in >> raH >> decD))
      throw SourceError(path + ": cannot read line " + std::to_string(lineNo));
    if (cmd == 'M' || polygons.empty()) polygons.emplace_back();
    polygons.back().push_back({raH * kHourToRad, decD * kDegToRad});
  }
  if (polygons.empty()) throw SourceError(path + ": no Milky Way outline");
  return polygons;
}

std::vector<uint8_t> EncodeMilkyWay(const std::vector<std::vector<SkyPoint>>& polygons) {
  platform::ByteWriter w;
  for (const auto& poly : polygons) {
    if (poly.empty()) continue;
    for (const SkyPoint& p : poly) {
      w.F64(p.ra);
      w.F64(p.dec);
    }
    // A negative right ascension ends the polygon.
    w.F64(-1.0);
    w.F64(0.0);
  }
  return w.Bytes();
}

// --- Constellation figures ----------------------------------------------------------

std::vector<ConstellationFigure> ReadConstellationFigures(const std::string& path) {
  const std::string text = ReadTextFile(path);
  std::vector<ConstellationFigure> out;
  for (std::string_view line : SplitLines(text)) {
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    // Abbreviation, number of segments, then two Hipparcos numbers each.
    std::istringstream in{std::string(line)};
    ConstellationFigure f;
    int count = 0;
    if (!(in >> f.abbreviation >> count) || count < 0) throw SourceError(path + ": bad figure line");
    for (int i = 0; i < count; ++i) {
      int a = 0, b = 0;
      if (!(in >> a >> b)) throw SourceError(path + ": figure " + f.abbreviation + " is cut short");
      f.segments.push_back({a, b});
    }
    out.push_back(f);
  }
  if (out.empty()) throw SourceError(path + ": no figures");
  return out;
}

namespace {

constexpr double kLineScale = 10430.060040584269;  // 65534 / 2π

LineRecord LinePoint(const SkyPoint& p, uint8_t con) {
  LineRecord r;
  // 0 is the break mark, so a star exactly at 0h takes the next unit.
  r.ra = uint16_t(std::clamp(std::nearbyint(NormaliseAngle(p.ra) * kLineScale), 1.0, 65534.0));
  r.dec = platform::ClampFloatToInt<int16_t>(std::nearbyint(p.dec * kLineScale));
  r.constellation = con;
  return r;
}

}  // namespace

std::vector<LineRecord> BuildConstellationLines(const std::vector<ConstellationFigure>& figures,
                                                const std::function<bool(int, SkyPoint&)>& position,
                                                int* missing) {
  std::vector<LineRecord> out;
  out.push_back(LineRecord{});  // the walk starts at the second record
  for (const ConstellationFigure& f : figures) {
    const int con = ConstellationNumber(f.abbreviation);
    if (!con) throw SourceError("unknown constellation " + f.abbreviation);
    int chainEnd = 0;  // the star the current chain ends at, 0 = none
    for (auto [a, b] : f.segments) {
      SkyPoint pa, pb;
      if (!position(a, pa) || !position(b, pb)) {
        if (missing) ++*missing;
        chainEnd = 0;
        continue;
      }
      // Continue the chain when the segment starts (or ends) at its end.
      if (chainEnd == b) {
        std::swap(a, b);
        std::swap(pa, pb);
      }
      if (chainEnd != a) {
        out.push_back(LineRecord{0, 0, uint8_t(con)});
        out.push_back(LinePoint(pa, uint8_t(con)));
      }
      out.push_back(LinePoint(pb, uint8_t(con)));
      chainEnd = b;
    }
  }
  return out;
}

std::vector<uint8_t> EncodeConstellationLines(const std::vector<LineRecord>& records) {
  platform::ByteWriter w;
  for (const LineRecord& r : records) {
    w.U16(r.ra);
    w.I16(r.dec);
    w.U8(r.constellation);
  }
  return w.Bytes();
}

// --- Gazetteer ---------------------------------------------------------------------------

namespace {

// The gazetteer expands to about 6 MB; far more is a damaged or hostile
// stream.
constexpr std::size_t kMaxGazetteerBytes = std::size_t(64) << 20;

std::vector<uint8_t> Gunzip(const std::vector<uint8_t>& in, const std::string& path) {
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) throw SourceError(path + ": cannot start decompression");
  std::vector<uint8_t> out;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(in.size());
  uint8_t buf[65536];
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    z.next_out = buf;
    z.avail_out = sizeof buf;
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      inflateEnd(&z);
      throw SourceError(path + ": damaged compressed data");
    }
    out.insert(out.end(), buf, buf + (sizeof buf - z.avail_out));
    if (out.size() > kMaxGazetteerBytes) {
      inflateEnd(&z);
      throw SourceError(path + ": expands beyond " + std::to_string(kMaxGazetteerBytes >> 20) + " MB");
    }
    if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) {
      inflateEnd(&z);
      throw SourceError(path + ": compressed data cut short");
    }
  }
  inflateEnd(&z);
  return out;
}

// The shortest serialised location: seven empty strings (a 4-byte length
// each), role, population, two coordinates, altitude, light pollution and
// the user flag.
constexpr std::size_t kMinLocationBytes = 7 * 4 + 2 + 4 + 2 * 8 + 4 + 4 + 1;

// Big-endian reader of the serialised location list.
class StreamReader {
 public:
  StreamReader(const std::vector<uint8_t>& b, const std::string& path) : b_(b), path_(path) {}
  bool AtEnd() const { return pos_ == b_.size(); }
  std::size_t Remaining() const { return b_.size() - pos_; }
  uint32_t U32() {
    Need(4);
    uint32_t v = uint32_t(b_[pos_]) << 24 | uint32_t(b_[pos_ + 1]) << 16 | uint32_t(b_[pos_ + 2]) << 8 | b_[pos_ + 3];
    pos_ += 4;
    return v;
  }
  uint16_t U16() {
    Need(2);
    uint16_t v = uint16_t(b_[pos_] << 8 | b_[pos_ + 1]);
    pos_ += 2;
    return v;
  }
  uint8_t U8() {
    Need(1);
    return b_[pos_++];
  }
  double F64() {
    uint64_t hi = U32(), lo = U32();
    uint64_t u = hi << 32 | lo;
    double d;
    std::memcpy(&d, &u, 8);
    return d;
  }
  // A string: its length in bytes (0xFFFFFFFF for none), then UTF-16
  // big-endian characters.
  std::string String() {
    const uint32_t n = U32();
    if (n == 0xFFFFFFFFu) return {};
    if (n % 2) throw SourceError(path_ + ": damaged text");
    Need(n);
    QString s(qsizetype(n / 2), QChar(0));
    for (uint32_t i = 0; i < n / 2; ++i) s[qsizetype(i)] = QChar(char16_t(b_[pos_ + 2 * i] << 8 | b_[pos_ + 2 * i + 1]));
    pos_ += n;
    return s.toStdString();
  }

 private:
  void Need(std::size_t n) {
    if (b_.size() - pos_ < n) throw SourceError(path_ + ": location list cut short");
  }
  const std::vector<uint8_t>& b_;
  std::string path_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<Location> ReadLocations(const std::string& path) {
  const std::vector<uint8_t> data = Gunzip(ReadBinaryFile(path), path);
  StreamReader r(data, path);
  const uint32_t count = r.U32();
  // Each location takes at least kMinLocationBytes of the stream: a count
  // that the rest cannot hold is refused before anything is allocated.
  if (count == 0 || count > r.Remaining() / kMinLocationBytes)
    throw SourceError(path + ": bad location count");
  std::vector<Location> out;
  out.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    Location l;
    r.String();  // key: "name, region"
    l.name = r.String();
    l.state = r.String();
    l.region = r.String();
    l.role = char(r.U16());
    l.population = int32_t(r.U32());
    l.latitude = r.F64();
    l.longitude = r.F64();
    r.U32();  // altitude
    r.U32();  // light pollution
    l.timeZone = r.String();
    const std::string planet = r.String();
    r.String();  // landscape
    r.U8();      // user location flag
    // The list also holds landing sites on other planets.
    if (planet != "Earth") continue;
    if (!(std::abs(l.latitude) <= 90.0) || !(std::abs(l.longitude) <= 180.0))
      throw SourceError(path + ": a location lies outside the globe");
    out.push_back(l);
  }
  if (!r.AtEnd()) throw SourceError(path + ": unexpected data after the locations");
  return out;
}

// --- Cities -----------------------------------------------------------------------------

int16_t FoldZone(int zone, bool daylightSaving) {
  if (!daylightSaving) return int16_t(zone);
  return int16_t(zone >= 0 ? zone + 100 : zone - 100);
}

bool ZoneOffset(const std::string& ianaName, int year, int& hours, bool& daylightSaving) {
  const QTimeZone tz(QByteArray::fromStdString(ianaName));
  if (!tz.isValid()) return false;
  const QDateTime jan(QDate(year, 1, 15), QTime(12, 0), Qt::UTC);
  const QDateTime jul(QDate(year, 7, 15), QTime(12, 0), Qt::UTC);
  // The standard offset of the summer of the northern hemisphere is the
  // one in force for most of the year on either side.
  hours = int(std::nearbyint(tz.standardTimeOffset(jul) / 3600.0));
  daylightSaving = tz.isDaylightTime(jan) || tz.isDaylightTime(jul);
  return true;
}

std::vector<City> SelectCities(const std::vector<Location>& locations, int year, int* skipped) {
  struct Candidate {
    const Location* loc;
    std::string name;
    int zone;
    bool dst;
  };
  std::vector<Candidate> capitals, others;
  for (const Location& l : locations) {
    if (l.role != 'C' && l.role != 'R' && l.role != 'N') continue;
    Candidate c{&l, RestoreUmlauts(l.name, l.timeZone), 0, false};
    if (c.name.empty() || !ZoneOffset(l.timeZone, year, c.zone, c.dst) || c.zone < -12 || c.zone > 12) {
      if (skipped) ++*skipped;
      continue;
    }
    (l.role == 'C' ? capitals : others).push_back(c);
  }
  auto byPopulation = [](const Candidate& a, const Candidate& b) {
    if (a.loc->population != b.loc->population) return a.loc->population > b.loc->population;
    return a.name < b.name;
  };
  std::sort(capitals.begin(), capitals.end(), byPopulation);
  std::sort(others.begin(), others.end(), byPopulation);
  std::vector<Candidate> chosen(capitals.begin(), capitals.begin() + std::min<std::size_t>(capitals.size(), kCityCount));
  // The most populous other places, at most kPerZone from one time zone, so
  // that the list covers the world rather than the largest countries.
  constexpr int kPerZone = 25;
  std::map<std::string, int> perZone;
  for (const Candidate& c : chosen) ++perZone[c.loc->timeZone];
  std::vector<bool> taken(others.size(), false);
  for (std::size_t i = 0; i < others.size() && chosen.size() < std::size_t(kCityCount); ++i) {
    if (perZone[others[i].loc->timeZone]++ >= kPerZone) continue;
    chosen.push_back(others[i]);
    taken[i] = true;
  }
  // Too few zones for the limit: fill up with the most populous of the rest.
  for (std::size_t i = 0; i < others.size() && chosen.size() < std::size_t(kCityCount); ++i)
    if (!taken[i]) chosen.push_back(others[i]);
  // A name already taken by a capital or a more populous place gets its
  // state or region added.
  std::stable_sort(chosen.begin(), chosen.end(), [&](const Candidate& a, const Candidate& b) {
    if ((a.loc->role == 'C') != (b.loc->role == 'C')) return a.loc->role == 'C';
    return byPopulation(a, b);
  });
  constexpr std::size_t kWidth = 22;
  std::map<std::string, int> seen;
  std::vector<City> out;
  for (const Candidate& c : chosen) {
    std::string name = FitCityName(c.name, kWidth);
    if (seen[name]++ > 0) {
      // A namesake: its state, or the state's initials, or its region of
      // the world, or a state of its own name ("Valencia Valencia"),
      // whichever comes first and fits; otherwise the name stays alone.
      const std::string state = PlainName(RestoreUmlauts(c.loc->state, c.loc->timeZone));
      const bool own = state == name;
      std::string initials = own ? std::string() : RegionInitials(state);
      if (initials.size() < 2) initials.clear();
      for (const std::string& add : {own ? std::string() : state, initials, PlainName(c.loc->region),
                                     own ? state : std::string()})
        if (!add.empty() && platform::CharCount(name + " " + add) <= kWidth) {
          name += " " + add;
          break;
        }
    }
    out.push_back({name, c.loc->latitude, c.loc->longitude, c.zone, c.dst});
  }
  // By name as a reader sorts it: "Ürümqi" among the U's.
  std::vector<std::pair<std::string, City>> keyed;
  keyed.reserve(out.size());
  for (City& c : out) keyed.emplace_back(NameSortKey(c.name), std::move(c));
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
  });
  out.clear();
  for (auto& k : keyed) out.push_back(std::move(k.second));
  return out;
}

std::vector<uint8_t> EncodeCities(const std::vector<City>& cities) {
  if (cities.size() != std::size_t(kCityCount))
    throw SourceError("the city list needs exactly 1474 places, not " + std::to_string(cities.size()));
  platform::ByteWriter w;
  for (const City& c : cities) {
    w.ShortString(c.name, 22);
    w.Real48(c.latitude);
    // Degrees west, 0..360: the loader turns v <= 180 into -v and larger
    // values into 360 - v, giving degrees east again.
    double west = -c.longitudeEast;
    if (west < 0) west += 360.0;
    w.Real48(west);
    w.I16(FoldZone(c.zone, c.daylightSaving));
  }
  return w.Bytes();
}

}  // namespace mkdata
