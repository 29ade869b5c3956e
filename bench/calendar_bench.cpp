// The events calendar's search of one whole month (January 2025 at
// Washington, D.C., with 45 bright stars), on one core. Target: <= 1 s.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/planets.h"
#include "tools/events_calendar.h"

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

}  // namespace

BENCHMARK_MAIN();
