// The program's off-screen bitmap: 32-bit pixels over a QImage in
// Format_RGB32, shared by the raw pixel routines and by QPainter drawing.
//
// Two colour encodings meet here and are kept apart by name:
// - a colour reference (ColorRef) holds red in the low byte: 0x00BBGGRR;
// - a display pixel holds blue in the low byte: 0x00RRGGBB, which in memory
//   (little-endian) is the byte sequence blue, green, red, 0.
// Raw pixel writes store byte 3 as 0; QPainter writes 0xFF there. Every
// comparison of pixel colours therefore looks at the low 24 bits only
// (SameColor, Bitmap::Key).
//
// Addressing: pixel (x, y) has y counted from the top. "Element i" numbers
// the pixels in bottom-up row order, as a bottom-up device-independent bitmap
// lays them out in memory: element (height - 1 - y) * width + x is pixel
// (x, y). Element 0, the bottom-left pixel, is the transparent key of
// transparent copies.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>

namespace platform {

using ColorRef = uint32_t;

inline constexpr uint32_t kRgbMask = 0x00FFFFFFu;

inline constexpr ColorRef MakeColorRef(uint8_t r, uint8_t g, uint8_t b) {
  return ColorRef(r) | (ColorRef(g) << 8) | (ColorRef(b) << 16);
}
inline constexpr uint8_t RedOf(ColorRef c) { return uint8_t(c); }
inline constexpr uint8_t GreenOf(ColorRef c) { return uint8_t(c >> 8); }
inline constexpr uint8_t BlueOf(ColorRef c) { return uint8_t(c >> 16); }

inline constexpr uint32_t MakePixel(uint8_t r, uint8_t g, uint8_t b) {
  return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}
// Red and blue exchanged; flag bits above the colour are dropped.
inline constexpr uint32_t ColorRefToPixel(ColorRef c) {
  return MakePixel(RedOf(c), GreenOf(c), BlueOf(c));
}
inline constexpr ColorRef PixelToColorRef(uint32_t p) {
  return MakeColorRef(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p));
}
// True when two pixels (or two colour references) have the same colour.
inline constexpr bool SameColor(uint32_t a, uint32_t b) { return ((a ^ b) & kRgbMask) == 0; }

class Bitmap {
 public:
  // A null bitmap (no pixels).
  Bitmap() = default;
  // A width x height bitmap with every pixel 0 (black, byte 3 clear). The
  // bitmap is null when the size is not positive or memory is short.
  Bitmap(int width, int height);

  Bitmap(Bitmap&&) noexcept = default;
  Bitmap& operator=(Bitmap&&) noexcept = default;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  bool IsNull() const { return image_.isNull(); }
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  int PixelCount() const { return Width() * Height(); }

  // Rows are contiguous, top row first, `Width()` pixels each.
  uint32_t* Row(int y) { return reinterpret_cast<uint32_t*>(image_.scanLine(y)); }
  const uint32_t* Row(int y) const { return reinterpret_cast<const uint32_t*>(image_.constScanLine(y)); }

  // Pixel (x, y), y from the top; the whole 32-bit value as stored.
  uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
  void SetPixel(int x, int y, uint32_t value) { Row(y)[x] = value; }

  // Element i in bottom-up order (see above).
  uint32_t Element(int i) const { return Pixel(i % Width(), Height() - 1 - i / Width()); }
  void SetElement(int i, uint32_t value) { SetPixel(i % Width(), Height() - 1 - i / Width(), value); }

  // The transparent key: the colour of element 0.
  uint32_t Key() const { return Element(0) & kRgbMask; }

  // Sets every pixel to `value` as given (raw write).
  void Fill(uint32_t value);

  // The image behind the pixels, for QPainter and for saving.
  QImage& Image() { return image_; }
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
};

// Reads a picture file in any format Qt reads (BMP, JPEG, PNG, TIFF, ...,
// told by its content) through the regular-file opener (data_file.h): a
// named pipe, a folder or a device in its place is refused unopened. A null
// image when nothing was read: `why` then holds the opener's reason (errno
// as it sets it), or stays empty for a file that is no picture Qt reads.
QImage ReadPictureFile(const std::string& path, std::string* why = nullptr);

}  // namespace platform
