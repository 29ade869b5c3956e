// The chart plotter's model: Create defaults, the replot and view-centre
// setters, the chart test and the view block of binary settings files.
#include "chart/plotter.h"

#include <cmath>
#include <cstring>

#include "astro/transforms.h"
#include "astro/trig.h"
#include "catalog/star_options.h"
#include "chart/render_inputs.h"
#include "platform/codec.h"
#include "shell/globals.h"
#include "shell/settings_file.h"

tPlotter* MainPlotter = nullptr;
tPlotter* SpherePlotter = nullptr;

namespace {
TChartInputs& Inputs() {
  static TChartInputs inputs;
  return inputs;
}
}  // namespace

void SetChartInputs(TChartInputs inputs) { Inputs() = std::move(inputs); }
const TChartInputs& ChartInputs() { return Inputs(); }

void ApplyStarAppearance(const TStarOptions& o) {
  if (!MainPlotter) return;
  MainPlotter->StarDiscs = o.DrawingMode;
  MainPlotter->StarSize = o.SizeAdjust;
  MainPlotter->StarOptionA = o.ColorBySpectrum;
  MainPlotter->ShowStarNames = o.ShowNames;
  MainPlotter->StarIdentification = o.ShowGreek;
  MainPlotter->NakedEyeOnly = o.AutoFaintLimit;
}

tPlotter::tPlotter() {
  InitObserver(Observer);
  std::memset(LineSelection, 1, sizeof LineSelection);
  std::memset(NameSelection, 1, sizeof NameSelection);
  std::memset(HorizonProfile, 0, sizeof HorizonProfile);
  Aspect = double(DpiX) / double(DpiY) / AspectAdjust;
}

void tPlotter::RequestReplot() {
  TrackKind = kTrackNone;
  TrackIndex = -1;
  TrackName.assign("");
  Replot = 1;
  if (ChartInputs().showTrackName) ChartInputs().showTrackName(TrackName.str());
}

void tPlotter::SetViewCenter(double ra, double dec) {
  CentreRA = ra;
  CentreDec = dec;
  const TObserverTime& obs = MainPlotter ? MainPlotter->Observer : Observer;
  EquatorialToHorizontal(obs, HeldAlt, HeldAz, ra, dec);
}

bool tPlotter::InChart(double x, double y) const {
  if (OutputKind == kOutputScreen) {
    const auto& test = ChartInputs().inChartArea;
    if (test) return test(int32_t(std::nearbyint(x)), int32_t(std::nearbyint(y)));
  }
  return x >= OriginX && x <= OriginX + Width && y >= OriginY && y <= OriginY + Height;
}

// --- The view block -------------------------------------------------------------------
// 58 bytes, little-endian: CentreOnHorizon, ZenithView (bytes), then Zoom,
// CentreRA, CentreDec, HeldAlt, CentreAlt, HeldAz, CentreAz (Doubles).

std::vector<uint8_t> tPlotter::ViewBlock() const {
  std::vector<uint8_t> b(kPlotterViewBytes);
  platform::PutU8(&b[0], CentreOnHorizon);
  platform::PutU8(&b[1], ZenithView);
  const double values[7] = {Zoom, CentreRA, CentreDec, HeldAlt, CentreAlt, HeldAz, CentreAz};
  for (int i = 0; i < 7; ++i) platform::PutF64(&b[2 + 8 * i], values[i]);
  return b;
}

bool tPlotter::ApplyViewBlock(const std::vector<uint8_t>& b) {
  if (b.size() != kPlotterViewBytes) return false;
  // The range of each value, as the program writes it: the zoom the render
  // can draw; right ascensions and azimuths within two turns either way
  // (CentreAz holds the azimuth plus π, the zenith view's azimuth is -π);
  // declinations and altitudes within ±90°. Comparisons that NaN fails.
  constexpr double kTurns = 2 * TwoPi, kRight = 1.5707963267948966 + 1e-9;
  static constexpr double kLow[7] = {kMinChartZoom, -kTurns, -kRight, -kRight, -kRight, -kTurns, -kTurns};
  static constexpr double kHigh[7] = {kMaxChartZoom, kTurns, kRight, kRight, kRight, kTurns, kTurns};
  double v[7];
  for (int i = 0; i < 7; ++i) {
    v[i] = platform::GetF64(&b[2 + 8 * i]);
    if (!(v[i] >= kLow[i] && v[i] <= kHigh[i])) return false;
  }
  // The switches are bytes 0 and 1.
  if (b[0] > 1 || b[1] > 1) return false;
  CentreOnHorizon = b[0];
  ZenithView = b[1];
  Zoom = v[0];
  CentreRA = v[1];
  CentreDec = v[2];
  HeldAlt = v[3];
  CentreAlt = v[4];
  HeldAz = v[5];
  CentreAz = v[6];
  return true;
}

bool tPlotter::WriteSettingsSection(TSettingsStream& stream) {
  if (!MainPlotter) return false;
  return stream.WriteSection(kPlotterViewSlot, MainPlotter->ViewBlock());
}

bool tPlotter::ReadSettingsSection(TSettingsStream& stream) {
  if (!MainPlotter) return false;
  MainPlotter->Replot = 1;
  std::vector<uint8_t> block;
  if (!stream.ReadSection(kPlotterViewSlot, kPlotterViewBytes, block)) return false;
  return MainPlotter->ApplyViewBlock(block);
}
