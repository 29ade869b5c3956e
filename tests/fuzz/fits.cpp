// Fuzz target: a FITS file read by the header reader and by TFitsBitmap
// (header, data part and the rendering with the header's display range).
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "imaging/fits.h"
#include "imaging/fits_bitmap.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::istringstream in(bytes);
    imaging::TFitsHeader h;
    imaging::FitsData pixels;
    try {
      imaging::LoadFitsHeader(in, h, pixels);
    } catch (const imaging::EInvalidGraphic&) {
    }
  }
  std::istringstream in(bytes);
  imaging::TFitsBitmap bitmap;
  try {
    bitmap.LoadFromStream(in);
  } catch (const imaging::EInvalidGraphic&) {
  }
  return 0;
}
