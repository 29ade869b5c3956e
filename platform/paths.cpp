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

bool CreateFileIfMissing(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  if (errno == EEXIST) return true;
  if (error) *error = Reason(errno);
  return false;
}

namespace {

// Gives the file `from` the name `to` in one step that fails with EEXIST
// when `to` exists. 0 on success, else the system's error.
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  int err = errno;
  if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) return err;
  // A file system that cannot refuse to replace on a rename (NFS): a second
  // name, which fails when it exists, then the first name goes.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  err = errno;
  if (err != EPERM && err != EOPNOTSUPP && err != ENOSYS) return err;
  // Nor hard links (some FUSE file systems): the name is claimed by an
  // exclusive create and the file renamed over the claim.
  const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  ::close(fd);
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    err = errno;
    std::remove(to.c_str());
    return err;
  }
  return 0;
}

constexpr const char* kWholeMark = ".whole";

std::function<void()> g_commitHook;  // set by tests only

// Puts the whole files of cut-short saves in `folder` ("<name>.whole-<id>-<n>"
// of processes that have ended) under a free name of their own and returns
// their paths; one that already has its name as well (a save cut short
// between its two names) only loses the temporary name. Removes the partial
// temporaries of `first`'s name.
std::vector<std::string> TidyCutShortSaves(const std::string& folder, const std::string& first) {
  std::vector<std::string> recovered;
  const std::string firstName = first.substr(first.rfind('/') + 1) + ".tmp";
  std::vector<std::string> partial;
  std::vector<std::pair<std::string, std::string>> whole;  // temporary, name it stands for
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return recovered;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.compare(0, firstName.size(), firstName) == 0 && IsStaleTemporarySuffix(name.substr(firstName.size())))
      partial.push_back(JoinPath(folder, name));
    // Whole temporaries always carry a number after the process id.
    const std::size_t mark = name.rfind(kWholeMark);
    const std::string rest = mark == std::string::npos ? std::string() : name.substr(mark + std::strlen(kWholeMark));
    if (mark > 0 && std::count(rest.begin(), rest.end(), '-') == 2 && IsStaleTemporarySuffix(rest))
      whole.emplace_back(JoinPath(folder, name), name.substr(0, mark));
  }
  ::closedir(dir);
  for (const std::string& f : partial)
    if (FileExists(f)) std::remove(f.c_str());
  for (const auto& [tmp, name] : whole) {
    struct stat st {};
    if (::lstat(tmp.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (st.st_nlink > 1) {
      ::unlink(tmp.c_str());
      continue;
    }
    const std::size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > 0;
    const std::string path =
        MoveToFreeName(tmp, folder, hasExt ? name.substr(0, dot) : name, hasExt ? name.substr(dot) : "");
    if (!path.empty()) recovered.push_back(path);
  }
  return recovered;
}

}  // namespace

std::string MoveToFreeName(const std::string& from, const std::string& folder, const std::string& stem,
                           const std::string& ext, std::string* error) {
  for (int n = 1; n <= 9999; ++n) {
    const std::string path = JoinPath(folder, n == 1 ? stem + ext : stem + "-" + std::to_string(n) + ext);
    const int err = MoveWithoutReplacing(from, path);
    if (err == 0) return path;
    if (err != EEXIST) {
      if (error) *error = Reason(err);
      return {};
    }
  }
  if (error) *error = Reason(EEXIST);
  return {};
}

void SetNewFileCommitHookForTest(std::function<void()> hook) { g_commitHook = std::move(hook); }

std::string WriteNewFile(const std::string& folder, const std::string& stem, const std::string& ext,
                         const std::function<bool(std::FILE*)>& write, std::string* error,
                         std::vector<std::string>* recovered) {
  static std::atomic<unsigned> counter{0};
  const std::string first = JoinPath(folder, stem + ext);
  std::vector<std::string> found = TidyCutShortSaves(folder, first);
  if (recovered) *recovered = std::move(found);
  // A temporary of its own per call: writers of one process never share it.
  const std::string tmp = TemporaryNameFor(first, "-" + std::to_string(counter++));
  int err = 0;
  auto fail = [&](const std::string& leftover, int e) {
    std::remove(leftover.c_str());
    if (error) *error = Reason(e);
    return std::string();
  };
  if (!WriteTemporary(tmp, write, err)) return fail(tmp, err);
  // The temporary is whole: from here on its name says so, and a save cut
  // short leaves it for the next save to put under a name.
  std::string whole;
  do {
    whole = first + kWholeMark + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    err = MoveWithoutReplacing(tmp, whole);
  } while (err == EEXIST);
  if (err != 0) return fail(tmp, err);
  if (g_commitHook) g_commitHook();
  std::string why;
  const std::string path = MoveToFreeName(whole, folder, stem, ext, &why);
  if (path.empty()) {
    std::remove(whole.c_str());
    if (error) *error = why;
  }
  return path;
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
