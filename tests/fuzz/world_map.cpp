// Fuzz target: the relief map files "world.dat" and "world.idx" (every tile
// of an accepted map decoded) and one boundary segment file. The input's
// parts: world.dat, world.idx, boundary file.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tools/world_map.h"

namespace {
std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  TWorldMapData map;
  if (ParseWorldMap(Bytes(fuzz::Part(input, 0)), Bytes(fuzz::Part(input, 1)), map)) {
    std::vector<int16_t> elevation;
    std::vector<uint8_t> land;
    for (int t = 0; t < map.TileCount(); ++t) DecodeWorldTile(map, t, elevation, land);
  }
  std::vector<TBoundaryLine> lines;
  ParseBoundaryFile(Bytes(fuzz::Part(input, 2)), lines);
  // The whole input as one boundary file too.
  lines.clear();
  ParseBoundaryFile(Bytes(input), lines);
  return 0;
}
