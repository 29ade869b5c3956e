#include "data/stars.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <map>
#include <cctype>
#include <cmath>
#include <cstring>

#include "astro/constellations.h"
#include "data/common.h"
#include "platform/codec.h"
#include "platform/float_to_int.h"
#include "platform/numfmt.h"

namespace mkdata {

namespace {

// Parses a GeoJSON text; throws SourceError naming the path.
QJsonDocument ParseJson(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBinaryFile(path);
  QJsonParseError err{};
  QJsonDocument doc = QJsonDocument::fromJson(
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())), &err);
  if (doc.isNull()) throw SourceError(path + ": not valid JSON (" + err.errorString().toStdString() + ")");
  return doc;
}

// A JSON value that may be a number or a numeric string; NaN otherwise.
double JsonNumber(const QJsonValue& v) {
  if (v.isDouble()) return v.toDouble();
  if (v.isString()) {
    double d = 0;
    if (ToDouble(v.toString().toStdString(), d)) return d;
  }
  return kNoValue;
}

// Text of the notes: no "|" (ends a note) and no "~" (separates lines).
std::string NoteSafe(std::string s) {
  for (char& c : s)
    if (c == '|' || c == '~' || c == '\r' || c == '\n') c = ' ';
  return s;
}

// A designation with its Greek letters written out in Latin ("α Ori" gives
// "alpha Ori").
std::string LatinGreek(std::string_view s) {
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t len = 0;
    int n = GreekLetterNumber(s.substr(i), &len);
    if (n) {
      out += GreekLetterName(n);
      i += len;
    } else {
      out += s[i++];
    }
  }
  return out;
}

std::string Fixed(double v, int decimals) { return platform::FormatFixed(v, 0, decimals); }

// Julian years from the Hipparcos catalogue epoch J1991.25 to J2000.
constexpr double kYearsFromHipparcosEpoch = 2000.0 - 1991.25;

// Moves a star by its proper motion: (ra, dec) radians, pmRAcosDec = μα·cos δ
// and pmDec = μδ in mas/yr, over `years` Julian years. The motion is a
// straight step in the tangent plane at the star, along the local east and
// north, projected back onto the sphere: no division by cos δ, so it holds
// at the poles; over a few decades the step differs from the great circle
// by far less than a milliarcsecond. Right ascension in [0, 2π).
void MoveByProperMotion(double ra, double dec, double pmRAcosDec, double pmDec, double years, double& raOut,
                        double& decOut) {
  constexpr double kMasToRad = kDegToRad / 3.6e6;
  const double ca = std::cos(ra), sa = std::sin(ra), cd = std::cos(dec), sd = std::sin(dec);
  // Displacement along east (−sin α, cos α, 0) and north (−sin δ cos α, −sin δ sin α, cos δ).
  const double e = pmRAcosDec * years * kMasToRad, n = pmDec * years * kMasToRad;
  const double x = cd * ca - e * sa - n * sd * ca;
  const double y = cd * sa + e * ca - n * sd * sa;
  const double z = sd + n * cd;
  // Back to angles; the length of (x, y, z) does not matter.
  raOut = NormaliseAngle(std::atan2(y, x));
  decOut = std::atan2(z, std::hypot(x, y));
}

}  // namespace

// --- Cross index ----------------------------------------------------------------

std::vector<CrossEntry> ReadCrossIndex(const std::string& path) {
  std::string text = ReadTextFile(path);
  std::vector<CrossEntry> out;
  for (std::string_view line : SplitLines(text)) {
    if (line.empty() || line.front() == '#') continue;
    // HIP, component, SAO, HD, HR; tab separated, empty where unknown.
    std::vector<std::string_view> f = SplitFields(line, '\t');
    if (f.size() < 5) throw SourceError(path + ": a line has fewer than five fields");
    CrossEntry e;
    long v = 0;
    if (!ToInt(f[0], v) || v <= 0) throw SourceError(path + ": bad Hipparcos number");
    e.hip = int(v);
    e.component = std::string(Trim(f[1]));
    if (ToInt(f[2], v)) e.sao = int(v);
    if (ToInt(f[3], v)) e.hd = int(v);
    if (ToInt(f[4], v)) e.hr = int(v);
    out.push_back(e);
  }
  return out;
}

std::vector<const CrossEntry*> SaoOwners(const std::vector<CrossEntry>& cross) {
  std::map<int, const CrossEntry*> owner;
  for (const CrossEntry& e : cross) {
    if (e.sao <= 0) continue;
    auto [it, added] = owner.emplace(e.hip, &e);
    if (!added && e.component < it->second->component) it->second = &e;
  }
  std::vector<const CrossEntry*> out;
  out.reserve(owner.size());
  for (const CrossEntry& e : cross)
    if (e.sao > 0 && owner[e.hip] == &e) out.push_back(&e);
  return out;
}

