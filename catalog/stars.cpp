#include "catalog/stars.h"

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "astro/precession.h"
#include "catalog/hooks.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "platform/thread_priority.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "shell/messages.h"

std::vector<TSaoStar> SaoStars;
int32_t SaoStarCount = 0;
uint32_t StarArraysGeneration = 0;
std::vector<TTychoStar> TychoStars;
int32_t TychoStarCount = 0;
std::vector<std::string> StarNames;
int32_t StarNameCount = 0;
std::string StarProgressText;
double StarCatalogEpoch = 0;
uint8_t StarCatalogPrecessed = 0;
uint8_t SaoFileOpen = 0;

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kFileAngleUnit = 2147483647.0;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr int kSaoBlockRecords = 400;
constexpr int kTychoBlockRecords = 8192;
constexpr const char* kWarningCaption = "Noctra - Warning:";
constexpr const char* kLowMemoryText = "Low memory, could not allocate\r\nmemory for star catalog.";
constexpr const char* kNotesFileName = "yale_notes.dat";
constexpr const char* kNotesCloseDetail = "Yale_Notes.dat";
constexpr const char* kSaoFileName = "SAO_YALE.DAT";
constexpr const char* kTychoFileName = "tycho2.dat";
// Records of the SAO catalogue file; the builder writes all of them.
constexpr int64_t kSaoCatalogRecords = 258997;
// A quarter turn in the files' angle units.
constexpr int64_t kQuarterTurn = (int64_t(2147483647) + 3) / 4;

// "3 of its 490,000 records hold a position off the sky (the first is
// record 17); they are left out".
TDataFileProblem BadRecords(const char* file, int64_t bad, int64_t first, int64_t total, const char* fate) {
  return {103, file,
          std::to_string(bad) + " of its " + std::to_string(total) + (bad == 1 ? " records holds" : " records hold") +
              " a position off the sky (the first is record " + std::to_string(first) + "); " +
              (bad == 1 ? "it is " : "they are ") + fate};
}

// A C stream that closes itself.
struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens a star file; only a regular file is opened (`why` says what else
// is there when given).
File OpenForReading(const std::string& path, bool sequential, std::string* why = nullptr) {
  std::string reason;
  File f(OpenDataFileToRead(path, reason));
  if (why) *why = reason;
  if (f && sequential) posix_fadvise(fileno(f.get()), 0, 0, POSIX_FADV_SEQUENTIAL);
  return f;
}

// Size of an open file in bytes; -1 when it cannot be told.
int64_t FileSize(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(f);
  if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) return -1;
  return size;
}

// Closes the file; false when the close failed.
bool CloseFile(File& f) {
  std::FILE* raw = f.release();
  return raw ? std::fclose(raw) == 0 : true;
}

// Shows work of a worker on the GUI thread without waiting for it.
void OnGuiThread(std::function<void()> fn) {
  if (platform::IsGuiThread())
    fn();
  else
    platform::PostToGuiThread(std::move(fn));
}

// The note at a 1-based offset: the bytes before the first "|" within the
// first 2,047 bytes read there (empty when there is none, or when the
// offset lies outside the file).
std::string ReadNoteBytes(std::FILE* f, uint32_t offset) {
  if (!f || offset == 0) return std::string();
  if (std::fseek(f, long(offset) - 1, SEEK_SET) != 0) return std::string();
  char buf[kStarNoteBufferBytes];
  const std::size_t n = std::fread(buf, 1, sizeof buf, f);
  const std::size_t limit = std::min<std::size_t>(n, kStarNoteBufferBytes - 1);
  for (std::size_t i = 0; i < limit; ++i)
    if (buf[i] == '|') return std::string(buf, i);
  return std::string();
}

bool IsUpperAscii(char c) { return c >= 'A' && c <= 'Z'; }
char LowerAscii(char c) { return IsUpperAscii(c) ? char(c - 'A' + 'a') : c; }

// Removes the first occurrence of `word` in `text`, ignoring ASCII case.
void RemoveWordNoCase(std::string& text, const std::string& word) {
  if (word.size() > text.size()) return;
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
    bool match = true;
    for (std::size_t k = 0; k < word.size() && match; ++k)
      match = LowerAscii(text[i + k]) == LowerAscii(word[k]);
    if (match) {
      text.erase(i, word.size());
      return;
    }
  }
}

// The stored name of a note, or "".
std::string NameFromNote(const std::string& noteBytes) {
  TStarNoteLines lines;
  const int count = SplitStarNote(noteBytes, lines);
  std::string name;
  ExtractStarName(lines, count, name);
  return platform::CutToChars(name, kMaxStarNameChars);
}

