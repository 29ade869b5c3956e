// Emptying the process-wide auto-bitmap list between tests: every bitmap is
// deleted and every chart pointer into the list is forgotten with it, so a
// later test that makes its bitmaps only when they are missing never draws
// into a deleted one, whatever ran before it.
#pragma once

#include "chart/clock.h"
#include "chart/globe.h"
#include "chart/graph_misc.h"
#include "chart/magnifier_inset.h"
#include "chart/mask.h"
#include "chart/star_sphere.h"
#include "chart/sun_moon_images.h"

inline void FreeEveryAutoBitmap() {
  FreeAllAutoBitmaps();
  for (platform::Bitmap** b : {&MaskBitmap, &GlobeBitmap, &ClockFaceBitmap, &ClockBitmap, &SphereFrameBitmap,
                               &SphereChartBitmap, &MagnifierFrameBitmap, &MagnifierChartBitmap,
                               &MagnifierScreenBitmap, &SunBitmap, &MoonBitmap})
    *b = nullptr;
}
