// Reader of the zoned binary star catalogues of the stellarium-data package
// ("stars_0_0v0_8.cat" ... "stars_3_1v0_4.cat").
//
// A catalogue divides the sky into the triangles of a geodesic grid: the 20
// faces of an icosahedron, each cut into four at every level. Its layout,
// all little-endian:
//   header   eight 32-bit words: magic 0x835F040A, record type, major and
//            minor version, grid level, lowest magnitude, magnitude range
//            and number of magnitude steps (both magnitudes in 1/1000 mag);
//   sizes    one u32 star count for each of the 20·4^level zones, in zone
//            order;
//   stars    the records of zone 0, then of zone 1, and so on.
// Record types: 0, 28 bytes with the Hipparcos number; 1, 10 bytes with
// proper motion; 2, 6 bytes without. A record places its star by two
// integer offsets along the two axes of its zone's tangent plane.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkdata {

inline constexpr uint32_t kZoneCatalogueMagic = 0x835F040A;

// A direction in the J2000 equatorial frame: x towards right ascension 0,
// z towards the north pole.
struct SkyVector {
  double x = 0;
  double y = 0;
  double z = 0;
};

// The corners of one zone of the grid.
struct ZoneTriangle {
  SkyVector c0, c1, c2;
};

// The 20·4^level zones of grid level `level` (0..10), in zone-number order:
// at level 0 the icosahedron's faces; at each further level zone 4n + k is
// part k of zone n (k = 0, 1, 2: the corner parts at the parent's first,
// second and third corner; k = 3: the middle part).
std::vector<ZoneTriangle> GeodesicZones(int level);

struct ZoneCatalogueHeader {
  uint32_t type = 0;   // 0, 1 or 2, see above
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t level = 0;
  int32_t magMin = 0;    // milli-magnitudes
  int32_t magRange = 0;  // milli-magnitudes
  int32_t magSteps = 0;
};

// One star of a catalogue.
struct ZoneStar {
  int hip = 0;        // Hipparcos number, 0 when none (always 0 for types 1, 2)
  int component = 0;  // component byte of a double star, 0 when none
  int zone = 0;
  // J2000 right ascension, radians [0, 2π). Epoch J2000 for nearly all
  // stars; part of the fast-moving Hipparcos stars (61 Cyg A, Proxima)
  // are kept at about J1991.25, the Hipparcos epoch.
  double ra = 0;
  double dec = 0;  // radians
  bool hasMotion = false;  // false for type 2
  double pmRA = 0;   // μα·cos δ, mas/yr
  double pmDec = 0;  // μδ, mas/yr
  double mag = 0;    // V magnitude as stored: the lower edge of its step
  double bv = 0;     // B-V
};

struct ZoneCatalogue {
  ZoneCatalogueHeader header;
  double magStep = 0;  // width of one magnitude step, mag
  std::vector<ZoneStar> stars;
};

// Decodes a whole catalogue file; `name` names it in errors. Throws
// SourceError for a wrong magic number (a file in the other byte order
// included), an unknown record type, a level above 10, a bad magnitude
// scale, or a size that does not match the zone counts.
ZoneCatalogue DecodeZoneCatalogue(const std::vector<uint8_t>& bytes, const std::string& name);
ZoneCatalogue ReadZoneCatalogue(const std::string& path);

}  // namespace mkdata