// --- Designations -----------------------------------------------------------------

int GreekLetterNumber(std::string_view text, std::size_t* length) {
  // UTF-8 Greek small letters: U+03B1 alpha .. U+03C9 omega, without the
  // final sigma U+03C2; U+03D1 (theta symbol) and U+03D5 (phi symbol) are
  // accepted as their letters.
  if (text.size() < 2) return 0;
  unsigned char a = uint8_t(text[0]), b = uint8_t(text[1]);
  int cp = 0;
  if ((a & 0xE0) == 0xC0 && (b & 0xC0) == 0x80) cp = ((a & 0x1F) << 6) | (b & 0x3F);
  int n = 0;
  if (cp >= 0x3B1 && cp <= 0x3C1) n = cp - 0x3B1 + 1;
  else if (cp >= 0x3C3 && cp <= 0x3C9) n = cp - 0x3C3 + 18;
  else if (cp == 0x3D1) n = 8;
  else if (cp == 0x3D5) n = 21;
  if (n && length) *length = 2;
  return n;
}

const char* GreekLetterName(int n) {
  static const char* const kNames[25] = {
      "",      "alpha", "beta", "gamma",   "delta", "epsilon", "zeta",    "eta",   "theta",
      "iota",  "kappa", "lambda", "mu",    "nu",    "xi",      "omicron", "pi",    "rho",
      "sigma", "tau",   "upsilon", "phi",  "chi",   "psi",     "omega"};
  return (n >= 1 && n <= 24) ? kNames[n] : "";
}

std::unordered_map<int, Designation> ReadDesignations(const std::string& path) {
  std::string text = ReadTextFile(path);
  std::unordered_map<int, Designation> out;
  for (std::string_view line : SplitLines(text)) {
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    std::size_t bar = line.find('|');
    if (bar == std::string_view::npos) continue;
    long hip = 0;
    if (!ToInt(line.substr(0, bar), hip) || hip <= 0) continue;
    std::string_view des = Trim(line.substr(bar + 1));
    std::size_t us = des.rfind('_');
    if (us == std::string_view::npos) continue;
    // A double's component after the constellation ("61_Cyg_A").
    char component = 0;
    if (des.size() - us == 2 && des[us + 1] >= 'A' && des[us + 1] <= 'Z' && us > 0) {
      component = des[us + 1];
      des = des.substr(0, us);
      us = des.rfind('_');
      if (us == std::string_view::npos) continue;
    }
    const int con = ConstellationNumber(des.substr(us + 1));
    if (!con) continue;
    std::string_view head = des.substr(0, us);
    Designation& d = out[int(hip)];
    std::size_t len = 0;
    if (int g = GreekLetterNumber(head, &len)) {
      // Bayer letter, optionally followed by one index digit.
      std::string_view rest = head.substr(len);
      int index = 0;
      if (rest.size() == 1 && std::isdigit(uint8_t(rest[0]))) index = rest[0] - '0';
      else if (!rest.empty()) continue;
      d.greek = g;
      d.greekIndex = index;
      d.constellation = con;
    } else {
      // Flamsteed number.
      long fl = 0;
      if (!ToInt(head, fl) || fl <= 0 || fl > 255) continue;
      d.flamsteed = int(fl);
      if (!d.constellation) d.constellation = con;
    }
    if (component) d.component = component;
  }
  // Entries whose designations were all of other kinds carry nothing.
  std::erase_if(out, [](const auto& kv) { return kv.second.constellation == 0; });
  return out;
}

// --- Proper motions, variables, doubles -------------------------------------------

std::unordered_map<int, ProperMotion> ReadProperMotions(const std::string& path) {
  std::string text = ReadTextFile(path);
  std::unordered_map<int, ProperMotion> out;
  for (std::string_view line : SplitLines(text)) {
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string_view> f = SplitFields(line, '\t');
    long hip = 0;
    ProperMotion pm;
    if (f.size() < 3 || !ToInt(f[0], hip) || !ToDouble(f[1], pm.ra) || !ToDouble(f[2], pm.dec)) continue;
    out[int(hip)] = pm;
  }
  return out;
}

