// Speed of the FITS path a camera frame takes (read, automatic levels and
// rendering, write; target 150 ms for 4096 x 4096), and of the autoguider's star
// measurement.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/fits.h"
#include "imaging/fits_image.h"

using namespace imaging;

namespace {

TFitsHeader Header16(int w, int h) {
  TFitsHeader hd = NewFitsHeader(16, w, h);
  hd.Range = 65535;
  return hd;
}

// A star field: noise on a sky level with a few hundred Gaussian stars.
FitsData StarField(const TFitsHeader& h) {
  FitsData d(std::size_t(h.DataBlocks * kFitsBlock), 0);
  uint32_t seed = 12345;
  auto rnd = [&] { return seed = seed * 1664525u + 1013904223u; };
  std::vector<double> img(std::size_t(h.NAxis1) * h.NAxis2);
  for (auto& v : img) v = 1000 + (rnd() >> 24);
  for (int s = 0; s < 400; ++s) {
    const int cx = int(rnd() % uint32_t(h.NAxis1)), cy = int(rnd() % uint32_t(h.NAxis2));
    const double a = 500 + rnd() % 30000;
    for (int y = std::max(0, cy - 8); y < std::min(h.NAxis2, cy + 9); ++y)
      for (int x = std::max(0, cx - 8); x < std::min(h.NAxis1, cx + 9); ++x)
        img[std::size_t(y) * h.NAxis1 + x] += a * std::exp(-((x - cx) * (x - cx) + (y - cy) * (y - cy)) / 8.0);
  }
  for (std::size_t i = 0; i < img.size(); ++i) {
    const uint16_t v = uint16_t(std::min(65535.0, img[i]));
    std::memcpy(&d[2 * i], &v, 2);
  }
  return d;
}

// The thread's processor time, ms (the kernel's work for it included).
double CpuMs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Counters: the processor time of each step, ms per frame.
void BM_ReadRenderWrite4096(benchmark::State& state) {
  const std::string dir = std::filesystem::temp_directory_path() / "noctra_imaging_bench";
  std::filesystem::create_directories(dir);
  const std::string in = dir + "/in.fts", out = dir + "/out.fts";
  {
    TFitsHeader h = Header16(4096, 4096);
    const FitsData d = StarField(h);
    SaveFitsHeader(in, h, d);
  }
  double step[3] = {};
  for (auto _ : state) {
    double t = CpuMs();
    auto lap = [&](int k) {
      const double now = CpuMs();
      step[k] += now - t;
      t = now;
    };
    TFitsHeader h;
    FitsData d;
    std::ifstream f(in, std::ios::binary);
    if (!LoadFitsHeader(f, h, d)) state.SkipWithError("read failed");
    lap(0);
    FitsAutoRange(h, d, 0.01);
    platform::Bitmap b = RenderFits(h, d);
    benchmark::DoNotOptimize(b.Row(0));
    lap(1);
    if (!SaveFitsHeader(out, h, d)) state.SkipWithError("write failed");
    lap(2);
  }
  const double n = double(std::max<int64_t>(state.iterations(), 1));
  state.counters["read_cpu_ms"] = step[0] / n;
  state.counters["render_cpu_ms"] = step[1] / n;
  state.counters["write_cpu_ms"] = step[2] / n;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReadRenderWrite4096)->Unit(benchmark::kMillisecond);

void BM_FindStar64(benchmark::State& state) {
  TFitsHeader h = Header16(64, 64);
  h.Range = 255;
  FitsData d(std::size_t(h.DataBlocks * kFitsBlock), 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const double r2 = (x - 30.3) * (x - 30.3) + (y - 33.6) * (y - 33.6);
      const uint16_t v = uint16_t(20 + 200 * std::exp(-r2 / 8.0));
      std::memcpy(&d[2 * (x + 64 * y)], &v, 2);
    }
  for (auto _ : state) {
    double sx, sy, hw;
    benchmark::DoNotOptimize(FitsFindStar(h, d, 0, 0, 64, 64, sx, sy, 1.0, 1.0, hw));
  }
}
BENCHMARK(BM_FindStar64)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
