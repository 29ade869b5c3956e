// Shared helpers of the astronomy tests: angle units, an observer record at
// a given instant and place, angular separations and the reference tables.
#pragma once

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"

namespace astro_test {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kDeg = kPi / 180.0;
inline constexpr double kArcmin = kDeg / 60.0;
inline constexpr double kArcsec = kDeg / 3600.0;
inline constexpr double kMas = kArcsec / 1000;

// A fresh observer record (the record is large: kept on the heap).
inline std::unique_ptr<TObserverTime> Fresh() {
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  return rec;
}

// A fresh observer record at terrestrial time jdTT and the given place
// (longitude radians west positive, latitude radians, height metres).
inline std::unique_ptr<TObserverTime> ObserverAtTT(double jdTT, double longitude = 0, double latitude = 0,
                                                   double height = 0) {
  auto rec = Fresh();
  SetObserverLocation(*rec, longitude, latitude, height);
  SetObserverTT(*rec, jdTT);
  return rec;
}

// A context holding the series Sun of the record's instant; the built-in
// places only (no astrometry provider).
inline TSolarContext SunContext(const TObserverTime& rec) {
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  CalcSun(ctx, rec);
  return ctx;
}

// The record of planet `number` (1..9) as the start-up fills it.
inline TSolSysBody PlanetRecord(int number) {
  TSolSysBody planets[kPlanetCount];
  InitPlanetRecords(planets);
  return planets[number - 1];
}

// Angular separation of two directions (radians).
inline double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double s = std::sin((dec2 - dec1) / 2), t = std::sin((ra2 - ra1) / 2);
  return 2 * std::asin(std::sqrt(s * s + std::cos(dec1) * std::cos(dec2) * t * t));
}

// Difference of two angles brought into (-π, π].
inline double AngleDiff(double a, double b) { return std::remainder(a - b, 2 * kPi); }

// The rows of a reference table in tests/astro/data: one row of numbers a
// line, '#' starts a comment line. Row is a struct of doubles only, filled
// in the order of its fields; a missing file or a row of another length
// throws.
template <class Row>
std::vector<Row> ReferenceRows(const std::string& name) {
  static_assert(std::is_trivially_copyable_v<Row> && sizeof(Row) % sizeof(double) == 0);
  constexpr std::size_t kColumns = sizeof(Row) / sizeof(double);
  std::ifstream in(std::string(NOCTRA_ASTRO_TEST_DATA) + "/" + name);
  std::vector<Row> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<double> values;
    for (double v; fields >> v;) values.push_back(v);
    if (values.size() != kColumns) throw std::runtime_error(name + ": row of another length: " + line);
    Row& row = rows.emplace_back();
    std::memcpy(&row, values.data(), sizeof(Row));
  }
  if (rows.empty()) throw std::runtime_error("no reference table " + name);
  return rows;
}

}  // namespace astro_test
