// The viewing side of the imaging console without widgets: the picture's
// size for each zoom choice, the display levels (manual or automatic), and
// the cross hair drawn over the picture.
#pragma once

#include <string>

#include "imaging/fits_bitmap.h"
#include "platform/bitmap.h"

namespace imaging {

enum class TZoom { Normal, Quarter, Half, ThreeQuarter, BestFit };
enum class TCrossHair { None, Single, Dual, Bullseye };

// The picture control's size for a w x h picture in a boxW x boxH scroll
// box. "Best Fit" sets `scale` (the smaller fit ratio) and gives each side
// 4 pixels smaller; the double-click magnification is 10 x.
void ZoomedSize(TZoom zoom, bool zoomedIn, int w, int h, int boxW, int boxH, int& outW, int& outH,
                double& scale);

// The display levels of the image: with `autoLevels` the automatic range
// (1 % clipped at both ends), else Background := minLevel and Range :=
// maxLevel - minLevel + 1 when that lies within 0..65535 (Background 0 and
// Range 65535 otherwise). Renders the picture again. With `autoLevels` the
// levels the range gives are returned in minLevel and maxLevel.
void ApplyLevels(TFitsBitmap& image, bool autoLevels, int& minLevel, int& maxLevel);

// Draws the cross hair in red over `picture` with the pen width of the
// zoom (4, 3, 2, 1 for 25 %, 50 %, 75 %, Normal; 1 / scale + 1 for Best Fit).
void DrawCrossHair(platform::Bitmap& picture, TCrossHair kind, TZoom zoom, double scale);

}  // namespace imaging
