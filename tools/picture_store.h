// Per-object picture lists: the store "imagelisting.index" (8-byte entries:
// key, offset of the record) and "imagelisting.data" (2513-byte records:
// path, title, notes), and the picture-fitting rules of the "Images" page
// and the viewer.
//
// The store never leaves a damaged pair behind: a new record is appended
// to the data file before the index names it, and records are found
// through the offsets the index holds (so a short record never shifts the
// others). A removal or a rewritten record compacts the pair: the index is
// walked in order, each entry's record taken at its offset, and both files
// are written afresh into "imagelisting.index.temp" and
// "imagelisting.data.temp" (records in index order, offsets from 0 in steps
// of 2513); the data file is then replaced by its temporary, and the index
// by its own. A failure before the first rename leaves the live pair as it
// was and removes the temporaries; a replacement a crash cut short is
// completed the next time the store is used (an index temporary without a
// data temporary, or a temporary without its live file, is put in place).
// An add writes each file through "<file>.tmp-<process id>"; those left by
// adds that were killed (their process no longer runs) are removed at the
// store's first use.
#pragma once

#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::size_t kImageRecordBytes = 2513;
inline constexpr int kImageListSlots = 2001;
inline constexpr std::size_t kImageNotesBytes = 2000;  // plus the ending NUL

// One picture of a list (UTF-8 in memory; Windows-1252 in the file). Notes
// lines are separated by "\n".
struct TImageListEntry {
  std::string path;
  std::string title;
  std::string notes;
  bool IsDefault() const { return !title.empty() && title.back() == '*'; }
};

// The folder of the two files ("" = the current folder; ends in "/").
extern std::string ImageListFolder;

// Sets the program-wide current key: kind × 2^24 + the low 24 bits of
// number; for kind 10 (objects of the database) the number's top byte (its
// table) is added to the kind.
void SetImageListKey(uint8_t kind, uint32_t number);
uint32_t CurrentImageListKey();

// The result of a change: ok, or what went wrong (nothing was written), and
// a warning when something was shortened.
struct TImageStoreResult {
  bool ok = false;
  std::string error;
  std::string warning;
};

// The entries of the current key, in index order, at most 2001. False when
// a file cannot be read (the entries read until then are kept); an index
// entry whose record lies beyond the data file is skipped (and dropped by
// the next compaction).
bool LoadImageList(std::vector<TImageListEntry>& list);
TImageStoreResult AddImageListEntry(const TImageListEntry& entry);
// n counts the current key's entries from 0 (0..2000), as LoadImageList
// lists them. Both compact the pair.
TImageStoreResult DeleteImageListEntry(int n);
TImageStoreResult UpdateImageListEntry(int n, const TImageListEntry& entry);

// Record codec (exposed for tests): false with an error when the entry
// cannot be stored (path or title too long or not Windows-1252); notes
// longer than 2000 bytes are cut with a warning.
bool EncodeImageRecord(const TImageListEntry& entry, uint8_t* record, std::string& error, std::string& warning);
TImageListEntry DecodeImageRecord(const uint8_t* record, std::size_t size);

// The picture's title from a file path: the file name cut before its first
// "."; the stored path: the file name alone when the file lies in
// programFolder (compared in lower case), else the full path.
std::string PictureTitleFromPath(const std::string& path);
std::string StoredPicturePath(const std::string& path, const std::string& programFolder);

// Where a w x h picture is drawn in a W x H box on the "Images" page
// (full width, or full height when that is too tall; centred) and in the
// square boxes of the solar-system page and the viewer. An empty picture
// gives an empty rectangle (nothing is drawn).
QRect ImagePageRect(int W, int H, int w, int h);
QRect SquareFitRect(int W, int H, int w, int h);
