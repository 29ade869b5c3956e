#include "tools/horizon.h"

#include <cmath>

#include "platform/bitmap.h"

namespace {

uint32_t ColorRefOf(QRgb p) { return uint32_t(qRed(p)) | uint32_t(qGreen(p)) << 8 | uint32_t(qBlue(p)) << 16; }
QRgb RgbOf(uint32_t c) { return qRgb(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)); }

}  // namespace

void PictureToProfile(const QImage& picture, THorizonArray& horizon) {
  if (picture.isNull()) return;
  const QImage img = picture.convertToFormat(QImage::Format_RGB32);
  const int w = img.width(), h = img.height();
  for (int x = 0; x < w; ++x) {
    const int a = int(std::nearbyint(360.0 / w * x));
    for (int y = 0; y < h; ++y) {
      const int k = int(std::nearbyint(90.0 / h * y));
      horizon[std::size_t(a)][std::size_t(k)] = ColorRefOf(img.pixel(x, y));
    }
  }
}

QImage ProfileToPicture(const THorizonArray& horizon, int width, int height) {
  QImage img(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y) {
    const int k = std::min(90, int(std::nearbyint(90.0 / img.height() * y)));
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x)
      row[x] = RgbOf(horizon[std::size_t(std::min(360, int(std::nearbyint(360.0 / img.width() * x))))][std::size_t(k)]);
  }
  return img;
}

QImage LoadHorizonPicture(const std::string& path, std::string* why) { return platform::ReadPictureFile(path, why); }
