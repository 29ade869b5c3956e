#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include "platform/dialogs.h"

namespace platform {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
  const std::string exact = JoinPath(folder, name);
  if (FileExists(exact)) return exact;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return exact;
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = JoinPath(folder, e->d_name);
      if (FileExists(found)) break;
      found.clear();
    }
  }
  ::closedir(dir);
  return found.empty() ? exact : found;
}

std::string CurrentFolder() {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  if (ec || cwd.empty()) return "./";
  if (cwd.back() != '/') cwd += '/';
  return cwd;
}

std::string AbsolutePath(const std::string& path, const std::string& base) {
  if (path.empty()) return path;
  std::filesystem::path p(path);
  // "~" and "~/..." are the user's home folder, as a shell reads them.
  const char* home = std::getenv("HOME");
  if ((path == "~" || path.rfind("~/", 0) == 0) && home && home[0] == '/')
    p = std::filesystem::path(home) / path.substr(std::min<std::size_t>(path.size(), 2));
  else if (p.is_relative()) p = std::filesystem::path(base.empty() || base[0] != '/' ? CurrentFolder() + base : base) / p;
  std::string out = p.lexically_normal().string();
  // "dir/." and "dir/.." leave a final separator, which a file path has not.
  if (out.size() > 1 && out.back() == '/' && path.back() != '/') out.pop_back();
  return out;
}

std::string AbsoluteFolder(const std::string& folder, const std::string& base) {
  std::string out = AbsolutePath(folder.empty() ? std::string(".") : folder, base);
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

namespace {

// $name when set and not empty, else $HOME + `underHome`, else empty.
std::string XdgFolder(const char* name, const char* underHome) {
  if (const char* x = std::getenv(name); x && *x) return x;
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + underHome;
  return {};
}

}  // namespace

std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }
std::string UserCacheFolder() { return XdgFolder("XDG_CACHE_HOME", "/.cache"); }

std::string MakePrivateTemporaryFolder(std::string* error) {
  const char* t = std::getenv("TMPDIR");
  std::string pattern = JoinPath(t && *t ? t : "/tmp", "noctra-XXXXXX");
  if (!::mkdtemp(pattern.data())) {  // mode 0700
    if (error) *error = std::strerror(errno);
    return {};
  }
  return pattern + "/";
}

std::string TemporaryNameFor(const std::string& path, const std::string& suffix) {
  return path + ".tmp-" + std::to_string(::getpid()) + suffix;
}

namespace {

// True when `rest` (what follows "<file>.tmp") names a temporary of a process
// that has ended: "-<id>" or "-<id>-<n>".
bool IsStaleTemporarySuffix(const std::string& rest) {
  if (rest.empty() || rest[0] != '-') return false;
  std::size_t i = 1;
  long long pid = 0;
  while (i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])) && pid < 1LL << 31)
    pid = pid * 10 + (rest[i++] - '0');
  if (i == 1 || pid <= 0 || pid >= 1LL << 31) return false;
  if (i < rest.size()) {
    if (rest[i] != '-' || i + 1 == rest.size()) return false;
    for (std::size_t j = i + 1; j < rest.size(); ++j)
      if (!std::isdigit(static_cast<unsigned char>(rest[j]))) return false;
  }
  if (pid_t(pid) == ::getpid()) return false;
  // A process that still runs (or that we may not signal) keeps its file.
  return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

std::string Reason(int err) { return err ? std::strerror(err) : "write failed"; }

}  // namespace

void RemoveStaleTemporaries(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.compare(0, prefix.size(), prefix) == 0 && IsStaleTemporarySuffix(name.substr(prefix.size())))
      stale.push_back(JoinPath(folder, name));
  }
  ::closedir(dir);
  for (const std::string& f : stale)
    if (FileExists(f)) std::remove(f.c_str());
}

namespace {

// Writes the temporary file `tmp` through `write` and puts it on the disk
// (flushed, synced, closed). False with the system's error in `err`; the
// temporary is left for the caller to remove.
bool WriteTemporary(const std::string& tmp, const std::function<bool(std::FILE*)>& write, int& err) {
  err = 0;
  auto check = [&](bool ok) {
    if (!ok && err == 0) err = errno ? errno : EIO;
    return ok;
  };
  errno = 0;
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!check(f != nullptr)) return false;
  const bool written = check(write(f));
  const bool flushed = written && check(std::fflush(f) == 0) && check(::fsync(::fileno(f)) == 0);
  const bool closed = check(std::fclose(f) == 0);
  return written && flushed && closed;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size, std::string* error) {
  RemoveStaleTemporaries(path);
  const std::string tmp = TemporaryNameFor(path);
  int err = 0;
  const bool ok = WriteTemporary(
      tmp, [&](std::FILE* f) { return size == 0 || std::fwrite(data, 1, size, f) == size; }, err);
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    if (ok) err = errno ? errno : EIO;
    std::remove(tmp.c_str());
    if (error) *error = Reason(err);
    return false;
  }
  return true;
}

