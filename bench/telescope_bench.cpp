// Speed of the goto-assist fit: 40 measured rows, the default search ranges
// (DO, PD, PZ, PE over -5..5 steps, FF, TF, DF fixed: 11^4 combinations).
#include <benchmark/benchmark.h>

#include <cmath>

#include "telescope/assist_model.h"

namespace {

void BM_AssistFitDefaultGrid40Rows(benchmark::State& state) {
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  TAssistFitInput in;
  in.latitude = 50 * kRad;
  in.step = 60;
  for (int i = 0; i < 40; ++i) {
    const double h = (-6 + i * 0.3) * 15 * kRad, d = (-40 + (i * 29) % 120) * kRad;
    // Errors of a few arcminutes that no combination fits exactly.
    in.rows.push_back({h, d, h + 1e-3 * std::sin(3.0 * i), d + 8e-4 * std::cos(2.0 * i), i % 2 ? 1 : -1});
  }
  in.from.fill(0);
  in.to.fill(0);
  for (int k : {kDO, kPD, kPZ, kPE}) {
    in.from[size_t(k)] = -5;
    in.to[size_t(k)] = 5;
  }
  for (auto _ : state) {
    TAssistFitResult r = FitAssistModel(in);
    benchmark::DoNotOptimize(r.sigma);
  }
}
BENCHMARK(BM_AssistFitDefaultGrid40Rows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
