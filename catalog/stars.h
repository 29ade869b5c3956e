// The star catalogues: the filtered SAO/bright-star array SaoStars from
// "SAO_YALE.DAT", the Tycho-2 array TychoStars from "tycho2.dat", the proper
// names of bright stars from "yale_notes.dat", and the loader that rebuilds
// them for the chart's epoch.
//
// A load runs on one worker thread and builds new arrays; the finished
// arrays are swapped in on the GUI thread, so the chart never sees an array
// that is being written. Everything the worker has to tell the user goes to
// the GUI thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "astro/observer.h"
#include "catalog/star_options.h"
#include "shell/data_files.h"

inline constexpr std::size_t kSaoRecordBytes = 31;
inline constexpr std::size_t kTychoRecordBytes = 22;
// SAO numbers are 24-bit: records beyond this are never read.
inline constexpr int32_t kMaxSaoRecords = 0xFFFFFF;
inline constexpr int32_t kMaxStarNames = 20000;
inline constexpr std::size_t kMaxStarNameChars = 20;
inline constexpr int kStarNoteLines = 12;
inline constexpr std::size_t kStarNoteBufferBytes = 2048;

// One star of SaoStars.
struct TSaoStar {
  float RA = 0;            // radians in [0, 2π): of StarCatalogEpoch when precessed, else J2000
  float Dec = 0;           // radians
  uint32_t NoteOffset = 0; // 1-based offset of the note in "yale_notes.dat"; 0 = none
  uint16_t SaoLow = 0;     // SAO number, bits 0..15
  uint16_t NameIndex = 0;  // 1-based index into StarNames; 0 = no name
  uint8_t SaoHigh = 0;     // SAO number, bits 16..23
  uint8_t Magnitude = 0;   // (magnitude + 2) × 10; 250 for a non-variable star without one
  uint8_t Spectral = 0;    // spectral class 0..7 in bits 0..6; bit 7 set for a variable
  uint8_t Greek = 0;       // Bayer letter 1..24; 0 = none

  uint32_t SaoNumber() const { return SaoLow | (uint32_t(SaoHigh) << 16); }
};

// One star of TychoStars.
struct TTychoStar {
  float RA = 0;             // radians in [0, 2π), as TSaoStar
  float Dec = 0;            // radians
  uint32_t Carried = 0;     // carried unchanged from the file
  uint16_t Id1 = 0;         // identifier fields, carried unchanged
  uint16_t Id2 = 0;
  uint8_t Id3 = 0;
  uint8_t Brightness = 0;   // magnitude byte; 0 = not drawn by the magnifier
};

// The arrays. Callers number stars from 1: star p is SaoStars[p - 1], name
// n is StarNames[n - 1]. Written only on the GUI thread (by the load's
// swap), so the GUI thread reads them freely; the overlay threads are
// paused while a load runs.
extern std::vector<TSaoStar> SaoStars;
extern int32_t SaoStarCount;
extern std::vector<TTychoStar> TychoStars;
extern int32_t TychoStarCount;
extern std::vector<std::string> StarNames;
extern int32_t StarNameCount;
// Counts the replacements of the arrays (each swap of a load, each free), so
// that indexes built over them know when to build again.
extern uint32_t StarArraysGeneration;

// The last progress line of a load.
extern std::string StarProgressText;
// EpochTo and PrecessionOn of the last load (the heartbeat compares them).
extern double StarCatalogEpoch;
extern uint8_t StarCatalogPrecessed;

// --- The SAO file record -------------------------------------------------------

struct TSaoRecord {
  uint16_t Flags = 0;       // bit 14: variable star
  uint8_t GreekCode = 0;    // Bayer letter × 10; a units digit other than 0 means none
  int32_t RA = 0;           // J2000, units of 2π / 2147483647 radian
  int16_t PmRA = 0;         // milliarcseconds per year, change of RA itself
  int32_t Dec = 0;          // J2000, same units
  int16_t PmDec = 0;        // milliarcseconds per year
  uint8_t Magnitude = 0;    // (magnitude + 2) × 10; 0 = none
  uint16_t Spectral = 0;    // class × 100 + subclass × 10 + luminosity digit
  uint32_t NoteOffset = 0;

  bool Variable() const { return (Flags & 0x4000) != 0; }
};

// Decodes 31 bytes of "SAO_YALE.DAT".
TSaoRecord DecodeSaoRecord(const uint8_t* p);
// True for a record of all zero bytes: no star has this number.
bool IsEmptySaoRecord(const uint8_t* p);

// True when the star passes the variable-star, magnitude, proper-motion,
// luminosity and spectral tests of the options.
bool StarFilter(const TSaoRecord& r, const TStarOptions& options);

// Converts a catalogue position (J2000, file units) and its proper motion
// (milliarcseconds per year) to the stored position: when the observer's
// PrecessionOn is set, proper motion to the observer's JD_TT and
// precession from EpochFrom to EpochTo; right ascension in [0, 2π).
void ConvertStarPosition(const TObserverTime& obs, int32_t ra, int32_t dec, int16_t pmRA,
                         int16_t pmDec, float& outRA, float& outDec);

// --- Notes and names --------------------------------------------------------------

using TStarNoteLines = std::array<std::string, kStarNoteLines>;

