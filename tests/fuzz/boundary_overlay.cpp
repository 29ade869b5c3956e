// Fuzz target: a boundary segment file read and drawn as the world map's
// overlay, over the whole world and zoomed in on the first line's start.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/world_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  std::vector<TBoundaryLine> lines;
  ParseBoundaryFile(std::vector<uint8_t>(data, data + size), lines);
  TMapView v;
  v.Width = 120, v.Height = 80;
  platform::Bitmap bitmap(v.Width, v.Height);
  DrawMapOverlay(v, lines, lines, bitmap);
  if (!lines.empty() && !lines[0].Points.empty()) {
    v.Zoom = kMapZoomLevels;
    v.Latitude = lines[0].Points[0].second;
    v.WestLongitude = -lines[0].Points[0].first;
    if (v.WestLongitude < 0) v.WestLongitude += 360;
    DrawMapOverlay(v, {}, lines, bitmap);
  }
  return 0;
}
