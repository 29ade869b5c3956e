#include "tools/picture_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/paths.h"

std::string ImageListFolder;

namespace {

uint32_t g_key = 0;

std::string IndexPath() { return ImageListFolder + "imagelisting.index"; }
std::string DataPath() { return ImageListFolder + "imagelisting.data"; }
std::string IndexTempPath() { return ImageListFolder + "imagelisting.index.temp"; }
std::string DataTempPath() { return ImageListFolder + "imagelisting.data.temp"; }

// The whole file; false when it exists but cannot be read, or is no regular
// file (a pipe or a device in its place is never opened), with the file and
// why in `why` (may be null). A missing file is empty.
bool ReadAll(const std::string& path, std::vector<uint8_t>& out, std::string* why = nullptr) {
  out.clear();
  std::string reason;
  auto bytes = platform::ReadDataFileBytes(path, &reason);
  if (!bytes) {
    if (errno == ENOENT) return true;
    if (why) *why = "\"" + path + "\": " + reason;
    return false;
  }
  out = std::move(*bytes);
  return true;
}

// Both files of the pair; false as ReadAll.
bool ReadPair(std::vector<uint8_t>& index, std::vector<uint8_t>& data, std::string* why = nullptr) {
  return ReadAll(IndexPath(), index, why) && ReadAll(DataPath(), data, why);
}

struct IndexEntry {
  uint32_t key, offset;
};

std::vector<IndexEntry> ParseIndex(const std::vector<uint8_t>& bytes) {
  std::vector<IndexEntry> out;
  for (std::size_t p = 0; p + 8 <= bytes.size(); p += 8)  // a torn last entry is ignored
    out.push_back({platform::GetU32(bytes.data() + p), platform::GetU32(bytes.data() + p + 4)});
  return out;
}

bool WriteIndex(const std::vector<IndexEntry>& entries) {
  std::vector<uint8_t> bytes(entries.size() * 8);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    platform::PutU32(bytes.data() + 8 * i, entries[i].key);
    platform::PutU32(bytes.data() + 8 * i + 4, entries[i].offset);
  }
  return platform::WriteFileAtomically(IndexPath(), bytes.data(), bytes.size());
}

// The bytes written to a new file and flushed to the disk; false on any
// failure (a full disk, a folder that cannot be written).
bool WriteSynced(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = platform::OpenDataFileToWrite(path, false);  // never a pipe in its place
  if (!f) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool synced = written && std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
  return std::fclose(f) == 0 && synced;
}

