#include "platform/registry.h"

#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <unistd.h>
#include <vector>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QSysInfo>
#include <QThread>

#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "platform/registry_text.h"
#include "platform/value_range.h"

namespace platform {

namespace {

// How long a save waits for another running copy of the program that holds
// the store's lock (its write takes milliseconds).
constexpr int kLockWaitMs = 1000;
std::atomic<int> g_lockWaits{0};

// The saves of this process take turns; so do their reads of the file.
std::mutex& StoreMutex() {
  static std::mutex m;
  return m;
}

// UTF-8 text as it is: Qt's plain conversion drops a leading U+FEFF (a
// byte-order mark at the start of a file, here a character of a name or a
// value).
QString FromUtf8(const std::string& text) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                   QStringDecoder::Flag::ConvertInitialBom);
  return decoder(QByteArrayView(text.data(), qsizetype(text.size())));
}

// The test's watch of the names read (WatchSettingsReadsForTest), under
// its own lock: readers may run on any thread.
std::mutex g_watchMutex;
std::function<void(const std::string&, const std::string&)> g_readWatch;

void Watch(const std::string& section, const std::string& ident) {
  std::lock_guard guard(g_watchMutex);
  if (g_readWatch) g_readWatch(section, ident);
}

// The store's key of a value: "section/ident", or the ident alone for the
// keys outside any section.
QString Key(const std::string& section, const std::string& ident) {
  const QString name = FromUtf8(ident);
  return section.empty() ? name : FromUtf8(section) + QLatin1Char('/') + name;
}

QString StorePath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Tarvel Software/Noctra Planetarium.ini");
}

// The file's values, and its bytes in `text` when asked; false when it
// exists but cannot be read (`why` gives the system's reason, `err` its
// errno). Only a regular file is read: a pipe in its place would hold the
// reader for ever.
bool ReadStore(const QString& path, SettingsValues& values, QByteArray* text = nullptr, std::string* why = nullptr,
               int* err = nullptr) {
  values.clear();
  if (text) text->clear();
  std::string reason;
  const auto bytes = ReadDataFileBytesUpTo(QFile::encodeName(path).toStdString(), kSettingsFileBytes, &reason);
  if (!bytes) {
    const int e = errno;
    if (DataFileMissing(e)) return true;
    if (why) *why = reason;
    if (err) *err = e;
    return false;
  }
  const QByteArray read(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size()));
  values = ParseSettingsText(read);
  if (text) *text = read;
  return true;
}

// The stores told as unreadable, each once until it is read again.
std::mutex g_toldMutex;
std::set<QString> g_toldUnread;

// Tells the user, once while it lasts, that the store cannot be read: the
// defaults are used and nothing is written to it (every save then fails
// and says so). Shown from the event loop, never inside the reader.
void TellUnreadStore(const QString& path, const std::string& why, int err) {
  {
    std::lock_guard guard(g_toldMutex);
    if (!g_toldUnread.insert(path).second) return;
  }
  const std::string file = QFile::encodeName(path).toStdString();
  const std::string text = UnreadFileWarning("the settings file", file, why, err,
                                             "It is left as it is: the default settings are used, and the settings "
                                             "you change are not saved to it while it cannot be read.");
  PostToGuiThread([text] { ShowMessageBox(text, kProductCaption, MsgButtons::Ok, MsgIcon::Exclamation); });
}

void StoreRead(const QString& path) {
  std::lock_guard guard(g_toldMutex);
  g_toldUnread.erase(path);
}

