// The main chart's plotter (MainPlotter) behind the shell's chart
// interface: the switches, zoom, centre and replot byte the keys and menus
// change, the sky position under the pointer, the render into the back
// buffer (with a copy of the live observer record) and the printed map (a
// temporary printing plotter with a copy of the view).
#pragma once

#include "app/core/chart_view.h"

class tPlotter;

class TPlotterChartView : public IChartView {
 public:
  explicit TPlotterChartView(tPlotter& plotter) : p_(plotter) {}

  double Zoom() const override;
  void SetZoom(double scale) override;
  bool FullView() const override;
  void SetFullView(bool on) override;
  uint8_t Switch(TChartSwitch s) const override;
  void SetSwitch(TChartSwitch s, uint8_t value) override;
  bool ReplotPending() const override;
  void MarkReplot() override;
  void ClearReplot() override;
  void RequestFullRecompute() override;
  void CentreOn(double ra, double dec) override;
  double CentreRA() const override;
  double CentreDec() const override;
  bool ScreenToRaDec(int x, int y, double& ra, double& dec) override;
  std::string TrackingText() const override;
  bool Plotting() const override;
  bool Plot(platform::Bitmap& target, int width, int height) override;
  bool PlotOnPage(platform::DrawingContext& dc, int left, int top, int width, int height, int dpiX,
                  int dpiY) override;
  int DrawMagnitudeScale(platform::DrawingContext& dc, int x, int y, int dpiX, int dpiY, double faintest) override;
  std::vector<int32_t> ObjectRecords() const override;

 private:
  uint8_t* SwitchByte(TChartSwitch s) const;
  tPlotter& p_;
  // The objects of the last page plot; used until the next render.
  std::vector<int32_t> pageObjects_;
  bool pageLast_ = false;
};