// The renames made durable: the folder's entries flushed (best effort).
void SyncFolder() {
  const int fd = ::open(ImageListFolder.empty() ? "." : ImageListFolder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Removes the two temporaries, the index's first: a data temporary alone is
// always one to throw away.
void RemoveTemporaries() {
  ::unlink(IndexTempPath().c_str());
  ::unlink(DataTempPath().c_str());
}

// A compaction that a crash cut short. A temporary whose live file is
// missing, or an index temporary alone: the live pair was being replaced
// (the data file first, or both removed before the renames, as an older
// order did) by complete temporaries, which are put in place. Both
// temporaries beside the live pair: the pair was not yet touched, and the
// temporaries go.
void FinishInterruptedCompaction() {
  const bool indexTemp = platform::FileExists(IndexTempPath()), dataTemp = platform::FileExists(DataTempPath());
  if (!indexTemp && !dataTemp) return;
  if (dataTemp && platform::FileExists(IndexPath()) && platform::FileExists(DataPath())) {
    RemoveTemporaries();
    return;
  }
  if (dataTemp && std::rename(DataTempPath().c_str(), DataPath().c_str()) != 0) return;
  if (indexTemp) std::rename(IndexTempPath().c_str(), IndexPath().c_str());
  SyncFolder();
}

// Readies the pair for use: at the store's first use in its folder, the
// temporaries of adds that a kill or crash cut short
// ("imagelisting.index.tmp-<id>", "imagelisting.data.tmp-<id>" of processes
// no longer running) are removed; every time, a compaction cut short is
// completed.
void PrepareStore() {
  static std::string cleanedFolder;
  static bool cleaned = false;
  if (!cleaned || cleanedFolder != ImageListFolder) {
    platform::RemoveStaleTemporaries(IndexPath());
    platform::RemoveStaleTemporaries(DataPath());
    cleanedFolder = ImageListFolder;
    cleaned = true;
  }
  FinishInterruptedCompaction();
}

bool PutShortString(uint8_t* at, const std::string& utf8, const char* what, std::string& error) {
  const std::string cp = platform::Utf8ToCp1252(utf8);
  if (cp.size() > 255) {
    error = std::string("The picture's ") + what + " is longer than 255 characters and cannot be stored.";
    return false;
  }
  if (platform::Cp1252ToUtf8(cp) != utf8) {
    error = std::string("The picture's ") + what + " holds characters that cannot be stored.";
    return false;
  }
  at[0] = uint8_t(cp.size());
  std::memcpy(at + 1, cp.data(), cp.size());
  return true;
}

}  // namespace

void SetImageListKey(uint8_t kind, uint32_t number) {
  if (kind == 10) kind = uint8_t(kind + (number >> 24));
  g_key = (uint32_t(kind) << 24) | (number & 0xFFFFFF);
}

uint32_t CurrentImageListKey() { return g_key; }

bool EncodeImageRecord(const TImageListEntry& e, uint8_t* r, std::string& error, std::string& warning) {
  std::memset(r, 0, kImageRecordBytes);
  if (!PutShortString(r, e.path, "file name", error) || !PutShortString(r + 256, e.title, "title", error))
    return false;
  // Notes: lines separated by CR, NUL-terminated, at most 2000 bytes.
  std::string notes;
  for (char c : e.notes)
    if (c == '\n') notes += '\r';
    else if (c != '\r') notes += c;
  notes = platform::Utf8ToCp1252(notes);
  if (notes.size() > kImageNotesBytes) {
    notes.resize(kImageNotesBytes);
    warning = "The notes were cut to 2000 characters.";
  }
  std::memcpy(r + 512, notes.data(), notes.size());
  return true;
}

TImageListEntry DecodeImageRecord(const uint8_t* r, std::size_t size) {
  TImageListEntry e;
  if (size < kImageRecordBytes) return e;
  e.path = platform::Cp1252ToUtf8(std::string(reinterpret_cast<const char*>(r + 1), r[0]));
  e.title = platform::Cp1252ToUtf8(std::string(reinterpret_cast<const char*>(r + 257), r[256]));
  std::string notes;
  for (std::size_t i = 512; i < kImageRecordBytes && r[i] != 0; ++i)
    if (r[i] == 13) notes += '\n';
    else if (r[i] != 10) notes += char(r[i]);
  e.notes = platform::Cp1252ToUtf8(notes);
  return e;
}

bool LoadImageList(std::vector<TImageListEntry>& list) {
  list.clear();
  PrepareStore();
  std::vector<uint8_t> index, data;
  if (!ReadPair(index, data)) return false;
  for (const IndexEntry& e : ParseIndex(index)) {
    if (e.key != g_key) continue;
    if (std::size_t(e.offset) + kImageRecordBytes > data.size()) continue;  // no record: skipped
    if (int(list.size()) >= kImageListSlots) break;
    list.push_back(DecodeImageRecord(data.data() + e.offset, kImageRecordBytes));
  }
  return true;
}

TImageStoreResult AddImageListEntry(const TImageListEntry& entry) {
  TImageStoreResult res;
  uint8_t record[kImageRecordBytes];
  if (!EncodeImageRecord(entry, record, res.error, res.warning)) return res;
  PrepareStore();
  std::vector<uint8_t> index, data;
  std::string why;
  if (!ReadPair(index, data, &why)) {
    res.error = "The picture list cannot be read (" + why + "); nothing was written.";
    return res;
  }
  // The record first (a new data file with the record appended), then the
  // index that names it.
  const uint32_t offset = uint32_t(data.size());
  data.insert(data.end(), record, record + kImageRecordBytes);
  if (!platform::WriteFileAtomically(DataPath(), data.data(), data.size())) {
    res.error = "The picture list cannot be written; nothing was written.";
    return res;
  }
  auto entries = ParseIndex(index);
  entries.push_back({g_key, offset});
  if (!WriteIndex(entries)) {
    res.error = "The picture list's index cannot be written; the picture was not added.";
    return res;
  }
  res.ok = true;
  return res;
}

namespace {

// Entry n of the current key (counted as LoadImageList lists them) left
// out, or its record replaced by `replacement`, with the pair compacted:
// the index walked in order, every entry's record taken at its offset and
// written in step into the temporaries, offsets renumbered from 0. Entries
// that name no record are dropped. `what` ends the error texts ("removed",
// "written").
TImageStoreResult RewriteStore(int n, const uint8_t* replacement, const std::string& what) {
  TImageStoreResult res;
  if (n < 0 || n >= kImageListSlots) {
    res.error = "There is no such picture; nothing was " + what + ".";
    return res;
  }
  PrepareStore();
  std::vector<uint8_t> indexBytes, data;
  std::string why;
  if (!ReadPair(indexBytes, data, &why)) {
    res.error = "The picture list cannot be read (" + why + "); nothing was " + what + ".";
    return res;
  }
  std::vector<uint8_t> newIndex, newData;
  newData.reserve(data.size());
  int count = -1;
  bool found = false;
  for (const IndexEntry& e : ParseIndex(indexBytes)) {
    if (std::size_t(e.offset) + kImageRecordBytes > data.size()) continue;
    const uint8_t* record = data.data() + e.offset;
    if (e.key == g_key && ++count == n) {
      found = true;
      if (!replacement) continue;
      record = replacement;
    }
    uint8_t entry[8];
    platform::PutU32(entry, e.key);
    platform::PutU32(entry + 4, uint32_t(newData.size()));
    newIndex.insert(newIndex.end(), entry, entry + 8);
    newData.insert(newData.end(), record, record + kImageRecordBytes);
  }
  if (!found) {
    res.error = "There is no such picture; nothing was " + what + ".";
    return res;
  }
  // Both temporaries whole on the disk before the live pair is touched.
  if (!WriteSynced(DataTempPath(), newData) || !WriteSynced(IndexTempPath(), newIndex) ||
      std::rename(DataTempPath().c_str(), DataPath().c_str()) != 0) {
    RemoveTemporaries();
    res.error = "The picture list cannot be written; nothing was " + what + ".";
    return res;
  }
  if (std::rename(IndexTempPath().c_str(), IndexPath().c_str()) != 0) {
    // The new index stays beside the new data file and is put in place the
    // next time the store is used.
    res.error = "The picture list's index cannot be replaced now; it is completed when the list is next used.";
    return res;
  }
  SyncFolder();
  res.ok = true;
  return res;
}

}  // namespace

TImageStoreResult DeleteImageListEntry(int n) { return RewriteStore(n, nullptr, "removed"); }

TImageStoreResult UpdateImageListEntry(int n, const TImageListEntry& entry) {
  TImageStoreResult res;
  uint8_t record[kImageRecordBytes];
  if (!EncodeImageRecord(entry, record, res.error, res.warning)) return res;
  const std::string warning = res.warning;
  res = RewriteStore(n, record, "written");
  res.warning = warning;
  return res;
}

std::string PictureTitleFromPath(const std::string& path) {
  const auto slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

std::string StoredPicturePath(const std::string& path, const std::string& programFolder) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return path;
  auto lower = [](std::string s) {
    for (char& c : s) c = char(std::tolower(uint8_t(c)));
    return s;
  };
  std::string folder = lower(programFolder);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return lower(path.substr(0, slash + 1)) == folder ? path.substr(slash + 1) : path;
}

QRect ImagePageRect(int W, int H, int w, int h) {
  if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return QRect();
  int dw = W, dh = int(std::trunc(double(W) / w * h));
  if (dh >= H) {
    dh = H;
    dw = int(std::trunc(double(H) / h * w));
  }
  return QRect((W - dw) / 2, (H - dh) / 2, dw, dh);
}

QRect SquareFitRect(int W, int H, int w, int h) {
  if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return QRect();
  const double a = double(w) / h;
  auto fit = [a](int side, int& dw, int& dh) {
    if (a >= 1) {
      dw = side;
      dh = int(std::nearbyint(side / a));
    } else {
      dw = int(std::nearbyint(side * a));
      dh = side;
    }
  };
  int dw, dh;
  fit(W, dw, dh);
  if (dh > H) fit(H, dw, dh);
  return QRect((W - dw) / 2, (H - dh) / 2, dw, dh);
}
