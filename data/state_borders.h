// The state and province boundaries of "map/namer.map/pby.cbd", from the
// Digital Chart of the World as Debian's gmt-dcw package ships it
// ("/usr/share/gmt-dcw/dcw-gmt.nc", netCDF; "dcw-states.txt" lists the
// states by country). The file holds each country's and state's outline as
// two 16-bit variables "<code>_lon" and "<code>_lat" (code "USWA" for
// Washington): value v stands for the attribute "min" + v / "scale"
// degrees (east longitude in 0..360, latitude), and a longitude value of
// 65535 opens the next ring of the outline.
//
// The outlines are polygons of land, so their coasts are left out: a
// boundary is the part of one area's outline that runs along another's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/relief.h"
#include "data/worldmap.h"

namespace mkdata {

// Where the builder reads the package from.
inline constexpr const char* kDcwFolder = "/usr/share/gmt-dcw/";
inline constexpr const char* kDcwFile = "dcw-gmt.nc";
inline constexpr const char* kDcwStatesFile = "dcw-states.txt";

// One area (a state, province or territory): its code ("USWA") and the
// rings of its outline, (east longitude, latitude) in degrees as the file
// gives them.
struct DcwArea {
  std::string code;
  std::vector<LonLatRing> rings;
};

// The codes of the states of the given countries ("US", "CA") from the
// list "dcw-states.txt" (lines "US WA Washington"; "#" starts a comment):
// country code and state code joined ("USWA"), in the list's order.
// Throws SourceError when the list cannot be read.
std::vector<std::string> ReadDcwStateCodes(const std::string& listPath, const std::vector<std::string>& countries);

// The outlines of the named areas. An area the file does not hold is left
// out. Throws SourceError when the file cannot be opened or an area's
// variables are not of the form above.
std::vector<DcwArea> ReadDcwAreas(const std::string& path, const std::vector<std::string>& codes);

// The boundaries between the areas: the runs of an area's outline whose
// edges lie within `toleranceKm` of another area's outline (the two
// outlines of one boundary come from different surveys and do not share
// their points). Each boundary is taken once, from the outline of the area
// listed first; the line's class is 1 between areas of one country (the
// first two letters of their codes) and 2 between countries. Points closer
// than `simplifyDeg` to the line through their neighbours are dropped
// (Douglas-Peucker), and lines shorter than `shortestKm` are left out;
// longitudes come out in [-180, 180).
std::vector<BoundaryLine> SharedBoundaries(const std::vector<DcwArea>& areas, double toleranceKm,
                                           double simplifyDeg, double shortestKm);

// "map/namer.map/pby.cbd" from the package's two files in `folder`: the
// boundaries between the states of the United States and between the
// provinces and territories of Canada, all of class 1; the border between
// the two countries is the national files' (outlines matched within
// 0.5 km, points within 0.002° of the line dropped, pieces shorter than
// 2 km left out, where two coasts come close). Without the package's files the file holds no
// segments and `missing` names what is missing and how to install it.
struct StateBoundaryFile {
  std::vector<uint8_t> bytes;
  std::string summary;  // what was written
  std::string missing;  // empty when the package was read
};
StateBoundaryFile BuildStateBoundaryFile(const std::string& folder);

}  // namespace mkdata
