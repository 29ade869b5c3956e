// Insets: one globe frame (the whole 400 x 400 inset: a sphere of radius
// 199 with limb shading) and one clock face with its hands (face, ring,
// fonts, Sun and Moon arcs, then the hands). Target: at most 5 ms each on
// one core.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "astro/observer.h"
#include "chart/clock.h"
#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "chart/ring.h"
#include "chart/styles.h"
#include "shell/globals.h"

namespace {

// A relief of land and sea stripes written to a temporary folder.
bool LoadSyntheticRelief() {
  char folder[] = "/tmp/noctra_insets_benchXXXXXX";
  if (mkdtemp(folder) == nullptr) return false;
  std::vector<char> bytes(kGlobeReliefBytes, 0);
  for (int i = 0; i < kGlobeRows * kGlobeColumns; ++i) {
    const int row = i / kGlobeColumns, cell = i % kGlobeColumns;
    const bool land = ((row / 10) + (cell / 15)) % 3 == 0;
    const int16_t e = land ? int16_t(100 * (cell % 40)) : int16_t(-100 * (row % 60));
    bytes[size_t(i) * 7] = char(e & 0xFF);
    bytes[size_t(i) * 7 + 1] = char((e >> 8) & 0xFF);
    bytes[size_t(i) * 7 + 2] = land ? 'E' : 'W';
  }
  const std::string path = std::string(folder) + "/scripps2.dat";
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  DataFolder = std::string(folder) + "/";
  const bool ok = MakeGlobeTexture();
  std::remove(path.c_str());
  std::remove(folder);
  return ok;
}

void BM_GlobeFrame400(benchmark::State& state) {
  if (!LoadSyntheticRelief()) {
    state.SkipWithError("no relief");
    return;
  }
  platform::Bitmap frame(400, 400);
  double lon = 0;
  for (auto _ : state) {
    frame.Fill(kGlobeKeyPixel);
    DrawGlobe(frame, 200, 200, 199, 0.8, lon);
    lon += 0.01;
    benchmark::DoNotOptimize(frame.Pixel(200, 200));
  }
}
BENCHMARK(BM_GlobeFrame400)->Unit(benchmark::kMillisecond);

void BM_ClockFaceWithHands400(benchmark::State& state) {
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, -13.4 / DegPerRad, 52.5 / DegPerRad, 0);
  SetObserverUT(ObserverTime, 2460379.5 + 12.5 / 24);
  MakeRingRamps();
  if (!InitClockBuffers()) {
    state.SkipWithError("no bitmaps");
    return;
  }
  SetClockSize(195);
  TimeFlow = 1;
  for (auto _ : state) {
    DrawClock(1);
    benchmark::DoNotOptimize(ClockBitmap->Pixel(200, 200));
  }
}
BENCHMARK(BM_ClockFaceWithHands400)->Unit(benchmark::kMillisecond);

void BM_ClockHandsOnly400(benchmark::State& state) {
  SetClockSize(195);
  DrawClock(1);
  for (auto _ : state) {
    DrawClock(0);
    benchmark::DoNotOptimize(ClockBitmap->Pixel(200, 200));
  }
}
BENCHMARK(BM_ClockHandsOnly400)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  SetDefaultObjectColors();
  MakeDrawingColors();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
