// Fuzz target: the text parsers of angles, times and places, and the
// formatters fed with what they return and with raw doubles of the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "astro/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void FormatAll(double v) {
  FormatRA_HMSs(v);
  FormatRA_HMS(v);
  FormatRA_HM(v);
  FormatDMS(v);
  FormatDegMin(v);
  FormatDegrees1(v);
  FormatHoursHM(v);
  FormatHoursHM2(v);
  RoundNice(v);
  IsLeapYear(v);
  DaysInMonth(v, 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string text(reinterpret_cast<const char*>(data), size);
  FormatAll(ParseLatitude(text));
  FormatAll(ParseLongitude(text));
  FormatAll(ParseTimeZone(text));
  for (auto parse : {ParseHours, ParseDegrees}) {
    try {
      FormatAll(parse(text));
    } catch (const EConvertError&) {
    }
  }
  FormatAll(fuzz::DoubleAt(data, size, 0));
  BinStrToInt(text);
  RPosN(fuzz::Part(text, 1), fuzz::Part(text, 0), size ? data[0] % 8 : 1);
  CopyTrimZeros(text, size ? data[0] : 1, size > 1 ? data[1] : 1);
  PadLeft(text, size ? data[0] : 0);
  IsValidFileName(text);
  return 0;
}
