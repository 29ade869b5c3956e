#include "imaging/console_display.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "imaging/fits_image.h"
#include "platform/float_to_int.h"

namespace imaging {

void ZoomedSize(TZoom zoom, bool zoomedIn, int w, int h, int boxW, int boxH, int& outW, int& outH,
                double& scale) {
  if (zoom == TZoom::BestFit && !zoomedIn) {
    scale = std::min(double(boxW) / std::max(w, 1), double(boxH) / std::max(h, 1));
    outW = int(w * scale) - 4;
    outH = int(h * scale) - 4;
  } else if (zoomedIn) {
    outW = 10 * w;
    outH = 10 * h;
  } else if (zoom == TZoom::Quarter) {
    outW = w / 4;
    outH = h / 4;
  } else if (zoom == TZoom::Half) {
    outW = w / 2;
    outH = h / 2;
  } else if (zoom == TZoom::ThreeQuarter) {
    outW = int(0.75 * w);
    outH = int(0.75 * h);
  } else {
    outW = w;
    outH = h;
  }
  outW = std::max(outW, 1);
  outH = std::max(outH, 1);
}

void ApplyLevels(TFitsBitmap& image, bool autoLevels, int& minLevel, int& maxLevel) {
  if (!image.HasData()) return;
  TFitsHeader& h = image.Header;
  if (autoLevels) {
    FitsAutoRange(h, image.Data(), 0.01);
    // Levels of any size (float data) are held at the track bars' ends.
    auto level = [](double v) {
      return int(std::clamp<int64_t>(platform::ClampFloatToInt<int64_t>(std::nearbyint(v)), 0, 65536));
    };
    maxLevel = std::clamp(level(h.Background + h.Range) - 1, 0, 65535);
    minLevel = std::min(level(h.Background), 65535);
  } else {
    const int range = maxLevel - minLevel + 1;
    if (range >= 0 && range <= 65535 && minLevel < 65536) {
      h.Background = minLevel;
      h.Range = range;
    } else {
      h.Background = 0;
      h.Range = 65535;
    }
  }
  image.UpdateBitmap();
}

void DrawCrossHair(platform::Bitmap& picture, TCrossHair kind, TZoom zoom, double scale) {
  if (kind == TCrossHair::None || picture.IsNull()) return;
  int pen = 1;
  switch (zoom) {
    case TZoom::Quarter: pen = 4; break;
    case TZoom::Half: pen = 3; break;
    case TZoom::ThreeQuarter: pen = 2; break;
    case TZoom::Normal: pen = 1; break;
    case TZoom::BestFit: pen = int(1.0 / std::max(scale, 1e-6)) + 1; break;
  }
  const int w = picture.Width(), h = picture.Height(), cx = w / 2, cy = h / 2;
  QPainter p(&picture.Image());
  p.setPen(QPen(QColor(255, 0, 0), pen));
  if (kind == TCrossHair::Dual) {
    const int d = w / 100;
    p.drawLine(cx - d, 0, cx - d, h);
    p.drawLine(cx + d, 0, cx + d, h);
    p.drawLine(0, cy - d, w, cy - d);
    p.drawLine(0, cy + d, w, cy + d);
    return;
  }
  p.drawLine(cx, 0, cx, h);
  p.drawLine(0, cy, w, cy);
  if (kind == TCrossHair::Bullseye)
    for (int r : {w / 5, w / 10, w / 20}) p.drawEllipse(QPoint(cx, cy), r, r);
}

void TZoomClick::MouseDown(int x, int y, uint32_t nowMs) {
  if (hadDouble_ && nowMs - lastDouble_ <= 1000) return;
  clickX_ = x;
  clickY_ = y;
}

void TZoomClick::Click(int clientW, int clientH, int& scrollX, int& scrollY) const {
  scrollX = clickX_ - int(std::nearbyint(clientW / 2.0));
  scrollY = clickY_ - int(std::nearbyint(clientH / 2.0));
}

void TZoomClick::DoubleClick(uint32_t nowMs, TZoom zoom, int clientW, int clientH, int& scrollX, int& scrollY) {
  hadDouble_ = true;
  lastDouble_ = nowMs;
  if (zoomedIn_) {
    zoomedIn_ = false;
    scrollX = scrollY = 0;
    return;
  }
  zoomedIn_ = true;
  // The control's pixels at the chosen size to the 10 x picture's pixels.
  const int f = zoom == TZoom::Quarter ? 40 : zoom == TZoom::Half ? 20 : zoom == TZoom::ThreeQuarter ? 15 : 10;
  scrollX = clickX_ * f - int(std::nearbyint(clientW / 2.0));
  scrollY = clickY_ * f - int(std::nearbyint(clientH / 2.0));
}

int LevelFromCounter(int position, int counterMax) {
  return std::clamp(position, kLevelCounterMin, std::max(counterMax, kLevelCounterMin)) + 32768;
}

int LevelMaximum(int bitPix) {
  const int bits = std::abs(bitPix);
  return bits >= 16 || bits <= 0 ? 65535 : (1 << bits) - 1;
}

}  // namespace imaging
