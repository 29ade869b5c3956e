// The location window's map: the relief of a 480 x 320 map at the smallest
// and largest zoom (every pan or zoom renders it again), and the overlay
// drawn at each paint; the object search for "M31" over the whole object
// database and "Sirius" over the star notes. Targets: a relief render within 20 ms and an
// overlay within 5 ms (the map follows the pan buttons without lag); a
// search within 1 s. The Moon's yearly chart in the solar-system information
// window, two years of daily samples at 64° N (computed on the GUI thread
// behind a flash message): within 0.5 s. Reads the reference data from the
// folder of bench_data.h.
#include <benchmark/benchmark.h>

#include "bench/bench_data.h"

#include <QGuiApplication>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "astro/observer.h"
#include "astro/reference_files.h"
#include "astro/trig.h"
#include "catalog/object_catalog.h"
#include "catalog/stars.h"
#include "chart/drawing_colors.h"
#include "shell/globals.h"
#include "tools/find.h"
#include "tools/solsys_info.h"
#include "tools/yearly_chart.h"
#include "tools/world_map.h"

namespace {

std::string Folder() {
  return BenchDataFolder();
}

bool Ready() {
  static const bool ok = [] {
    DataFolder = Folder();
    LoadDataFiles();
    return MakeDrawingColors() && LoadWorldMap(Folder());
  }();
  return ok;
}

TMapView View(int zoom) {
  TMapView v;
  v.Width = 480, v.Height = 320, v.Latitude = 45, v.WestLongitude = 350, v.Zoom = zoom;
  return v;
}

void BM_WorldMapRelief(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no world map in the reference data");
  platform::Bitmap bitmap;
  for (auto _ : state) RenderWorldMap(WorldMap, View(int(state.range(0))), bitmap);
}
BENCHMARK(BM_WorldMapRelief)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond);

// The start-up's load of the relief map, every tile's decoding checked.
void BM_LoadWorldMap(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no world map in the reference data");
  for (auto _ : state) benchmark::DoNotOptimize(LoadWorldMap(Folder()));
}
BENCHMARK(BM_LoadWorldMap)->Unit(benchmark::kMillisecond);

void BM_WorldMapOverlay(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no world map in the reference data");
  const TBoundarySet b = LoadBoundaryFiles(Folder());
  platform::Bitmap bitmap;
  RenderWorldMap(WorldMap, View(1), bitmap);
  for (auto _ : state) DrawMapOverlay(View(1), b.States, b.Nations, bitmap);
}
BENCHMARK(BM_WorldMapOverlay)->Unit(benchmark::kMillisecond);

// SaoStars from the catalogue file: position and note offset of every star.
void LoadStars() {
  SaoStars.clear();
  std::ifstream f(Folder() + "SAO_YALE.DAT", std::ios::binary);
  uint8_t r[kSaoRecordBytes];
  for (uint32_t n = 1; f.read(reinterpret_cast<char*>(r), kSaoRecordBytes); ++n) {
    if (IsEmptySaoRecord(r)) continue;
    const TSaoRecord rec = DecodeSaoRecord(r);
    TSaoStar s;
    s.RA = float(rec.RA * (TwoPi / 2147483647.0)), s.Dec = float(rec.Dec * (TwoPi / 2147483647.0));
    s.NoteOffset = rec.NoteOffset, s.SaoLow = uint16_t(n & 0xFFFF), s.SaoHigh = uint8_t(n >> 16);
    SaoStars.push_back(s);
  }
  SaoStarCount = int32_t(SaoStars.size());
}

void BM_SearchSirius(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no reference data");
  LoadStars();
  InitObserver(ObserverTime);
  SetObserverUT(ObserverTime, 2460310.5);
  for (auto _ : state) benchmark::DoNotOptimize(SearchObjects("SIRIUS", kScopeAll, ObserverTime));
  state.counters["stars"] = double(SaoStars.size());
  SaoStars.clear();
}
BENCHMARK(BM_SearchSirius)->Unit(benchmark::kMillisecond);

void BM_SearchM31(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no reference data");
  ObjectCatalog = std::make_unique<tCO>(Folder() + "Objects.sqlite", std::vector<std::string>{"BASE_OBJECT_CATALOG", "IC"});
  InitObserver(ObserverTime);
  SetObserverUT(ObserverTime, 2460310.5);
  for (auto _ : state) benchmark::DoNotOptimize(SearchObjects("M31", kScopeAll, ObserverTime));
  ObjectCatalog.reset();
}
BENCHMARK(BM_SearchM31)->Unit(benchmark::kMillisecond);

void BM_MoonYearlyChart(benchmark::State& state) {
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  SetObserverLocation(*obs, 21.9426 / 57.29577951308232, 64.1466 / 57.29577951308232, 0);
  SetObserverUT(*obs, 2460576.0);
  const std::vector<double> zero(730, 0.0);
  const TBodyPlace moon = BodyPlaceFor(kSelectSolarSystem, 9, *obs);
  for (auto _ : state) benchmark::DoNotOptimize(MakeYearlyChart(730, zero, zero, 2024, *obs, moon));
}
BENCHMARK(BM_MoonYearlyChart)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
