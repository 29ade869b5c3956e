#include "shell/settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/paths.h"

namespace {

// Opens a fresh file next to `path` for a new settings file; the name is
// unique to this process and call. Temporaries that an earlier, killed save
// left behind are removed first.
std::FILE* OpenTemporaryFor(const std::string& path, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  platform::RemoveStaleTemporaries(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = platform::TemporaryNameFor(path, "-" + std::to_string(counter++));
    const int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      std::FILE* f = ::fdopen(fd, "w+b");
      if (!f) {
        ::close(fd);
        std::remove(tempPath.c_str());
      }
      return f;
    }
    if (errno != EEXIST) break;
  }
  tempPath.clear();
  return nullptr;
}

}  // namespace

TSettingsStream::~TSettingsStream() {
  if (f_) std::fclose(f_);
  // A new file that was never closed successfully is abandoned.
  if (!tempPath_.empty()) std::remove(tempPath_.c_str());
}

std::unique_ptr<TSettingsStream> TSettingsStream::Create(const std::string& path) {
  std::string tempPath;
  std::FILE* f = OpenTemporaryFor(path, tempPath);
  if (!f) return nullptr;
  std::unique_ptr<TSettingsStream> s(new TSettingsStream(f, true));
  s->path_ = path;
  s->tempPath_ = tempPath;
  const std::vector<uint8_t> zeros(kSettingsDirectoryBytes, 0);
  if (std::fwrite(zeros.data(), 1, zeros.size(), f) != zeros.size()) s->failed_ = true;
  return s;
}

std::unique_ptr<TSettingsStream> TSettingsStream::Open(const std::string& path, std::string* why) {
  std::FILE* f = platform::OpenDataFile(path, why);
  if (!f) return nullptr;
  return std::unique_ptr<TSettingsStream>(new TSettingsStream(f, false));
}

bool TSettingsStream::WriteSection(int slot, const std::vector<uint8_t>& block) {
  if (!f_ || !writable_ || slot < 1 || slot >= kSettingsSlots) return false;
  if (std::fseek(f_, 0, SEEK_END) != 0) return failed_ = true, false;
  const long end = std::ftell(f_);
  if (end < long(kSettingsDirectoryBytes) || end > 0xFFFFFFFFL) return failed_ = true, false;
  uint8_t entry[6] = {255, 0, 0, 0, 0, 0};
  platform::PutU32(entry + 1, uint32_t(end));
  // Block first, then the slot that points at it.
  const bool ok = (block.empty() || std::fwrite(block.data(), 1, block.size(), f_) == block.size()) &&
                  std::fseek(f_, 6L * slot, SEEK_SET) == 0 && std::fwrite(entry, 1, 6, f_) == 6 &&
                  std::fseek(f_, 0, SEEK_END) == 0;
  if (!ok) failed_ = true;
  return ok;
}

bool TSettingsStream::ReadEntry(int slot, TSettingsDirectory::Entry& e) {
  if (!f_ || slot < 1 || slot >= kSettingsSlots) return false;
  uint8_t entry[6];
  if (std::fseek(f_, 6L * slot, SEEK_SET) != 0 || std::fread(entry, 1, 6, f_) != 6) return false;
  e.flag = entry[0];
  e.offset = platform::GetU32(entry + 1);
  return true;
}

bool TSettingsStream::HasSection(int slot) {
  TSettingsDirectory::Entry e;
  return ReadEntry(slot, e) && e.flag == 255;
}

bool TSettingsStream::ReadSection(int slot, std::size_t size, std::vector<uint8_t>& block) {
  TSettingsDirectory::Entry e;
  if (!ReadEntry(slot, e) || e.flag != 255) return false;
  if (std::fseek(f_, 0, SEEK_END) != 0) return false;
  const long fileSize = std::ftell(f_);
  if (fileSize < 0 || e.offset < kSettingsDirectoryBytes || uint64_t(e.offset) + size > uint64_t(fileSize))
    return false;
  std::vector<uint8_t> data(size);
  if (std::fseek(f_, long(e.offset), SEEK_SET) != 0 ||
      (size && std::fread(data.data(), 1, size, f_) != size))
    return false;
  block = std::move(data);
  return true;
}

bool TSettingsStream::ReadDirectory(TSettingsDirectory& dir) {
  uint8_t bytes[kSettingsDirectoryBytes];
  if (!f_ || std::fseek(f_, 0, SEEK_SET) != 0 || std::fread(bytes, 1, sizeof bytes, f_) != sizeof bytes)
    return false;
  for (int slot = 0; slot < kSettingsSlots; ++slot) {
    dir.entries[slot].flag = bytes[6 * slot];
    dir.entries[slot].offset = platform::GetU32(bytes + 6 * slot + 1);
  }
  return true;
}

int64_t TSettingsStream::FileSize() {
  if (!f_ || std::fseek(f_, 0, SEEK_END) != 0) return -1;
  return std::ftell(f_);
}

bool TSettingsStream::Close() {
  if (!f_) return !failed_ && tempPath_.empty();
  bool ok = std::fflush(f_) == 0 && !failed_;
  if (writable_) ok = ok && ::fsync(::fileno(f_)) == 0;
  ok = std::fclose(f_) == 0 && ok;
  f_ = nullptr;
  if (!tempPath_.empty()) {
    ok = ok && std::rename(tempPath_.c_str(), path_.c_str()) == 0;
    if (!ok) std::remove(tempPath_.c_str());
    tempPath_.clear();
  }
  return ok;
}