bool FitsMemory(std::size_t count, std::size_t recordBytes, std::size_t limit) {
  return count <= limit / recordBytes;
}

}  // namespace

// --- Records and filter -------------------------------------------------------

TSaoRecord DecodeSaoRecord(const uint8_t* p) {
  TSaoRecord r;
  r.Flags = platform::GetU16(p + 0);
  r.GreekCode = p[6];
  r.RA = platform::GetI32(p + 9);
  r.PmRA = platform::GetI16(p + 13);
  r.Dec = platform::GetI32(p + 15);
  r.PmDec = platform::GetI16(p + 19);
  r.Magnitude = p[21];
  r.Spectral = platform::GetU16(p + 23);
  r.NoteOffset = platform::GetU32(p + 27);
  return r;
}

bool IsEmptySaoRecord(const uint8_t* p) {
  for (std::size_t i = 0; i < kSaoRecordBytes; ++i)
    if (p[i]) return false;
  return true;
}

bool StarPositionOnSky(int32_t ra, int32_t dec) {
  return ra >= 0 && std::abs(int64_t(dec)) <= kQuarterTurn;
}

void CheckStarFiles() {
  std::string refused;
  auto size = [&refused](const std::string& name) -> int64_t {
    File f = OpenForReading(platform::FindFileNoCase(DataFolder, name), false, &refused);
    if (f) refused = kDataFileMissing;  // a size that cannot be told
    return f ? FileSize(f.get()) : -1;
  };
  const int64_t sao = size(kSaoFileName);
  if (sao < 0) ReportDataFileProblem(102, kSaoFileName, refused);
  else if (const std::string why = WholeRecordsReason(uint64_t(sao), int(kSaoRecordBytes)); !why.empty())
    ReportDataFileProblem(101, kSaoFileName, why);
  else if (sao / int64_t(kSaoRecordBytes) < kSaoCatalogRecords)
    ReportDataFileProblem(101, kSaoFileName,
                          std::to_string(sao / int64_t(kSaoRecordBytes)) + " records where the catalogue has " +
                              std::to_string(kSaoCatalogRecords) + " (the file was cut short)");
  const int64_t tycho = size(kTychoFileName);
  if (tycho < 0) ReportDataFileProblem(102, kTychoFileName, refused);
  else if (const std::string why = WholeRecordsReason(uint64_t(tycho), int(kTychoRecordBytes)); !why.empty())
    ReportDataFileProblem(101, kTychoFileName, why);
  if (size(kNotesFileName) < 0) ReportDataFileProblem(102, kNotesFileName, refused);
}

bool StarFilter(const TSaoRecord& r, const TStarOptions& o) {
  // Variable stars.
  const bool variable = r.Variable();
  switch (o.VariableMode) {
    case 1:
      if (!variable) return false;
      break;
    case 2:
      if (variable && r.Magnitude == 0) return false;
      break;
    case 3:
      if (variable) return false;
      break;
    default:
      break;
  }
  // Magnitude limits; a star without a magnitude passes them.
  if (r.Magnitude != 0) {
    const double m = r.Magnitude / 10.0 - 2.0;
    if (m > o.HighMagLimit || m < o.LowMagLimit) return false;
  }
  // Total proper motion, arcseconds per year.
  const double mua = r.PmRA / 1000.0;
  const double mud = r.PmDec / 1000.0;
  const double mu = std::sqrt(mua * mua + mud * mud);
  if (mu > o.HighProperLimit || mu < o.LowProperLimit) return false;
  // Luminosity class, tested only when some class is switched off. Digits
  // 6 and 7 count as class I; 0, 8 and 9 name no class.
  bool allLuminosity = true;
  for (uint8_t f : o.LuminosityClasses) allLuminosity = allLuminosity && f;
  if (!allLuminosity) {
    int digit = r.Spectral % 10;
    if (digit == 6 || digit == 7) digit = 1;
    if (digit < 1 || digit > 5 || !o.LuminosityClasses[digit - 1]) return false;
  }
  // Spectral class: O..M split by subclass 0-4 and 5-9, then R..WN.
  const int c = r.Spectral / 100;
  const int s = (r.Spectral / 10) % 10;
  if (c == 0 || c > 14) return true;
  const int flag = c <= 7 ? (c - 1) * 2 + (s >= 5 ? 1 : 0) : 14 + (c - 8);
  return o.SpectralClasses[flag] != 0;
}

