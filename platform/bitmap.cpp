#include "platform/bitmap.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/data_file.h"

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

QImage ReadPictureFile(const std::string& path, std::string* why) {
  std::FILE* f = OpenDataFile(path, why);
  if (!f) return {};
  // The opened file is read through Qt's readers, which take it in pieces.
  QImage picture;
  int err = 0;
  {
    QFile file;
    if (file.open(f, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) picture = QImageReader(&file).read();
    else err = errno ? errno : EIO;
  }
  std::fclose(f);
  if (err) {
    if (why) *why = std::strerror(err);
    errno = err;
  }
  return picture;
}

}  // namespace platform
