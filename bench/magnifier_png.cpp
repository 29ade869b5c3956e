// Renders the magnifier of a data folder into a PNG file:
//   noctra-magnifier-png DATAFOLDER OUT.png RA_DEG DEC_DEG MODE [JD_UT [STARMODE]]
// (RA_DEG "saturn" centres on Saturn, "moon" on the Moon). NOCTRA_MIRROR
// set to "y" or "n" twice ("yn": mirror, "ny": invert) gives the telescope's
// mirror and invert flags.
// The place is 50° north on the Greenwich meridian. MODE is a field-of-view
// mode (1..9, or e × 10000 + 100 × t with the telescope "300mm f/10" and the
// eyepieces 25 mm 50° (1) and 5 mm 50° (2) as telescope 1).
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <string>
#include <vector>

#include "chart/magnifier_inset.h"
#include "chart/magnifier_scene.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"
#include "chart/render_inputs.h"
#include "platform/bitmap.h"

namespace {
// Half field (radians) of a field-of-view mode.
double MagnifierHalfFieldFor(int32_t mode) {
  double half = 0;
  std::string caption;
  MagnifierFieldCaption(mode, half, caption, 0.95);
  return half;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s DATAFOLDER OUT.png RA_DEG DEC_DEG MODE [JD_UT]\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  std::string folder = argv[1];
  if (folder.back() != '/') folder += '/';
  std::string error;
  if (!TMagnifierScene::Load(folder, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const char* tele[] = {"T", "300mm", "f/10", "n", "n", "1"};
  for (int c = 0; c < 6; ++c) TeleGrid.Cells[1][c] = tele[c];
  const char* flags = std::getenv("NOCTRA_MIRROR");
  if (flags && std::strlen(flags) == 2) {
    TeleGrid.Cells[1][3] = std::string(1, flags[0]);
    TeleGrid.Cells[1][4] = std::string(1, flags[1]);
  }
  TeleGrid.RowCount = 3;
  const char* e1[] = {"A", "25mm", "50"};
  const char* e2[] = {"B", "5mm", "50"};
  for (int c = 0; c < 3; ++c) {
    EyeGrid.Cells[1][c] = e1[c];
    EyeGrid.Cells[2][c] = e2[c];
  }
  EyeGrid.RowCount = 4;
  BuildFieldTables();
  ComputeFieldTable();
  constexpr double kDeg = 3.141592653589793 / 180.0;
  if (argc > 7) MagnifierSwitches.StarMode = uint8_t(std::atoi(argv[7]));
  TMagnifierScene scene;
  scene.SetInstant(0, 50 * kDeg, argc > 6 ? std::atof(argv[6]) : 2460646.5);
  double ra = std::atof(argv[3]) * kDeg, dec = std::atof(argv[4]) * kDeg;
  if (std::string(argv[3]) == "saturn") scene.PlanetPosition(6, ra, dec);
  if (std::string(argv[3]) == "moon") scene.MoonPosition(ra, dec);
  // NOCTRA_MARKERS=1: a named marker dot north of the centre and a
  // triangle of joined markers around it.
  std::vector<TChartMarker> markers;
  const char* withMarkers = std::getenv("NOCTRA_MARKERS");
  if (withMarkers && *withMarkers == '1') {
    const double f = MagnifierHalfFieldFor(std::atoi(argv[5])) / 2;
    const double at[5][3] = {{0, 1, 0}, {-1, -0.6, 0}, {1, -0.6, 1}, {0, 0.3, 1}, {-1, -0.6, 1}};
    for (const auto& a : at) {
      TChartMarker m;
      m.RA = ra + a[0] * f / std::cos(dec);
      m.Dec = dec + a[1] * f;
      m.PenWidth = 2;
      m.Color = 0x00FFFF;  // yellow
      m.Join = uint8_t(a[2]);
      markers.push_back(m);
    }
    markers[0].Text = "Marker";
    TChartInputs inputs;
    inputs.markerCount = [&] { return int32_t(markers.size()); };
    inputs.marker = [&](int32_t i, TChartMarker& m) {
      m = markers[std::size_t(i - 1)];
      return true;
    };
    SetChartInputs(inputs);
  }
  scene.Render(ra, dec, std::atoi(argv[5]));
  return MagnifierScreenBitmap->Image().save(QString::fromStdString(argv[2])) ? 0 : 1;
}
