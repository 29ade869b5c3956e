// Star reload speed and memory. Writes a synthetic "tycho2.dat" of
// 2,539,913 records and a "SAO_YALE.DAT" of 258,997 records into a
// temporary folder (or uses the files of the folder named by
// NOCTRA_STAR_DATA), then times the conversions with proper motion and
// precession on, on one core and split over every core (target: at most
// 50 ms per million records with 4 or more cores). Reports milliseconds per
// million records and the peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "astro/observer.h"
#include "astro/precession.h"
#include "catalog/stars.h"
#include "platform/codec.h"

namespace {

constexpr int kTychoRecords = 2539913;
constexpr int kSaoRecords = 258997;

// Writes `count` records of `size` bytes made by `fill`, in blocks.
template <class Fill>
void WriteRecords(const std::string& path, int count, std::size_t size, Fill fill) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::vector<uint8_t> block(4096 * size);
  for (int done = 0; done < count;) {
    const int n = std::min(4096, count - done);
    std::fill(block.begin(), block.end(), 0);
    for (int i = 0; i < n; ++i) fill(done + i, block.data() + std::size_t(i) * size);
    std::fwrite(block.data(), size, std::size_t(n), f);
    done += n;
  }
  std::fclose(f);
}

struct StarFiles {
  std::string folder;
  bool temporary = false;
  StarFiles() {
    if (const char* d = std::getenv("NOCTRA_STAR_DATA")) {
      folder = std::string(d) + "/";
      return;
    }
    folder = (std::filesystem::temp_directory_path() /
              ("noctra_star_bench_" + std::to_string(::getpid())))
                 .string() + "/";
    std::filesystem::create_directories(folder);
    temporary = true;
    std::mt19937 rng(20260101);
    std::uniform_int_distribution<int32_t> ra(0, 2147483646);
    std::uniform_int_distribution<int32_t> dec(-536870911, 536870911);  // ±90°
    std::uniform_int_distribution<int> pm(-300, 300);
    std::uniform_int_distribution<int> mag(1, 140);
    WriteRecords(folder + "tycho2.dat", kTychoRecords, kTychoRecordBytes, [&](int i, uint8_t* p) {
      platform::PutU16(p, uint16_t(i));
      platform::PutI32(p + 9, ra(rng));
      platform::PutI16(p + 13, int16_t(pm(rng)));
      platform::PutI32(p + 15, dec(rng));
      platform::PutI16(p + 19, int16_t(pm(rng)));
      p[21] = uint8_t(mag(rng));
    });
    WriteRecords(folder + "SAO_YALE.DAT", kSaoRecords, kSaoRecordBytes, [&](int, uint8_t* p) {
      platform::PutI32(p + 9, ra(rng));
      platform::PutI16(p + 13, int16_t(pm(rng)));
      platform::PutI32(p + 15, dec(rng));
      platform::PutI16(p + 19, int16_t(pm(rng)));
      p[21] = uint8_t(mag(rng));
      platform::PutU16(p + 23, uint16_t(100 * (1 + mag(rng) % 7) + 5));
    });
  }
  ~StarFiles() {
    if (temporary) std::filesystem::remove_all(folder);
  }
};

StarFiles& Files() {
  static StarFiles files;
  return files;
}

TStarLoadJob Job() {
  TStarLoadJob job;
  job.saoPath = Files().folder + "SAO_YALE.DAT";
  job.tychoPath = Files().folder + "tycho2.dat";
  job.notesPath = Files().folder + "yale_notes.dat";
  InitObserver(job.observer);
  SetObserverTT(job.observer, 2461041.5);
  SetPrecession(job.observer, 2451545.0, 2461041.5);
  job.observer.PrecessionOn = 1;
  job.options = RegistryDefaultStarOptions();
  return job;
}

// Milliseconds per million records, averaged over the iterations.
void ReportPerMillion(benchmark::State& state, double seconds, std::size_t records) {
  const double iterations = double(state.iterations());
  state.counters["ms_per_million"] = seconds * 1e3 / iterations / (double(records) / 1e6);
}

void ReportPeakMemory(benchmark::State& state) {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  state.counters["peak_rss_MB"] = double(u.ru_maxrss) / 1024.0;
}

void BM_TychoConversion(benchmark::State& state) {
  TStarLoadJob job = Job();
  job.threads = 1;
  std::size_t stars = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto t = ConvertTychoCatalog(job);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    stars = t.size();
    benchmark::DoNotOptimize(t.data());
  }
  state.counters["records"] = double(stars);
  ReportPerMillion(state, seconds, stars);
  ReportPeakMemory(state);
}

// Threads that keep every core busy at normal priority while they live,
// so that the conversion's helpers (at the lowest priority) get little time.
class BusyMachine {
 public:
  explicit BusyMachine(bool on) {
    for (unsigned i = 0; on && i < std::thread::hardware_concurrency(); ++i)
      threads_.emplace_back([this] {
        while (!stop_.load(std::memory_order_relaxed)) {
        }
      });
  }
  ~BusyMachine() {
    stop_ = true;
    for (std::thread& t : threads_) t.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

// Arguments: conversion threads (1: one core; 0: one per core), and 1 to
// run on a machine whose cores are all kept busy (the split must not be
// slower than one core there).
void BM_WholeStarReload(benchmark::State& state) {
  TStarLoadJob job = Job();
  job.threads = int(state.range(0));
  state.SetLabel(std::string(job.threads == 1 ? "one core"
                                              : std::to_string(std::thread::hardware_concurrency()) + " cores") +
                 (state.range(1) ? ", busy machine" : ""));
  BusyMachine busy(state.range(1) != 0);
  std::size_t records = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    TStarLoadResult r;
    r.tycho = ConvertTychoCatalog(job);
    ConvertSaoCatalog(job, r, nullptr);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    records = r.tycho.size() + kSaoRecords;
    benchmark::DoNotOptimize(r.sao.data());
  }
  ReportPerMillion(state, seconds, records);
  ReportPeakMemory(state);
}

}  // namespace

BENCHMARK(BM_TychoConversion)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeStarReload)
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
