// Helpers shared by the fuzz targets: a scratch folder of the process for
// readers that take a file name, and a quiet stand-in for the dialogs and
// the program halt, so that a reader's messages and fatal paths run
// without a display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// A folder of this process (ending in "/"), made at the first call and
// removed at exit.
const std::string& ScratchDir();

// Writes the bytes to ScratchDir() + name and returns that path.
std::string WriteScratch(const std::string& name, const uint8_t* data, std::size_t size);
std::string WriteScratch(const std::string& name, std::string_view bytes);

// Installs dialogs that answer every box with its default button and keep
// no record, and a halt that throws platform::ProgramHalted. Idempotent.
void InstallQuietPlatform();

// Splits a fuzz input into `count` parts at the separator byte sequence
// "\n@@\n" (missing parts are empty), so one input can fill several files.
std::string_view Part(std::string_view input, int index);

// A double read from the first 8 bytes (little-endian), 0 when too short.
double DoubleAt(const uint8_t* data, std::size_t size, std::size_t offset);

}  // namespace fuzz
