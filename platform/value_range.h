// The one rule for stored values outside what their field takes. Every
// settings reader (the per-user store, the XML settings files, the blocks
// of the binary settings files) brings a number into its field's range the
// same way: a value inside [lo, hi] is kept exactly, so stored files read as
// they always did; a value outside it, NaN or infinite reads as the field's
// default. (A value at a type's limit, 2147483647 or 1e308, is never a
// choice a window made, and its nearest valid value would often hide what
// the field shows: a star magnitude limit of -2 draws no stars.) Readers of
// fields whose own rule is to limit a value (the autoguider's boxes, the
// screen layout's mask and aspect, the magnifier's row counts) keep that
// rule: the nearest valid value.
#pragma once

#include <concepts>

namespace platform {

// True when lo <= v <= hi (written so that NaN fails).
template <class T>
constexpr bool InRange(T v, T lo, T hi) {
  return v >= lo && v <= hi;
}

// v when it lies within [lo, hi], else `deflt`.
template <class T>
constexpr T InRangeOr(T v, T lo, T hi, T deflt) {
  return InRange(v, lo, hi) ? v : deflt;
}

}  // namespace platform
