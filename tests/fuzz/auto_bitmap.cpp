// Fuzz target: a bitmap file through the auto bitmap reader.
#include <cstddef>
#include <cstdint>

#include "chart/graph_misc.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string path = fuzz::WriteScratch("picture.bmp", data, size);
  if (Bitmap* b = ReadAutoBitmap(path)) FreeAutoBitmap(b);
  return 0;
}
