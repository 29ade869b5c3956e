// Fuzz target: the reference files read at start ("nebula.dat",
// "messier_rngc.dat", "milkywayb.dat", "ConstellationLines.data",
// "city.dat"), five parts of one input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "astro/reference_files.h"

#include "platform/halt.h"
#include "shell/globals.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  DataFolder = fuzz::ScratchDir();
  fuzz::WriteScratch("nebula.dat", fuzz::Part(input, 0));
  fuzz::WriteScratch("messier_rngc.dat", fuzz::Part(input, 1));
  fuzz::WriteScratch("milkywayb.dat", fuzz::Part(input, 2));
  fuzz::WriteScratch("ConstellationLines.data", fuzz::Part(input, 3));
  fuzz::WriteScratch("city.dat", fuzz::Part(input, 4));
  LoadNebulae();
  try {
    LoadDataFiles();
  } catch (const platform::ProgramHalted&) {
  }
  return 0;
}