void ConvertStarPosition(const TObserverTime& obs, int32_t ra32, int32_t dec32, int16_t pmRA,
                         int16_t pmDec, float& outRA, float& outDec) {
  // File units to radians.
  double ra = ra32 / kFileAngleUnit * kTwoPi;
  double dec = dec32 / kFileAngleUnit * kTwoPi;
  if (obs.PrecessionOn) {
    // Milliarcseconds per year to radians per year, then the motion since
    // J2000 and the precession to the chart epoch.
    const double scale = 1.0 / 1000.0 / 3600.0 / kDegreesPerRadian;
    ApplyProperMotion(obs, ra, dec, pmRA * scale, pmDec * scale);
    Precess(obs, ra, dec);
  }
  // Right ascension into [0, 2π).
  if (ra < 0)
    ra += kTwoPi;
  else if (ra >= kTwoPi)
    ra -= kTwoPi;
  if (!(ra >= 0 && ra < kTwoPi)) {  // only damaged records get here
    ra = std::fmod(ra, kTwoPi);
    if (ra < 0) ra += kTwoPi;
    if (!(ra >= 0 && ra < kTwoPi)) ra = 0;
  }
  outRA = float(ra);
  if (outRA >= float(kTwoPi)) outRA = 0.0f;  // rounding to float reached 2π
  outDec = float(dec);
}

// --- Notes and names ------------------------------------------------------------

int SplitStarNote(const std::string& note, TStarNoteLines& lines) {
  for (std::string& l : lines) l.clear();
  if (note.empty()) {
    lines[0] = "No data";
    return 1;
  }
  std::array<std::string, kStarNoteLines> raw;
  int line = 0;
  for (char c : note) {
    if (c == '~') {
      ++line;
      if (line >= kStarNoteLines) break;  // lines after the twelfth are dropped
      continue;
    }
    std::string& l = raw[std::size_t(line)];
    if (l.size() < 255)
      l += c;
    else
      l.back() = c;  // further characters overwrite the last one
  }
  const int count = std::min(line + 1, kStarNoteLines);
  for (int i = 0; i < count; ++i) lines[std::size_t(i)] = platform::Cp1252ToUtf8(raw[std::size_t(i)]);
  return count;
}

void ReadStarNotes(uint32_t offset, TStarNoteLines& lines, int& count) {
  std::string note;
  if (offset != 0) {
    File f = OpenForReading(platform::FindFileNoCase(DataFolder, kNotesFileName), false);
    if (f) {
      note = ReadNoteBytes(f.get(), offset);
      if (!CloseFile(f)) OnGuiThread([] { ShowErrorMessage(104, kNotesCloseDetail); });
    }
  }
  count = SplitStarNote(note, lines);
}

void ExtractStarName(const TStarNoteLines& lines, int count, std::string& name) {
  name.clear();
  count = std::clamp(count, 0, kStarNoteLines);
  for (int i = 0; i < count; ++i) {
    const std::string& line = lines[std::size_t(i)];
    if (line.size() < 2 || line[0] != 'N' || line[1] != ':') continue;
    // From the sixth character up to the first ";", "," or ".".
    std::string cand = line.size() > 5 ? line.substr(5) : std::string();
    const std::size_t stop = cand.find_first_of(";,.");
    if (stop != std::string::npos) cand.resize(stop);
    // A name with a digit is a designation, not a name.
    if (cand.find_first_of("0123456789") != std::string::npos) {
      name.clear();
      return;
    }
    // Capitals that do not follow a blank to lower case.
    for (std::size_t k = 0; k < cand.size(); ++k)
      if (IsUpperAscii(cand[k]) && (k == 0 || cand[k - 1] != ' ')) cand[k] = LowerAscii(cand[k]);
    for (const char* word : {"designated ", " by", "becvar", " in", "called"})
      RemoveWordNoCase(cand, word);
    if (!cand.empty() && cand[0] >= 'a' && cand[0] <= 'z') cand[0] = char(cand[0] - 'a' + 'A');
    name = cand;
  }
}

namespace {
File g_notes;
File g_sao;
int32_t g_saoRecords = 0;
}  // namespace

bool OpenStarNotes() {
  g_notes = OpenForReading(platform::FindFileNoCase(DataFolder, kNotesFileName), false);
  return bool(g_notes);
}

int ReadStarNote(uint32_t offset, std::string& note) {
  const std::string bytes = ReadNoteBytes(g_notes.get(), offset);
  note = platform::Cp1252ToUtf8(bytes);
  return int(bytes.size());
}

void CloseStarNotes() { g_notes.reset(); }

// --- Single SAO records -----------------------------------------------------------