// True when the lock beside the store names no owner (a save killed between
// making the lock and writing its name into it) or names a process of this
// machine that no longer runs. A lock naming this process is a leftover too
// (of an earlier process with the same number): this process's own saves
// take turns under StoreMutex and leave no lock behind.
bool OwnerGone(const QLockFile& lock) {
  qint64 pid = 0;
  QString host, app;
  if (!lock.getLockInfo(&pid, &host, &app)) return true;
  if (!host.isEmpty() && host != QSysInfo::machineHostName()) return false;  // another machine's: cannot tell
  if (pid <= 0 || pid == ::getpid()) return true;
  return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Takes the store's lock; empty when taken, else why not. A lock whose
// owner is gone is removed at once (QLockFile's own rule would wait until
// it is 30 s old); the removal still fails while a running process holds
// it, since every holder keeps a kernel lock on the file. A live holder is
// waited for at most `waitMs` (`heldByLiveCopy` then set). A lock file
// that cannot be made gives the system's reason.
std::string TakeLock(QLockFile& lock, int waitMs, bool& heldByLiveCopy) {
  heldByLiveCopy = false;
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    errno = 0;
    if (lock.tryLock(0)) return {};
    const int err = errno;
    if (lock.error() != QLockFile::LockFailedError) {
      const std::string lockFile = lock.fileName().toStdString();
      if (err == 0 || err == EEXIST) return "Its lock file " + lockFile + " cannot be made.";
      return std::string(std::strerror(err)) + " (its lock file " + lockFile + " cannot be made)";
    }
    const bool removed = OwnerGone(lock) && lock.removeStaleLockFile();
    if (removed && waited.elapsed() < waitMs + 100) continue;
    if (waited.elapsed() >= waitMs) {
      heldByLiveCopy = true;
      if (waitMs > 0) ++g_lockWaits;
      return "The settings file is locked by another running copy of the program.";
    }
    QThread::msleep(5);
  }
}

}  // namespace

namespace {

// One change in the order it was made: a value set, or a whole section
// removed.
struct Change {
  enum Kind { Set, EraseSection } kind;
  QString key;
  QString value;
};

void Apply(SettingsValues& values, const Change& c) {
  switch (c.kind) {
    case Change::Set: values[c.key] = c.value; break;
    case Change::EraseSection: {
      values.erase(c.key);
      const QString prefix = c.key + QLatin1Char('/');
      for (auto it = values.lower_bound(prefix); it != values.end() && it->first.startsWith(prefix);)
        it = values.erase(it);
      break;
    }
  }
}

// The store of one file, shared by every TRegIniFile of the process (under
// StoreMutex), so that a value written is read at once everywhere, as in
// the registry, before it reaches the file.
struct SharedStore {
  SettingsValues values;        // the file's values with `pending` applied
  std::vector<Change> pending;  // not yet written
};

SharedStore& StoreOf(const QString& path) {
  static std::map<QString, SharedStore> stores;
  return stores[path];
}

}  // namespace

namespace {

// The save (SaveFailureBatch) in which a live holder of the lock was last
// waited for in vain.
uint64_t g_batchGaveUp = 0;

}  // namespace

struct TRegIniFile::Store {
  std::string fileName;
  QString path;
  SharedStore* shared = nullptr;
  bool changed = false;  // this object made changes: its flush is a save
  bool gaveUp = false;   // a wait of this object for a live holder ended in vain

  void Make(Change c) {
    std::lock_guard guard(StoreMutex());
    Apply(shared->values, c);
    shared->pending.push_back(std::move(c));
    changed = true;
  }
  const QString* Find(const QString& key) const {
    const auto it = shared->values.find(key);
    return it == shared->values.end() ? nullptr : &it->second;
  }
};

TRegIniFile::TRegIniFile() : store_(std::make_unique<Store>()) {
  store_->path = StorePath();
  store_->fileName = store_->path.toStdString();
  std::lock_guard guard(StoreMutex());
  // The file as it is now (another copy of the program may have saved),
  // with the changes not yet written on top.
  SharedStore& shared = StoreOf(store_->path);
  store_->shared = &shared;
  SettingsValues values;
  std::string why;
  int err = 0;
  if (ReadStore(store_->path, values, nullptr, &why, &err)) {
    for (const Change& c : shared.pending) Apply(values, c);
    shared.values = std::move(values);
    StoreRead(store_->path);
  } else {
    TellUnreadStore(store_->path, why, err);
  }
}

TRegIniFile::~TRegIniFile() { Flush(); }

const std::string& TRegIniFile::FileName() const { return store_->fileName; }

bool TRegIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  Watch(section, ident);
  std::lock_guard guard(StoreMutex());
  return store_->Find(Key(section, ident)) != nullptr;
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& deflt) const {
  Watch(section, ident);
  std::lock_guard guard(StoreMutex());
  const QString* v = store_->Find(Key(section, ident));
  return v ? v->toStdString() : deflt;
}