// Splits a note (the text before its "|") at "~" into at most 12 lines of at
// most 255 characters; an empty note gives the single line "No data".
// Returns the number of lines.
int SplitStarNote(const std::string& note, TStarNoteLines& lines);

// Reads the note at `offset` (1-based) from "yale_notes.dat" in the data
// folder into lines. Offset 0, a missing file or a bad offset give "No
// data". Returns the number of lines in `count`.
void ReadStarNotes(uint32_t offset, TStarNoteLines& lines, int& count);

// The proper name in the "N:" lines of a note; empty when there is none.
void ExtractStarName(const TStarNoteLines& lines, int count, std::string& name);

// "yale_notes.dat" kept open across many reads (search and information
// windows). ReadStarNote gives the note at `offset` (UTF-8) and returns its
// length in bytes of the file; 0 when there is none.
bool OpenStarNotes();
int ReadStarNote(uint32_t offset, std::string& note);
void CloseStarNotes();

// --- Single SAO records --------------------------------------------------------

extern uint8_t SaoFileOpen;
// Opens "sao_yale.dat" of the data folder (closing an open one first).
bool OpenSaoFile();
// Reads record n (1-based) into 31 bytes; false (and the file closed) when
// n is outside the file or the read fails.
bool ReadSaoRecord(int32_t n, uint8_t* buffer);
void CloseSaoFile();

// --- The load --------------------------------------------------------------------

// Everything one load works from, taken on the GUI thread when it starts.
struct TStarLoadJob {
  std::string saoPath;
  std::string tychoPath;
  std::string notesPath;
  TObserverTime observer;   // proper motion and precession (EpochFrom J2000)
  TStarOptions options;
  // Largest array the load may allocate, in bytes (a failing allocation
  // takes the same path).
  std::size_t memoryLimit = SIZE_MAX;
  // Threads the conversions split the records over (the calling thread and
  // helpers at the lowest priority); 0: one per core. Small files use fewer.
  int threads = 0;
};

// What a load produced.
struct TStarLoadResult {
  std::vector<TSaoStar> sao;
  std::vector<TTychoStar> tycho;
  std::vector<std::string> names;
  // Message box text for the user ("" when none), and whether the chart is
  // to be redrawn.
  std::string message;
  bool replot = false;
  // Set when the message comes of the star file being missing or holding
  // no whole record: the damaged-files report names that, and the message
  // is left out once it has.
  bool fileFault = false;
  // Set when closing "yale_notes.dat" failed (coded message 104).
  bool notesCloseFailed = false;
  // Damage found in the files (records with values outside their ranges,
  // notes beyond the notes file's end), told through shell/data_files.h
  // when the load is taken.
  std::vector<TDataFileProblem> damage;
};

// The Tycho-2 conversion: every record of the file, in file order, split
// over the job's threads. A
// missing, unreadable or empty file, or no memory, gives no stars. A record
// whose position is off the sky gets brightness 0 (it is not drawn) and is
// noted in `damage`.
std::vector<TTychoStar> ConvertTychoCatalog(const TStarLoadJob& job,
                                            std::vector<TDataFileProblem>* damage = nullptr);

// True when a position of a star file (J2000, units of 2π / 2147483647)
// lies on the sky: right ascension from 0 to a full turn, declination
// within a quarter turn either way.
bool StarPositionOnSky(int32_t ra, int32_t dec);

// Checks the star files of the data folder at start, before the first load,
// and reports what is missing or damaged (shell/data_files.h): the SAO file
// and "tycho2.dat" not whole records, an SAO file of fewer than the
// catalogue's 258,997 records, a missing file.
void CheckStarFiles();

// The SAO conversion: every star that passes the filter, in SAO order, with
// the proper names of stars brighter than magnitude 3.5; the records are
// split over the job's threads and the parts joined in file order, so the
// result is the same for any number of threads. `progress` is called on
// the calling thread. `progress` gets
// "Processing star catalog: n% complete." at 0 % and every further 10 %.
// On failure the result has no stars (Tycho included) and a message. A
// record whose position is off the sky is left out, and a note offset
// beyond the end of the notes file is not followed; both are noted in the
// result's damage.
void ConvertSaoCatalog(const TStarLoadJob& job, TStarLoadResult& result,
                       const std::function<void(const std::string&)>& progress,
                       const std::atomic<bool>* cancel = nullptr);

// Rebuilds both arrays for ObserverTime and StarOptions (GUI thread). Sets
// StarLoaderBusy, pauses the overlay threads and starts the load thread;
// when a load is running already, the request is kept and a new load starts
// as soon as the running one has finished.
void LoadStarCatalogs();
// Empties both arrays and the names (GUI thread).
void FreeStarCatalogs();
// True from LoadStarCatalogs until the finished load has been swapped in.
bool StarThreadRunning();
// Asks a running load to stop early (program exit): its arrays are dropped,
// the old ones stay, and the overlay threads are not resumed.
void CancelStarLoad();
// Waits until no load runs, handling GUI events meanwhile and once more
// afterwards, so the finished load's messages are shown (program exit,
// tests). Returns false when `timeoutMs` passed first.
bool WaitForStarLoad(int timeoutMs = 60000);
