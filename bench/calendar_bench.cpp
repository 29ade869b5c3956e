// The events calendar's search of one whole month (January 2025 at
// Washington, D.C., with 45 bright stars), on one core. Target: <= 1 s.
// The yearly visibility chart's samples for a star (183) and for the Moon
// (730, the sampling the performance window sets), computed before the
// information windows show them. Target: <= 0.5 s each.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/planets.h"
#include "tools/events_calendar.h"
#include "tools/solsys_info.h"
#include "tools/yearly_chart.h"

namespace {

void BM_CalendarMonth(benchmark::State& state) {
  ConvertElementTable();
  InitPlanetRecords(Planets);
  constexpr double kDeg = 3.141592653589793 / 180;
  // 45 stars spread over the sky stand in for "brightstars.dat".
  std::vector<TBrightStar> stars;
  for (int i = 0; i < 45; ++i)
    stars.push_back({i * 0.1396, std::asin(std::fmod(i * 0.37, 1.8) - 0.9), 1.0, "star"});
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  SetObserverLocation(*obs, 77.0365 * kDeg, 38.8977 * kDeg, 0);
  obs->TimeZone.Bias = 300;
  SetObserverUT(*obs, 2460676.5);
  for (auto _ : state) {
    TEventsCalendar cal(*obs, stars);
    cal.SearchMonth(2025, 1);
    benchmark::DoNotOptimize(cal.Days()[13].text.data());
  }
}
BENCHMARK(BM_CalendarMonth)->Unit(benchmark::kMillisecond);

std::unique_ptr<TObserverTime> Washington() {
  constexpr double kDeg = 3.141592653589793 / 180;
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  SetObserverLocation(*obs, 77.0365 * kDeg, 38.8977 * kDeg, 0);
  obs->TimeZone.Bias = 300;
  SetObserverUT(*obs, 2460676.5);
  return obs;
}

void BM_YearlyChartStar(benchmark::State& state) {
  const auto obs = Washington();
  const std::vector<double> ras(183, 1.77), decs(183, -0.29);  // Sirius
  for (auto _ : state) benchmark::DoNotOptimize(ComputeYearlySamples(*obs, 183, decs, ras, 2025).data());
}
BENCHMARK(BM_YearlyChartStar)->Unit(benchmark::kMillisecond);

void BM_YearlyChartMoon(benchmark::State& state) {
  const auto obs = Washington();
  std::vector<double> ras, decs;
  for (auto _ : state) {
    SampleBodyYear(kSelectSolarSystem, 9, *obs, 2025, 730, ras, decs);
    benchmark::DoNotOptimize(
        ComputeYearlySamples(*obs, 730, decs, ras, 2025, BodyPlaceFor(kSelectSolarSystem, 9, *obs)).data());
  }
}
BENCHMARK(BM_YearlyChartMoon)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