std::unordered_map<int, VariableInfo> ReadVariables(const std::string& path) {
  std::string text = ReadTextFile(path);
  std::unordered_map<int, VariableInfo> out;
  for (std::string_view line : SplitLines(text)) {
    if (line.empty() || line.front() == '#') continue;
    // HIP, designation, type, maximum, flag, minimum, second minimum, band,
    // epoch, period, rise duration, spectrum.
    std::vector<std::string_view> f = SplitFields(line, '\t');
    long hip = 0;
    if (f.size() < 12 || !ToInt(f[0], hip)) continue;
    VariableInfo v;
    v.name = std::string(Trim(f[1]));
    v.type = std::string(Trim(f[2]));
    ToDouble(f[3], v.max);
    ToDouble(f[5], v.min);
    v.band = std::string(Trim(f[7]));
    ToDouble(f[9], v.period);
    v.spectrum = std::string(Trim(f[11]));
    out[int(hip)] = v;
  }
  return out;
}

std::unordered_map<int, DoubleInfo> ReadDoubles(const std::string& path) {
  std::string text = ReadTextFile(path);
  std::unordered_map<int, DoubleInfo> out;
  for (std::string_view line : SplitLines(text)) {
    if (line.empty() || line.front() == '#') continue;
    // HIP, WDS designation, year, position angle, separation.
    std::vector<std::string_view> f = SplitFields(line, '\t');
    long hip = 0, year = 0;
    if (f.size() < 5 || !ToInt(f[0], hip)) continue;
    DoubleInfo d;
    d.wds = std::string(Trim(f[1]));
    if (ToInt(f[2], year)) d.year = int(year);
    ToDouble(f[3], d.pa);
    ToDouble(f[4], d.sep);
    out[int(hip)] = d;
  }
  return out;
}

// --- GeoJSON star lists --------------------------------------------------------------

std::unordered_map<int, PositionMag> ReadGeoJsonStars(const std::string& path, int* offSky) {
  QJsonDocument doc = ParseJson(path);
  const QJsonArray features = doc.object().value("features").toArray();
  if (features.isEmpty()) throw SourceError(path + ": no features");
  std::unordered_map<int, PositionMag> out;
  out.reserve(std::size_t(features.size()));
  for (const QJsonValue& fv : features) {
    const QJsonObject f = fv.toObject();
    const int hip = f.value("id").toInt();
    const QJsonArray c = f.value("geometry").toObject().value("coordinates").toArray();
    if (hip <= 0 || c.size() < 2) continue;
    PositionMag p;
    // Longitude is right ascension in degrees folded into -180..180.
    p.raDeg = c[0].toDouble();
    if (p.raDeg < 0) p.raDeg += 360.0;
    p.decDeg = c[1].toDouble();
    // A position off the sky is a damaged entry: left out and counted.
    if (!(p.raDeg >= 0 && p.raDeg <= 360) || !(std::fabs(p.decDeg) <= 90)) {
      if (offSky) ++*offSky;
      continue;
    }
    const QJsonObject props = f.value("properties").toObject();
    p.mag = JsonNumber(props.value("mag"));
    p.bv = JsonNumber(props.value("bv"));
    out[hip] = p;
  }
  return out;
}

std::unordered_map<int, std::string> ReadGeoJsonStarNames(const std::string& path) {
  QJsonDocument doc = ParseJson(path);
  const QJsonObject obj = doc.object();
  std::unordered_map<int, std::string> out;
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    long hip = 0;
    if (!ToInt(it.key().toStdString(), hip) || hip <= 0) continue;
    const std::string name = it.value().toObject().value("name").toString().trimmed().toStdString();
    if (!name.empty()) out[int(hip)] = name;
  }
  return out;
}

// --- Binary star files ------------------------------------------------------------------

