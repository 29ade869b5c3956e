// Raw pixel routines of the chart on a 1920 x 1080 back buffer:
// 1,000,000 one-pixel line segments, 100,000 dashed segments (width 2) and
// 10,000 transparent 20 x 20 copies per iteration. Target: lines at 50
// million pixels per second or more on one core ("pixels" counter).
//
// Segments are chart-like chords: a random start anywhere on the bitmap
// and a random offset of up to 60 pixels in each direction, some of them
// crossing the clip margin.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "chart/graph_misc.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

struct Segment {
  int32_t x1, y1, x2, y2;
};

std::vector<Segment> Segments(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> x(-20, kWidth + 20), y(-20, kHeight + 20), d(-60, 60);
  std::vector<Segment> s(count);
  for (Segment& g : s) {
    g.x1 = x(random);
    g.y1 = y(random);
    g.x2 = g.x1 + d(random);
    g.y2 = g.y1 + d(random);
  }
  return s;
}

// Centre pixels a segment walks (before clipping): the longer axis.
double Pixels(const std::vector<Segment>& segments) {
  double n = 0;
  for (const Segment& g : segments) n += std::max(std::abs(g.x2 - g.x1), std::abs(g.y2 - g.y1));
  return n;
}

void BM_DrawLine(benchmark::State& state) {
  Bitmap target(kWidth, kHeight);
  SetDrawTarget(target);
  const std::vector<Segment> segments = Segments(1000000, 1);
  uint32_t color = 0x00102030;
  for (auto _ : state) {
    for (const Segment& g : segments) DrawLine(g.x1, g.y1, g.x2, g.y2, color);
    color ^= 0x00FFFFFF;
    benchmark::DoNotOptimize(target.Row(0));
  }
  state.counters["pixels"] = benchmark::Counter(Pixels(segments) * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
  ClearDrawTarget();
}
BENCHMARK(BM_DrawLine)->Unit(benchmark::kMillisecond);

void BM_DrawPatternLine(benchmark::State& state) {
  Bitmap target(kWidth, kHeight);
  SetDrawTarget(target);
  const std::vector<Segment> segments = Segments(100000, 2);
  uint32_t color = 0x00102030;
  for (auto _ : state) {
    ResetLinePattern();
    for (const Segment& g : segments) DrawPatternLine(g.x1, g.y1, g.x2, g.y2, color, 0x00010203, 2, 0x0F0F0F0F);
    color ^= 0x00FFFFFF;
    benchmark::DoNotOptimize(target.Row(0));
  }
  state.counters["pixels"] = benchmark::Counter(Pixels(segments) * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
  ClearDrawTarget();
}
BENCHMARK(BM_DrawPatternLine)->Unit(benchmark::kMillisecond);

void BM_BlitTransparent(benchmark::State& state) {
  Bitmap target(kWidth, kHeight);
  // A sprite with a key-coloured corner and rim and a solid middle.
  Bitmap sprite(20, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) sprite.SetPixel(x, y, (x - 10) * (x - 10) + (y - 10) * (y - 10) < 80 ? 0x00FFEE00 : 0);
  std::mt19937 random(3);
  std::uniform_int_distribution<int> x(-10, kWidth - 10), y(-10, kHeight - 10);
  std::vector<std::pair<int, int>> places(10000);
  for (auto& p : places) p = {x(random), y(random)};
  for (auto _ : state) {
    for (const auto& [dx, dy] : places) BlitTransparent(sprite, 0, 0, 20, 20, target, dx, dy);
    benchmark::DoNotOptimize(target.Row(0));
  }
  state.counters["blits"] = benchmark::Counter(double(places.size()) * double(state.iterations()),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BlitTransparent)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
