// The viewing side of the imaging console without widgets: the picture's
// size for each zoom choice, the display levels (manual or automatic), and
// the cross hair drawn over the picture.
#pragma once

#include <cstdint>
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

// Click-to-centre and the double-click magnification of the console's
// picture. Positions are in the picture control's pixels; scroll positions
// are the scroll bars' values.
class TZoomClick {
 public:
  bool ZoomedIn() const { return zoomedIn_; }
  // A mouse press more than 1,000 ms after the last double click remembers
  // the point (the second press of a double click does not move it).
  void MouseDown(int x, int y, uint32_t nowMs);
  // A click: the scroll position that centres the remembered point in a
  // clientW x clientH view.
  void Click(int clientW, int clientH, int& scrollX, int& scrollY) const;
  // A double click toggles the magnification. Zooming in centres the
  // remembered point scaled to the 10 x picture (x 40 from "25%", 20 from
  // "50%", 15 from "75%", 10 otherwise); zooming out scrolls to 0, 0.
  void DoubleClick(uint32_t nowMs, TZoom zoom, int clientW, int clientH, int& scrollX, int& scrollY);

 private:
  bool zoomedIn_ = false, hadDouble_ = false;
  int clickX_ = 0, clickY_ = 0;
  uint32_t lastDouble_ = 0;
};

// The level counters beside the track bars: position = level - 32768.
inline constexpr int kLevelCounterMin = -32768;
// The level for a counter position limited to kLevelCounterMin..counterMax.
int LevelFromCounter(int position, int counterMax);
inline int CounterFromLevel(int level) { return level - 32768; }
// The track bars' maximum for an image of `bitPix`: 2^|bitPix| - 1, at most
// 65535 (the counters' maximum is that less 32768).
int LevelMaximum(int bitPix);

}  // namespace imaging
