// The in-memory star table for chart tests: stars by their catalogue places,
// put into the table for the lifetime of a ScopedStarTable.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "catalog/stars.h"

struct CatalogueStar {
  double raHours, decDeg, mag;
};

// The seven stars of the Plough (J2000 positions and V magnitudes from the
// Hipparcos catalogue, rounded): Dubhe, Merak, Phecda, Megrez, Alioth,
// Mizar, Alkaid.
inline const std::vector<CatalogueStar> kPloughStars = {
    {11.0621, 61.751, 1.79}, {11.0307, 56.382, 2.37}, {11.8972, 53.695, 2.44}, {12.2571, 57.033, 3.31},
    {12.9005, 55.960, 1.77}, {13.3988, 54.925, 2.27}, {13.7923, 49.313, 1.86},
};

// Replaces the star table (and its count) with `stars`, all of spectral
// class `spectral`, and puts the previous table back at the end of scope.
class ScopedStarTable {
 public:
  ScopedStarTable(const std::vector<CatalogueStar>& stars, uint8_t spectral)
      : saved_(SaoStars), savedCount_(SaoStarCount) {
    constexpr double kDeg = 3.14159265358979323846 / 180.0;
    SaoStars.clear();
    for (const CatalogueStar& s : stars) {
      TSaoStar star;
      star.RA = float(s.raHours * 15 * kDeg);
      star.Dec = float(s.decDeg * kDeg);
      star.Magnitude = uint8_t(std::lround((s.mag + 2) * 10));  // the table's magnitude byte
      star.Spectral = spectral;
      SaoStars.push_back(star);
    }
    SaoStarCount = int32_t(SaoStars.size());
  }
  ~ScopedStarTable() {
    SaoStars = saved_;
    SaoStarCount = savedCount_;
  }
  ScopedStarTable(const ScopedStarTable&) = delete;
  ScopedStarTable& operator=(const ScopedStarTable&) = delete;

 private:
  std::vector<TSaoStar> saved_;
  int32_t savedCount_;
};
