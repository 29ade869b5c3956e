// Helpers for tests: temporary folders and small file utilities.
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes out of scope. Path() ends in "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Whole-file helpers; ReadFile returns an empty vector for a missing file.
std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
// The lines of a text whose lines end in CR LF (a last line without its
// ending is kept).
std::vector<std::string> CrLfLines(const std::string& text);

// Sets an environment variable for the lifetime of the object and restores
// the previous value afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// The process's working folder is `folder` while the object lives (the
// program's working folder is its data folder); the previous one after.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::string& folder);
  ~ScopedCurrentFolder();
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  std::string old_;
};

// A full disk while it lives: files of this process cannot grow beyond
// `bytes` (RLIMIT_FSIZE; unlike a read-only folder, this stops root too).
struct FileSizeLimit {
  explicit FileSizeLimit(std::size_t bytes);
  ~FileSizeLimit();
  unsigned long long old = 0;
};

// The instant the program's clock reads in every test program unless a test
// sets another: 2026-01-10 00:00:00 UTC (JD 2461050.5), a night at 0°, 0°.
// From it the clock runs on in real time, so results never depend on the
// hour at which the tests run.
constexpr double kSuiteClockUnixSeconds = 1768003200.0;
void PinSuiteClock();

// Sets the instant the program's clock reads (seconds since 1970 UTC) for
// the lifetime of the object; the clock runs on from it and goes back to
// the suite's instant afterwards.
class ScopedClock {
 public:
  explicit ScopedClock(double unixSeconds);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;
};

// How long a test waits for something another thread or process does by
// itself (a search, a load, a slew, a child process ending). The wait ends
// as soon as it happens; the bound only ends a run that has already failed,
// and a loaded 2-core machine under a sanitizer is many times slower than a
// free one.
inline constexpr int kWaitMs = 60000;

// Handles the GUI thread's events until `done` holds (true) or `timeoutMs`
// has passed (false). It sleeps briefly between looks, so the workers it
// waits for get the processor (some run at the lowest priority).
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs);

// True under CI (.ci/run sets NOCTRA_CI=1): a test whose tool is missing
// then fails instead of skipping, so a missing install step cannot pass.
bool UnderCI();

// What provides the public catalogues the reference data are built from
// (data/sources.sh fetches them into ~/.cache/noctra-sources).
inline constexpr const char* kPublicSourcePackages =
    "stellarium-data and kstars-data (with the npm packages d3-celestial and world-atlas; "
    "run: source data/sources.sh && noctra_fetch_sources)";

// astrometry.net's solve-field as the plate solver's client finds it
// (NOCTRA_SOLVE_FIELD, else the PATH), and Debian's Tycho-2 index files.
bool HaveSolveField();
bool HaveTycho2Index();
// Poppler's pdftotext and pdftoppm on the PATH.
bool HavePoppler();
// The first page of a PDF as an image at `dpi` (pdftoppm); null when it
// cannot be made.
QImage PdfFirstPage(const std::string& pdf, int dpi);

}  // namespace testing_support

// Skips the test when `available` is false, naming what is missing and the
// Debian package that provides it; under CI the test fails instead. Use in
// a test body or a fixture's SetUp (it returns from the function).
#define NOCTRA_REQUIRE_TOOL(available, what, package)                                   \
  do {                                                                                 \
    if (!(available)) {                                                                \
      if (::testing_support::UnderCI())                                                \
        FAIL() << (what) << " is missing under CI: install the Debian package " << (package); \
      else                                                                             \
        GTEST_SKIP() << (what) << " is not installed (Debian package " << (package) << ")"; \
    }                                                                                  \
  } while (0)

// The same for the reference data built from the public catalogue sources.
#define NOCTRA_REQUIRE_REFERENCE_DATA(present) \
  NOCTRA_REQUIRE_TOOL(present, "a public catalogue source of the reference data", \
                      ::testing_support::kPublicSourcePackages)