std::vector<BinaryStar> ReadBinaryStars(const std::string& path) {
  const std::vector<uint8_t> b = ReadBinaryFile(path);
  auto bad = [&](const std::string& why) { return SourceError(path + ": " + why); };
  // A 124-byte description, then the byte-order mark "SK" (written in the
  // file's byte order), a version byte and the field count.
  constexpr std::size_t kText = 124;
  if (b.size() < kText + 5) throw bad("too short");
  if (b[kText] != 'S' || b[kText + 1] != 'K') throw bad("not a little-endian star data file");
  platform::ByteReader r(b.data(), b.size());
  r.Seek(kText + 3);
  const int fieldCount = r.U16();
  struct Field {
    std::string name;
    int size;
    int scale;
  };
  std::vector<Field> fields;
  for (int i = 0; i < fieldCount; ++i) {
    char name[11] = {};
    r.Raw(name, 10);
    Field f;
    f.name = name;
    f.size = r.U8();
    r.U8();  // type
    f.scale = r.I32();
    fields.push_back(f);
  }
  // The 32-byte record this reader knows.
  static const char* const kNames[] = {"RA", "Dec", "dRA", "dDec", "parallax", "HD",
                                       "mag", "bv_index", "spec_type", "flags", "unused"};
  static const int kSizes[] = {4, 4, 4, 4, 4, 4, 2, 2, 2, 1, 1};
  if (fields.size() != 11) throw bad("unexpected field count");
  for (int i = 0; i < 11; ++i)
    if (fields[i].name != kNames[i] || fields[i].size != kSizes[i]) throw bad("unexpected field " + fields[i].name);
  for (int i : {0, 1, 2, 3, 4, 6, 7})
    if (fields[i].scale <= 0) throw bad("bad scale of " + fields[i].name);
  // Index of sky regions: id, byte offset, record count.
  const uint32_t regions = r.U32();
  if (!r.Ok() || regions == 0 || regions > 1000000) throw bad("bad region index");
  std::vector<BinaryStar> out;
  for (uint32_t k = 0; k < regions; ++k) {
    r.U32();
    const uint32_t offset = r.U32();
    const uint32_t count = r.U32();
    if (!r.Ok()) throw bad("region index cut short");
    if (uint64_t(offset) + uint64_t(count) * 32 > b.size()) throw bad("region beyond the end of the file");
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* p = b.data() + offset + 32 * std::size_t(i);
      BinaryStar s;
      // Right ascension in hours and declination in degrees, scaled.
      const double raH = double(platform::GetI32(p)) / fields[0].scale;
      const double decD = double(platform::GetI32(p + 4)) / fields[1].scale;
      s.pmRA = double(platform::GetI32(p + 8)) / fields[2].scale;
      s.pmDec = double(platform::GetI32(p + 12)) / fields[3].scale;
      const int32_t plx = platform::GetI32(p + 16);
      if (plx > 0) s.parallax = double(plx) / fields[4].scale;
      s.hd = platform::GetI32(p + 20);
      s.mag = double(platform::GetI16(p + 24)) / fields[6].scale;
      s.bv = double(platform::GetI16(p + 26)) / fields[7].scale;
      s.spectral.assign(reinterpret_cast<const char*>(p + 28), 2);
      while (!s.spectral.empty() && (s.spectral.back() == '\0' || s.spectral.back() == ' '))
        s.spectral.pop_back();
      // The positions are the Hipparcos and Tycho catalogue positions at
      // epoch J1991.25; move them by 8.75 years of proper motion to J2000.
      MoveByProperMotion(raH * kHourToRad, decD * kDegToRad, s.pmRA, s.pmDec, kYearsFromHipparcosEpoch, s.ra, s.dec);
      out.push_back(s);
    }
  }
  return out;
}

// --- Merging ---------------------------------------------------------------------------

namespace {

// Angular distance in radians.
double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double s = std::sin(dec1) * std::sin(dec2) + std::cos(dec1) * std::cos(dec2) * std::cos(ra1 - ra2);
  return std::acos(std::clamp(s, -1.0, 1.0));
}

// Stars bucketed by whole degrees of right ascension and declination.
class PositionIndex {
 public:
  void Add(int hip, double ra, double dec) { cells_[Key(Cell(ra, 360), Cell(dec + kPi / 2, 181))].push_back({hip, ra, dec}); }
  // The nearest star within `radius` radians, 0 when none.
  int Nearest(double ra, double dec, double radius) const {
    int best = 0;
    double bestD = radius;
    const int cr = Cell(ra, 360), cd = Cell(dec + kPi / 2, 181);
    // Within about 3° of a pole a cell of right ascension is narrower than
    // the radius may be: every cell of the rows is searched there.
    const bool polar = std::cos(dec) < 0.05;
    const int first = polar ? 0 : cr - 1, last = polar ? 359 : cr + 1;
    for (int dd = -1; dd <= 1; ++dd)
      for (int r = first; r <= last; ++r) {
        auto it = cells_.find(Key((r + 360) % 360, cd + dd));
        if (it == cells_.end()) continue;
        for (const Entry& e : it->second) {
          const double d = Separation(ra, dec, e.ra, e.dec);
          if (d <= bestD) {
            bestD = d;
            best = e.hip;
          }
        }
      }
    return best;
  }

 private:
  struct Entry {
    int hip;
    double ra, dec;
  };
  static int Cell(double angle, int n) { return std::clamp(int(angle / kDegToRad), 0, n - 1); }
  static int Key(int r, int d) { return d * 360 + r; }
  std::unordered_map<int, std::vector<Entry>> cells_;
};

