// Shared helpers of the astronomy tests: angle units, an observer record at
// a given instant and place, and angular separations.
#pragma once

#include <cmath>
#include <memory>

#include "astro/observer.h"

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

// Angular separation of two directions (radians).
inline double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double s = std::sin((dec2 - dec1) / 2), t = std::sin((ra2 - ra1) / 2);
  return 2 * std::asin(std::sqrt(s * s + std::cos(dec1) * std::cos(dec2) * t * t));
}

// Difference of two angles brought into (-π, π].
inline double AngleDiff(double a, double b) { return std::remainder(a - b, 2 * kPi); }

}  // namespace astro_test
