// The shaded ring: the bezel of the circular insets (star sphere,
// magnifier, clock), lit from the upper left, written pixel by pixel with a
// 32-step colour ramp.
#pragma once

#include <cstdint>

#include "platform/bitmap.h"

inline constexpr int kRingRampSize = 32;

// Display pixels of the warm ramp (from the warm colour entries) and of the
// grey ramp (from the grey entries), dark to bright, each shaded to 60 %
// and passed through the colour mode.
extern uint32_t RingRampA[kRingRampSize];
extern uint32_t RingRampB[kRingRampSize];

// Fills both ramps; run again after the colour mode changed.
void MakeRingRamps();

// Draws the ring of centre-line radius r and half width w (at least 1)
// about (cx, cy) of `bitmap`, stretched horizontally by InsetAspect: with
// the warm ramp when firstRamp is non-zero, else with the grey ramp.
// Points outside the bitmap are skipped.
void DrawRing(platform::Bitmap& bitmap, int32_t cx, int32_t cy, int32_t r, int32_t w, uint8_t firstRamp);
