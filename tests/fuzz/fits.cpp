// Fuzz target: a FITS file read by the header reader and by TFitsBitmap
// (header, data part, the rendering with the header's display range and
// the console's automatic levels).
// An accepted picture also gets automatic levels, a histogram and a
// rendering, and is saved in every console type and read back. The oracle:
// what is written reads back, in size and in each value as the type keeps
// it (rounded up and held within an integer type, a float for the float
// type, 0 for what is no finite number). Scaling never blanks a picture:
// an accepted file of integer type holds only finite values, and a refusal
// that names the scaling names BSCALE or BZERO.
#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "imaging/console_display.h"
#include "imaging/fits.h"
#include "imaging/fits_bitmap.h"
#include "imaging/fits_image.h"
#include "tests/fuzz/fuzz_support.h"

using namespace imaging;

namespace {

void UseAndSaveInEveryConsoleType(const TFitsHeader& h, const FitsData& d) {
  TFitsHeader shown = h;
  FitsAutoRange(shown, d, 0.01);
  RenderFits(shown, d);
  platform::Bitmap canvas(64, 16);
  int64_t lo = 0, hi = 0;
  FitsHistogram(shown, d, canvas, lo, hi);
  const std::string file = fuzz::ScratchDir() + "saved.fts";
  for (const int32_t save : {-16, 16, 32, -32}) {
    TFitsHeader copy = h, back;
    copy.SaveBitPix = save;
    FitsData bd;
    std::ifstream in;
    if (!SaveFitsHeader(file, copy, d) || (in.open(file, std::ios::binary), !LoadFitsHeader(in, back, bd)) ||
        back.NAxis1 != h.NAxis1 || back.NAxis2 != h.NAxis2 || FitsPlanes(back) != FitsPlanes(h))
      std::abort();
    const double top = save == 32 ? INT32_MAX : save == 16 ? 65535 : 32767;
    for (int64_t i = 0; i < int64_t(h.NAxis1) * h.NAxis2 * FitsPlanes(h); ++i) {
      const double v = FitsValue(d.data(), h.BitPix, i);
      const double kept = !std::isfinite(v) ? 0
                          : save == -32    ? float(std::clamp(v, -double(FLT_MAX), double(FLT_MAX)))
                                           : std::clamp(std::ceil(v), save == 32 ? INT32_MIN : 0.0, top);
      if (FitsValue(bd.data(), back.BitPix, i) != kept) std::abort();
    }
  }
}

// The BITPIX of a file the reader accepted: the first card so named before
// END (the reader took its value as a whole number).
int32_t FileBitPix(const std::string& bytes) {
  for (std::size_t at = 0; at + 80 <= bytes.size(); at += 80) {
    std::string key = bytes.substr(at, 8);
    for (char& c : key) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (key == "END     ") break;
    if (key == "BITPIX  ") return int32_t(std::strtol(bytes.substr(at + 10, 70).c_str(), nullptr, 10));
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::istringstream in(bytes);
    TFitsHeader h;
    FitsData pixels;
    bool read = false;
    try {
      read = LoadFitsHeader(in, h, pixels);
    } catch (const EInvalidGraphic& e) {
      const std::string why = e.what();
      if (why != "Fits image is not valid" && why.rfind("BSCALE = ", 0) != 0 && why.rfind("BZERO = ", 0) != 0)
        std::abort();
    }
    if (read && FileBitPix(bytes) > 0)
      for (int64_t i = 0; i < int64_t(h.NAxis1) * h.NAxis2 * FitsPlanes(h); ++i)
        if (!std::isfinite(FitsValue(pixels.data(), h.BitPix, i))) std::abort();
    if (read) UseAndSaveInEveryConsoleType(h, pixels);  // a read-back that throws is a finding too
  }
  std::istringstream in(bytes);
  TFitsBitmap bitmap;
  try {
    bitmap.LoadFromStream(in);
    int low = 0, high = 0;
    ApplyLevels(bitmap, true, low, high);  // the console's automatic levels
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
