// Solar-system settings without their window: the twelve display switches
// with their registry section "Solar System" and settings-file block 3, the
// element-file names, the two element lists loaded at start, and the
// download of current element lists from the Minor Planet Center into an
// element grid.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/element_files.h"

inline constexpr int kSolarSwitchCount = 12;
inline constexpr int kSolarSystemSlot = 3;

// Sun label, Sun image, atmospheric brightening, Moon label, Moon image,
// planet labels, Galilean moons, planet images, asteroids shown, asteroid
// labels, comets shown, comet labels: the order of the plotter's bytes and
// of block 3.
using TSolarSwitches = std::array<uint8_t, kSolarSwitchCount>;

// The registry defaults.
TSolarSwitches SolarSwitchDefaults();
// Registry value names, in switch order.
extern const char* const kSolarSwitchNames[kSolarSwitchCount];

// Reads the twelve switches (defaults for missing values) and the two
// element-file names (cut to 255 characters) from section "Solar System".
TSolarSwitches ReadRegSolarSystem();
// Writes the switches and both names (the window says what was saved).
void WriteRegSolarSystem(const TSolarSwitches& s);
// Writes each element-file name that is not empty.
void WriteRegElementFiles();

// One element table as the solar-system window shows and edits it: the
// grid the table was applied from, whether it was read through a column
// template, and the list that was not read whole (held back from being
// replaced unasked; "" for none) with why.
struct TElementList {
  TElementKind kind;
  TElementGrid grid;
  bool templateUsed = false;
  std::string heldBack = {};
  TElementLoadProblem heldBackWhy = TElementLoadProblem::None;
};
// The asteroids' list (0) and the comets' (1).
extern TElementList ElementLists[2];

// Tells the user (message box and log) why a list was not read whole; true
// when it was not.
bool TellElementLoadProblem(TElementKind kind, const std::string& file, TElementLoadProblem problem);

// Loads the current element files (AsteroidElementsFile,
// CometElementsFile) into both lists and the tables the chart draws from:
// at program start, and again when a settings file's block 3 is read. A
// file that cannot be read is forgotten (its name emptied, its list empty);
// a list not read whole (over 1,000 bodies, a read error) is told in a
// message box and the log and held back. GUI thread.
void LoadElementFiles();

// Block 3: the twelve bytes; decoding refuses a block of another size or a
// byte other than 0 or 1 (record untouched).
std::vector<uint8_t> EncodeSolarBlock(const TSolarSwitches& s);
bool DecodeSolarBlock(const std::vector<uint8_t>& block, TSolarSwitches& s);

// The server the element lists come from ("https://host", no trailing /).
extern std::string ElementDownloadHost;
inline constexpr int kElementDownloadTimeoutMs = 60000;

// The list's URL and the file it is stored in ("2026-12-06.mpc.ast").
std::string ElementDownloadUrl(TElementKind kind, int year);
std::string ElementDownloadName(TElementKind kind, const std::string& isoDate);

// Downloads the current list into `grid`: the list goes to a temporary file
// first and is kept only when the server answered with success and at
// least one valid body was read from it; then it is read into the grid
// (all files in the working folder)
// (merged when `mergeMode`), the grid is applied and saved as the default
// element file, whose name becomes the current one. Answers "" on success,
// otherwise the reason; the grid, the table and the files are then as they
// were.
std::string DownloadElementList(TElementKind kind, TElementGrid& grid, bool mergeMode,
                                int timeoutMs = kElementDownloadTimeoutMs);
