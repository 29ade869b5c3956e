// Evaluation of the truncated VSOP87D series.
#include "astro/vsop87.h"

#include <cmath>

#include "astro/trig.h"

namespace {

// Σ_n t^n Σ_k A cos(B + C t) of one coordinate (Horner's scheme in t).
double SumCoordinate(const TVsopCoordinate& c, double t) {
  double total = 0;
  for (int n = 5; n >= 0; --n) {
    double sum = 0;
    const TVsopSeries& s = c.Power[n];
    for (int k = 0; k < s.Count; ++k) sum += s.Terms[k].A * std::cos(s.Terms[k].B + s.Terms[k].C * t);
    total = total * t + sum;
  }
  return total;
}

}  // namespace

bool VsopHeliocentric(int index, double jdTT, double& L, double& B, double& R) {
  if (index < 0 || index >= kVsopPlanetCount) return false;
  const TVsopPlanet& p = Vsop87dPlanets[index];
  // Julian millennia of TT from J2000.0.
  const double t = (jdTT - 2451545.0) / 365250.0;
  L = ModTwoPi(SumCoordinate(p.L, t));
  B = SumCoordinate(p.B, t);
  R = SumCoordinate(p.R, t);
  return true;
}
