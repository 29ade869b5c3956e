// What the device logic needs of the rest of the program: the chart's
// observer record (always as a private copy), the chart's epoch, and the
// main window's menu items and chart redraw. The main window installs its
// own host; without one the default host reads the live observer record
// into a copy and leaves the menus alone.
#pragma once

#include <string>

struct TObserverTime;

class ITelescopeHost {
 public:
  virtual ~ITelescopeHost() = default;
  // Copies the main chart's observer record into `out` (the device logic
  // converts and precesses on that copy only).
  virtual void CopyObserver(TObserverTime& out) = 0;
  // The Julian date of the chart's epoch: the current date's when the chart
  // shows coordinates of date, else 2451545.0.
  virtual double ChartEpochJD() = 0;
  // The main window's real-time command (the chart clock runs at real time).
  virtual void RealTime() {}
  // The time and location menu items (disabled while a mount is connected).
  virtual void SetTimeAndLocationMenusEnabled(bool) {}
  virtual void SetGotoHereEnabled(bool) {}
  virtual void SetSyncHereEnabled(bool) {}
  virtual void SetAcceptAlignEnabled(bool) {}
  // The telescope marker moved: the main chart is to be redrawn.
  virtual void ChartNeedsRedraw() {}
  // False while the chart shows a stand-in place because the user has not
  // chosen one (the status bar says "No observer location chosen").
  virtual bool PlaceChosen() { return true; }
};

// The default host: copies the live record ObserverTime; epoch J2000.0
// unless the record's precession target says otherwise.
class TDefaultTelescopeHost : public ITelescopeHost {
 public:
  void CopyObserver(TObserverTime& out) override;
  double ChartEpochJD() override;
};
