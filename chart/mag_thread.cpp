// The magnifier's driver (see mag_thread.h).
#include "chart/mag_thread.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRegion>
#include <QTimer>
#include <cmath>
#include <memory>
#include <string>

#include "astro/precession.h"
#include "astro/timescales.h"
#include "astro/trig.h"
#include "chart/graph_misc.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"
#include "platform/drawing.h"
#include "shell/globals.h"

TPauseGate MagnifierGate;
double MagnifierCentreRA = 0;
double MagnifierCentreDec = 0;

namespace {
constexpr double kOneMinute = 1.0 / 1440;

struct TRemembered {
  double ra = -1, dec = -1, half = -1, jd = -1;
  bool blankShown = false;
};
TRemembered g_state;
TMagnifierCounts g_counts;
std::unique_ptr<QTimer> g_timer;

int32_t CurrentPoi() { return MagnifierHooks.currentPointOfInterest ? MagnifierHooks.currentPointOfInterest() : 0; }

double Reduced(double ra) {
  ReduceRadians(ra);
  return ra;
}

// The point of interest's J2000 position precessed to the chart's date.
bool PoiCentre(int32_t poi, double& ra, double& dec, int32_t& mode) {
  if (!MagnifierHooks.pointOfInterest || !MagnifierHooks.pointOfInterest(poi, ra, dec, mode)) return false;
  if (MainPlotter && MainPlotter->Observer.PrecessionOn) Precess(MainPlotter->Observer, ra, dec);
  ra = Reduced(ra);
  return true;
}
}  // namespace

bool PauseMagnifierThread() { return MagnifierGate.Pause(); }
void ResumeMagnifierThread() { MagnifierGate.Resume(); }
void InvalidateMagnifierPosition() {}

void ResetMagnifierState() { g_state = TRemembered{}; }
TMagnifierCounts MagnifierCountsForTest() { return g_counts; }

void ApplyMagnifierSwitches(tPlotterB& m, int32_t mode) {
  m.ShowObjects = m.SunLabel = m.MoonLabel = m.PlanetLabels = m.GalileanMoons = 1;
  m.AsteroidLabels = m.CometLabels = m.StarIdentification = m.StarOptionA = 1;
  m.SolarSwitchReserved1 = 0;
  m.SunRiseSetGraphics = 0;
  const TMagnifierSwitches& sw = MagnifierSwitches;
  m.ShowGrid = sw.ShowGrid;
  m.SunImage = m.MoonImage = sw.GraphicSun;
  m.ShowAsteroids = m.ShowComets = sw.ShowMinorBodies;
  m.StarDiscs = sw.StarMode == 2 ? 2 : 0;
  m.ObjectLabels = sw.IdentifyObjects;
  m.MirrorFactor = m.InvertFactor = 1;
  if (mode >= 101) {
    const int32_t t = (mode % 10000) / 100, e = mode / 10000;
    if (t >= 1 && t <= 10 && e >= 1 && e <= 10) {
      m.MirrorFactor = FieldTable[t][e].Mirror;
      m.InvertFactor = FieldTable[t][e].Invert;
    }
  }
}

void PlotMagnifierOnPage(platform::DrawingContext& dc, const TObserverTime& observer, double ra, double dec,
                         int32_t mode, int left, int top, int side) {
  auto m = std::make_unique<tPlotterB>();
  if (MagnifierPlotter) static_cast<TPlotterState&>(*m) = static_cast<const TPlotterState&>(*MagnifierPlotter);
  if (MainPlotter) m->SolarContext = MainPlotter->SolarContext;
  m->Observer = observer;
  m->OutputKind = kOutputPrinter;
  m->DpiX = dc.DpiX();
  m->DpiY = dc.DpiY();
  ApplyMagnifierSwitches(*m, mode);
  std::string caption = "no lastfieldselect";  // leaves the last eyepiece choice alone
  MagnifierFieldCaption(mode, m->HalfField, caption);
  // The half field on the circle, as on screen.
  m->Zoom = MagnifierScaleFor(kMagnifierBitmapSize / 2, m->HalfField);
  m->CentreRA = ra;
  m->CentreDec = dec;
  m->Width = m->Height = side;
  m->ChartLeft = left;
  m->ChartTop = top;
  QPainter& p = dc.Painter();
  const QRect view(left, top, side, side);
  p.save();
  p.setClipRegion(QRegion(view, QRegion::Ellipse));
  p.fillRect(view, Qt::white);
  m->Plot(dc, nullptr);
  p.restore();
}

