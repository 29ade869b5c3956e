// The Sun and Moon pictures: the 8-bit bitmap layout the program's reader
// accepts, and the drawn discs.
#include <gtest/gtest.h>

#include "data/common.h"
#include "data/images.h"
#include "platform/codec.h"

using namespace mkdata;

TEST(Bitmaps, EightBitLayoutWithBottomUpRows) {
  PaletteImage img;
  img.width = 4;
  img.height = 2;
  img.palette[1] = 0x00112233;
  img.palette[255] = 0xFFABCDEF;  // the reserved byte is always written as 0
  img.pixels = {1, 2, 3, 4,  // top row
                5, 6, 7, 255};
  const std::vector<uint8_t> f = EncodeBmp8(img);
  ASSERT_EQ(f.size(), 1078u + 8u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(platform::GetU32(f.data() + 2), 1086u);  // file size
  EXPECT_EQ(platform::GetU32(f.data() + 10), 1078u);  // pixel data offset
  EXPECT_EQ(platform::GetU32(f.data() + 14), 40u);
  EXPECT_EQ(platform::GetI32(f.data() + 18), 4);
  EXPECT_EQ(platform::GetI32(f.data() + 22), 2);      // positive: bottom-up
  EXPECT_EQ(platform::GetU16(f.data() + 26), 1);
  EXPECT_EQ(platform::GetU16(f.data() + 28), 8);
  EXPECT_EQ(platform::GetU32(f.data() + 30), 0u);     // uncompressed
  // Colour table entries: blue, green, red, 0.
  EXPECT_EQ(platform::GetU32(f.data() + 54 + 4 * 1), 0x00112233u);
  EXPECT_EQ(f[54 + 4 * 255 + 3], 0);
  // The reader accepts the file: data size = width × height.
  EXPECT_EQ(f.size() - platform::GetU32(f.data() + 10), 8u);
  // The bottom row comes first.
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 1078, f.end()), (std::vector<uint8_t>{5, 6, 7, 255, 1, 2, 3, 4}));
  img.width = 6;
  img.pixels.resize(12);
  EXPECT_THROW(EncodeBmp8(img), SourceError);  // rows would need padding
  img.width = 4;
  EXPECT_THROW(EncodeBmp8(img), SourceError);  // pixel count does not match
}

namespace {

uint32_t PixelAt(const PaletteImage& img, int x, int y) {
  return img.palette[img.pixels[std::size_t(y) * std::size_t(img.width) + std::size_t(x)]] & 0xFFFFFF;
}
int Brightness(uint32_t c) { return int((c >> 16) & 255) + int((c >> 8) & 255) + int(c & 255); }

}  // namespace

TEST(Bitmaps, SunAndMoonFillTheirSquareOnBlack) {
  for (const PaletteImage& img : {DrawSun(128), DrawMoon(128)}) {
    ASSERT_EQ(img.width, 128);
    ASSERT_EQ(img.height, 128);
    // Corners (outside the disc) are black, the transparent key.
    EXPECT_EQ(PixelAt(img, 0, 0), 0u);
    EXPECT_EQ(PixelAt(img, 127, 127), 0u);
    // The disc reaches the middle of every edge.
    EXPECT_GT(Brightness(PixelAt(img, 64, 1)), 100);
    EXPECT_GT(Brightness(PixelAt(img, 1, 64)), 100);
    EXPECT_GT(Brightness(PixelAt(img, 126, 64)), 100);
    EXPECT_GT(Brightness(PixelAt(img, 64, 126)), 100);
    EXPECT_NO_THROW(EncodeBmp8(img));
  }
  // The Sun darkens towards its limb.
  const PaletteImage sun = DrawSun(128);
  EXPECT_GT(Brightness(PixelAt(sun, 64, 64)), Brightness(PixelAt(sun, 64, 3)) + 60);
  // The Moon's maria: Mare Crisium (north-east, on the right) is darker
  // than the highlands south of the centre.
  const PaletteImage moon = DrawMoon(256);
  const int crisium = Brightness(PixelAt(moon, 128 + int(128 * 0.82), 128 - int(128 * 0.29)));
  const int highland = Brightness(PixelAt(moon, 128 + 20, 128 + 90));
  EXPECT_LT(crisium + 100, highland);
}
