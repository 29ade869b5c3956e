// Speed of the solar-system position routines for one chart instant. Each
// iteration moves the instant by more than a minute, so no cache answers.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "astro/galilean.h"
#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/sun_moon.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

// An observer at a mid-latitude place, moved to a new instant.
std::unique_ptr<TObserverTime> Observer() {
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  SetObserverLocation(*rec, -11.25 * kDeg, 48.15 * kDeg, 520.0);
  SetObserverUT(*rec, 2460400.5);
  return rec;
}

// 1,000 minor bodies: 900 asteroids of the main belt and 100 comets, half of
// them near-parabolic.
std::vector<TSolSysBody> MinorBodies() {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<TSolSysBody> bodies(1000);
  for (int i = 0; i < 1000; ++i) {
    TSolSysBody& b = bodies[i];
    b.Epoch = 2460400.5 - 400 * u(gen);
    b.Node = 360 * u(gen) * kDeg;
    b.Inclination = 30 * u(gen) * kDeg;
    b.Perihelion = 360 * u(gen) * kDeg;
    b.AbsMagnitude = 8 + 8 * u(gen);
    b.Slope = -1;
    b.Period = -1;
    b.DailyMotion = -1;
    if (i < 900) {
      b.SemiMajorAxis = 2.1 + 1.2 * u(gen);
      b.Eccentricity = 0.3 * u(gen);
      b.PerihelionDistance = -1;
      b.MeanAnomaly = 360 * u(gen) * kDeg;
    } else {
      b.SemiMajorAxis = -1;
      b.Eccentricity = i < 950 ? 0.5 + 0.4 * u(gen) : 0.98 + 0.03 * u(gen);
      b.PerihelionDistance = 0.5 + 2 * u(gen);
      b.Epoch = 2460400.5 + 200 * (u(gen) - 0.5);
    }
    CheckElementConversion(b);
  }
  return bodies;
}

// Target: the Sun, the Moon and the eight planets in at most 50 µs on one
// core (with the Galilean moons and Saturn's rings).
void BM_SunMoonPlanets(benchmark::State& state) {
  auto rec = Observer();
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  TSolSysBody planets[kPlanetCount];
  InitPlanetRecords(planets);
  TSolSysBody moon{};
  InitExtraElementRecord(moon);
  double jd = rec->JD_UT;
  for (auto _ : state) {
    jd += 0.01;
    SetObserverUT(*rec, jd);
    CalcSunTopocentric(ctx, *rec);
    CalcSun(ctx, *rec);
    CalcEarthOrbit(ctx, *rec);
    CalcMoon(ctx, *rec, moon);
    for (int p = 0; p < kPlanetCount; ++p) CalcPlanet(ctx, *rec, planets[p]);
    CalcGalileanMoons(ctx, *rec, planets[4]);
    CalcSaturnRings(ctx, *rec, planets[5]);
    benchmark::DoNotOptimize(planets[8].RA);
  }
}
BENCHMARK(BM_SunMoonPlanets);

void BM_ThousandMinorBodies(benchmark::State& state) {
  auto rec = Observer();
  TSolarContext ctx{};
  std::vector<TSolSysBody> bodies = MinorBodies();
  double jd = rec->JD_UT;
  int valid = 0;
  for (auto _ : state) {
    jd += 0.01;
    SetObserverUT(*rec, jd);
    CalcSun(ctx, *rec);
    valid = 0;
    for (TSolSysBody& b : bodies) valid += CalcOrbitBody(ctx, *rec, b);
    benchmark::DoNotOptimize(valid);
  }
  state.counters["valid"] = valid;
}
BENCHMARK(BM_ThousandMinorBodies);

}  // namespace

BENCHMARK_MAIN();
