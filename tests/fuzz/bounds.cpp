// Fuzz target: "Bounds.dat" read and walked into precessed points.
#include <cstddef>
#include <cstdint>

#include "catalog/bounds.h"

#include "astro/observer.h"
#include "shell/globals.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  DataFolder = fuzz::ScratchDir();
  fuzz::WriteScratch("Bounds.dat", data, size);
  LoadBounds();
  static TObserverTime observer = [] {
    TObserverTime o;
    InitObserver(o);
    return o;
  }();
  PrecessBounds(observer);
  return 0;
}
