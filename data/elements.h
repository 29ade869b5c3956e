// The default orbital-element files "default.ast" and "default.cmt" in the
// program's native fixed-column format (CR LF lines, five ";" header
// lines, one body a line), built from the minor-body element lists of the
// small-body database (JSON: a "fields" list and "data" rows).
#pragma once

#include <string>
#include <vector>

namespace mkdata {

// One asteroid as the native file holds it (angles in degrees, J2000
// ecliptic and equinox).
struct AsteroidElements {
  std::string name;   // "(1) Ceres"
  double epoch = 0;   // Julian date of the osculating elements
  double meanAnomaly = 0;
  double a = 0;       // AU
  double e = 0;
  double peri = 0;    // argument of perihelion
  double node = 0;
  double incl = 0;
  double h = 0;
  double g = 0.15;
};

// One comet (epoch = time of perihelion passage).
struct CometElements {
  std::string name;
  double epoch = 0;
  double q = 0;       // AU
  double e = 0;
  double peri = 0;
  double node = 0;
  double incl = 0;
  double h = 0;
  double g = 4.0;
};

// All numbered asteroids of the list with their elements; rows lacking an
// element are counted in *skipped.
std::vector<AsteroidElements> ReadAsteroidList(const std::string& path, int* skipped = nullptr);
std::vector<CometElements> ReadCometList(const std::string& path, int* skipped = nullptr);

// The asteroids that reach magnitude 11.0 at a perihelic opposition
// (H + 5 log10(q (q - 1)), q > 1), brightest first.
std::vector<AsteroidElements> SelectBrightAsteroids(const std::vector<AsteroidElements>& all);
// Numbered periodic comets of total absolute magnitude 12 or brighter, and
// other comets of magnitude 10 or brighter with a perihelion passage on or
// after 2020 January 1; eccentricity at most 1.2. In list order.
std::vector<CometElements> SelectBrightComets(const std::vector<CometElements>& all);

// A number in fixed notation with as many decimals as fit `width`
// characters (at most `maxDecimals`).
std::string FitNumber(double value, int width, int maxDecimals);

// The whole native file text in the program's own layout (its header and
// line writer), every line ending in CR LF; every body is shown ("Y").
std::string FormatAsteroidFile(const std::vector<AsteroidElements>& bodies);
std::string FormatCometFile(const std::vector<CometElements>& bodies);

}  // namespace mkdata
