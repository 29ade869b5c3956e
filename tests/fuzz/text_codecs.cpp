// Fuzz target: the codecs every file reader uses: numbers in text, the
// Windows-1252 and UTF-8 conversions, short strings and the 6-byte real.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/codec.h"
#include "platform/numfmt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  double d;
  if (platform::ParseDouble(text, d)) {
    platform::FormatFixed(d, 12, 3);
    platform::FormatGeneral(d, 15);
  }
  int64_t i64;
  if (platform::ParseInt(text, i64)) platform::FormatInt(i64, 20, true);
  int32_t i32;
  platform::ParseInt32(text, i32);
  // Text round trips: UTF-8 of any 1252 text converts back to the same bytes
  // except the five unassigned codes.
  const std::string utf8 = platform::Cp1252ToUtf8(text);
  platform::Utf8ToCp1252(text);
  platform::CutToChars(text, size / 2);
  platform::CharCount(text);
  if (platform::CharCount(utf8) != size) std::abort();
  if (size >= 256) platform::GetShortString(data, 255);
  if (size >= 6) {
    const double r = platform::Real48ToDouble(data);
    uint8_t back[6];
    if (!platform::DoubleToReal48(r, back) && std::isfinite(r) && r != 0) std::abort();
  }
  uint8_t field[256];
  platform::PutShortString(field, text, 255);
  return 0;
}
