// Fuzz target for one source parser of noctra-mkdata, chosen at build time
// by NOCTRA_FUZZ_READER (one executable per parser). The input is written
// to a file and read as the tool reads its source; what the tool writes
// from it (file records) is built too, so the conversions run on it.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>

#include "data/bounds.h"
#include "data/deepsky.h"
#include "data/elements.h"
#include "data/common.h"
#include "data/refdata.h"
#include "data/relief.h"
#include "data/stars.h"
#include "data/zonecat.h"
#include "tests/fuzz/fuzz_support.h"

#include <zlib.h>

using namespace mkdata;

namespace {

void StarRecords(const std::unordered_map<int, PositionMag>& positions) {
  StarSources src;
  src.positions = positions;
  const StarTable table = MergeStars(src);
  for (const auto& [hip, star] : table.byHip) {
    MakeSaoRecord(star, CrossEntry{hip, "", 1, 0, 0});
    MakeTychoRecord(star.ra, star.dec, star.pmRA, star.pmDec, star.mag, uint32_t(hip));
  }
}

void Run(const std::string& path, const uint8_t* data, std::size_t size) {
  switch (NOCTRA_FUZZ_READER) {
    case 1: ReadCrossIndex(path); break;
    case 2: ReadDesignations(path); break;
    case 3: ReadProperMotions(path); break;
    case 4: ReadVariables(path); break;
    case 5: ReadDoubles(path); break;
    case 6: StarRecords(ReadGeoJsonStars(path)); break;
    case 7: ReadGeoJsonStarNames(path); break;
    case 8: {
      for (const BinaryStar& s : ReadBinaryStars(path))
        MakeTychoRecord(s.ra, s.dec, s.pmRA, s.pmDec, s.mag, 0);
      break;
    }
    case 9: ReadGeoJsonDsos(path); break;
    case 10: {
      const DeepSkyCatalogue cat = ReadOpenNgc(path, {});
      WriteObjectDatabase(fuzz::ScratchDir() + "out.sqlite", cat.ngc, cat.ic);
      break;
    }
    case 11: {
      const ZoneCatalogue cat = DecodeZoneCatalogue(std::vector<uint8_t>(data, data + size), "fuzz");
      for (const ZoneStar& s : cat.stars) MakeTychoRecord(s.ra, s.dec, s.pmRA, s.pmDec, s.mag, 0);
      break;
    }
    case 12: EncodeMilkyWay(ReadMilkyWayOutline(path)); break;
    case 13: ReadConstellationFigures(path); break;
    case 14: {
      int skipped = 0;
      EncodeCities(SelectCities(ReadLocations(path), 2024, &skipped));
      break;
    }
    case 15: {
      std::vector<BoundaryRun> runs = ReadBoundaryOutlines(path);
      for (BoundaryRun& r : runs) r.points = Corners(PrecessRunTo1875(r).points);
      EncodeBounds(ArrangeRuns(runs));
      break;
    }
    case 16: LandFractions(ReadTopoJsonLand(path)); break;
    case 17: FormatAsteroidFile(ReadAsteroidList(path)); break;
    case 18: FormatCometFile(ReadCometList(path)); break;
  }
}

}  // namespace

namespace {

// The gazetteer is gzip-compressed: an input that is not a gzip stream is
// compressed first, so the fuzzer mutates the location list itself rather
// than breaking the stream's checksum.
std::string WriteSource(const uint8_t* data, std::size_t size) {
  const bool gzipped = size >= 2 && data[0] == 0x1F && data[1] == 0x8B;
  if (NOCTRA_FUZZ_READER != 14 || gzipped) return fuzz::WriteScratch("source", data, size);
  const std::string path = fuzz::ScratchDir() + "source";
  gzFile gz = gzopen(path.c_str(), "wb1");
  if (gz && size) gzwrite(gz, data, unsigned(size));
  if (gz) gzclose(gz);
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string path = WriteSource(data, size);
  try {
    Run(path, data, size);
  } catch (const SourceError&) {
    // A refused source is the sound answer to a damaged one.
  }
  return 0;
}