// Gives the stars of the table that every zoned-catalogue record of their
// Hipparcos number places farther than kZoneCheckArcsec away the position
// of the brightest such record, and notes them in t.zoneCorrected.
void CorrectFromZones(const std::vector<const ZoneCatalogue*>& zoned, StarTable& t) {
  constexpr double kLimit = kZoneCheckArcsec / 3600.0 * kDegToRad;
  struct Check {
    double nearest = kPi;                // smallest distance of a record, radians
    const ZoneStar* brightest = nullptr;
  };
  std::unordered_map<int, Check> checks;
  for (const ZoneCatalogue* cat : zoned) {
    for (const ZoneStar& z : cat->stars) {
      if (z.hip <= 0) continue;
      auto it = t.byHip.find(z.hip);
      if (it == t.byHip.end()) continue;
      const CatalogueStar& s = it->second;
      // Distance at the stored epoch, and with the record taken as J1991.25.
      double ra1991 = z.ra, dec1991 = z.dec;
      if (z.hasMotion) MoveByProperMotion(z.ra, z.dec, z.pmRA, z.pmDec, kYearsFromHipparcosEpoch, ra1991, dec1991);
      const double d = std::min(Separation(s.ra, s.dec, z.ra, z.dec), Separation(s.ra, s.dec, ra1991, dec1991));
      Check& c = checks[z.hip];
      c.nearest = std::min(c.nearest, d);
      if (!c.brightest || z.mag < c.brightest->mag) c.brightest = &z;
    }
  }
  for (const auto& [hip, c] : checks) {
    if (c.nearest <= kLimit) continue;
    CatalogueStar& s = t.byHip[hip];
    s.ra = c.brightest->ra;
    s.dec = c.brightest->dec;
    t.zoneCorrected.insert(hip);
  }
}

}  // namespace

StarTable MergeStars(const StarSources& src) {
  StarTable t;
  // Positions, magnitudes and colours of every Hipparcos star.
  for (const auto& [hip, p] : src.positions) {
    CatalogueStar& s = t.byHip[hip];
    s.hip = hip;
    s.ra = NormaliseAngle(p.raDeg * kDegToRad);
    s.dec = p.decDeg * kDegToRad;
    s.mag = p.mag;
    s.bv = p.bv;
  }
  // Positions far from the zoned catalogues' are replaced by theirs.
  CorrectFromZones(src.zoned, t);
  // Proper motions, designations, names, variability and duplicity.
  for (auto& [hip, s] : t.byHip) {
    if (auto it = src.motions.find(hip); it != src.motions.end()) {
      s.pmRA = it->second.ra;
      s.pmDec = it->second.dec;
    }
    if (auto it = src.designations.find(hip); it != src.designations.end()) s.designation = it->second;
    if (auto it = src.names.find(hip); it != src.names.end()) s.name = it->second;
    if (auto it = src.variables.find(hip); it != src.variables.end()) {
      s.variable = &it->second;
      s.spectral = it->second.spectrum;
    }
    if (auto it = src.doubles.find(hip); it != src.doubles.end()) s.duplicity = &it->second;
  }
  // The binary-file stars give spectral types and parallaxes. They are
  // matched by HD number through the cross index, else by position.
  std::unordered_map<int, std::vector<int>> hipsByHd;
  for (const CrossEntry& e : src.cross)
    if (e.hd > 0) hipsByHd[e.hd].push_back(e.hip);
  PositionIndex index;
  for (const auto& [hip, s] : t.byHip) index.Add(hip, s.ra, s.dec);
  constexpr double kMatchRadius = 10.0 / 3600.0 * kDegToRad;
  constexpr double kHdMatchRadius = 60.0 / 3600.0 * kDegToRad;
  for (const BinaryStar& b : src.binaryStars) {
    int hip = 0;
    if (auto it = hipsByHd.find(b.hd); b.hd > 0 && it != hipsByHd.end()) {
      double best = kHdMatchRadius;
      for (int h : it->second) {
        auto st = t.byHip.find(h);
        if (st == t.byHip.end()) continue;
        const double d = Separation(b.ra, b.dec, st->second.ra, st->second.dec);
        if (d <= best) {
          best = d;
          hip = h;
        }
      }
      if (hip) ++t.matchedByHd;
    }
    if (!hip) {
      hip = index.Nearest(b.ra, b.dec, kMatchRadius);
      if (hip) ++t.matchedByPosition;
    }
    if (!hip) {
      t.unmatched.push_back(b);
      continue;
    }
    CatalogueStar& s = t.byHip[hip];
    // A variable-star spectrum with a luminosity class is the fuller type.
    if (s.spectral.empty() || SpectralCode(s.spectral) % 10 == 0) {
      if (SpectralCode(b.spectral) != 0) s.spectral = b.spectral;
    }
    if (std::isnan(s.parallax)) s.parallax = b.parallax;
    if (std::isnan(s.bv)) s.bv = b.bv;
  }
  return t;
}

