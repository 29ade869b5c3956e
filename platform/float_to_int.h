// The one guarded conversion from floating point to an integer type. Values
// that come from files, scripts or settings can be NaN, infinite or far
// outside an integer's range, where a plain cast is undefined behaviour;
// every such conversion goes through these two routines.
#pragma once

#include <cmath>
#include <concepts>
#include <limits>

namespace platform {

// v truncated toward zero into T: true and `out` set when v is finite and the
// result lies within T's range; false and `out` unchanged otherwise. Callers
// round first (std::nearbyint, std::floor) when they need another rounding.
template <std::integral T>
bool FloatToInt(double v, T& out) {
  // 2^digits is the first value above T's maximum and exact as a double.
  constexpr double above = double(std::numeric_limits<T>::max() / 2 + 1) * 2.0;
  constexpr double lowest = double(std::numeric_limits<T>::min());
  if (!(v < above)) return false;                        // too large, or NaN
  if (!(v > lowest - 1.0 || v == lowest)) return false;  // too small
  out = T(v);
  return true;
}

// v truncated toward zero into T, saturating at T's limits; NaN gives
// `nanValue`.
template <std::integral T>
T ClampFloatToInt(double v, T nanValue = 0) {
  if (std::isnan(v)) return nanValue;
  T out;
  if (FloatToInt(v, out)) return out;
  return v > 0 ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
}

}  // namespace platform
