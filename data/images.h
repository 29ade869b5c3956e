// The Sun and Moon pictures "sun.bmp" and "moon.bmp": uncompressed 8-bit
// palette bitmaps (a 1,078-byte header with 256 colours, rows bottom-up,
// width a multiple of 4 so that rows carry no padding), drawn here: a
// limb-darkened Sun and a full Moon with its maria and brightest craters,
// north up, each disc filling its square picture on a black background.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace mkdata {

// An 8-bit picture: `pixels` holds width × height palette indices, row 0
// being the top row; palette entries are 0x00RRGGBB.
struct PaletteImage {
  int width = 0;
  int height = 0;
  std::array<uint32_t, 256> palette{};
  std::vector<uint8_t> pixels;
};

// The bitmap file of an image; throws SourceError when the width is not a
// positive multiple of 4 or the pixel count does not match.
std::vector<uint8_t> EncodeBmp8(const PaletteImage& image);

// The pictures, `size` pixels square (a multiple of 4).
PaletteImage DrawSun(int size);
PaletteImage DrawMoon(int size);

}  // namespace mkdata
