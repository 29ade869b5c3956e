// Object-database fixtures: a small database written by the tests: the base catalogue with 3
// rows, an empty table and "my_cat" with 2 rows; another program holding a
// database locked; and a probe of the object lock.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <sqlite3.h>

#include "catalog/object_catalog.h"

#include "catalog/sqlite_db.h"
#include "tests/support/test_support.h"

// M31 at J2000, radians.
inline constexpr double kM31RA = 0.1864833342141783;
inline constexpr double kM31DE = 0.7202755656824098;

inline constexpr const char* kObjectSchema =
    " (idx INTEGER, ID VARCHAR(255), SubID VARCHAR(255), CL VARCHAR(255), SubCL VARCHAR(255), "
    "RA DOUBLE, DE DOUBLE, Mv FLOAT, MaA INTEGER, MiA INTEGER, PA INTEGER, DIST DOUBLE, "
    "RNGCOld VARCHAR(255), RNGCNew VARCHAR(255))";

struct ObjectDatabase {
  testing_support::TempDir dir;
  std::string path = dir.File("Objects.sqlite");
  ObjectDatabase() {
    TSQLiteDatabase db(path, true);
    db.Execute(std::string("CREATE TABLE BASE_OBJECT_CATALOG") + kObjectSchema);
    db.Execute(std::string("CREATE TABLE EMPTY") + kObjectSchema);
    db.Execute(std::string("CREATE TABLE my_cat") + kObjectSchema);
    db.AddParamFloat(":ra", kM31RA);
    db.AddParamFloat(":de", kM31DE);
    db.Execute("INSERT INTO BASE_OBJECT_CATALOG VALUES (1, '224', '', '5', 'Sb', :ra, :de, 3.4, "
               "1780, 630, 35, 770000, 'pB,vL', 'eeB')");
    db.Execute("INSERT INTO BASE_OBJECT_CATALOG VALUES (2, '1976', '', '3', '', 1.46, -0.09, 4.0, "
               "600, 500, NULL, NULL, NULL, NULL)");
    db.Execute("INSERT INTO BASE_OBJECT_CATALOG (idx, ID, CL) VALUES (3, '2070', '18')");
    db.Execute("INSERT INTO my_cat (idx, ID, SubID, CL, Mv) VALUES (16, 'A', 'x', '1', 23)");
    db.Execute("INSERT INTO my_cat (idx, ID, SubID, CL, Mv) VALUES (17, 'B', '', '2', 15)");
  }
  std::vector<std::string> Names() const { return {"BASE_OBJECT_CATALOG", "EMPTY", "my_cat"}; }
};

// Another program's connection that holds the database locked until it is
// released: "BEGIN EXCLUSIVE" keeps every other connection from reading,
// "BEGIN IMMEDIATE" with a write lets them read and keeps them from writing.
class OtherProgram {
 public:
  OtherProgram(const std::string& path, const char* statements) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db_, statements, nullptr, nullptr, nullptr) != SQLITE_OK)
      ADD_FAILURE() << "the other program could not lock " << path << ": " << sqlite3_errmsg(db_);
  }
  ~OtherProgram() { Release(); }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;
  // Rolls its transaction back and closes the connection.
  void Release() {
    if (!db_) return;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
};

inline constexpr const char* kLockExclusive = "BEGIN EXCLUSIVE";
// A write into the test database's "my_cat".
inline constexpr const char* kLockWriting = "BEGIN IMMEDIATE; INSERT INTO my_cat (idx, ID) VALUES (99, 'Z')";

// Replaces, while it lives, the process's default file layer of the
// library by a copy of it that a test layer changes; connections opened
// meanwhile use the copy. The original is put back at the end.
class ReplacedFileLayer {
 public:
  ~ReplacedFileLayer() {
    sqlite3_vfs_unregister(&copy_);
    sqlite3_vfs_register(original_, 1);
  }
  ReplacedFileLayer(const ReplacedFileLayer&) = delete;
  ReplacedFileLayer& operator=(const ReplacedFileLayer&) = delete;

 protected:
  explicit ReplacedFileLayer(const char* name) : original_(sqlite3_vfs_find(nullptr)), copy_(*original_) {
    copy_.zName = name;
  }
  // Makes the changed copy the default.
  void Install() { sqlite3_vfs_register(&copy_, 1); }
  sqlite3_vfs* const original_;
  sqlite3_vfs copy_;
};

// Counts, while it lives, how often the library waits for another
// connection's lock (its busy handler's sleeps) on connections opened
// meanwhile: the copy's sleep only counts (and returns at once, so a wait
// costs no time).
class LockWaitCounter : ReplacedFileLayer {
 public:
  LockWaitCounter() : ReplacedFileLayer("noctra-test-lock-waits") {
    copy_.xSleep = [](sqlite3_vfs*, int microseconds) {
      ++waits_;
      return microseconds;
    };
    waits_ = 0;
    Install();
  }
  int Waits() const { return waits_; }

 private:
  static inline std::atomic<int> waits_{0};
};

// Refuses, while it lives, the files whose names end in `suffix` to
// connections opened meanwhile, as the system refuses a file of mode 000 to
// its reader ("Objects.sqlite") or a journal in a folder it may not write
// to ("Objects.sqlite-journal"): the copy's open fails with EACCES for them.
// (The tests run as root, whom the system refuses nothing.)
class DeniedFileLayer : ReplacedFileLayer {
 public:
  explicit DeniedFileLayer(std::string suffix) : ReplacedFileLayer("noctra-test-denied") {
    suffix_ = std::move(suffix);
    opener_ = original_;
    copy_.xOpen = [](sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
      const std::string n = name ? name : "";
      if (n.size() >= suffix_.size() && n.compare(n.size() - suffix_.size(), suffix_.size(), suffix_) == 0) {
        file->pMethods = nullptr;
        errno = EACCES;
        return SQLITE_CANTOPEN;
      }
      return opener_->xOpen(opener_, name, file, flags, outFlags);
    };
    Install();
  }

 private:
  static inline sqlite3_vfs* opener_ = nullptr;
  static inline std::string suffix_;
};

// Tries to take the object lock on another thread.
class LockProbe {
 public:
  LockProbe()
      : thread_([this] {
          LockObjects();
          got_ = true;
          UnlockObjects();
        }) {}
  ~LockProbe() { thread_.join(); }
  bool GotWithin(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!got_ && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return got_;
  }

 private:
  std::atomic<bool> got_{false};
  std::thread thread_;
};

inline bool LockFreeWithin(int ms) { return LockProbe().GotWithin(ms); }

// The message of the database exception `fn` raises ("" when it raises none).
template <class F>
std::string SQLiteErrorOf(F fn) {
  try {
    fn();
  } catch (const ESQLiteException& e) {
    return e.what();
  }
  return "";
}