// --- Spectral code ------------------------------------------------------------------------

uint16_t SpectralCode(std::string_view mk) {
  // Skip prefixes in lower case ("k", "sd", "g") up to the class letter.
  std::size_t i = 0;
  while (i < mk.size() && !std::isupper(uint8_t(mk[i]))) ++i;
  if (i >= mk.size()) return 0;
  int cls = 0;
  switch (mk[i]) {
    case 'O': cls = 1; break;
    case 'B': cls = 2; break;
    case 'A': cls = 3; break;
    case 'F': cls = 4; break;
    case 'G': cls = 5; break;
    case 'K': cls = 6; break;
    case 'M': cls = 7; break;
    case 'R': cls = 8; break;
    case 'N': cls = 9; break;
    case 'C': cls = 9; break;
    case 'S': cls = 10; break;
    case 'Q': cls = 11; break;
    case 'P': cls = 12; break;
    case 'W':
      if (i + 1 < mk.size() && mk[i + 1] == 'N') cls = 14;
      else cls = 13;
      ++i;
      break;
    default: return 0;
  }
  ++i;
  // Subclass digit, '?' or none.
  int sub = 0;
  if (i < mk.size() && std::isdigit(uint8_t(mk[i]))) sub = mk[i] - '0';
  // Luminosity class: the first Roman numeral after the class, before a
  // companion ("+") or a remark in brackets.
  int lum = 0;
  for (; i < mk.size(); ++i) {
    const char c = mk[i];
    if (c == '+' || c == '(') break;
    if (c != 'I' && c != 'V') continue;
    std::size_t j = i;
    std::string roman;
    while (j < mk.size() && (mk[j] == 'I' || mk[j] == 'V')) roman += mk[j++];
    const bool a = j < mk.size() && mk[j] == 'a';
    const bool ab = a && j + 1 < mk.size() && mk[j + 1] == 'b';
    const bool b = j < mk.size() && mk[j] == 'b';
    if (roman == "I") lum = ab ? 1 : a ? 6 : b ? 7 : 1;
    else if (roman == "II") lum = 2;
    else if (roman == "III") lum = 3;
    else if (roman == "IV") lum = 4;
    else if (roman == "V") lum = 5;
    break;
  }
  return uint16_t(cls * 100 + sub * 10 + lum);
}

// --- SAO records ------------------------------------------------------------------------

void EncodeSaoRecord(const SaoRecord& r, uint8_t* p) {
  std::memset(p, 0, kSaoRecordSize);
  platform::PutU16(p + 0, uint16_t((r.hr & 0x3FFF) | (r.variable ? 0x4000 : 0)));
  platform::PutU32(p + 2, r.hd);
  p[6] = r.greekCode;
  p[7] = r.flamsteed;
  p[8] = r.constellation;
  platform::PutI32(p + 9, r.ra);
  platform::PutI16(p + 13, r.pmRA);
  platform::PutI32(p + 15, r.dec);
  platform::PutI16(p + 19, r.pmDec);
  p[21] = r.magnitude;
  p[22] = r.colour;
  platform::PutU16(p + 23, r.spectral);
  platform::PutU16(p + 25, r.parallax);
  platform::PutU32(p + 27, r.noteOffset);
}

namespace {

// μα in mas/yr from μα·cos δ, in a 16-bit field.
int16_t RaMotion(double pmRAcosDec, double dec, int* clamped) {
  const double c = std::cos(dec);
  const double mu = std::abs(c) > 1e-9 ? pmRAcosDec / c : 0.0;
  if (std::abs(std::nearbyint(mu)) > 32767 && clamped) ++*clamped;
  return ClampToI16(mu);
}

}  // namespace

SaoRecord MakeSaoRecord(const CatalogueStar& star, const CrossEntry& ids, int* clamped) {
  SaoRecord r;
  r.hr = uint16_t(std::clamp(ids.hr, 0, 0x3FFF));
  r.variable = star.variable != nullptr;
  r.hd = uint32_t(std::max(ids.hd, 0));
  if (star.designation.greek) r.greekCode = uint8_t(star.designation.greek * 10 + star.designation.greekIndex);
  r.flamsteed = uint8_t(star.designation.flamsteed);
  r.constellation = uint8_t(star.designation.constellation);
  r.ra = AngleToFileUnits(NormaliseAngle(star.ra));
  r.dec = AngleToFileUnits(star.dec);
  r.pmRA = RaMotion(star.pmRA, star.dec, clamped);
  r.pmDec = ClampToI16(star.pmDec);
  if (!std::isnan(star.mag)) r.magnitude = MagnitudeByte(star.mag);
  if (!std::isnan(star.bv)) r.colour = uint8_t(std::clamp(std::nearbyint((star.bv + 0.5) * 40.0), 1.0, 255.0));
  r.spectral = SpectralCode(star.spectral);
  if (!std::isnan(star.parallax) && star.parallax > 0)
    r.parallax = platform::ClampFloatToInt<uint16_t>(std::min(std::nearbyint(star.parallax + 32.0), 65534.0));
  return r;
}

