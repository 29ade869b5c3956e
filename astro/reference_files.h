// The read-only reference tables loaded at start: deep-sky outlines
// ("nebula.dat"), the Messier cross-reference ("messier_rngc.dat"), the Milky
// Way contours ("milkywayb.dat"), the constellation figures
// ("ConstellationLines.data") and the city list ("city.dat").
//
// Every file is a run of fixed-length little-endian records read from
// DataFolder. The tables are filled once on the GUI thread at start and only
// read afterwards, so any thread may read them. A file longer than its table
// is read up to the table's capacity; a trailing partial record is ignored.
#pragma once

#include <cstdint>
#include <string>

// --- Deep-sky outlines ("nebula.dat", 19-byte records) ----------------------

// One outline point. Marker 0xFFFF ends an outline; Flag is not interpreted.
struct TNebulaOutlinePoint {
  uint16_t Marker;
  uint8_t Flag;
  double RA;   // right ascension, radians
  double Dec;  // declination, radians
};

inline constexpr uint16_t kOutlineEnd = 0xFFFF;
inline constexpr int kNebulaOutlineRecordSize = 19;
// Room for the outline points (real data holds some tens of thousands).
inline constexpr int kNebulaOutlineCapacity = 200000;

// 1-based: entries 1..NebulaOutlineCount hold the file's records and entry
// NebulaOutlineCount + 1 always carries the end marker. Entry 0 is unused.
extern TNebulaOutlinePoint NebulaOutlineTable[kNebulaOutlineCapacity + 2];
extern int32_t NebulaOutlineCount;

// --- Messier cross-reference ("messier_rngc.dat", one 440-byte record) -------

inline constexpr int kMessierCount = 110;
// Entry n (1..110) is the catalogue number of Messier object n; entry 0 unused.
extern int32_t MessierToRngc[kMessierCount + 1];

// --- Milky Way contours ("milkywayb.dat", 16-byte records) --------------------

struct TMilkyWayPoint {
  double RA;   // right ascension J2000, radians; negative: starts a new contour
  double Dec;  // declination J2000, radians
};

inline constexpr int kMilkyWayRecordSize = 16;
inline constexpr int kMilkyWayCapacity = 200000;
// 1-based: entries 1..MilkyWayCount. Entry 0 is unused.
extern TMilkyWayPoint MilkyWayTable[kMilkyWayCapacity + 1];
extern int32_t MilkyWayCount;

// --- Constellation figures ("ConstellationLines.data", 5-byte records) -------

struct TConstellationLinePoint {
  uint16_t RA;           // right ascension × 10430.060040584269 (65534 = 2π); 0 starts a new line
  int16_t Dec;           // declination × 10430.060040584269
  uint8_t Constellation;  // 1..88
};

inline constexpr int kConstellationLineRecordSize = 5;
// The count is a 16-bit signed integer, so a file holds at most 32,767 points.
inline constexpr int kConstellationLineCapacity = 32767;
// Scale of the packed angles: 65534 / 2π.
inline constexpr double kConstellationLineScale = 10430.060040584269;
// 1-based: entries 1..ConstellationLineCount. Entry 0 is unused.
extern TConstellationLinePoint ConstellationLineTable[kConstellationLineCapacity + 1];
extern int16_t ConstellationLineCount;

// --- Cities ("city.dat", one record of 1,474 entries of 37 bytes) --------------

inline constexpr int kCityCount = 1474;
inline constexpr int kCityEntrySize = 37;
inline constexpr int kCityFileSize = kCityCount * kCityEntrySize;  // 54,538 bytes

struct TCityRecord {
  char Name[67];     // UTF-8, NUL-terminated: up to 22 single-byte characters of the file
  double Latitude;   // degrees, north positive
  double Longitude;  // degrees, east positive in (-180, 180] after the load-time conversion
  int16_t TimeZone;  // whole hours; +100 (zones >= 0) or -100 (zones < 0) when the city keeps daylight saving
};

// Entries 0..1473; entries the file does not cover stay empty.
extern TCityRecord CityTable[kCityCount];
// The same table under the name the tool windows use.
inline TCityRecord (&Cities)[kCityCount] = CityTable;

// The file's longitude (degrees west positive, 0..360) as the table holds it
// (degrees east positive): -v when v <= 180, else 360 - v.
double CityLongitudeFromFile(double v);

// --- Loaders ------------------------------------------------------------------------

// Reads DataFolder + "nebula.dat" into NebulaOutlineTable. A missing file
// leaves the table empty without a message. Either way the entry after the
// last record carries the end marker. Called once at program start.
void LoadNebulae();

// Reads "messier_rngc.dat", "milkywayb.dat", "ConstellationLines.data" and
// "city.dat" from DataFolder, in that order, under the wait cursor. The first
// file that cannot be opened stops the chain: ShowFixedMessage(9), naming
// the file and how to rebuild it, and the program ends
// (platform::HaltProgram(1)).
//
// Every file is checked as it is read (shell/data_files.h): a size that is
// not whole records or not the table's, a number outside its range. What is
// whole and in range is kept; a damaged record is left out (a damaged point
// of a line or contour ends it there, a damaged place leaves its entry
// empty) and the file is reported.
void LoadDataFiles();

// Shows one of the fixed start-up messages in a modal box with the stop icon
// and the caption "NOCTRA - Planetarium". Code 9: "Data file not found...
// Program aborted!"; other codes show "Unknown error". A detail follows the
// text after an empty line.
void ShowFixedMessage(int16_t code, const std::string& detail = std::string());
