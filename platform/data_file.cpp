#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace platform {

namespace {

// What a file of this mode is, for the reason of a refusal.
const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// 16777216 as "16,777,216".
std::string GroupedDigits(uint64_t n) {
  std::string digits = std::to_string(n);
  for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(std::size_t(i), ",");
  return digits;
}

std::string NotAFile(mode_t mode) {
  const std::string kind = KindOf(mode);
  return kind == "not a regular file" ? "it is not a regular file" : "it is " + kind + ", not a file";
}

// Opens a regular file for reading; -1 with errno and `why` for anything
// else.
int OpenRegular(const std::string& path, std::string& why) {
  // Looked at first: what is not a regular file is never opened (opening a
  // pipe would wake a writer waiting for a reader).
  struct stat before {};
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
    why = NotAFile(before.st_mode);
    errno = EINVAL;
    return -1;
  }
  // Opened without waiting, should another file take its place meanwhile.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = errno;
    why = st.st_mode ? NotAFile(st.st_mode) : std::string(std::strerror(err));
    ::close(fd);
    errno = st.st_mode ? EINVAL : err;
    return -1;
  }
  // Reads of a regular file block as they always do.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

}  // namespace

std::string DataFileRefusal(const std::string& path) {
  std::string why;
  const int fd = OpenRegular(path, why);
  if (fd >= 0) ::close(fd);
  return why;
}

std::FILE* OpenDataFile(const std::string& path, std::string* why) {
  std::string reason;
  const int fd = OpenRegular(path, reason);
  if (fd < 0) {
    if (why) *why = reason;
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    const int err = errno;
    ::close(fd);
    errno = err;
    if (why) *why = std::strerror(err);
  }
  return f;
}

std::optional<std::vector<uint8_t>> ReadDataFileBytes(const std::string& path, std::string* why) {
  return ReadDataFileBytesUpTo(path, UINT64_MAX, why);
}

std::optional<std::vector<uint8_t>> ReadDataFileBytesUpTo(const std::string& path, uint64_t maxBytes,
                                                          std::string* why) {
  std::FILE* f = OpenDataFile(path, why);
  if (!f) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  std::size_t n;
  bool tooLarge = false;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (n > maxBytes - bytes.size()) {
      tooLarge = true;
      break;
    }
    bytes.insert(bytes.end(), buf, buf + n);
  }
  const bool failed = !tooLarge && std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (tooLarge) {
    if (why) *why = "it is larger than " + GroupedDigits(maxBytes) + " bytes";
    errno = EFBIG;
    return std::nullopt;
  }
  if (failed) {
    if (why) *why = std::strerror(err);
    errno = err;
    return std::nullopt;
  }
  return bytes;
}

std::FILE* OpenDataFileToWrite(const std::string& path, bool append, std::string* why) {
  // What is there and is not a regular file is never opened.
  struct stat before {};
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
    if (why) *why = NotAFile(before.st_mode);
    errno = EINVAL;
    return nullptr;
  }
  // Opened without waiting (a pipe put in its place meanwhile has no reader
  // to wait for) and without emptying it before it is known to be a file.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : 0),
                        0666);
  if (fd < 0) {
    const int err = errno;
    if (why) *why = err == ENXIO ? "it is a named pipe, not a file" : std::strerror(err);
    errno = err == ENXIO ? EINVAL : err;
    return nullptr;
  }
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!regular || (!append && ::ftruncate(fd, 0) != 0)) {
    const int err = errno;
    if (why) *why = regular ? std::strerror(err) : NotAFile(st.st_mode);
    ::close(fd);
    errno = regular ? err : EINVAL;
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, append ? "ab" : "wb");
  if (!f) {
    const int err = errno;
    ::close(fd);
    errno = err;
    if (why) *why = std::strerror(err);
  }
  return f;
}

}  // namespace platform
