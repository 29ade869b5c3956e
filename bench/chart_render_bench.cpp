// One whole main-chart render at 1920 x 1080 with every layer on: all SAO
// stars, every deep-sky object of the base catalogue, the Milky Way,
// boundaries, figures, names and grid labels, the planets with Jupiter's
// moons, the asteroids and comets of the element files, for a fixed place
// and night.
// The data come from noctra-mkdata's output (the folder of bench_data.h).
// Reports the mean time of each render step as a
// counter (milliseconds) beside the whole render's time.
// Targets on one core: the whole sky (zoom 1) median at most 20 ms per
// render; zoom 40 at most 5 ms.
#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/bench_data.h"
#include "chart/graph_misc.h"
#include "chart/headless_scene.h"
#include "chart/plotter.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180.0;

bool SceneReady() {
  static int state = -1;
  if (state < 0) {
    const std::string folder = BenchDataFolder();
    std::string error;
    state = LoadHeadlessScene(folder, 14.0, error) ? 1 : 0;
    if (!state) std::fprintf(stderr, "%s\n", error.c_str());
  }
  return state == 1;
}

// Names of the timed steps (TRenderTimes indexes).
constexpr struct {
  int step;
  const char* name;
} kSteps[] = {{1, "sun_moon_setup"}, {4, "view"},      {9, "milky_way"},  {10, "daylight_frame"},
              {11, "grid"},          {12, "bounds"},   {13, "figures"},   {14, "const_names"},
              {15, "deep_sky"},      {17, "stars"},    {18, "star_labels"}, {20, "sun_moon_planets"},
              {21, "minor_bodies"},  {22, "overlays"}, {19, "horizon_profile"}, {23, "ground"}};

// Zoom 1 (the zenith view) and 8 (40° up in the south); zoom 40 half a
// degree above the southern horizon, where the horizon line and the ground
// take many chords.
void BM_MainChart(benchmark::State& state) {
  if (!SceneReady()) {
    state.SkipWithError("reference data not found (set NOCTRA_REFDATA)");
    return;
  }
  auto plotter = std::make_unique<tPlotter>();
  MainPlotter = plotter.get();
  plotter->Width = 1920;
  plotter->Height = 1080;
  plotter->DpiX = plotter->DpiY = 96;
  plotter->Zoom = double(state.range(0));
  plotter->ZenithView = state.range(0) == 1 ? 1 : 0;
  plotter->CentreOnHorizon = 1;
  plotter->HeldAlt = (state.range(0) == 40 ? 0.5 : 40) * kDeg;
  plotter->HeldAz = 180 * kDeg;
  plotter->ConstellationNames = 2;
  plotter->ConstellationLines = 2;
  plotter->ConstellationBoundaries = 2;
  plotter->GridLabels = 1;
  plotter->ShowStarNames = 1;
  plotter->StarIdentification = 1;
  plotter->NakedEyeOnly = 0;
  plotter->ShowObjects = 1;
  plotter->ObjectLabels = 1;
  plotter->ShowAsteroids = plotter->AsteroidLabels = 1;
  plotter->ShowComets = plotter->CometLabels = 1;
  plotter->GalileanMoons = 1;
  SetHeadlessInstant(*plotter, -10 * kDeg, 50 * kDeg, 2461056.4166667);  // 2026-01-15 22:00 UT
  platform::Bitmap bitmap(1920, 1080);
  platform::DrawingContext dc(bitmap);
  double sums[TRenderTimes::kSteps] = {};
  for (auto _ : state) {
    bitmap.Fill(0);
    plotter->Replot = 1;
    plotter->Plot(dc, &bitmap);
    for (int i = 0; i < TRenderTimes::kSteps; ++i) sums[i] += plotter->Times.Step[i];
  }
  for (const auto& s : kSteps)
    state.counters[s.name] = benchmark::Counter(sums[s.step] / double(state.iterations()));
  ClearDrawTarget();
  MainPlotter = nullptr;
}
BENCHMARK(BM_MainChart)
    ->Arg(1)
    ->Arg(8)
    ->Arg(40)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