bool OpenSaoFile() {
  CloseSaoFile();
  File f = OpenForReading(platform::FindFileNoCase(DataFolder, "sao_yale.dat"), false);
  if (!f) return false;
  const int64_t size = FileSize(f.get());
  if (size < 0) return false;
  g_saoRecords = int32_t(std::min<int64_t>(size / int64_t(kSaoRecordBytes), kMaxSaoRecords));
  g_sao = std::move(f);
  SaoFileOpen = 1;
  return true;
}

bool ReadSaoRecord(int32_t n, uint8_t* buffer) {
  if (SaoFileOpen && n >= 1 && n <= g_saoRecords &&
      std::fseek(g_sao.get(), long(n - 1) * long(kSaoRecordBytes), SEEK_SET) == 0 &&
      std::fread(buffer, 1, kSaoRecordBytes, g_sao.get()) == kSaoRecordBytes)
    return true;
  CloseSaoFile();
  return false;
}

void CloseSaoFile() {
  if (SaoFileOpen) g_sao.reset();
  SaoFileOpen = 0;
  g_saoRecords = 0;
}

// --- Conversion -------------------------------------------------------------------

namespace {

// Records below which a chunk is not worth handing out.
constexpr std::size_t kMinRecordsPerChunk = 16384;
// Chunks per thread: enough that a slow thread holds little of the work.
constexpr std::size_t kChunksPerThread = 8;

// Threads a conversion of `records` records is split over: the job's
// thread count (0: one per core), fewer for small files.
int ConversionThreads(const TStarLoadJob& job, std::size_t records) {
  std::size_t n = job.threads > 0 ? std::size_t(job.threads) : std::size_t(std::thread::hardware_concurrency());
  n = std::clamp<std::size_t>(n, 1, 64);
  return int(std::min(n, std::max<std::size_t>(1, records / kMinRecordsPerChunk)));
}

// First record (0-based) of chunk `c` of `chunks` over `count` records.
std::size_t ChunkBegin(std::size_t count, std::size_t c, std::size_t chunks) { return count * c / chunks; }

// The chunks of one conversion, shared by the calling thread and its
// helpers; a helper may outlive the call and then finds nothing left.
template <class Result, class Work>
struct TChunkRun {
  TChunkRun(std::size_t records, std::size_t n, Work w)
      : count(records), chunks(n), kept(n), results(n), work(std::move(w)) {}
  const std::size_t count, chunks;
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> keptRecords{0};
  std::atomic<bool> stop{false};  // the caller's cancel, seen by the helpers
  std::vector<std::atomic<int>> kept;  // 0 not yet, 1 being kept, 2 kept
  std::vector<Result> results;
  const Work work;

  // Chunk `c` converted; its result kept unless another thread kept one.
  void Do(std::size_t c) {
    const std::size_t begin = ChunkBegin(count, c, chunks), end = ChunkBegin(count, c + 1, chunks);
    Result out = work(begin, end, stop);
    int expected = 0;
    if (!kept[c].compare_exchange_strong(expected, 1)) return;
    results[c] = std::move(out);
    keptRecords += end - begin;
    kept[c].store(2, std::memory_order_release);
  }
  // The next chunk nobody has taken, or `chunks` when none is left.
  std::size_t Take() { return std::min(next.fetch_add(1), chunks); }
};

// Converts records 0..count-1 chunk by chunk over the calling thread and
// helpers at the lowest priority, and hands each chunk's result to
// `keep(begin, result)` on the calling thread as soon as it sees it (in any
// order; so results need not all be held at once). Chunks are handed out in order; once none is left the calling
// thread does again every chunk a helper has taken but not yet finished,
// and the first result of a chunk is kept. So helpers that start late or
// get little time (the lowest priority on a busy machine) never make the
// split slower than the calling thread alone. Helpers are detached and own
// what they use: `work(begin, end, stop)` must too, and end early once
// `stop` is set (when `cancel` is). `progress` (records kept so far) is
// called on the calling thread after each of its chunks. A helper that
// cannot be started leaves its share to the others.
template <class Result, class Work, class Keep>
void RunChunks(int threads, std::size_t count, Work work, Keep keep,
               const std::function<void(std::size_t)>& progress = nullptr, const std::atomic<bool>* cancel = nullptr) {
  const std::size_t chunks =
      std::clamp<std::size_t>(count / kMinRecordsPerChunk, 1, std::size_t(threads) * kChunksPerThread);
  auto run = std::make_shared<TChunkRun<Result, Work>>(count, chunks, std::move(work));
  for (int h = 1; h < threads; ++h) {
    try {
      std::thread([run] {
        platform::SetCurrentThreadLowestPriority();
        for (std::size_t c; (c = run->Take()) < run->chunks;) run->Do(c);
      }).detach();
    } catch (const std::system_error&) {
      break;
    }
  }
  std::vector<bool> handed(chunks, false);
  auto handOn = [&](std::size_t c) {
    if (handed[c] || run->kept[c].load(std::memory_order_acquire) != 2) return;
    keep(ChunkBegin(count, c, chunks), std::move(run->results[c]));
    run->results[c] = Result();
    handed[c] = true;
  };
  auto step = [&](std::size_t c) {
    if (cancel && cancel->load()) run->stop = true;
    run->Do(c);
    for (std::size_t k = 0; k < chunks; ++k) handOn(k);
    if (progress) progress(run->keptRecords.load());
  };
  for (std::size_t c; (c = run->Take()) < chunks;) step(c);
  // What the helpers still hold: done here as well, or (being kept) waited for.
  for (std::size_t c = 0; c < chunks; ++c) {
    if (run->kept[c].load(std::memory_order_acquire) == 0) step(c);
    while (run->kept[c].load(std::memory_order_acquire) != 2) std::this_thread::yield();
    handOn(c);
  }
}

}  // namespace

