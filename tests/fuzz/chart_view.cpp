// Fuzz target: the chart's view block where it is used. The input's first
// 58 bytes are a view block (cut or padded with zeros) applied to a plotter
// as a settings file would apply it; the next 8 bytes move the chart's
// instant (days from 2026 January 15), the two 16-bit numbers after them
// are a chart point. One small chart is rendered from that view, and the
// point is turned back into a position. A view that hangs or breaks the
// render or the inverse projection is a finding.
#include <QGuiApplication>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "astro/observer.h"
#include "chart/graph_misc.h"
#include "chart/headless_scene.h"
#include "chart/plotter.h"
#include "platform/codec.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr double kNight = 2461056.4166667;  // 2026 January 15, 22h UT

void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "fuzz_chart_view";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
  fuzz::InstallQuietPlatform();
  InitHeadlessSky();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  SetUpOnce();
  std::vector<uint8_t> block(data, data + std::min(size, kPlotterViewBytes));
  block.resize(kPlotterViewBytes);
  auto p = std::make_unique<tPlotter>();
  MainPlotter = p.get();
  p->Width = 96;
  p->Height = 64;
  p->DpiX = p->DpiY = 96;
  p->ApplyViewBlock(block);
  // The instant: a day offset of any size stays within ±100 years.
  const double days = fuzz::DoubleAt(data, size, kPlotterViewBytes);
  const double offset = std::isfinite(days) ? std::fmod(days, 36525.0) : 0.0;
  SetObserverLocation(p->Observer, -0.17, 0.87, 0);
  SetObserverUT(p->Observer, kNight + offset);
  platform::Bitmap bitmap(p->Width, p->Height);
  {
    platform::DrawingContext dc(bitmap);
    p->Plot(dc, &bitmap);
  }
  const std::size_t at = kPlotterViewBytes + 8;
  const int16_t x = size >= at + 4 ? int16_t(platform::GetU16(data + at)) : 48;
  const int16_t y = size >= at + 4 ? int16_t(platform::GetU16(data + at + 2)) : 32;
  double ra, dec, alt, az;
  p->ScreenToRaDec(x, y, ra, dec, alt, az);
  ClearDrawTarget();
  MainPlotter = nullptr;
  return 0;
}
