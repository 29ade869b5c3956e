#include "app/core/plotter_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "catalog/star_options.h"
#include "chart/plotter.h"
#include "platform/bitmap.h"
#include "platform/drawing.h"

namespace {
std::vector<int32_t> RecordsOf(const tPlotter& p) {
  std::vector<int32_t> records;
  records.reserve(std::size_t(std::max(p.ObjectLabelCount, 0)));
  for (int32_t e = 1; e <= p.ObjectLabelCount; ++e) records.push_back(p.ObjectLabelList[e].Record);
  return records;
}
}  // namespace

uint8_t* TPlotterChartView::SwitchByte(TChartSwitch s) const {
  switch (s) {
    case TChartSwitch::ConstellationLines:
      return &p_.ConstellationLines;
    case TChartSwitch::ConstellationNames:
      return &p_.ConstellationNames;
    case TChartSwitch::ConstellationBoundaries:
      return &p_.ConstellationBoundaries;
    case TChartSwitch::Grid:
      return &p_.ShowGrid;
    case TChartSwitch::StarIdentification:
      return &p_.StarIdentification;
    case TChartSwitch::StarNames:
      return &p_.ShowStarNames;
    case TChartSwitch::ObjectIdentification:
      return &p_.ObjectLabels;
    case TChartSwitch::HorizonDisplay:
      return &p_.ShowHorizon;
    case TChartSwitch::CentreOnHorizon:
      return &p_.CentreOnHorizon;
    case TChartSwitch::Count:
      break;
  }
  return nullptr;
}

double TPlotterChartView::Zoom() const { return p_.Zoom; }
void TPlotterChartView::SetZoom(double scale) { p_.Zoom = scale; }
bool TPlotterChartView::FullView() const { return p_.ZenithView != 0; }
void TPlotterChartView::SetFullView(bool on) { p_.ZenithView = on ? 1 : 0; }

uint8_t TPlotterChartView::Switch(TChartSwitch s) const {
  const uint8_t* b = SwitchByte(s);
  return b ? *b : 0;
}

void TPlotterChartView::SetSwitch(TChartSwitch s, uint8_t value) {
  if (uint8_t* b = SwitchByte(s)) *b = value;
}

bool TPlotterChartView::ReplotPending() const { return p_.Replot != 0; }
void TPlotterChartView::MarkReplot() { p_.Replot = 1; }
void TPlotterChartView::ClearReplot() { p_.Replot = 0; }
void TPlotterChartView::RequestFullRecompute() { p_.RequestReplot(); }

void TPlotterChartView::CentreOn(double ra, double dec) {
  p_.SetViewCenter(ra, dec);
  p_.ZenithView = 0;
  p_.TrackKind = kTrackNone;
  p_.TrackIndex = -1;
  p_.TrackName = "";
  p_.Replot = 1;
}

double TPlotterChartView::CentreRA() const { return p_.CentreRA; }
double TPlotterChartView::CentreDec() const { return p_.CentreDec; }

bool TPlotterChartView::ScreenToRaDec(int x, int y, double& ra, double& dec) {
  double alt = 0, az = 0;
  return p_.ScreenToRaDec(x, y, ra, dec, alt, az);
}

std::string TPlotterChartView::TrackingText() const { return p_.TrackName.str(); }
bool TPlotterChartView::Plotting() const { return p_.Rendering != 0; }

bool TPlotterChartView::Plot(platform::Bitmap& target, int width, int height) {
  if (target.IsNull()) return false;
  p_.Rendering = 1;
  p_.Observer = ObserverTime;
  p_.Width = width;
  p_.Height = height;
  platform::DrawingContext dc(target);
  p_.Plot(dc, &target);
  p_.Rendering = 0;
  pageLast_ = false;
  return true;
}

bool TPlotterChartView::PlotOnPage(platform::DrawingContext& dc, int left, int top, int width, int height, int dpiX,
                                   int dpiY) {
  // A printing plotter with the main plotter's view.
  auto print = std::make_unique<tPlotter>();
  static_cast<TPlotterState&>(*print) = static_cast<const TPlotterState&>(p_);
  print->Observer = ObserverTime;
  print->OutputKind = kOutputPrinter;
  print->DpiX = dpiX;
  print->DpiY = dpiY;
  print->Width = width;
  print->Height = height;
  print->ChartLeft = left;
  print->ChartTop = top;
  print->Replot = 1;
  print->Plot(dc, nullptr);
  pageObjects_ = RecordsOf(*print);
  pageLast_ = true;
  return true;
}

std::vector<int32_t> TPlotterChartView::ObjectRecords() const { return pageLast_ ? pageObjects_ : RecordsOf(p_); }

int TPlotterChartView::DrawMagnitudeScale(platform::DrawingContext& dc, int x, int y, int dpiX, int dpiY,
                                          double faintest) {
  // A printing plotter's star sizes for the page's resolution, the brightest
  // and faintest magnitudes of the options and the chart's size adjustment.
  auto print = std::make_unique<tPlotter>();
  static_cast<TPlotterState&>(*print) = static_cast<const TPlotterState&>(p_);
  print->OutputKind = kOutputPrinter;
  print->StarOptionA = 0;  // neutral discs
  print->SizeUnitX = int32_t(std::nearbyint(dpiX * 0.04));
  print->SizeUnitY = int32_t(std::nearbyint(dpiY * 0.04));
  const double brightest = StarOptions.LowMagLimit;
  print->MakeStarSizeTable(brightest, faintest, print->StarSize);
  QPainter& painter = dc.Painter();
  const int gap = print->SizeUnitX * 2;
  for (int m = int(std::ceil(brightest)); m <= int(std::floor(faintest)); ++m) {
    const uint8_t byte = uint8_t(std::clamp((m + 2) * 10, 0, kStarSizeEntries - 1));
    const int w = std::max(print->StarWidth(byte), 2);
    print->DrawStarDisc(dc, x + w / 2, y, byte, 0);
    const QString label = QString::number(m);
    const int textX = x + w + gap / 2;
    painter.setPen(Qt::black);
    painter.drawText(textX, y + painter.fontMetrics().ascent() / 2, label);
    x = textX + painter.fontMetrics().horizontalAdvance(label) + gap;
  }
  return x;
}
