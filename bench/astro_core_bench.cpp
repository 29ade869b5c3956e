// Speed of the astronomy core's hot paths.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "astro/observer.h"
#include "astro/precession.h"

namespace {

// SetObserverUT with steps of more than a day, so every call redoes ΔT, the
// local times, the nutation and the sidereal time.
void BM_SetObserverUTFullRecompute(benchmark::State& state) {
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  double jd = 2460000.5;
  int step = 0;
  for (auto _ : state) {
    // Days of 1990 to 2045, over and over.
    jd = 2447892.5 + 1.013 * (step++ % 20000);
    SetObserverUT(*rec, jd);
    UpdatePrecession(*rec);
    benchmark::DoNotOptimize(rec->LocalSidereal);
  }
}
BENCHMARK(BM_SetObserverUTFullRecompute);

// One-second steps: the recompute runs but the nutation is kept.
void BM_SetObserverUTHeartbeat(benchmark::State& state) {
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  double jd = 2460000.5;
  for (auto _ : state) {
    jd += 1.0 / 86400;
    SetObserverUT(*rec, jd);
    benchmark::DoNotOptimize(rec->LocalSidereal);
  }
}
BENCHMARK(BM_SetObserverUTHeartbeat);

// Proper motion and precession from J2000 to the date of one million
// catalogue positions.
void BM_PrecessMillionStars(benchmark::State& state) {
  const std::size_t n = 1000000;
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> ra(0, 6.283185307179586), dec(-1.5, 1.5), pm(-1e-8, 1e-8);
  std::vector<double> ra0(n), dec0(n), pmRA(n), pmDec(n);
  for (std::size_t i = 0; i < n; ++i) {
    ra0[i] = ra(gen);
    dec0[i] = dec(gen);
    pmRA[i] = pm(gen);
    pmDec[i] = pm(gen);
  }
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  SetObserverUT(*rec, 2460400.5);
  SetPrecession(*rec, 2451545.0, rec->JD_TT);
  for (auto _ : state) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      double a = ra0[i], d = dec0[i];
      ApplyProperMotion(*rec, a, d, pmRA[i], pmDec[i]);
      Precess(*rec, a, d);
      sum += a + d;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}
BENCHMARK(BM_PrecessMillionStars)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