std::vector<std::string> StarNoteLines(const CatalogueStar& star, int sao) {
  std::vector<std::string> lines;
  if (!star.name.empty()) lines.push_back("N:   " + NoteSafe(star.name));
  const Designation& d = star.designation;
  if (d.constellation) {
    std::string id;
    const std::string con = std::string(ConstellationAbbreviations[d.constellation]) +
                            (d.component ? std::string(" ") + d.component : std::string());
    if (d.greek) {
      id = std::string(GreekLetterName(d.greek)) + (d.greekIndex ? std::to_string(d.greekIndex) : "") + " " + con;
      if (d.flamsteed) id += " (" + std::to_string(d.flamsteed) + " " + con + ")";
    } else if (d.flamsteed) {
      id = std::to_string(d.flamsteed) + " " + con;
    }
    if (!id.empty()) lines.push_back("ID:  " + id);
  }
  // The number without a blank: the object search takes the blank out of
  // a query "SAO 49941" and looks for the rest in the notes.
  if (sao > 0) lines.push_back("C:   SAO" + std::to_string(sao));
  if (const VariableInfo* v = star.variable) {
    std::string t = "V:   " + LatinGreek(v->name);
    if (!v->type.empty()) t += ", type " + v->type;
    if (!std::isnan(v->max) && !std::isnan(v->min)) t += ", " + Fixed(v->max, 2) + " to " + Fixed(v->min, 2);
    if (!v->band.empty()) t += " " + v->band;
    if (!std::isnan(v->period) && v->period > 0) t += ", period " + platform::FormatGeneral(v->period, 8) + " d";
    lines.push_back(NoteSafe(t));
  }
  if (const DoubleInfo* w = star.duplicity) {
    std::string t = "D:   WDS " + w->wds;
    if (!std::isnan(w->sep)) t += ", separation " + platform::FormatGeneral(w->sep, 6) + "\"";
    if (!std::isnan(w->pa)) t += ", PA " + platform::FormatGeneral(w->pa, 6) + " deg";
    if (w->year) t += " (" + std::to_string(w->year) + ")";
    lines.push_back(NoteSafe(t));
  }
  return lines;
}

uint32_t NotesText::Add(const std::vector<std::string>& lines) {
  if (lines.empty()) return 0;
  const uint32_t offset = uint32_t(text_.size() + 1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text_ += '~';
    text_ += platform::Utf8ToCp1252(NoteSafe(lines[i]));
  }
  text_ += '|';
  return offset;
}

SaoFileContent BuildSaoFile(const StarTable& table, const std::vector<CrossEntry>& cross) {
  SaoFileContent out;
  const std::vector<const CrossEntry*> owners = SaoOwners(cross);
  for (const CrossEntry& e : cross) out.components += e.sao > 0;
  out.components -= int(owners.size());
  std::set<int> corrected;
  for (const CrossEntry* e : owners) {
    if (e->sao > kSaoRecordCount) continue;
    const auto it = table.byHip.find(e->hip);
    if (it == table.byHip.end()) {
      ++out.noPosition;
      continue;
    }
    SaoRecord r = MakeSaoRecord(it->second, *e, &out.clamped);
    r.noteOffset = out.notes.Add(StarNoteLines(it->second, e->sao));
    out.records[e->sao] = r;
    if (table.zoneCorrected.count(e->hip)) corrected.insert(e->hip);
  }
  out.corrected = int(corrected.size());
  return out;
}

std::vector<uint8_t> EncodeSaoFile(const std::map<int, SaoRecord>& records) {
  std::vector<uint8_t> out(std::size_t(kSaoRecordCount) * kSaoRecordSize, 0);
  for (const auto& [sao, r] : records) {
    if (sao < 1 || sao > kSaoRecordCount) continue;
    EncodeSaoRecord(r, out.data() + std::size_t(sao - 1) * kSaoRecordSize);
  }
  return out;
}

// --- Tycho records ----------------------------------------------------------------------