void RenderMagnifier(int32_t size) {
  tPlotterB* m = MagnifierPlotter;
  if (!m || !MainPlotter) return;
  // 1-3. Ring width and size; nothing to draw inside a too small ring.
  const int32_t frameWidth = std::min(InsetSizeNormal / 12, 11);
  MagnifierSize = int16_t(size);
  if (size - frameWidth < 1) return;
  ++g_counts.Renders;
  // 4. The plotter's settings for this render.
  m->OutputKind = kOutputMagnifier;
  m->Zoom = MagnifierScale;
  m->HalfField = MagnifierHalfField;
  m->DpiX = MainPlotter->DpiX;
  m->DpiY = MainPlotter->DpiY;
  m->Width = m->Height = kMagnifierBitmapSize;
  m->ChartLeft = m->ChartTop = 0;
  ApplyMagnifierSwitches(*m, FieldOfViewMode);
  double ra = MagnifierCentreRA, dec = MagnifierCentreDec;
  int32_t mode;
  if (const int32_t poi = CurrentPoi()) PoiCentre(poi, ra, dec, mode);
  m->CentreRA = ra;
  m->CentreDec = dec;
  // 5. Empty chart.
  ClearMagnifierChart();
  // 6. The main chart's observer and solar-system record, copied on the GUI
  // thread between renders, so they belong to one instant.
  m->Observer = MainPlotter->Observer;
  m->SolarContext = MainPlotter->SolarContext;
  // 7. The plot.
  const bool located = !MagnifierHooks.observerLocationSet || MagnifierHooks.observerLocationSet();
  if (located && MagnifierChartBitmap) {
    platform::DrawingContext dc(*MagnifierChartBitmap);
    m->Plot(dc, MagnifierChartBitmap);
  }
  ClearDrawTarget();
  // 8, 9. Frame over the chart; show it.
  OverlayMagnifierFrame();
  ShowMagnifierChart();
}

void MagnifierStep() {
  tPlotterB* m = MagnifierPlotter;
  if (!m || !MainPlotter) return;
  // 2. Paused: nothing is drawn; the first tick afterwards renders.
  if (MagnifierGate.Count() > 0) {
    g_state.half = -1;
    return;
  }
  // 4. The centre.
  if (const int32_t poi = CurrentPoi()) {
    double ra, dec;
    int32_t mode = FieldOfViewMode;
    if (PoiCentre(poi, ra, dec, mode)) {
      MagnifierCentreRA = ra;
      MagnifierCentreDec = dec;
      FieldOfViewMode = mode;
    }
  } else if (MainPlotter->Replot == 0 && PointerOnChart.load() == 1) {
    double ra, dec, alt, az;
    MainPlotter->ScreenToRaDec(PointerX.load(), PointerY.load(), ra, dec, alt, az);
    MagnifierCentreRA = Reduced(ra);
    MagnifierCentreDec = dec;
  }
  // 5. Change test.
  const double jd = MainPlotter->Observer.JD_TT;
  if (MagnifierCentreRA != g_state.ra || MagnifierCentreDec != g_state.dec || MagnifierHalfField != g_state.half ||
      std::fabs(g_state.jd - jd) > kOneMinute)
    m->NeedsRender = 1;
  // 6. Render.
  if (m->NeedsRender == 1 && MagnifierReady.load() == 1) {
    RenderMagnifier(MagnifierSize);
    g_state.ra = MagnifierCentreRA;
    g_state.dec = MagnifierCentreDec;
    g_state.half = MagnifierHalfField;
    g_state.jd = jd;
    g_state.blankShown = false;
  }
  // 7. The empty magnifier once when the pointer has left the chart.
  if (PointerOnChart.load() == 0 && !g_state.blankShown && CurrentPoi() == 0) {
    ClearMagnifierChart();
    OverlayMagnifierFrame();
    ShowMagnifierChart();
    g_state.blankShown = true;
    ++g_counts.Blanks;
  }
}

void CreateMagnifierThread() {
  if (g_timer || !QCoreApplication::instance()) return;
  ResetMagnifierState();
  g_timer = std::make_unique<QTimer>();
  g_timer->setInterval(10);
  QObject::connect(g_timer.get(), &QTimer::timeout, [] { MagnifierStep(); });
  g_timer->start();
}

void StopMagnifierThread() { g_timer.reset(); }