std::vector<TTychoStar> ConvertTychoCatalog(const TStarLoadJob& job, std::vector<TDataFileProblem>* damage) {
  std::vector<TTychoStar> stars;
  std::size_t count = 0;
  {
    File f = OpenForReading(job.tychoPath, true);
    if (!f) return stars;
    const int64_t size = FileSize(f.get());
    if (size <= 0) return stars;
    count = std::size_t(size) / kTychoRecordBytes;
  }
  if (!FitsMemory(count, sizeof(TTychoStar), job.memoryLimit)) return stars;
  try {
    stars.resize(count);
  } catch (const std::bad_alloc&) {
    return {};
  }
  // Each chunk reads its own range of the file block by block (the file is
  // never held whole) into its own array; the arrays are joined in order.
  struct TPart {
    std::optional<std::vector<TTychoStar>> stars;
    int64_t bad = 0, firstBad = 0;  // records off the sky; the first, from 1
  };
  auto work = [job = std::make_shared<const TStarLoadJob>(job)](std::size_t begin, std::size_t end,
                                                               const std::atomic<bool>&) {
    TPart out;
    File f = OpenForReading(job->tychoPath, true);
    if (!f || std::fseek(f.get(), long(begin * kTychoRecordBytes), SEEK_SET) != 0) return out;
    std::vector<TTychoStar> part(end - begin);
    std::vector<uint8_t> block(kTychoBlockRecords * kTychoRecordBytes);
    for (std::size_t done = begin; done < end;) {
      const std::size_t want = std::min<std::size_t>(kTychoBlockRecords, end - done);
      if (std::fread(block.data(), kTychoRecordBytes, want, f.get()) != want) return out;
      for (std::size_t i = 0; i < want; ++i) {
        const uint8_t* p = block.data() + i * kTychoRecordBytes;
        TTychoStar& t = part[done - begin + i];
        t.Id1 = platform::GetU16(p + 0);
        t.Id2 = platform::GetU16(p + 2);
        t.Id3 = p[4];
        t.Carried = platform::GetU32(p + 5);
        const int32_t ra = platform::GetI32(p + 9), dec = platform::GetI32(p + 15);
        if (!StarPositionOnSky(ra, dec)) {
          // Left at brightness 0: never drawn.
          if (out.bad++ == 0) out.firstBad = int64_t(done + i + 1);
          continue;
        }
        ConvertStarPosition(job->observer, ra, dec, platform::GetI16(p + 13), platform::GetI16(p + 19), t.RA, t.Dec);
        t.Brightness = p[21];
      }
      done += want;
    }
    out.stars = std::move(part);
    return out;
  };
  bool failed = false;
  int64_t bad = 0, firstBad = 0;
  RunChunks<TPart>(ConversionThreads(job, count), count, work, [&](std::size_t begin, TPart&& part) {
    if (!part.stars) failed = true;
    else std::copy(part.stars->begin(), part.stars->end(), stars.begin() + std::ptrdiff_t(begin));
    if (part.bad && (bad == 0 || part.firstBad < firstBad)) firstBad = part.firstBad;
    bad += part.bad;
  });
  if (failed) return {};
  if (bad && damage) damage->push_back(BadRecords(kTychoFileName, bad, firstBad, int64_t(count), "not drawn"));
  return stars;
}