int32_t TRegIniFile::ReadInteger(const std::string& section, const std::string& ident,
                                 int32_t deflt) const {
  if (!ValueExists(section, ident)) return deflt;
  int32_t v = 0;
  return ParseInt32(ReadString(section, ident, ""), v) ? v : deflt;
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool deflt) const {
  if (!ValueExists(section, ident)) return deflt;
  const std::string s = ReadString(section, ident, "");
  int32_t v = 0;
  if (ParseInt32(s, v)) return v != 0;
  const QString q = QString::fromStdString(s).trimmed().toLower();
  if (q == QLatin1String("true")) return true;
  if (q == QLatin1String("false")) return false;
  return deflt;
}

double TRegIniFile::ReadFloat(const std::string& section, const std::string& ident,
                              double deflt) const {
  if (!ValueExists(section, ident)) return deflt;
  double v = 0;
  return ParseDouble(ReadString(section, ident, ""), v) ? v : deflt;
}

int32_t TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t deflt,
                                 int32_t lo, int32_t hi) const {
  return InRangeOr(ReadInteger(section, ident, deflt), lo, hi, deflt);
}

double TRegIniFile::ReadFloat(const std::string& section, const std::string& ident, double deflt, double lo,
                              double hi) const {
  return InRangeOr(ReadFloat(section, ident, deflt), lo, hi, deflt);
}

std::string TRegIniFile::ReadNumberText(const std::string& section, const std::string& ident,
                                        const std::string& deflt, double lo, double hi) const {
  const std::string text = ReadString(section, ident, deflt);
  double v = 0;
  return ParseDouble(text, v) && InRange(v, lo, hi) ? text : deflt;
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident,
                              const std::string& value) {
  store_->Make({Change::Set, Key(section, ident), FromUtf8(value)});
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident,
                               int32_t value) {
  WriteString(section, ident, FormatInt(value));
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TRegIniFile::WriteFloat(const std::string& section, const std::string& ident, double value) {
  WriteString(section, ident, FormatGeneral(value, 15));
}

void TRegIniFile::EraseSection(const std::string& section) {
  store_->Make({Change::EraseSection, FromUtf8(section), {}});
}

int SettingsLockWaitsSoFar() { return g_lockWaits; }

void TRegIniFile::Flush() { Flush(store_->changed); }

void TRegIniFile::Flush(bool save) {
  std::string error;
  {
    std::lock_guard guard(StoreMutex());
    SharedStore& s = *store_->shared;
    if (s.pending.empty()) return;
    // One wait for a live holder per save: per batch, else per object.
    const uint64_t batch = CurrentSaveFailureBatch();
    const bool mayWait = save && (batch ? g_batchGaveUp != batch : !store_->gaveUp);
    const std::string folder = QFileInfo(store_->path).absolutePath().toStdString();
    QLockFile lock(store_->path + QStringLiteral(".lock"));
    SettingsValues current;
    QByteArray onDisk;
    std::error_code ec;
    bool held = false;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      error = ec.message() + " (the folder " + folder + " cannot be made)";
    } else if (error = TakeLock(lock, mayWait ? kLockWaitMs : 0, held); !error.empty()) {
      if (held && mayWait) {
        store_->gaveUp = true;
        if (batch) g_batchGaveUp = batch;
      }
    } else if (std::string why; !ReadStore(store_->path, current, &onDisk, &why)) {
      error = "The settings file cannot be read: " + why;
    } else {
      // The file as it is now, with the changes on top.
      for (const Change& c : s.pending) Apply(current, c);
      const QByteArray text = FormatSettingsText(current);
      const bool same = QFile::exists(store_->path) && onDisk == text;
      if (same || WriteFileAtomically(store_->fileName, text.constData(), std::size_t(text.size()), &error)) {
        s.values = std::move(current);
        s.pending.clear();
      } else if (error.empty()) {
        error = "The settings could not be written.";
      }
    }
  }
  if (error.empty())
    ReportSaved(store_->fileName);
  else if (save)
    ReportSaveFailure(store_->fileName, error);
}

void FlushSettingsStore() { TRegIniFile().Flush(true); }

void WatchSettingsReadsForTest(std::function<void(const std::string& section, const std::string& ident)> seen) {
  std::lock_guard guard(g_watchMutex);
  g_readWatch = std::move(seen);
}

}  // namespace platform
