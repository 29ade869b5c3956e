// Heliocentric positions of the major planets by a truncated VSOP87D.
//
// VSOP87D (Bretagnon & Francou, "Planetary theories in rectangular and
// spherical variables: VSOP 87 solutions", A&A 202, 309, 1988) gives the
// heliocentric ecliptic longitude L, latitude B (radians) and radius vector
// R (AU) of a planet, referred to the mean ecliptic and equinox of date, as
// Σ_n t^n Σ_k A cos(B + C t), with t in Julian millennia of TT from J2000.0.
// The series here keep only the terms of amplitude 1e-5 (radians or AU) and
// above (the "milli" truncation of the published series, public domain):
// about 10″ in heliocentric direction over 1900-2100.
#pragma once

// One periodic term A cos(B + C t).
struct TVsopTerm {
  double A;
  double B;
  double C;
};

// The terms of one power of t.
struct TVsopSeries {
  const TVsopTerm* Terms;
  int Count;
};

// One coordinate (L, B or R): the series of t^0 .. t^5.
struct TVsopCoordinate {
  TVsopSeries Power[6];
};

// The three coordinates of one planet.
struct TVsopPlanet {
  TVsopCoordinate L;
  TVsopCoordinate B;
  TVsopCoordinate R;
};

// Index 0 Mercury, 1 Venus, 2 the Earth, 3 Mars .. 7 Neptune.
inline constexpr int kVsopPlanetCount = 8;
extern const TVsopPlanet Vsop87dPlanets[kVsopPlanetCount];

// VsopHeliocentric: heliocentric ecliptic longitude L (radians, [0, 2π)),
// latitude B (radians) and radius vector R (AU) of planet `index` (0..7, as
// Vsop87dPlanets) at terrestrial time jdTT, referred to the mean dynamical
// ecliptic and equinox of date (VSOP87D). Returns false for an index out of
// range (L, B, R untouched).
bool VsopHeliocentric(int index, double jdTT, double& L, double& B, double& R);
