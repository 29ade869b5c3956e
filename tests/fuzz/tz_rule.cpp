// Fuzz target: a POSIX TZ rule, and the same bytes as a zone file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/timezone.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::TIME_ZONE_INFORMATION tzi;
  platform::TimeZoneFromPosix(text, tzi);
  if (size >= 4 && text.compare(0, 4, "TZif") == 0)
    platform::TimeZoneFromIana(fuzz::WriteScratch("zone", data, size), tzi);
  return 0;
}
