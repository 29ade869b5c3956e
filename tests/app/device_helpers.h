// Helpers of the tests that drive devices in the real main window: bright
// stars to point at, the simulators sped up, buttons found by their text,
// and a menu item's modal window visited while the chart runs on.
#pragma once

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "app/forms/main_form.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/transforms.h"
#include "platform/automation_sim.h"
#include "platform/timezone.h"
#include "tests/app/startup_fixture.h"

namespace device_helpers {

using startup_fixture::kEventWaitMs;
using startup_fixture::RunEventsUntil;

constexpr double kPi = 3.14159265358979323846;
constexpr double kArcmin = kPi / 180.0 / 60.0;

// Bright stars, ICRS J2000 (Hipparcos, as given by SIMBAD): hours, minutes,
// seconds of right ascension; signed degrees, minutes, seconds of declination.
struct TStar {
  const char* name;
  double h, m, s, d, dm, ds;
  double RA() const { return (h + m / 60.0 + s / 3600.0) * 15.0 * kPi / 180.0; }
  double Dec() const { return (d < 0 ? -1.0 : 1.0) * (std::fabs(d) + dm / 60.0 + ds / 3600.0) * kPi / 180.0; }
};
constexpr TStar kStars[] = {
    {"Vega", 18, 36, 56.336, 38, 47, 1.28},      {"Capella", 5, 16, 41.359, 45, 59, 52.77},
    {"Arcturus", 14, 15, 39.672, 19, 10, 56.67}, {"Sirius", 6, 45, 8.917, -16, 42, 58.02},
    {"Altair", 19, 50, 46.999, 8, 52, 5.96},     {"Deneb", 20, 41, 25.915, 45, 16, 49.22},
    {"Regulus", 10, 8, 22.311, 11, 58, 1.95},    {"Aldebaran", 4, 35, 55.239, 16, 30, 33.49},
    {"Spica", 13, 25, 11.579, -11, 9, 40.76},    {"Fomalhaut", 22, 57, 39.047, -29, 37, 20.05},
};

// The star of the table that stands highest now (other than `besides`).
inline const TStar& HighestStar(const TStar* besides = nullptr) {
  const TStar* best = &kStars[0];
  double bestAlt = -10;
  for (const TStar& s : kStars) {
    if (&s == besides) continue;
    double ra = s.RA(), dec = s.Dec(), alt = 0, az = 0;
    TObserverTime o = ObserverTime;
    Precess(o, ra, dec);
    EquatorialToHorizontal(o, alt, az, ra, dec);
    if (alt > bestAlt) {
      bestAlt = alt;
      best = &s;
    }
  }
  return *best;
}

inline QPushButton* FindButton(QWidget* w, const QString& text) {
  for (auto* b : w->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

inline double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double c = std::sin(dec1) * std::sin(dec2) + std::cos(dec1) * std::cos(dec2) * std::cos(ra1 - ra2);
  return std::acos(std::clamp(c, -1.0, 1.0));
}

// Centres the chart, zoomed in, on a J2000 position and right-clicks its
// pixel (the pop-up is hidden again): ClickRA and ClickDec then hold it.
// `pixel` is the angle one pixel spans there. False when the position does
// not lie on the chart.
inline bool RightClickOnChart(TMainForm1& form, double ra, double dec, int32_t& x, int32_t& y, double& pixel) {
  TObserverTime o = ObserverTime;
  Precess(o, ra, dec);
  form.Chart().CentreOn(ra, dec);
  for (int i = 0; i < 8; ++i) form.FormKeyPress('+');
  form.Timer1Timer();
  double alt = 0, az = 0;
  if (!MainPlotter->PlaceRaDec(ra, dec, alt, az, x, y)) return false;
  double ra1 = 0, dec1 = 0;
  if (!form.Chart().ScreenToRaDec(x + 1, y, ra1, dec1)) return false;
  pixel = Separation(ra, dec, ra1, dec1);
  form.PaintBox1MouseDown(1, x, y);
  form.PopupMenu1->hide();
  return true;
}

// Where the chart draws one of its inputs: renders the chart, then again
// without `input`, and gives the centre of the pixels that changed and
// their count (0 when nothing changed). The chart is drawn with it again
// afterwards.
struct TDrawnMark {
  double x = 0, y = 0;
  int pixels = 0;
};
inline TDrawnMark DrawnMark(TMainForm1& form, std::function<void(TChartInputs&)> leaveOut) {
  form.Chart().MarkReplot();
  form.Timer1Timer();
  std::vector<uint32_t> with;
  for (int py = 0; py < MapHeight; ++py)
    for (int px = 0; px < MapWidth; ++px) with.push_back(form.BackBuffer().Pixel(px, py));
  const TChartInputs inputs = ChartInputs();
  TChartInputs without = inputs;
  leaveOut(without);
  SetChartInputs(without);
  form.RenderMainView();
  SetChartInputs(inputs);
  TDrawnMark mark;
  for (int py = 0; py < MapHeight; ++py)
    for (int px = 0; px < MapWidth; ++px)
      if (with[size_t(py) * size_t(MapWidth) + size_t(px)] != form.BackBuffer().Pixel(px, py)) {
        mark.x += px;
        mark.y += py;
        ++mark.pixels;
      }
  if (mark.pixels > 0) {
    mark.x /= mark.pixels;
    mark.y /= mark.pixels;
  }
  form.RenderMainView();  // the chart as it was, with the input
  return mark;
}

// The simulators run 40 times faster than real time, so a slew takes
// seconds.
struct FastSimulators {
  FastSimulators() {
    const uint32_t t0 = platform::TimeGetTime();
    platform::SetSimulatorClock([t0] { return t0 + (platform::TimeGetTime() - t0) * 40u; });
  }
  ~FastSimulators() { platform::SetSimulatorClock({}); }
};

// What a menu item's modal window was while it was open: the window, its
// modality, and whether the chart was rendered again meanwhile; `use` acts
// on it before it is closed.
struct ModalVisit {
  QWidget* window = nullptr;
  Qt::WindowModality modality = Qt::NonModal;
  bool rendered = false;
};
inline ModalVisit OpenModally(TMainForm1& form, QAction* item, std::function<void()> use) {
  ModalVisit v;
  bool looked = false;
  QTimer::singleShot(0, [&] {
    looked = true;
    v.window = QApplication::activeModalWidget();
    if (!v.window) return;
    v.modality = v.window->windowModality();
    if (use) use();
    const int renders = form.RenderCount;
    form.Chart().MarkReplot();
    v.rendered = RunEventsUntil([&] { return form.RenderCount > renders; }, kEventWaitMs);
    v.window->close();
  });
  item->trigger();  // returns once the window is closed
  RunEventsUntil([&] { return looked; }, kEventWaitMs);  // a window that was not modal
  return v;
}

}  // namespace device_helpers
