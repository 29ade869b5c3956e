// The sites of the information windows' place tests (a northern site far
// west, a southern site far east) and the angle between two places.
#pragma once

#include <algorithm>
#include <cmath>

#include "astro/observer.h"
#include "astro/precession.h"

struct TWindowSite {
  double lonEast, lat, height;  // degrees, metres
};
inline constexpr TWindowSite kBoulder{-105.25, 40.0, 1650}, kAuckland{174.76, -36.85, 0};

// Moves `obs` to the site and the instant, chart epoch of date.
inline void SetWindowSite(TObserverTime& obs, const TWindowSite& site, double jdUT) {
  constexpr double kDeg = 3.141592653589793 / 180;
  SetObserverLocation(obs, -site.lonEast * kDeg, site.lat * kDeg, site.height);
  SetObserverUT(obs, jdUT);
  obs.PrecessionOn = 1;
  SetPrecession(obs, 2451545.0, obs.JD_TT);
}

// Arcseconds between (a1, d1) and (a2, d2), radians.
inline double ArcsecBetween(double a1, double d1, double a2, double d2) {
  const double c = std::sin(d1) * std::sin(d2) + std::cos(d1) * std::cos(d2) * std::cos(a1 - a2);
  return std::acos(std::min(1.0, c)) * 180 / 3.141592653589793 * 3600;
}
