// The device windows' text files: whole-file reads and safe writes, and the
// two PEC file formats (the window's own CSV export and the EQMOD PECPrep
// file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The largest text file read: far above any PEC table or pointing model.
inline constexpr uint64_t kTextFileBytes = 16 * 1024 * 1024;
// Reads a whole regular file of at most kTextFileBytes; false when it
// cannot be read, with the system's reason or why it was refused in `why`
// (a named pipe, a folder or a device in its place is never opened, a
// larger file not read beyond that).
bool ReadTextFile(const std::string& path, std::string& text, std::string* why = nullptr);
// Writes a whole file through a temporary file and a rename, so a failed
// write never leaves half a file; false on failure.
bool WriteTextFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// One PEC table entry from a file: index in 0..n-1 and the correction in steps.
struct TPecFileEntry {
  int index;
  int entry;
};

// True when the text's first line is the CSV export header or starts with
// "#EQMOD PECPrep".
bool IsPecFile(const std::string& text);

// The entries of a PEC file for a mount of `stepsPerSecond` (>= 1) and a
// table of n entries. EQMOD files give the periodic error in arcseconds per
// index; each is differenced against the previous line and carried so that
// the rounded steps add up. CSV files give each entry in arcseconds.
// Lines whose index is outside 0..n-1 are skipped; a line whose value does
// not parse gives entry 0. Empty for any other file.
std::vector<TPecFileEntry> ParsePecFile(const std::string& text, double stepsPerSecond, int n);
