// The owners of the settings-file slots and the reading and writing of whole
// settings files.
//
// Each option window owns one slot (1 star options, 2 deep-sky filter,
// 3 solar system, 4 constellations, 5 coordinate grid, 6 atmosphere,
// 7 magnifier, 8 points of interest, 9 observer location, 10 chart date and
// time, 11 chart view) and registers a writer and a reader for its block.
// The shell does all file work: it appends each writer's block and records it
// in the directory, and hands each reader its block only after checking that
// the directory is sound and the block lies whole inside the file. Owners
// check the values inside their block (counts, ranges) and change nothing
// when they refuse it, or give their defaults where their rules say so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr int kSettingsOwnerSlots = 11;  // slots 1..11 are in use

// Block sizes of the slots in use as their owners define them (0 for slots
// outside 1..11).
std::size_t SettingsBlockBytes(int slot);

// One slot's owner.
struct TSettingsSectionOwner {
  // Size of the block in bytes; blocks of any other size are never written
  // or handed to `read`.
  std::size_t blockBytes = 0;
  // Returns the current settings as a block of blockBytes bytes.
  std::function<std::vector<uint8_t>()> write;
  // Applies a block read from a file, or handles its absence (`block` is
  // null when the file holds no block for the slot; the owner then normally
  // leaves its settings as they are). Returns false when the owner refuses
  // the block's contents; it then leaves its settings unchanged, or gives
  // them its defaults where its own rules say a damaged block does (the
  // constellations and the coordinate grid).
  std::function<bool(const std::vector<uint8_t>* block)> read;
};

// Makes `owner` the owner of `slot` (1..11), replacing any earlier owner.
// False for a slot outside 1..11 or an owner without both callbacks.
bool RegisterSettingsSection(int slot, TSettingsSectionOwner owner);
void UnregisterSettingsSection(int slot);
void UnregisterAllSettingsSectionsForTest();
bool HasSettingsSectionOwner(int slot);

// The slots a save kind (1..5) writes, in writing order; empty for other
// kinds.
std::vector<int> SettingsSaveSlots(int kind);

// Writes a settings file of kind 1..5: the cleared directory, then the block
// of every registered owner among the kind's slots, in the kind's order.
// Slots without an owner stay absent. The file is written under a temporary
// name and replaces `path` only when complete. On failure the user is told
// (code 105 when the file cannot be created, 106 when writing fails), `path`
// is left as it was, and false is returned.
bool WriteSettingsFile(const std::string& path, int kind);

enum class TSettingsReadResult {
  Ok,          // every block present was handed to its owner and accepted
  CannotOpen,  // the file could not be opened or is no regular file (nothing reported)
  Damaged,     // the directory or a block lies outside the file; nothing applied
  Refused,     // an owner refused its block; the others were applied
};

// Reads a settings file through the readers of slots 1..11 in order. Every
// file goes through all readers, so a file that holds only some blocks
// changes only those owners' settings. Before any reader runs, the directory
// is checked: the file must hold the whole directory, the flags of slots 1..11
// must be 0 or 255, and each present block must lie whole inside the file
// after the directory. A damaged file is reported (code 100 for an
// unrecognised directory, 101 for a block outside the file) and changes
// nothing. An owner's refusal is reported with code 100 after all readers ran.
// A file that cannot be opened gives its reason in `why`: a named pipe, a
// folder or a device in its place is refused unopened ("it is a named pipe,
// not a file"), errno as platform/data_file.h sets it.
TSettingsReadResult ReadSettingsFile(const std::string& path, std::string* why = nullptr);
