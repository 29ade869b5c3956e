// Fuzz target: a FITS file read by the header reader and by TFitsBitmap
// (header, data part and the rendering with the header's display range);
// an accepted picture also gets its automatic levels, its histogram and a
// rendering, and is saved in every console type and read back. The
// oracle: what is written reads back, with the picture's size and each
// value as that type keeps it (rounded up and limited to the integer
// types' span, a float for the float type, 0 for a value that is no
// finite number).
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "imaging/fits.h"
#include "imaging/fits_bitmap.h"
#include "imaging/fits_image.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

double Kept(double v, int32_t save) {
  if (!std::isfinite(v)) return 0;
  if (save == -32) return double(float(std::clamp(v, -double(FLT_MAX), double(FLT_MAX))));
  const double lo = save == 32 ? -2147483648.0 : 0;
  const double hi = save == 32 ? 2147483647.0 : save == 16 ? 65535 : 32767;
  return std::clamp(std::ceil(v), lo, hi);
}

void SaveInEveryConsoleType(const imaging::TFitsHeader& h, const imaging::FitsData& d) {
  const std::string file = fuzz::ScratchDir() + "saved.fts";
  const int64_t n = int64_t(h.NAxis1) * h.NAxis2 * imaging::FitsPlanes(h);
  for (const int32_t save : {-16, 16, 32, -32}) {
    imaging::TFitsHeader copy = h, back;
    copy.SaveBitPix = save;
    if (!imaging::SaveFitsHeader(file, copy, d)) std::abort();
    imaging::FitsData bd;
    std::ifstream in(file, std::ios::binary);
    if (!imaging::LoadFitsHeader(in, back, bd)) std::abort();  // throws on a damaged data part
    if (back.NAxis1 != h.NAxis1 || back.NAxis2 != h.NAxis2 || imaging::FitsPlanes(back) != imaging::FitsPlanes(h))
      std::abort();
    for (int64_t i = 0; i < n; ++i)
      if (imaging::FitsValue(bd.data(), back.BitPix, i) != Kept(imaging::FitsValue(d.data(), h.BitPix, i), save))
        std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::istringstream in(bytes);
    imaging::TFitsHeader h;
    imaging::FitsData pixels;
    bool read = false;
    try {
      read = imaging::LoadFitsHeader(in, h, pixels);
    } catch (const imaging::EInvalidGraphic&) {
    }
    if (read) {
      imaging::TFitsHeader shown = h;
      imaging::FitsAutoRange(shown, pixels, 0.01);
      imaging::RenderFits(shown, pixels);
      platform::Bitmap canvas(64, 16);
      int64_t lo = 0, hi = 0;
      imaging::FitsHistogram(shown, pixels, canvas, lo, hi);
      SaveInEveryConsoleType(h, pixels);  // a read-back that throws is a finding too
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
