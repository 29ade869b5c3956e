// Writes small bitmap files for the chart tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/codec.h"

// A bitmap file: `bits` bits per pixel, the given pixel bytes, colour table
// entry k = blue k, green 2k, red 3k (mod 256), reserved 0x7F.
inline std::vector<uint8_t> BmpFile(int32_t width, int32_t height, uint16_t bits,
                                    const std::vector<uint8_t>& pixels) {
  const uint32_t offset = 14 + 40 + 1024;
  std::vector<uint8_t> f(offset, 0);
  f[0] = 'B';
  f[1] = 'M';
  platform::PutU32(&f[2], uint32_t(offset + pixels.size()));
  platform::PutU32(&f[10], offset);
  platform::PutU32(&f[14], 40);
  platform::PutI32(&f[18], width);
  platform::PutI32(&f[22], height);
  platform::PutU16(&f[26], 1);
  platform::PutU16(&f[28], bits);
  for (int k = 0; k < 256; ++k) {
    f[54 + 4 * k] = uint8_t(k);
    f[55 + 4 * k] = uint8_t(2 * k);
    f[56 + 4 * k] = uint8_t(3 * k);
    f[57 + 4 * k] = 0x7F;
  }
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}