namespace {

// The stars one part of the SAO file gave, with their names (NameIndex
// counts within the part) and where it stopped when it failed.
struct TSaoPart {
  std::vector<TSaoStar> sao;
  std::vector<std::string> names;
  int32_t failedAt = -1;  // records before the failure, counted from the file's start
  bool notesCloseFailed = false;
  int64_t bad = 0, firstBad = 0;  // records off the sky; the first, from 1
  int64_t lostNotes = 0, firstLostNote = 0;  // note offsets beyond the notes; the first star's number
};

// Converts records begin..end-1 (0-based) of the SAO file; stops (as a
// failure) when `stop` is set. Notes lie in the first `notesBytes` bytes of
// the notes file (-1: no notes file).
TSaoPart ConvertSaoPart(const TStarLoadJob& job, int64_t notesBytes, std::size_t begin, std::size_t end,
                        const std::atomic<bool>& stop) {
  TSaoPart out;
  std::size_t record = begin;  // records finished so far
  auto fail = [&] {
    out.failedAt = int32_t(record);
    return std::move(out);
  };
  File f = OpenForReading(job.saoPath, true);
  if (!f || std::fseek(f.get(), long(begin * kSaoRecordBytes), SEEK_SET) != 0) return fail();
  try {
    out.sao.reserve(end - begin);
  } catch (const std::bad_alloc&) {
    return fail();
  }
  File notes = OpenForReading(job.notesPath, false);
  std::vector<uint8_t> block(kSaoBlockRecords * kSaoRecordBytes);
  while (record < end) {
    if (stop.load(std::memory_order_relaxed)) return fail();
    const std::size_t want = std::min<std::size_t>(kSaoBlockRecords, end - record);
    const std::size_t got = std::fread(block.data(), 1, want * kSaoRecordBytes, f.get());
    const std::size_t whole = got / kSaoRecordBytes;
    if (whole == 0) return fail();  // a read error or the end before the last record
    for (std::size_t i = 0; i < whole; ++i) {
      const uint8_t* p = block.data() + i * kSaoRecordBytes;
      const int32_t number = int32_t(record + i + 1);
      if (IsEmptySaoRecord(p)) continue;
      TSaoRecord r = DecodeSaoRecord(p);
      if (!StarPositionOnSky(r.RA, r.Dec)) {
        if (out.bad++ == 0) out.firstBad = number;
        continue;
      }
      // A note that would start beyond the notes file is none.
      if (notesBytes >= 0 && r.NoteOffset != 0 && int64_t(r.NoteOffset) > notesBytes) {
        if (out.lostNotes++ == 0) out.firstLostNote = number;
        r.NoteOffset = 0;
      }
      if (!StarFilter(r, job.options)) continue;
      TSaoStar s;
      s.SaoLow = uint16_t(number & 0xFFFF);
      s.SaoHigh = uint8_t(number >> 16);
      ConvertStarPosition(job.observer, r.RA, r.Dec, r.PmRA, r.PmDec, s.RA, s.Dec);
      s.Magnitude = (r.Magnitude == 0 && !r.Variable()) ? 250 : r.Magnitude;
      if (s.Magnitude < 55 && r.NoteOffset != 0 && out.names.size() < std::size_t(kMaxStarNames)) {
        std::string name = NameFromNote(ReadNoteBytes(notes.get(), r.NoteOffset));
        if (!name.empty()) {
          out.names.push_back(std::move(name));
          s.NameIndex = uint16_t(out.names.size());
        }
      }
      s.NoteOffset = r.NoteOffset;
      s.Spectral = uint8_t(std::min(r.Spectral / 100, 7) | (r.Variable() ? 128 : 0));
      s.Greek = (r.GreekCode % 10 == 0) ? uint8_t(r.GreekCode / 10) : 0;
      if (s.Greek > 24) s.Greek = 0;  // codes 250..255 name no letter
      out.sao.push_back(s);
    }
    record += whole;
  }
  if (notes && !CloseFile(notes)) out.notesCloseFailed = true;
  return out;
}

}  // namespace