void EncodeTychoRecord(const TychoRecord& r, uint8_t* p) {
  platform::PutU16(p + 0, r.id1);
  platform::PutU16(p + 2, r.id2);
  p[4] = r.id3;
  platform::PutU32(p + 5, r.carried);
  platform::PutI32(p + 9, r.ra);
  platform::PutI16(p + 13, r.pmRA);
  platform::PutI32(p + 15, r.dec);
  platform::PutI16(p + 19, r.pmDec);
  p[21] = r.brightness;
}

std::vector<uint8_t> EncodeTychoFile(const std::vector<TychoRecord>& records) {
  std::vector<uint8_t> out(records.size() * kTychoRecordSize);
  for (std::size_t i = 0; i < records.size(); ++i) EncodeTychoRecord(records[i], out.data() + i * kTychoRecordSize);
  return out;
}

TychoRecord MakeTychoRecord(double ra, double dec, double pmRAcosDec, double pmDec, double mag, uint32_t carried,
                            int* clamped) {
  TychoRecord r;
  r.carried = carried;
  r.ra = AngleToFileUnits(NormaliseAngle(ra));
  r.dec = AngleToFileUnits(dec);
  r.pmRA = RaMotion(pmRAcosDec, dec, clamped);
  r.pmDec = ClampToI16(pmDec);
  r.brightness = std::isnan(mag) ? 0 : MagnitudeByte(mag);
  return r;
}

TychoFileContent BuildTychoFile(const StarTable& table, const std::set<int>& hipWithSao,
                                const std::vector<const ZoneCatalogue*>& zoned) {
  TychoFileContent out;
  auto add = [&](double ra, double dec, double pmRA, double pmDec, double mag, uint32_t carried) {
    if (std::isnan(mag)) ++out.noMagnitude;
    out.records.push_back(MakeTychoRecord(ra, dec, pmRA, pmDec, mag, carried, &out.clamped));
  };
  // The stars of the other sources: the Hipparcos stars (with and without
  // SAO numbers) and the binary-file stars.
  PositionIndex known;
  for (const auto& [hip, s] : table.byHip) {
    known.Add(hip, s.ra, s.dec);
    if (hipWithSao.count(hip)) continue;
    add(s.ra, s.dec, s.pmRA, s.pmDec, s.mag, uint32_t(hip));
    ++out.hipStars;
    out.corrected += int(table.zoneCorrected.count(hip));
  }
  for (const BinaryStar& b : table.unmatched) {
    known.Add(1, b.ra, b.dec);
    add(b.ra, b.dec, b.pmRA, b.pmDec, b.mag, 0);
    ++out.unmatchedStars;
  }
  // The zoned catalogues hold each star once, split by magnitude: their
  // stars are checked against the other sources only, not against each
  // other (their close pairs are double stars whose parts differ by a
  // magnitude or more).
  constexpr double kRadius = kSameStarArcsec / 3600.0 * kDegToRad;
  std::set<int> hipTaken;
  for (const ZoneCatalogue* cat : zoned) {
    for (const ZoneStar& z : cat->stars) {
      if (z.hip > 0 && (table.byHip.count(z.hip) || hipTaken.count(z.hip))) {
        ++out.knownHip;
        continue;
      }
      if (known.Nearest(z.ra, z.dec, kRadius)) {
        ++out.nearKnown;
        continue;
      }
      if (z.hip > 0) hipTaken.insert(z.hip);
      add(z.ra, z.dec, z.pmRA, z.pmDec, z.mag + cat->magStep / 2, uint32_t(z.hip));
      ++out.zoneStars;
    }
  }
  return out;
}

// --- Bright stars -------------------------------------------------------------------------

std::vector<uint8_t> EncodeBrightStars(const std::vector<BrightStar>& stars) {
  if (stars.size() != std::size_t(kBrightStarCount))
    throw SourceError("the bright-star list needs exactly 45 stars, not " + std::to_string(stars.size()));
  platform::ByteWriter w;
  for (const BrightStar& s : stars) {
    w.F64(s.ra);
    w.F64(s.dec);
    w.F64(s.mag);
    w.ShortString(platform::CutToChars(s.name, 30), 30);
  }
  return w.Bytes();
}

std::vector<BrightStar> SelectBrightStars(const StarTable& table) {
  std::vector<const CatalogueStar*> named;
  for (const auto& [hip, s] : table.byHip)
    if (!s.name.empty() && !std::isnan(s.mag)) named.push_back(&s);
  std::stable_sort(named.begin(), named.end(),
                   [](const CatalogueStar* a, const CatalogueStar* b) { return a->mag < b->mag; });
  std::vector<BrightStar> out;
  for (const CatalogueStar* s : named) {
    if (out.size() == std::size_t(kBrightStarCount)) break;
    out.push_back({s->ra, s->dec, s->mag, s->name});
  }
  return out;
}

}  // namespace mkdata
