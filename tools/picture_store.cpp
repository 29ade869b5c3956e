#include "tools/picture_store.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/codec.h"
#include "platform/paths.h"

std::string ImageListFolder;

namespace {

uint32_t g_key = 0;

std::string IndexPath() { return ImageListFolder + "imagelisting.index"; }
std::string DataPath() { return ImageListFolder + "imagelisting.data"; }

// The whole file; false when it exists but cannot be read. A missing file is empty.
bool ReadAll(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  if (!platform::FileExists(path)) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
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

// Index position of entry n of the current key, or -1.
int FindEntry(const std::vector<IndexEntry>& index, int n) {
  int count = -1;
  for (std::size_t i = 0; i < index.size(); ++i)
    if (index[i].key == g_key && ++count == n) return int(i);
  return -1;
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
  std::vector<uint8_t> index, data;
  if (!ReadAll(IndexPath(), index) || !ReadAll(DataPath(), data)) return false;
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
  std::vector<uint8_t> index, data;
  if (!ReadAll(IndexPath(), index) || !ReadAll(DataPath(), data)) {
    res.error = "The picture list cannot be read; nothing was written.";
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

TImageStoreResult DeleteImageListEntry(int n) {
  TImageStoreResult res;
  std::vector<uint8_t> indexBytes, data;
  if (n < 0 || n >= kImageListSlots || !ReadAll(IndexPath(), indexBytes) || !ReadAll(DataPath(), data)) {
    res.error = "Nothing was removed.";
    return res;
  }
  const auto index = ParseIndex(indexBytes);
  const int at = FindEntry(index, n);
  if (at < 0) {
    res.error = "There is no such picture; nothing was removed.";
    return res;
  }
  // Only the index changes (one atomic replacement): the record stays in
  // the data file unreferenced, so no crash can pair an entry with another
  // entry's record.
  std::vector<IndexEntry> kept = index;
  kept.erase(kept.begin() + at);
  if (!WriteIndex(kept)) {
    res.error = "The picture list cannot be written; nothing was removed.";
    return res;
  }
  res.ok = true;
  return res;
}

TImageStoreResult UpdateImageListEntry(int n, const TImageListEntry& entry) {
  TImageStoreResult res;
  uint8_t record[kImageRecordBytes];
  if (n < 0 || n >= kImageListSlots) {
    res.error = "There is no such picture; nothing was written.";
    return res;
  }
  if (!EncodeImageRecord(entry, record, res.error, res.warning)) return res;
  std::vector<uint8_t> indexBytes, data;
  if (!ReadAll(IndexPath(), indexBytes) || !ReadAll(DataPath(), data)) {
    res.error = "The picture list cannot be read; nothing was written.";
    return res;
  }
  const auto index = ParseIndex(indexBytes);
  const int at = FindEntry(index, n);
  if (at < 0 || std::size_t(index[std::size_t(at)].offset) + kImageRecordBytes > data.size()) {
    res.error = "There is no such picture; nothing was written.";
    return res;
  }
  std::memcpy(data.data() + index[std::size_t(at)].offset, record, kImageRecordBytes);
  if (!platform::WriteFileAtomically(DataPath(), data.data(), data.size())) {
    res.error = "The picture list cannot be written; nothing was written.";
    return res;
  }
  res.ok = true;
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
