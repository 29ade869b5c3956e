// Binary settings files (".ssf"): a 600-byte directory of 100 slots, then the
// blocks. Slot n (at offset 6n) holds 255 when block n is present, the
// block's absolute offset (u32, little-endian) and one zero byte. Each option
// window owns one slot and writes or reads its own block through an open
// TSettingsStream; blocks are appended at the end of the file in the order of
// writing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

inline constexpr int kSettingsSlots = 100;
inline constexpr std::size_t kSettingsDirectoryBytes = 600;

// In-memory image of the directory.
struct TSettingsDirectory {
  struct Entry {
    uint8_t flag = 0;     // 255 = block present
    uint32_t offset = 0;  // absolute file offset of the block
  };
  Entry entries[kSettingsSlots];
};

// An open settings file. A file made with Create is written under a
// temporary name in the same folder and takes the real name only when Close
// succeeds, so a failed or abandoned save never replaces a good file with a
// half-written one.
class TSettingsStream {
 public:
  ~TSettingsStream();
  TSettingsStream(const TSettingsStream&) = delete;
  TSettingsStream& operator=(const TSettingsStream&) = delete;

  // Starts a new file that will replace `path` on Close, and writes the
  // cleared directory. nullptr when the file cannot be created.
  static std::unique_ptr<TSettingsStream> Create(const std::string& path);
  // Opens an existing regular file for reading. nullptr when it cannot be
  // opened, with the reason in `why` (platform/data_file.h: a named pipe, a
  // folder or a device in its place is refused unopened).
  static std::unique_ptr<TSettingsStream> Open(const std::string& path, std::string* why = nullptr);

  // Appends the block at the end of the file and records its offset in the
  // slot. False on a write failure, a read-only stream or a slot outside
  // 1..99.
  bool WriteSection(int slot, const std::vector<uint8_t>& block);

  // Reads the block of the slot, of exactly `size` bytes. False, with
  // `block` untouched, when the slot is absent, the slot is outside 1..99, or
  // the recorded offset does not leave room for the block inside the file
  // (a damaged or truncated file never yields a partial block).
  bool ReadSection(int slot, std::size_t size, std::vector<uint8_t>& block);

  // True when the slot holds a present block (flag 255).
  bool HasSection(int slot);

  // Reads the whole directory. False when the file is shorter than it.
  bool ReadDirectory(TSettingsDirectory& dir);
  // The current size of the file in bytes (-1 on failure).
  int64_t FileSize();

  // Flushes and closes. A new file then takes its real name. False when the
  // data could not be written completely; the file at `path` is then as it
  // was before the save.
  bool Close();

 private:
  TSettingsStream(std::FILE* f, bool writable) : f_(f), writable_(writable) {}
  bool ReadEntry(int slot, TSettingsDirectory::Entry& e);
  std::FILE* f_;
  bool writable_;
  bool failed_ = false;
  std::string path_;      // the name a new file takes on Close
  std::string tempPath_;  // where a new file is written until then
};
