// Fuzz target: the star notes "yale_notes.dat" read at offsets the input
// names, split into lines and searched for a proper name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalog/stars.h"
#include "shell/globals.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  if (size < 4) return 0;
  DataFolder = fuzz::ScratchDir();
  const uint32_t offset = uint32_t(data[0] | (data[1] << 8) | (data[2] << 16)) | (uint32_t(data[3]) << 24);
  fuzz::WriteScratch("yale_notes.dat", data + 4, size - 4);
  TStarNoteLines lines;
  int count = 0;
  ReadStarNotes(offset, lines, count);
  std::string name;
  ExtractStarName(lines, count, name);
  ReadStarNotes(offset % (size + 1), lines, count);
  if (OpenStarNotes()) {
    std::string note;
    ReadStarNote(offset % (size + 1), note);
    ReadStarNote(1, note);
    CloseStarNotes();
  }
  SplitStarNote(std::string(reinterpret_cast<const char*>(data), size), lines);
  return 0;
}
