// Deep-sky sources and files: the object database "Objects.sqlite" (the base
// table "BASE_OBJECT_CATALOG" with the NGC objects, a table "IC" with the IC
// objects) and the Messier table "messier_rngc.dat".
//
// Objects come from the OpenNGC catalogue (an SQLite file with type codes,
// J2000 positions in degrees, magnitudes, axes in arcminutes and position
// angles). Where OpenNGC has no usable type or lacks a magnitude or size,
// the deep-sky GeoJSON list fills them in.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mkdata {

inline constexpr int kMessierCount = 110;

// One object as the database stores it.
struct DeepSkyObject {
  std::string catalog;  // "NGC" or "IC"
  int number = 0;
  std::string id;       // catalogue number as text ("224")
  std::string subId;    // suffix ("A"), empty when none
  int cls = 0;          // class digit 0..9
  std::string subClass; // morphology text, empty when unknown
  double ra = 0;        // J2000 radians
  double dec = 0;
  double mag;           // NaN when unknown
  double major;         // arcminutes, NaN when unknown
  double minor;
  double pa;            // degrees, NaN when unknown
  std::string names;    // other names, upper case, "; " separated
};

// What the GeoJSON deep-sky list says about one object, by "NGC 224" or
// "IC 434".
struct DsoExtra {
  std::string type;  // "oc", "gc", "bn", "pn", "s", ...
  double mag;
  double major;      // arcminutes
  double minor;
  std::string morph;
};
std::map<std::string, DsoExtra> ReadGeoJsonDsos(const std::string& path);

// The class digit for an OpenNGC type code (the catalogue file's numbering:
// 3 open cluster, 4 globular cluster, 5 nebula, 6 planetary nebula,
// 7 supernova remnant, 8 galaxy, 13 asterism, 14 galaxy group; 0 star,
// 17 multiple star and 255 unknown give -1, "no usable type").
int ClassForOpenNgcType(int type);
// The class digit for a type of the GeoJSON list; -1 when unknown.
int ClassForGeoJsonType(const std::string& type);

// Objects of the OpenNGC file, NGC and IC, in catalogue order; entries that
// are components of another entry (" NED01") or of no catalogue are skipped
// and counted in *skipped; entries with a declination outside ±90° or a
// position angle beyond ±360° are skipped and counted in `damaged`.
// `extras` may be empty.
struct DeepSkyCatalogue {
  std::vector<DeepSkyObject> ngc;
  std::vector<DeepSkyObject> ic;
  std::array<int, kMessierCount + 1> messier{};  // NGC number of M n, 0 = none
  int skipped = 0;
  int damaged = 0;  // entries with a declination off the sky or a position angle beyond ±360°
  int filled = 0;  // objects completed from the GeoJSON list
};
DeepSkyCatalogue ReadOpenNgc(const std::string& path, const std::map<std::string, DsoExtra>& extras);

// The builder's tables of the object database, and the description the
// catalogue options show for the further one.
inline constexpr const char* kBaseTable = "BASE_OBJECT_CATALOG";
inline constexpr const char* kIcTable = "IC";
extern const char* const kIcDescription;

// Writes the builder's two tables of the object database at `path` through
// a temporary file, keeping every other table an existing database holds
// (the catalogues the user imported); answers how many were kept. Throws
// SourceError when SQLite fails or the existing file is no database (that
// file is then left as it is).
int WriteObjectDatabase(const std::string& path, const std::vector<DeepSkyObject>& base,
                        const std::vector<DeepSkyObject>& ic);
// True when the database at `path` can be read and holds both tables.
bool ObjectDatabaseComplete(const std::string& path);

// "messier_rngc.dat": 110 little-endian 32-bit numbers, entry n the NGC
// number of Messier object n.
std::vector<uint8_t> EncodeMessierTable(const std::array<int, kMessierCount + 1>& messier);

}  // namespace mkdata
