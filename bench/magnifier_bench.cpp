// The magnifier on built reference data (the folder of bench_data.h) with the Tycho-2 array loaded: one whole magnifier render
// (frame overlay and copy included) at fields of 5° and 0.5° in a dense
// part of the Milky Way, with star images (Tycho-2 and SAO) and with discs;
// and one cursor-watch search of all SAO stars and the drawn deep-sky
// objects. Targets: at most 10 ms per render and 1 ms per search on one core.
#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_data.h"
#include "chart/cursor_watch.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_scene.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180.0;
// Sagittarius star cloud (M24 region), J2000.
constexpr double kFieldRA = 274.2 * kDeg, kFieldDec = -18.5 * kDeg;

bool SceneReady() {
  static int state = -1;
  if (state < 0) {
    const std::string folder = BenchDataFolder();
    std::string error;
    state = TMagnifierScene::Load(folder, error) ? 1 : 0;
    if (!state) std::fprintf(stderr, "%s\n", error.c_str());
  }
  return state == 1;
}

// Fields by their whole width: mode 5 the 5° field (half 2.5°), mode 2 the
// 0.5° field (half 0.25°). Each iteration moves the centre a little, as the
// pointer does, so every render is a real one.
void Render(benchmark::State& state, int mode, uint8_t starMode) {
  if (!SceneReady()) {
    state.SkipWithError("no reference data");
    return;
  }
  MagnifierSwitches.StarMode = starMode;
  TMagnifierScene scene;
  scene.SetInstant(0, -20 * kDeg, 2460850.5);
  scene.Render(kFieldRA, kFieldDec, mode);  // indexes built, caches filled
  for (auto _ : state) {
    MagnifierCentreRA = kFieldRA + 1e-7 * double(state.iterations() % 2);
    RenderMagnifier(190);
  }
  MagnifierSwitches.StarMode = 0;
}

void BM_MagnifierRender5Deg(benchmark::State& s) { Render(s, 5, 0); }
void BM_MagnifierRender05Deg(benchmark::State& s) { Render(s, 2, 0); }
void BM_MagnifierRender5DegDiscs(benchmark::State& s) { Render(s, 5, 2); }

void BM_CursorWatchSearch(benchmark::State& state) {
  if (!SceneReady()) {
    state.SkipWithError("no reference data");
    return;
  }
  TMagnifierScene scene;
  scene.SetInstant(0, -20 * kDeg, 2460850.5);
  scene.main->Zoom = 4;  // every loaded star is searched (no naked-eye limit)
  scene.main->NakedEyeOnly = 0;
  const std::vector<TCursorBody> bodies = CursorBodies(*scene.main);
  double dec = kFieldDec;
  for (auto _ : state) {
    const TCursorFound f = CursorSearch(*scene.main, bodies, kFieldRA, dec);
    benchmark::DoNotOptimize(f);
    dec += 1e-9;
  }
}

}  // namespace

BENCHMARK(BM_MagnifierRender5Deg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagnifierRender05Deg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagnifierRender5DegDiscs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CursorWatchSearch)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
