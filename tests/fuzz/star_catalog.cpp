// Fuzz target: the star catalogue files ("SAO_YALE.DAT", "tycho2.dat" and
// the notes "yale_notes.dat", three parts of one input) through the load
// and the single-record and note readers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "astro/observer.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "shell/globals.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  DataFolder = fuzz::ScratchDir();
  TStarLoadJob job;
  job.saoPath = fuzz::WriteScratch("sao_yale.dat", fuzz::Part(input, 0));
  job.tychoPath = fuzz::WriteScratch("tycho2.dat", fuzz::Part(input, 1));
  job.notesPath = fuzz::WriteScratch("yale_notes.dat", fuzz::Part(input, 2));
  InitObserver(job.observer);
  job.observer.PrecessionOn = 1;
  job.options = RegistryDefaultStarOptions();
  job.options.HighMagLimit = 30;
  job.options.LowMagLimit = -30;
  job.memoryLimit = 64u << 20;
  TStarLoadResult result;
  ConvertSaoCatalog(job, result, [](const std::string&) {});
  ConvertTychoCatalog(job);
  // Single records and notes as the search windows read them.
  uint8_t rec[31];
  if (OpenSaoFile())
    for (int32_t n = 1; n <= 4 && ReadSaoRecord(n, rec); ++n) {
      const TSaoRecord r = DecodeSaoRecord(rec);
      TStarNoteLines lines;
      int count = 0;
      ReadStarNotes(r.NoteOffset, lines, count);
      std::string name;
      ExtractStarName(lines, count, name);
    }
  CloseSaoFile();
  return 0;
}