std::string WriteNewFile(const std::string& folder, const std::string& stem, const std::string& ext,
                         const std::function<bool(std::FILE*)>& write, std::string* error) {
  static std::atomic<unsigned> counter{0};
  const std::string first = JoinPath(folder, stem + ext);
  RemoveStaleTemporaries(first);
  // A temporary of its own per call: writers of one process never share it.
  const std::string tmp = TemporaryNameFor(first, "-" + std::to_string(counter++));
  int err = 0;
  auto fail = [&](int e) {
    std::remove(tmp.c_str());
    if (error) *error = Reason(e);
    return std::string();
  };
  if (!WriteTemporary(tmp, write, err)) return fail(err);
  // The first free name, claimed by an exclusive create; the whole file then
  // takes the claim's place.
  for (int n = 1; n <= 9999; ++n) {
    const std::string path = n == 1 ? first : JoinPath(folder, stem + "-" + std::to_string(n) + ext);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return fail(errno);
    }
    ::close(fd);
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
      const int e = errno;
      std::remove(path.c_str());  // the empty claim
      return fail(e);
    }
    return path;
  }
  return fail(EEXIST);
}

namespace {

std::mutex g_reportMutex;
std::set<std::string> g_failing;  // files told as failing and not saved since
int g_batchDepth = 0;
uint64_t g_batchSerial = 0;  // of the outermost batch made last
std::vector<std::pair<std::string, std::string>> g_batched;  // file and reason
std::function<void(const std::string&)> g_sink;

std::string FailureText(const std::vector<std::pair<std::string, std::string>>& failures) {
  if (failures.size() == 1)
    return "Error: Can't write file " + failures[0].first + "\r\n" + failures[0].second +
           "\r\nThe previous file is kept.";
  std::string text = "Error: Can't write these files:";
  for (const auto& [path, reason] : failures) text += "\r\n" + path + " (" + reason + ")";
  return text + "\r\nThe previous files are kept.";
}

void Tell(const std::string& text) {
  std::function<void(const std::string&)> sink;
  {
    std::lock_guard lock(g_reportMutex);
    sink = g_sink;
  }
  if (sink)
    sink(text);
  else
    ShowMessageBox(text, kProductCaption, MsgButtons::Ok, MsgIcon::Exclamation);
}

}  // namespace

void ReportSaveFailure(const std::string& path, const std::string& reason) {
  {
    std::lock_guard lock(g_reportMutex);
    if (!g_failing.insert(path).second) return;
    if (g_batchDepth > 0) {
      g_batched.emplace_back(path, reason);
      return;
    }
  }
  Tell(FailureText({{path, reason}}));
}

void ReportSaved(const std::string& path) {
  std::lock_guard lock(g_reportMutex);
  g_failing.erase(path);
}

SaveFailureBatch::SaveFailureBatch() {
  std::lock_guard lock(g_reportMutex);
  if (g_batchDepth++ == 0) ++g_batchSerial;
}

uint64_t CurrentSaveFailureBatch() {
  std::lock_guard lock(g_reportMutex);
  return g_batchDepth > 0 ? g_batchSerial : 0;
}

SaveFailureBatch::~SaveFailureBatch() {
  std::vector<std::pair<std::string, std::string>> failures;
  {
    std::lock_guard lock(g_reportMutex);
    if (--g_batchDepth > 0) return;
    failures.swap(g_batched);
  }
  if (!failures.empty()) Tell(FailureText(failures));
}

void SetSaveFailureSink(std::function<void(const std::string& text)> sink) {
  std::lock_guard lock(g_reportMutex);
  g_sink = std::move(sink);
}

bool SaveFile(const std::string& path, const void* data, std::size_t size) {
  std::string error;
  if (!WriteFileAtomically(path, data, size, &error)) {
    ReportSaveFailure(path, error);
    return false;
  }
  ReportSaved(path);
  return true;
}

}  // namespace platform
