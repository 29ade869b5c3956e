#include "platform/bitmap.h"

#include <algorithm>
#include <cstring>

namespace platform {

Bitmap::Bitmap(int width, int height) {
  if (width <= 0 || height <= 0) return;
  image_ = QImage(width, height, QImage::Format_RGB32);
  // QImage::fill would force byte 3 to 0xFF; the bitmap starts all zero.
  if (!image_.isNull()) std::memset(image_.bits(), 0, size_t(image_.sizeInBytes()));
}

void Bitmap::Fill(uint32_t value) {
  for (int y = 0; y < Height(); ++y) std::fill_n(Row(y), Width(), value);
}

}  // namespace platform
