// The small reference files loaded at start-up: "milkywayb.dat" (Milky Way
// polygons), "ConstellationLines.data" (constellation figures), "city.dat"
// (the 1,474 places of the location window) and "nebula.dat" (outlines of
// nebulae; none are available, so the file is empty).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mkdata {

// --- Milky Way ---------------------------------------------------------------------

// A point in J2000 radians.
struct SkyPoint {
  double ra = 0;
  double dec = 0;
};

// Reads the Milky Way outline in the text form "M|D|S  RA-hours  Dec-degrees"
// where "M" starts a new polygon and "D" and "S" continue it (S marks an
// edge that is only a cut of the area, not part of the outline).
std::vector<std::vector<SkyPoint>> ReadMilkyWayOutline(const std::string& path);
// "milkywayb.dat": 16-byte records (right ascension, declination, doubles);
// each polygon is followed by a record with right ascension -1 that ends it.
std::vector<uint8_t> EncodeMilkyWay(const std::vector<std::vector<SkyPoint>>& polygons);

// --- Constellation figures ----------------------------------------------------------

// One figure: the constellation abbreviation and its lines as pairs of
// Hipparcos numbers.
struct ConstellationFigure {
  std::string abbreviation;
  std::vector<std::pair<int, int>> segments;
};
std::vector<ConstellationFigure> ReadConstellationFigures(const std::string& path);

// One record of "ConstellationLines.data".
struct LineRecord {
  uint16_t ra = 0;  // right ascension × 65534 / 2π; 0 = break
  int16_t dec = 0;  // declination × 65534 / 2π
  uint8_t constellation = 0;
};
// The records of all figures: a break record first, then each figure's lines
// as chains of points, a break before every chain. `position` gives a
// star's J2000 position by Hipparcos number and returns false when it is
// unknown (the segment is then left out and counted in *missing).
std::vector<LineRecord> BuildConstellationLines(const std::vector<ConstellationFigure>& figures,
                                                const std::function<bool(int, SkyPoint&)>& position,
                                                int* missing = nullptr);
std::vector<uint8_t> EncodeConstellationLines(const std::vector<LineRecord>& records);

// --- Cities -----------------------------------------------------------------------------

inline constexpr int kCityCount = 1474;
inline constexpr int kCityRecordSize = 37;

// A place of the location list of the public gazetteer.
struct Location {
  std::string name;
  std::string state;
  std::string region;  // region of the world ("Eastern Asia")
  char role = 'N';  // 'C' capital, 'R' regional capital, 'N' other, ...
  int population = 0;
  double latitude = 0;   // degrees north
  double longitude = 0;  // degrees east
  std::string timeZone;  // IANA name
};
// Reads the gazetteer (a gzip-compressed stream of serialised locations).
std::vector<Location> ReadLocations(const std::string& path);

// One entry of "city.dat".
struct City {
  std::string name;        // at most 22 characters
  double latitude = 0;     // degrees north
  double longitudeEast = 0;  // degrees east, -180..180
  int zone = 0;            // whole hours, -12..12
  bool daylightSaving = false;
};
// The folded zone of the location window: zone + 100 (zone >= 0) or
// zone - 100 (zone < 0) when the place observes daylight saving.
int16_t FoldZone(int zone, bool daylightSaving);

// The standard offset in whole hours (rounded, halves to even) and whether
// the zone keeps daylight saving time in `year`; false when the zone is
// unknown.
bool ZoneOffset(const std::string& ianaName, int year, int& hours, bool& daylightSaving);

// The 1,474 places: every national capital, then the most populous other
// places (at most 25 of one IANA time zone while others remain), with zones
// from the time-zone database, sorted by name (accents aside). Names are
// the gazetteer's with its umlauts restored (RestoreUmlauts), fitted to 22
// characters (FitCityName); a name that occurs twice gets its state
// appended (its initials when the whole state does not fit; the region of
// the world when there is no state), where that fits.
// Places whose zone is unknown or lies outside -12..12 hours are skipped
// and counted in *skipped.
std::vector<City> SelectCities(const std::vector<Location>& locations, int year, int* skipped = nullptr);

// "city.dat": exactly 1,474 records of 37 bytes (name as a short string of
// 22 characters, latitude and longitude as 6-byte reals, folded zone); the
// longitude is stored in degrees west, 0..360.
std::vector<uint8_t> EncodeCities(const std::vector<City>& cities);

// --- City names (city_names.cpp) ---------------------------------------------------------

// A name reduced to the characters the location window accepts: letters
// that Windows-1252 holds keep their accents ("Zürich", "Gießen"), other
// letters become their base letters ("Łódź" -> "Lódz"), digits, blanks and
// "-" stay; "/" and "," become blanks, other characters are dropped and
// blanks are not doubled.
std::string PlainName(const std::string& utf8);

// The gazetteer writes the umlauts of some languages as two letters
// ("Koeln", "UEruemqi"): in the names of places in the time zone `zone`
// where that language is spoken, "ae", "oe", "ue" inside a word become ä
// (æ in Danish and Norwegian), ö, ü as the language has them; a capital
// pair before a small letter ("UE" in "UEskuedar") is an umlaut anywhere
// and marks the whole name as written so. Diphthongs before an "e" ("Aue",
// "Neuenhagen"), "que", pairs at the start of a word ("Uelzen") and the
// names that keep a genuine pair ("Soest", "Joensuu") stay as they are.
std::string RestoreUmlauts(const std::string& name, const std::string& zone);

// The place's name (PlainName) in `width` characters: whole when it fits,
// else the city alone (the part before a parenthesised region or a " - ",
// " / " or "," addition), else as many of its whole words as fit without a
// trailing particle ("Las Palmas de Gran Canaria" -> "Las Palmas de Gran");
// only a single word longer than the field is cut.
std::string FitCityName(const std::string& utf8, std::size_t width);

// The initials of a region of two or more words ("British Columbia" ->
// "BC", "North Rhine-Westphalia" -> "NRW").
std::string RegionInitials(const std::string& region);

// The text by which names are sorted: the name with its accents removed
// ("Ürümqi" sorts as "Urumqi"), then by the name itself.
std::string NameSortKey(const std::string& utf8);

}  // namespace mkdata
