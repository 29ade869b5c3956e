#include "data/zonecat.h"

#include <algorithm>
#include <cmath>

#include "data/common.h"
#include "platform/codec.h"

namespace mkdata {

namespace {

SkyVector Add(const SkyVector& a, const SkyVector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
SkyVector Scale(const SkyVector& a, double f) { return {a.x * f, a.y * f, a.z * f}; }
double Dot(const SkyVector& a, const SkyVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
SkyVector Cross(const SkyVector& a, const SkyVector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
SkyVector Normalised(const SkyVector& a) { return Scale(a, 1.0 / std::sqrt(Dot(a, a))); }

constexpr int kMaxLevel = 10;
constexpr std::size_t kHeaderBytes = 32;

// The tangent frame of a zone: the centre (the normalised sum of the
// corners), axis 0 towards the east at the centre (north pole × centre,
// normalised) and axis 1 towards the north (centre × axis 0).
struct ZoneFrame {
  SkyVector centre, axis0, axis1;
};

ZoneFrame FrameOf(const ZoneTriangle& t) {
  ZoneFrame f;
  f.centre = Normalised(Add(Add(t.c0, t.c1), t.c2));
  f.axis0 = Normalised(Cross({0, 0, 1}, f.centre));
  f.axis1 = Cross(f.centre, f.axis0);
  return f;
}

// The largest tangent-plane coordinate a corner of the zone reaches: the
// corner's components along the axes divided by its component along the
// centre. The record offsets are scaled so that the largest such value
// over all zones of a level is the record's largest offset.
double CornerReach(const ZoneTriangle& t, const ZoneFrame& f) {
  double reach = 0;
  for (const SkyVector& c : {t.c0, t.c1, t.c2}) {
    const SkyVector d = Add(c, Scale(f.centre, -1.0));
    const double mu0 = Dot(d, f.axis0), mu1 = Dot(d, f.axis1);
    const double k = 1.0 / std::sqrt(1.0 - mu0 * mu0 - mu1 * mu1);
    reach = std::max({reach, std::abs(mu0) * k, std::abs(mu1) * k});
  }
  return reach;
}

// Bits [first, first + width) of a little-endian bit string, width ≤ 32.
uint32_t Bits(const uint8_t* p, int first, int width) {
  uint64_t v = 0;
  for (int i = (first + width - 1) / 8; i >= first / 8; --i) v = (v << 8) | p[i];
  return uint32_t((v >> (first % 8)) & ((uint64_t(1) << width) - 1));
}

// The same bits read as a two's-complement number.
int32_t SignedBits(const uint8_t* p, int first, int width) {
  const uint32_t u = Bits(p, first, width);
  return (u >> (width - 1)) ? int32_t(int64_t(u) - (int64_t(1) << width)) : int32_t(u);
}

// The fields of one record before they are placed on the sky.
struct RawStar {
  int hip = 0;
  int component = 0;
  int32_t x0 = 0, x1 = 0;    // offsets along the zone axes
  int32_t dx0 = 0, dx1 = 0;  // proper motion along the axes, 0.1 mas/yr
  bool hasMotion = false;
  unsigned bv = 0;   // colour index step
  unsigned mag = 0;  // magnitude step
};

// Type 0, 28 bytes: Hipparcos number (24-bit signed) and component byte,
// x0, x1 (i32), colour (u8), magnitude (u8), a spectral index (u16, not
// read), dx0, dx1 and parallax (i32, parallax not read).
RawStar ReadType0(const uint8_t* p) {
  RawStar s;
  s.hip = SignedBits(p, 0, 24);
  s.component = p[3];
  s.x0 = platform::GetI32(p + 4);
  s.x1 = platform::GetI32(p + 8);
  s.bv = p[12];
  s.mag = p[13];
  s.dx0 = platform::GetI32(p + 16);
  s.dx1 = platform::GetI32(p + 20);
  s.hasMotion = true;
  return s;
}

// Type 1, 10 bytes as one 80-bit little-endian string: x0 and x1 (20 bits
// each, signed), dx0 and dx1 (14 bits each, signed), colour (7 bits),
// magnitude (5 bits).
RawStar ReadType1(const uint8_t* p) {
  RawStar s;
  s.x0 = SignedBits(p, 0, 20);
  s.x1 = SignedBits(p, 20, 20);
  s.dx0 = SignedBits(p, 40, 14);
  s.dx1 = SignedBits(p, 54, 14);
  s.bv = Bits(p, 68, 7);
  s.mag = Bits(p, 75, 5);
  s.hasMotion = true;
  return s;
}

// Type 2, 6 bytes as one 48-bit string: x0 and x1 (18 bits each, signed),
// colour (7 bits), magnitude (5 bits).
RawStar ReadType2(const uint8_t* p) {
  RawStar s;
  s.x0 = SignedBits(p, 0, 18);
  s.x1 = SignedBits(p, 18, 18);
  s.bv = Bits(p, 36, 7);
  s.mag = Bits(p, 43, 5);
  return s;
}

struct RecordKind {
  std::size_t bytes;
  double maxOffset;  // the record's largest position offset
  RawStar (*read)(const uint8_t*);
};

const RecordKind kKinds[3] = {
    {28, 2147483647.0, ReadType0},
    {10, double((1 << 19) - 1), ReadType1},
    {6, double((1 << 17) - 1), ReadType2},
};

// Proper motion of the catalogues: units of 0.1 mas/yr.
constexpr double kMotionUnit = 0.1;

// Places a record of zone frame `f` on the sky; `unit` is the tangent-plane
// length of one offset step.
ZoneStar Place(const RawStar& r, const ZoneFrame& f, double unit, const ZoneCatalogue& cat) {
  ZoneStar s;
  s.hip = r.hip;
  s.component = r.component;
  // Direction: the point of the zone's tangent plane, normalised.
  const SkyVector v = Normalised(
      Add(f.centre, Add(Scale(f.axis0, double(r.x0) * unit), Scale(f.axis1, double(r.x1) * unit))));
  s.ra = NormaliseAngle(std::atan2(v.y, v.x));
  s.dec = std::atan2(v.z, std::hypot(v.x, v.y));
  // Proper motion. The record holds the rates of its two offsets, so the
  // direction moves by v = dx0·axis0 + dx1·axis1 in the tangent plane; on
  // the sphere that is w = (p·c)(v − p (p·v)), p the star, c the centre.
  // The catalogues give a motion's east and north parts along the zone
  // axes carried to the star along the great circle from the centre (not
  // along the star's own east and north): read them back along the same
  // carried axes.
  s.hasMotion = r.hasMotion;
  if (r.hasMotion) {
    const SkyVector vel = Add(Scale(f.axis0, r.dx0 * kMotionUnit), Scale(f.axis1, r.dx1 * kMotionUnit));
    const double k = Dot(v, f.centre);
    const SkyVector w = Scale(Add(vel, Scale(v, -Dot(v, vel))), k);
    const SkyVector toStar = Scale(Add(f.centre, v), 1.0 / (1.0 + k));
    const SkyVector east = Add(f.axis0, Scale(toStar, -Dot(f.axis0, v)));
    const SkyVector north = Add(f.axis1, Scale(toStar, -Dot(f.axis1, v)));
    s.pmRA = Dot(w, east);
    s.pmDec = Dot(w, north);
  }
  // Magnitude: lowest magnitude plus the steps; colour: 4/127 per step
  // from -0.5.
  const ZoneCatalogueHeader& h = cat.header;
  s.mag = (double(h.magMin) + double(r.mag) * double(h.magRange) / double(h.magSteps)) / 1000.0;
  s.bv = double(r.bv) * (4.0 / 127.0) - 0.5;
  return s;
}

}  // namespace

std::vector<ZoneTriangle> GeodesicZones(int level) {
  if (level < 0 || level > kMaxLevel) throw SourceError("geodesic grid level " + std::to_string(level) + " out of range");
  // The icosahedron: corners (±a, ±b, 0), (0, ±a, ±b), (±b, 0, ±a) with
  // b = 1 / √(1 + G²), a = b·G, G the golden ratio.
  const double g = 0.5 * (1.0 + std::sqrt(5.0));
  const double b = 1.0 / std::sqrt(1.0 + g * g);
  const double a = b * g;
  const SkyVector corner[12] = {{a, -b, 0},  {a, b, 0},  {-a, b, 0},  {-a, -b, 0}, {0, a, -b},  {0, a, b},
                                {0, -a, b},  {0, -a, -b}, {-b, 0, a}, {b, 0, a},   {b, 0, -a}, {-b, 0, -a}};
  // The faces in zone order, each by its three corners.
  static const int kFaces[20][3] = {{1, 0, 10}, {0, 1, 9},  {0, 9, 6},  {9, 8, 6},  {0, 7, 10},
                                    {6, 7, 0},  {7, 6, 3},  {6, 8, 3},  {11, 10, 7}, {7, 3, 11},
                                    {3, 2, 11}, {2, 3, 8},  {10, 11, 4}, {2, 4, 11}, {5, 4, 2},
                                    {2, 8, 5},  {4, 1, 10}, {4, 5, 1},  {5, 9, 1},  {8, 9, 5}};
  std::vector<ZoneTriangle> zones;
  for (const auto& f : kFaces) zones.push_back({corner[f[0]], corner[f[1]], corner[f[2]]});
  for (int l = 0; l < level; ++l) {
    std::vector<ZoneTriangle> next;
    next.reserve(zones.size() * 4);
    for (const ZoneTriangle& t : zones) {
      // Edge midpoints on the sphere: e0 opposite c0, e1 opposite c1, e2
      // opposite c2.
      const SkyVector e0 = Normalised(Add(t.c1, t.c2));
      const SkyVector e1 = Normalised(Add(t.c2, t.c0));
      const SkyVector e2 = Normalised(Add(t.c0, t.c1));
      next.push_back({t.c0, e2, e1});
      next.push_back({e2, t.c1, e0});
      next.push_back({e1, e0, t.c2});
      next.push_back({e0, e1, e2});
    }
    zones = std::move(next);
  }
  return zones;
}

ZoneCatalogue DecodeZoneCatalogue(const std::vector<uint8_t>& bytes, const std::string& name) {
  auto bad = [&](const std::string& why) { return SourceError(name + ": " + why); };
  if (bytes.size() < kHeaderBytes) throw bad("too short for a star catalogue header");
  const uint8_t* p = bytes.data();
  ZoneCatalogue cat;
  const uint32_t magic = platform::GetU32(p);
  if (magic != kZoneCatalogueMagic) throw bad("not a little-endian zoned star catalogue (bad magic number)");
  ZoneCatalogueHeader& h = cat.header;
  h.type = platform::GetU32(p + 4);
  h.major = platform::GetU32(p + 8);
  h.minor = platform::GetU32(p + 12);
  h.level = platform::GetU32(p + 16);
  h.magMin = platform::GetI32(p + 20);
  h.magRange = platform::GetI32(p + 24);
  h.magSteps = platform::GetI32(p + 28);
  if (h.type > 2) throw bad("unknown record type " + std::to_string(h.type));
  if (h.level > uint32_t(kMaxLevel)) throw bad("grid level " + std::to_string(h.level) + " out of range");
  if (h.magSteps <= 0 || h.magRange <= 0) throw bad("bad magnitude scale");
  cat.magStep = double(h.magRange) / double(h.magSteps) / 1000.0;
  const RecordKind& kind = kKinds[h.type];

  // The zone counts, and the size they imply. The zone table's size is
  // checked against the file before the grid (up to 21 million zones) is
  // built.
  const std::size_t zoneCount = std::size_t(20) << (2 * h.level);
  const std::size_t sizesEnd = kHeaderBytes + 4 * zoneCount;
  if (bytes.size() < sizesEnd) throw bad("zone table cut short");
  const std::vector<ZoneTriangle> zones = GeodesicZones(int(h.level));
  uint64_t total = 0;
  for (std::size_t z = 0; z < zones.size(); ++z) total += platform::GetU32(p + kHeaderBytes + 4 * z);
  if (total > (bytes.size() - sizesEnd) / kind.bytes || sizesEnd + total * kind.bytes != bytes.size())
    throw bad("the zone counts do not match the file size");

  // One offset step in the tangent plane, common to all zones of the level.
  std::vector<ZoneFrame> frames(zones.size());
  double reach = 0;
  for (std::size_t z = 0; z < zones.size(); ++z) {
    frames[z] = FrameOf(zones[z]);
    reach = std::max(reach, CornerReach(zones[z], frames[z]));
  }
  const double unit = reach / kind.maxOffset;

  cat.stars.reserve(std::size_t(total));
  const uint8_t* rec = p + sizesEnd;
  for (std::size_t z = 0; z < zones.size(); ++z) {
    const uint32_t n = platform::GetU32(p + kHeaderBytes + 4 * z);
    for (uint32_t i = 0; i < n; ++i, rec += kind.bytes) {
      ZoneStar& s = cat.stars.emplace_back(Place(kind.read(rec), frames[z], unit, cat));
      s.zone = int(z);
    }
  }
  return cat;
}

ZoneCatalogue ReadZoneCatalogue(const std::string& path) { return DecodeZoneCatalogue(ReadBinaryFile(path), path); }

}  // namespace mkdata
