// Renders the main chart of a data folder into a PNG file:
//   noctra-chart-png DATAFOLDER OUT.png [ZOOM [ALT AZ | planet INDEX] [JD_UT]]
// The place is 50° north, 10° east; without ALT and AZ the view is the
// whole heavens centred on the zenith. NOCTRA_PRINT=1 renders a printed
// page instead; NOCTRA_MINOR=1 adds the asteroids and comets with their
// names; NOCTRA_FRAMES=n renders n times and writes the last.
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/styles.h"
#include "chart/headless_scene.h"
#include "chart/plotter.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DATAFOLDER OUT.png [ZOOM [ALT AZ] [JD_UT]]\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  std::string folder = argv[1];
  if (folder.back() != '/') folder += '/';
  std::string error;
  if (!LoadHeadlessScene(folder, 9.0, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  constexpr double kDeg = 3.141592653589793 / 180.0;
  auto plotter = std::make_unique<tPlotter>();
  MainPlotter = plotter.get();
  plotter->Width = 1920;
  plotter->Height = 1080;
  plotter->DpiX = plotter->DpiY = 96;
  plotter->ConstellationNames = 2;
  plotter->GridLabels = 1;
  plotter->ShowStarNames = 1;
  plotter->GalileanMoons = 1;
  // NOCTRA_GRID=h: the horizontal grid at its 7.5-degree spacing.
  const char* grid = std::getenv("NOCTRA_GRID");
  if (grid && *grid == 'h') {
    plotter->GridKind = 1;
    plotter->GridAutoSpacing = 0;
    plotter->GridSpacingLevel = 1;
  }
  // NOCTRA_MINOR=1: the asteroids and comets of the element files, named.
  const char* minor = std::getenv("NOCTRA_MINOR");
  if (minor && *minor == '1')
    plotter->ShowAsteroids = plotter->AsteroidLabels = plotter->ShowComets = plotter->CometLabels = 1;
  if (argc > 3) plotter->Zoom = std::atof(argv[3]);
  if (argc > 5 && std::string(argv[4]) == "planet") {
    plotter->ZenithView = 0;
    plotter->TrackKind = kTrackSolarSystem;
    plotter->TrackIndex = std::atoi(argv[5]);
  } else if (argc > 5) {
    plotter->ZenithView = 0;
    plotter->CentreOnHorizon = 1;
    plotter->HeldAlt = std::atof(argv[4]) * kDeg;
    plotter->HeldAz = std::atof(argv[5]) * kDeg;
  }
  const double jd = argc > 6 ? std::atof(argv[6]) : 2461056.4166667;  // 2026-01-15 22:00 UT
  SetHeadlessInstant(*plotter, -10 * kDeg, 50 * kDeg, jd);
  // NOCTRA_PRINT=1: a printed page (150 dots per inch, black and white) on
  // white paper instead of the screen chart.
  const char* print = std::getenv("NOCTRA_PRINT");
  if (print && *print == '1') {
    plotter->OutputKind = kOutputPrinter;
    plotter->DpiX = plotter->DpiY = 150;
    ColorMode = 1;
    PrintScale = PrintScaleForResolution(150, 150);
    CreatePrinterFonts(150);
    MakeDrawingColors();
    QImage page(1920, 1080, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
      platform::DrawingContext dc(&page);
      plotter->Plot(dc, nullptr);
    }
    if (!page.save(QString::fromStdString(argv[2]))) return 1;
    return 0;
  }
  platform::Bitmap bitmap(1920, 1080);
  // NOCTRA_FRAMES=n: n renders into the same bitmap, as a running chart
  // renders again (the last one is written).
  const char* frames = std::getenv("NOCTRA_FRAMES");
  for (int f = std::max(1, frames ? std::atoi(frames) : 1); f > 0; --f) {
    bitmap.Fill(0);
    platform::DrawingContext dc(bitmap);
    plotter->Plot(dc, &bitmap);
  }
  ClearDrawTarget();
  if (!bitmap.Image().save(QString::fromStdString(argv[2]))) return 1;
  for (int i = 0; i < TRenderTimes::kSteps; ++i)
    if (plotter->Times.Step[i] > 0.05) std::printf("step %2d: %7.2f ms\n", i, plotter->Times.Step[i]);
  MainPlotter = nullptr;
  return 0;
}
