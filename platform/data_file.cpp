#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/paths.h"

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

constexpr const char* kNotRegular = "it is not a regular file";
constexpr const char* kNotAFileTail = ", not a file";

std::string NotAFile(mode_t mode) {
  const std::string kind = KindOf(mode);
  return kind == "not a regular file" ? kNotRegular : "it is " + kind + kNotAFileTail;
}

// The tests' stand-in for the system's refusals (RefuseDataFilesForTest).
std::atomic<bool> g_refusing{false};
std::mutex g_refuseMutex;
std::function<bool(const std::string&)> g_refuse;

bool RefusedForTest(const std::string& path) {
  if (!g_refusing) return false;
  std::lock_guard lock(g_refuseMutex);
  return g_refuse && g_refuse(path);
}

// Opens a regular file with `flags` (O_RDONLY; or O_WRONLY | O_CREAT, with
// O_APPEND to write at its end, else it is emptied once it is known to be a
// regular file); -1 with errno and `why` for anything else.
int OpenRegular(const std::string& path, int flags, std::string& why) {
  if (RefusedForTest(path)) {
    why = std::strerror(EACCES);
    errno = EACCES;
    return -1;
  }
  // Looked at first: what is not a regular file is never opened (opening a
  // pipe would wake a writer waiting for a reader, or wait for a reader).
  struct stat before {};
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
    why = NotAFile(before.st_mode);
    errno = EINVAL;
    return -1;
  }
  // Opened without waiting, should another file take its place meanwhile (a
  // pipe without a reader then refuses a writer with ENXIO).
  const bool writing = (flags & O_ACCMODE) != O_RDONLY;
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    const bool pipe = writing && errno == ENXIO;
    why = pipe ? NotAFile(S_IFIFO) : std::string(std::strerror(errno));
    if (pipe) errno = EINVAL;
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (writing && !(flags & O_APPEND) && ::ftruncate(fd, 0) != 0)) {
    const bool regular = S_ISREG(st.st_mode);
    const int err = errno;
    why = regular || !st.st_mode ? std::string(std::strerror(err)) : NotAFile(st.st_mode);
    ::close(fd);
    errno = regular || !st.st_mode ? err : EINVAL;
    return -1;
  }
  // Reads and writes of a regular file block as they always do.
  const int mode = ::fcntl(fd, F_GETFL);
  if (mode >= 0) ::fcntl(fd, F_SETFL, mode & ~O_NONBLOCK);
  return fd;
}

// A stream over the regular file OpenRegular opened; null, with errno and
// `why`, when that refused it or no stream can be made (`fd` is closed).
std::FILE* StreamOf(int fd, const char* mode, const std::string& reason, std::string* why) {
  if (fd < 0) {
    if (why) *why = reason;
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, mode);
  if (!f) {
    const int err = errno;
    ::close(fd);
    errno = err;
    if (why) *why = std::strerror(err);
  }
  return f;
}

}  // namespace

std::string DataFileRefusal(const std::string& path) {
  std::string why;
  const int fd = OpenRegular(path, O_RDONLY, why);
  if (fd >= 0) ::close(fd);
  return why;
}

std::FILE* OpenDataFile(const std::string& path, std::string* why) {
  std::string reason;
  const int fd = OpenRegular(path, O_RDONLY, reason);
  return StreamOf(fd, "rb", reason, why);
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

bool IsNotAFileReason(const std::string& why) {
  const std::string tail = kNotAFileTail;
  return why == kNotRegular || (why.rfind("it is ", 0) == 0 && why.size() > tail.size() && why.ends_with(tail));
}

bool DataFileMissing(int err) { return err == ENOENT || err == ENOTDIR; }

bool DataFileForbidden(int err) { return err == EACCES || err == EPERM; }

std::string UnreadFileAdvice(const std::string& path, int err) {
  const std::string full = AbsolutePath(path);
  const std::size_t slash = full.rfind('/');
  const std::string name = full.substr(slash + 1), folder = full.substr(0, slash + 1);
  const std::string again = "then start Noctra Planetarium again.";
  if (DataFileForbidden(err))
    return "Give your user the right to read and write \"" + name + "\" and the folder that holds it (\"" + folder +
           "\"): chmod u+rw on a file of yours, sudo chown on one of another user; " + again;
  if (err == EINVAL || err == EFBIG)
    return "Move what stands there aside and put the file \"" + name + "\" back in its place, " + again;
  return "Check the disk that holds \"" + name + "\", " + again;
}

std::string UnreadFileWarning(const std::string& what, const std::string& path, const std::string& why, int err,
                              const std::string& consequence) {
  return "Warning: Can't read " + what + " " + path + "\r\n(" + why + ")\r\n" + consequence + "\r\n" +
         UnreadFileAdvice(path, err);
}

void RefuseDataFilesForTest(std::function<bool(const std::string& path)> refuse) {
  std::lock_guard lock(g_refuseMutex);
  g_refusing = bool(refuse);
  g_refuse = std::move(refuse);
}

std::FILE* OpenDataFileToWrite(const std::string& path, bool append, std::string* why) {
  std::string reason;
  const int fd = OpenRegular(path, O_WRONLY | O_CREAT | (append ? O_APPEND : 0), reason);
  return StreamOf(fd, append ? "ab" : "wb", reason, why);
}

}  // namespace platform
