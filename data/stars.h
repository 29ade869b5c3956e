// Star sources and the star files: "SAO_YALE.DAT" (31-byte records, record k
// is SAO number k), its notes text "yale_notes.dat", "tycho2.dat" (22-byte
// records of the stars without an SAO number) and "brightstars.dat" (the 45
// bright stars of the events calendar).
//
// The star data is merged by Hipparcos number from the public sources: the
// Hipparcos-SAO-HD-HR cross index, J2000 positions and magnitudes, proper
// motions, Bayer and Flamsteed designations, proper names, variable and
// double stars, and the spectral types and parallaxes of the brighter stars.
// The positions of the GeoJSON list are checked against the Hipparcos stars
// of the zoned star catalogues, which correct the few that are far off.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/zonecat.h"

namespace mkdata {

inline constexpr int kSaoRecordCount = 258997;
inline constexpr int kSaoRecordSize = 31;
inline constexpr int kTychoRecordSize = 22;
inline constexpr int kBrightStarCount = 45;
inline constexpr int kBrightStarRecordSize = 55;

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// --- Source records -----------------------------------------------------------

// One line of the cross index: a Hipparcos star (or one component of it) with
// its SAO, HD and Bright Star (HR) numbers, 0 where unknown.
struct CrossEntry {
  int hip = 0;
  std::string component;
  int sao = 0;
  int hd = 0;
  int hr = 0;
};
std::vector<CrossEntry> ReadCrossIndex(const std::string& path);

// The entries that carry their Hipparcos star into the SAO file: of the
// entries with an SAO number, one per Hipparcos number, the one of the
// primary component (no component letter, else the first letter). The other
// components of a double have no Hipparcos entry of their own; given the
// primary's place, magnitude and note they would draw a second star with a
// second name on top of it.
std::vector<const CrossEntry*> SaoOwners(const std::vector<CrossEntry>& cross);

// Bayer letter (1 alpha .. 24 omega, with its index digit 0..9) and Flamsteed
// number of a star, with the constellation number (1..88) they belong to.
struct Designation {
  int greek = 0;
  int greekIndex = 0;
  int flamsteed = 0;
  int constellation = 0;
  char component = 0;  // 'A', 'B', … of a double listed by component
};
// Reads "HIP|designation" lines ("α_CMa", "γ1_And", "22_And", and with a
// double's component "61_Cyg_A").
std::unordered_map<int, Designation> ReadDesignations(const std::string& path);
// The Greek letter number (1..24) of a UTF-8 Greek small letter at the start
// of `text`, with the number of bytes it takes; 0 when there is none.
int GreekLetterNumber(std::string_view text, std::size_t* length = nullptr);
// The Latin name of Greek letter n (1..24), e.g. "alpha"; "" otherwise.
const char* GreekLetterName(int n);

// Proper motion in milliarcseconds per year: right ascension as μα·cos δ.
struct ProperMotion {
  double ra = 0;
  double dec = 0;
};
std::unordered_map<int, ProperMotion> ReadProperMotions(const std::string& path);

// A variable star of the variable-star list.
struct VariableInfo {
  std::string name;  // designation, UTF-8 ("α Ori")
  std::string type;  // variability type ("SRC")
  double max = kNoValue;
  double min = kNoValue;
  std::string band;
  double period = kNoValue;  // days
  std::string spectrum;      // MK type as listed
};
std::unordered_map<int, VariableInfo> ReadVariables(const std::string& path);

// A double star of the double-star list.
struct DoubleInfo {
  std::string wds;
  int year = 0;
  double pa = kNoValue;   // degrees
  double sep = kNoValue;  // arcseconds
};
std::unordered_map<int, DoubleInfo> ReadDoubles(const std::string& path);

// Position (J2000, epoch J2000, degrees), V magnitude and B-V of one
// Hipparcos star, from the GeoJSON star list.
struct PositionMag {
  double raDeg = 0;
  double decDeg = 0;
  double mag = kNoValue;
  double bv = kNoValue;
};
// Entries whose right ascension (negative values folded by +360°) lies
// outside 0..360° or whose declination lies outside ±90° are left out and
// counted in *offSky.
std::unordered_map<int, PositionMag> ReadGeoJsonStars(const std::string& path, int* offSky = nullptr);
// Proper names by Hipparcos number.
std::unordered_map<int, std::string> ReadGeoJsonStarNames(const std::string& path);

// One star of the self-describing binary star files: position moved to epoch
// J2000 (radians), proper motion (mas/yr, right ascension as μα·cos δ),
// parallax (mas), HD number, V magnitude, B-V and a two-letter spectral type.
struct BinaryStar {
  double ra = 0;
  double dec = 0;
  double pmRA = 0;
  double pmDec = 0;
  double parallax = kNoValue;
  int hd = 0;
  double mag = kNoValue;
  double bv = kNoValue;
  std::string spectral;
};
std::vector<BinaryStar> ReadBinaryStars(const std::string& path);

// --- Merged star table --------------------------------------------------------

// What the sources know about one Hipparcos star.
struct CatalogueStar {
  int hip = 0;
  double ra = 0;   // J2000, radians
  double dec = 0;  // radians
  double pmRA = 0;   // mas/yr, μα·cos δ
  double pmDec = 0;  // mas/yr
  double mag = kNoValue;
  double bv = kNoValue;
  double parallax = kNoValue;  // mas
  std::string spectral;        // MK type text
  Designation designation;
  std::string name;            // proper name, UTF-8
  const VariableInfo* variable = nullptr;
  const DoubleInfo* duplicity = nullptr;
};

// All sources of the star files, read once.
struct StarSources {
  std::vector<CrossEntry> cross;
  std::unordered_map<int, Designation> designations;
  std::unordered_map<int, ProperMotion> motions;
  std::unordered_map<int, VariableInfo> variables;
  std::unordered_map<int, DoubleInfo> doubles;
  std::unordered_map<int, PositionMag> positions;
  std::unordered_map<int, std::string> names;
  std::vector<BinaryStar> binaryStars;
  // The zoned catalogues (owned elsewhere); only their records that carry
  // a Hipparcos number take part in the merge.
  std::vector<const ZoneCatalogue*> zoned;
};

// A GeoJSON position farther than this from every zoned-catalogue record
// of its star is taken as wrong (the list has entries that lost the sign
// of their declination). Far beyond the catalogues' 0.1" offsets, the
// list's 0.36" rounding and the epoch spread described at MergeStars.
inline constexpr double kZoneCheckArcsec = 60.0;

// The merged table by Hipparcos number (every star with a position), and the
// binary-file stars that match no Hipparcos star.
struct StarTable {
  std::map<int, CatalogueStar> byHip;
  std::vector<BinaryStar> unmatched;
  int matchedByHd = 0;
  int matchedByPosition = 0;
  std::set<int> zoneCorrected;  // stars whose position the zoned catalogues gave
};
// Every star of the GeoJSON list enters the table with its position. Where
// the zoned catalogues hold records of the same Hipparcos number and every
// one of them lies farther than kZoneCheckArcsec from that position, the
// brightest of those records gives the position instead. A record counts
// as agreeing at its stored position (epoch J2000 for nearly all stars)
// and also at that position moved by its proper motion from J1991.25 to
// J2000: the catalogues keep part of the fast-moving stars at the earlier
// epoch (61 Cyg A, 47" apart between the two epochs). Stars missing from
// the list are not added. The binary-file stars are matched afterwards,
// against the corrected positions.
StarTable MergeStars(const StarSources& src);

// --- File records ---------------------------------------------------------------

// The MK spectral code of the star files: class × 100 + subclass × 10 +
// luminosity digit (1..5 = I..V, 6 = Ia, 7 = Ib); 0 when the text holds no
// known class. Classes: 1 O, 2 B, 3 A, 4 F, 5 G, 6 K, 7 M, 8 R, 9 N (and C),
// 10 S, 11 Q, 12 P, 13 WC, 14 WN.
uint16_t SpectralCode(std::string_view mk);

// One 31-byte record of "SAO_YALE.DAT".
struct SaoRecord {
  uint16_t hr = 0;           // Bright Star number (bits 0..13)
  bool variable = false;     // bit 14 of the first word
  uint32_t hd = 0;
  uint8_t greekCode = 0;     // letter × 10 + index digit
  uint8_t flamsteed = 0;
  uint8_t constellation = 0;
  int32_t ra = 0;            // J2000, units of 2π / 2147483647
  int16_t pmRA = 0;          // μα, mas/yr
  int32_t dec = 0;
  int16_t pmDec = 0;         // mas/yr
  uint8_t magnitude = 0;     // (m + 2) × 10, 0 = none
  uint8_t colour = 0;        // (B-V + 0.5) × 40, 0 = none
  uint16_t spectral = 0;
  uint16_t parallax = 65535; // (p" + 0.032) × 1000, 65535 = none
  uint32_t noteOffset = 0;   // 1-based byte position in the notes, 0 = none
};
void EncodeSaoRecord(const SaoRecord& r, uint8_t* out);

// Builds the record of a catalogue star; counts a proper motion that does
// not fit the 16-bit field in *clamped.
SaoRecord MakeSaoRecord(const CatalogueStar& star, const CrossEntry& ids, int* clamped = nullptr);

// The note lines of a star ("N:   Sirius", ...): name, designation, its
// SAO number when `sao` is above 0 ("C:   SAO49941"), variability and
// duplicity; empty when there is nothing to say. Lines start with their
// category; the text begins at the sixth character.
std::vector<std::string> StarNoteLines(const CatalogueStar& star, int sao = 0);

// Collects notes into one Windows-1252 text: each note is its lines joined
// by "~" and ended by "|". Add returns the note's 1-based byte offset.
class NotesText {
 public:
  uint32_t Add(const std::vector<std::string>& lines);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The SAO file's records and their notes: one star for each entry of the
// cross index that owns its Hipparcos star (SaoOwners) and whose star the
// table holds, each with a note of its own that carries its SAO number.
struct SaoFileContent {
  std::map<int, SaoRecord> records;  // by SAO number
  NotesText notes;                   // "yale_notes.dat"
  int noPosition = 0;   // owners whose star the table lacks
  int components = 0;   // further components of a double, left out
  int corrected = 0;    // stars whose position the zoned catalogues gave
  int clamped = 0;      // proper motions cut to the 16-bit field
};
SaoFileContent BuildSaoFile(const StarTable& table, const std::vector<CrossEntry>& cross);

// The whole "SAO_YALE.DAT": 258,997 records, all-zero where `records` has no
// entry. Entries outside 1..258,997 are ignored.
std::vector<uint8_t> EncodeSaoFile(const std::map<int, SaoRecord>& records);

// One 22-byte record of "tycho2.dat".
struct TychoRecord {
  uint16_t id1 = 0;
  uint16_t id2 = 0;
  uint8_t id3 = 0;
  uint32_t carried = 0;  // the Hipparcos number, 0 when none
  int32_t ra = 0;
  int16_t pmRA = 0;      // μα, mas/yr
  int32_t dec = 0;
  int16_t pmDec = 0;
  uint8_t brightness = 0;  // magnitude byte
};
void EncodeTychoRecord(const TychoRecord& r, uint8_t* out);
std::vector<uint8_t> EncodeTychoFile(const std::vector<TychoRecord>& records);
// Record of a star at (ra, dec) radians J2000 with proper motion μα·cos δ and
// μδ in mas/yr.
TychoRecord MakeTychoRecord(double ra, double dec, double pmRAcosDec, double pmDec, double mag,
                            uint32_t carried, int* clamped = nullptr);

// Two stars closer than this are taken as one star of two catalogues.
inline constexpr double kSameStarArcsec = 5.0;

// The records of "tycho2.dat" and what went into them: the Hipparcos stars
// without an SAO number, then the binary-file stars that match no
// Hipparcos star, then the stars of the zoned catalogues, in their order,
// that are not Hipparcos stars of the table and lie farther than
// kSameStarArcsec from every Hipparcos star (with or without SAO number)
// and every binary-file star. The zoned catalogues are not checked against
// each other: they split one star list by magnitude.
struct TychoFileContent {
  std::vector<TychoRecord> records;
  int hipStars = 0;
  int unmatchedStars = 0;
  int zoneStars = 0;     // stars taken from the zoned catalogues
  int knownHip = 0;      // zoned-catalogue records of Hipparcos stars of the table
  int nearKnown = 0;     // zoned-catalogue stars within kSameStarArcsec of a star of the other sources
  int noMagnitude = 0;   // records with brightness byte 0
  int clamped = 0;       // proper motions cut to the 16-bit field
  int corrected = 0;     // Hipparcos stars whose position the zoned catalogues gave
};
// `hipWithSao`: the Hipparcos numbers that have an SAO number (their stars
// are in "SAO_YALE.DAT"). The brightness of a zoned-catalogue star is taken
// at the middle of its magnitude step.
TychoFileContent BuildTychoFile(const StarTable& table, const std::set<int>& hipWithSao,
                                const std::vector<const ZoneCatalogue*>& zoned);

// One record of "brightstars.dat".
struct BrightStar {
  double ra = 0;   // J2000 radians
  double dec = 0;
  double mag = 0;
  std::string name;  // UTF-8, at most 30 characters are kept
};
// Exactly 45 records of 55 bytes; throws SourceError for another count.
std::vector<uint8_t> EncodeBrightStars(const std::vector<BrightStar>& stars);
// The 45 brightest named stars of the table, brightest first.
std::vector<BrightStar> SelectBrightStars(const StarTable& table);

}  // namespace mkdata
