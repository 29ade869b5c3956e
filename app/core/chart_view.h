// What the shell does with the main chart: the view switches the keys and
// menus flip, the zoom, the centre, the replot request, the pointer's sky
// position and the render into the back buffer.
//
// The main window holds one IChartView. Until the chart's plotter is wired
// in, TPendingChartView keeps the values (so menus, keys and settings work
// and tests run) and draws nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class Bitmap;
class DrawingContext;
}  // namespace platform

// Display switches of the main plotter the shell toggles. Constellation
// lines, names and boundaries are 2 (shown) or 0; the others 0 or 1.
enum class TChartSwitch : int {
  ConstellationLines,
  ConstellationNames,
  ConstellationBoundaries,
  Grid,
  StarIdentification,
  StarNames,
  ObjectIdentification,
  HorizonDisplay,
  CentreOnHorizon,
  Count,
};

class IChartView {
 public:
  virtual ~IChartView() = default;

  virtual double Zoom() const = 0;
  virtual void SetZoom(double scale) = 0;
  virtual bool FullView() const = 0;
  virtual void SetFullView(bool on) = 0;
  virtual uint8_t Switch(TChartSwitch s) const = 0;
  virtual void SetSwitch(TChartSwitch s, uint8_t value) = 0;

  // The replot byte: redraw the chart on the next heartbeat tick.
  virtual bool ReplotPending() const = 0;
  virtual void MarkReplot() = 0;
  virtual void ClearReplot() = 0;
  // A full recompute of the chart (tPlotter.RequestReplot).
  virtual void RequestFullRecompute() = 0;

  // Centres the view on a position (radians) and ends any tracking.
  virtual void CentreOn(double ra, double dec) = 0;
  // The view centre (radians, of the chart's epoch).
  virtual double CentreRA() const = 0;
  virtual double CentreDec() const = 0;
  // The sky position under a chart pixel; false below 0.1° altitude or off
  // the chart.
  virtual bool ScreenToRaDec(int x, int y, double& ra, double& dec) = 0;
  // Tracking caption (status panel 4); empty when nothing is tracked.
  virtual std::string TrackingText() const = 0;

  // True while a render runs.
  virtual bool Plotting() const = 0;
  // Renders the chart into the back buffer (its top-left width × height);
  // false when nothing was drawn (no plotter).
  virtual bool Plot(platform::Bitmap& target, int width, int height) = 0;
  // Draws the chart on a printer page through `dc`: a map of width × height
  // device pixels with its top-left corner at (left, top), at the page's
  // resolution. False when nothing was drawn.
  virtual bool PlotOnPage(platform::DrawingContext& dc, int left, int top, int width, int height, int dpiX,
                          int dpiY) = 0;
  // Draws the printed map's magnitude scale through `dc`: a star disc of
  // the chart's sizes for every whole magnitude from the brightest to
  // `faintest`, each labelled, left to right from `x` on the line `y` (the
  // discs' centres). Returns the x after the last label (x when nothing was
  // drawn).
  virtual int DrawMagnitudeScale(platform::DrawingContext& dc, int x, int y, int dpiX, int dpiY,
                                 double faintest) = 0;
  // Record numbers (from 0) in the object database of the deep-sky objects
  // the chart's last drawing showed: the last page plot, or the last render
  // when that came later.
  virtual std::vector<int32_t> ObjectRecords() const = 0;
};

// The stand-in until the plotter is wired in: keeps every value, has no sky.
class TPendingChartView : public IChartView {
 public:
  TPendingChartView();
  double Zoom() const override { return zoom_; }
  void SetZoom(double scale) override { zoom_ = scale; }
  bool FullView() const override { return fullView_; }
  void SetFullView(bool on) override { fullView_ = on; }
  uint8_t Switch(TChartSwitch s) const override { return switches_[int(s)]; }
  void SetSwitch(TChartSwitch s, uint8_t value) override { switches_[int(s)] = value; }
  bool ReplotPending() const override { return replot_; }
  void MarkReplot() override { replot_ = true; }
  void ClearReplot() override { replot_ = false; }
  void RequestFullRecompute() override { ++fullRecomputes; replot_ = true; }
  void CentreOn(double ra, double dec) override;
  double CentreRA() const override { return centreRA; }
  double CentreDec() const override { return centreDec; }
  bool ScreenToRaDec(int, int, double&, double&) override { return false; }
  std::string TrackingText() const override { return {}; }
  bool Plotting() const override { return false; }
  bool Plot(platform::Bitmap&, int, int) override { return false; }
  bool PlotOnPage(platform::DrawingContext&, int, int, int, int, int, int) override { return false; }
  int DrawMagnitudeScale(platform::DrawingContext&, int x, int, int, int, double) override { return x; }
  std::vector<int32_t> ObjectRecords() const override { return {}; }

  double centreRA = 0, centreDec = 0;
  int fullRecomputes = 0;

 private:
  double zoom_ = 0.95;
  bool fullView_ = true;
  bool replot_ = true;
  uint8_t switches_[int(TChartSwitch::Count)] = {};
};