void ConvertSaoCatalog(const TStarLoadJob& job, TStarLoadResult& result,
                       const std::function<void(const std::string&)>& progress,
                       const std::atomic<bool>* cancel) {
  result.sao.clear();
  result.names.clear();
  int32_t record = 0;
  // The failure path: no stars at all, the message, and a redraw.
  auto fail = [&](bool fileFault = false) {
    result.fileFault = fileFault;
    result.sao = {};
    result.tycho = {};
    result.names = {};
    result.message =
        "Error processing star catalog.\r\nStopped at record#" + platform::FormatInt(record, 6);
    result.replot = true;
  };

  int64_t size = -1;
  {
    File f = OpenForReading(job.saoPath, true);
    size = f ? FileSize(f.get()) : -1;
  }
  if (size < 0) return fail(true);
  const int32_t total =
      int32_t(std::min<int64_t>(size / int64_t(kSaoRecordBytes), kMaxSaoRecords));
  if (total == 0) return fail(true);  // not one whole record

  if (!FitsMemory(std::size_t(total), sizeof(TSaoStar), job.memoryLimit)) {
    result = TStarLoadResult{};
    result.message = kLowMemoryText;
    return;
  }
  try {
    result.sao.reserve(std::size_t(total));
  } catch (const std::bad_alloc&) {
    result = TStarLoadResult{};
    result.message = kLowMemoryText;
    return;
  }

  // Progress at 0 % and every further 10 %: percent p is due once the
  // records converted reach the first record whose share is p (a share
  // reached by no record is never shown, as in a record-by-record walk).
  std::vector<std::pair<int64_t, int>> due;
  for (int p = 0; p <= 100; p += 10) {
    const int64_t r = std::max<int64_t>(1, (int64_t(p) * total + 99) / 100);
    if (r <= total && r * 100 / total == p) due.emplace_back(r, p);
  }
  std::size_t nextDue = 0;
  auto report = [&](std::size_t done) {
    while (progress && nextDue < due.size() && int64_t(done) >= due[nextDue].first)
      progress("Processing star catalog: " + std::to_string(due[nextDue++].second) + "% complete.");
  };

  int64_t notesBytes = -1;
  if (File notes = OpenForReading(job.notesPath, false)) notesBytes = FileSize(notes.get());
  auto work = [shared = std::make_shared<const TStarLoadJob>(job), notesBytes](std::size_t begin, std::size_t end,
                                                                               const std::atomic<bool>& stop) {
    return ConvertSaoPart(*shared, notesBytes, begin, end, stop);
  };
  std::vector<std::pair<std::size_t, TSaoPart>> results;
  RunChunks<TSaoPart>(
      ConversionThreads(job, std::size_t(total)), std::size_t(total), work,
      [&](std::size_t begin, TSaoPart&& part) { results.emplace_back(begin, std::move(part)); }, report, cancel);
  std::sort(results.begin(), results.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  // The first failure in file order stops the catalogue there; progress
  // stands at the records before it.
  for (const auto& [begin, part] : results)
    if (part.failedAt >= 0) {
      record = part.failedAt;
      return fail();
    }
  report(std::size_t(total));
  // What was found wrong, counted over the parts (in file order).
  int64_t bad = 0, firstBad = 0, lostNotes = 0, firstLostNote = 0;
  for (const auto& [begin, part] : results) {
    if (part.bad && !bad) firstBad = part.firstBad;
    if (part.lostNotes && !lostNotes) firstLostNote = part.firstLostNote;
    bad += part.bad;
    lostNotes += part.lostNotes;
  }
  if (bad) result.damage.push_back(BadRecords(kSaoFileName, bad, firstBad, total, "left out"));
  if (lostNotes)
    result.damage.push_back({103, kNotesFileName,
                             std::to_string(lostNotes) +
                                 (lostNotes == 1 ? " star's note would" : " stars' notes would") +
                                 " start beyond its end at " +
                                 ByteCountText(uint64_t(notesBytes)) + " (the first is SAO " +
                                 std::to_string(firstLostNote) + "); the file was cut short"});
  // The parts in file order; names are numbered in that order and stop at
  // the table's size.
  for (auto& [begin, part] : results) {
    for (TSaoStar s : part.sao) {
      if (s.NameIndex != 0) {
        if (result.names.size() < std::size_t(kMaxStarNames)) {
          result.names.push_back(std::move(part.names[s.NameIndex - 1u]));
          s.NameIndex = uint16_t(result.names.size());
        } else {
          s.NameIndex = 0;
        }
      }
      result.sao.push_back(s);
    }
    if (part.notesCloseFailed) result.notesCloseFailed = true;
  }
  result.sao.shrink_to_fit();
  result.replot = true;
}

// --- The load thread ---------------------------------------------------------------

namespace {

std::atomic<bool> g_running{false};
bool g_pending = false;
std::atomic<bool> g_cancel{false};

// The load thread; a load still running when the program ends is stopped
// and waited for.
struct LoadThread {
  std::thread thread;
  ~LoadThread() {
    if (thread.joinable()) {
      g_cancel = true;
      thread.join();
    }
  }
  void JoinFinished() {
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
  }
} g_thread;

void TakeLoadResult(TStarLoadResult& r) {
  g_thread.JoinFinished();
  // Swap the new arrays in; the old ones go with the result. The cursor
  // watch reads them: the swap (and all that follows it) waits until that
  // thread is known paused.
  SaoStars.swap(r.sao);
  TychoStars.swap(r.tycho);
  StarNames.swap(r.names);
  SaoStarCount = int32_t(SaoStars.size());
  ++StarArraysGeneration;
  TychoStarCount = int32_t(TychoStars.size());
  StarNameCount = int32_t(StarNames.size());
  if (r.replot) CallHook(CatalogHooks().requestReplot);

  // The thread's end: empty the status panel, resume the overlay threads.
  CallHook(CatalogHooks().showStatusPanel3, std::string());
  g_running = false;
  CallHook(CatalogHooks().resumeMagnifierThread);
  CallHook(CatalogHooks().resumeCursorThread);
  StarLoaderBusy = 0;
  // Damage found in the files, told after the state is whole again (a
  // modal box lets the heartbeat run) and before the load's end is (the
  // start-up tells what it found with it). A file told before in this run
  // is not told again.
  for (const TDataFileProblem& d : r.damage)
    platform::PostToGuiThread([d] { ReportDataFileProblem(d.code, d.file, d.reason); });
  CallHook(CatalogHooks().starLoadEnded);

  // Messages come after the state is whole again: a modal box lets the
  // heartbeat run.
  if (!r.message.empty() && !(r.fileFault && DataFileProblemTold(kSaoFileName))) {
    const std::string text = r.message;
    platform::PostToGuiThread([text] {
      platform::ShowMessageBox(text, kWarningCaption, platform::MsgButtons::Ok,
                               platform::MsgIcon::Stop);
    });
  }
  if (r.notesCloseFailed)
    platform::PostToGuiThread([] { ShowErrorMessage(104, kNotesCloseDetail); });
  if (g_pending) {
    g_pending = false;
    LoadStarCatalogs();
  }
}

}  // namespace

void LoadStarCatalogs() {
  if (g_running) {
    g_pending = true;  // taken up when the running load ends
    return;
  }
  g_running = true;
  g_pending = false;
  StarLoaderBusy = 1;
  CallHook(CatalogHooks().pauseCursorThread);
  CallHook(CatalogHooks().pauseMagnifierThread);

  auto job = std::make_shared<TStarLoadJob>();
  job->observer = ObserverTime;
  // Catalogue positions are J2000: precess from there, with angles for that
  // source epoch.
  if (job->observer.EpochFrom != 2451545.0)
    SetPrecession(job->observer, 2451545.0, double(job->observer.EpochTo));
  StarCatalogEpoch = job->observer.EpochTo;
  StarCatalogPrecessed = job->observer.PrecessionOn;
  job->options = StarOptions;
  job->saoPath = platform::FindFileNoCase(DataFolder, "SAO_YALE.DAT");
  job->tychoPath = platform::FindFileNoCase(DataFolder, "tycho2.dat");
  job->notesPath = platform::FindFileNoCase(DataFolder, kNotesFileName);
  g_cancel = false;

  g_thread.JoinFinished();
  g_thread.thread = std::thread([job] {
    // The load and its helpers run at the lowest priority.
    platform::SetCurrentThreadLowestPriority();
    auto result = std::make_shared<TStarLoadResult>();
    result->tycho = ConvertTychoCatalog(*job, &result->damage);
    ConvertSaoCatalog(*job, *result,
                      [](const std::string& text) {
                        platform::PostToGuiThread([text] {
                          StarProgressText = text;
                          CallHook(CatalogHooks().showStatusPanel3, text);
                        });
                      },
                      &g_cancel);
    if (g_cancel) {
      // Stopped (the program's end, a start-up that ended early): the
      // arrays stay as they are; the progress goes from the status bar and
      // the overlay threads' pauses are given back on the GUI thread, before
      // the load is seen ended.
      platform::PostToGuiThread([] {
        CallHook(CatalogHooks().showStatusPanel3, std::string());
        CallHook(CatalogHooks().resumeMagnifierThread);
        CallHook(CatalogHooks().resumeCursorThread);
      });
      StarLoaderBusy = 0;
      g_running = false;
      return;
    }
    platform::PostToGuiThread([result] { RunWhenCursorPaused([result] { TakeLoadResult(*result); }); });
  });
}

void FreeStarCatalogs() {
  ++StarArraysGeneration;
  SaoStars = {};
  TychoStars = {};
  StarNames = {};
  SaoStarCount = 0;
  TychoStarCount = 0;
  StarNameCount = 0;
}

bool StarThreadRunning() { return g_running; }

void CancelStarLoad() {
  if (g_running) g_cancel = true;
}

bool WaitForStarLoad(int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (g_running) {
    if (std::chrono::steady_clock::now() > until) return false;
    platform::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  platform::ProcessMessages();  // the messages the finished load handed on
  return true;
}
