// The imaging console's picture at the 10x double-click magnification: the
// memory the zoomed view takes beyond the frame, and the time to draw the
// visible part after a scroll. The view is the console's own picture
// control in its scroll box (800 x 600), as the console sizes it.
//
// BM_ConsoleZoom10x/W/H: a W x H frame. Counters: frame_MB, the frame's
// 32-bit picture; zoom_peak_MB, the growth of the process's peak resident
// memory from the unzoomed view to the zoomed view scrolled across the
// whole picture. Target: zoom_peak_MB within 3 x frame_MB.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <fstream>
#include <string>

#include "imaging/console_display.h"
#include "imaging/forms/imaging_windows.h"

using namespace imaging;

namespace {

// Resident and peak resident memory of the process, MB.
double StatusMB(const char* key) {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::string(key).size())) / 1024.0;
  return 0;
}

void BM_ConsoleZoom10x(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  platform::Bitmap frame(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) frame.SetPixel(x, y, platform::MakePixel(uint8_t(x), uint8_t(y), uint8_t(x ^ y)));
  QScrollArea box;
  auto* view = new TPictureView;
  box.setWidget(view);
  box.resize(800, 600);
  box.show();
  view->SetPicture(frame, w, h);
  box.viewport()->grab();
  // The peak is counted from here (writing 5 to clear_refs resets it).
  std::ofstream("/proc/self/clear_refs") << "5";
  const double before = StatusMB("VmRSS:");
  int zw = 0, zh = 0;
  double scale = 1;
  ZoomedSize(TZoom::Normal, true, w, h, 800, 600, zw, zh, scale);
  view->SetPicture(frame, zw, zh);
  int step = 0;
  for (auto _ : state) {
    // Scroll across the picture, a new part in view each time.
    box.horizontalScrollBar()->setValue((step * 997) % std::max(1, zw - 800));
    box.verticalScrollBar()->setValue((step * 631) % std::max(1, zh - 600));
    ++step;
    benchmark::DoNotOptimize(box.viewport()->grab());
  }
  state.counters["frame_MB"] = double(w) * h * 4 / (1024.0 * 1024.0);
  state.counters["zoom_peak_MB"] = StatusMB("VmHWM:") - before;
}
BENCHMARK(BM_ConsoleZoom10x)->Args({640, 480})->Args({1280, 1024})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
