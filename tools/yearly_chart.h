// The yearly visibility chart: for one object over a whole year, when it is
// above the horizon (stippled, with its rise, transit and set curves)
// against the night, the twilight and the day, from 16:00 at the top
// through midnight to 08:00 at the bottom, in local standard time.
#pragma once

#include <string>
#include <vector>

#include "astro/riseset.h"
#include "platform/drawing.h"

struct TObserverTime;

// Local times of one sample (local standard hours in [0, 24)) in the night
// of its date, from noon to noon. Without sunrise and sunset (polar day or
// night) both are 12.0; without dusk and dawn (a white night: the Sun stays
// above -15°) both are the hour halfway between sunset and sunrise, or
// 12.0 in a polar night.
struct TYearlySample {
  double sunrise = 0, sunset = 0, dawn = 0, dusk = 0;
  bool polarDay = false, polarNight = false;  // the Sun does not set / rise that day
  bool whiteNight = false;                    // no dark hours between dusk and dawn
  double rise = 12, transit = 12, set = 12;   // the object's; 12.0 (off the chart) for none
};

// Visibility class of a set of declinations (radians) from latitude
// (radians): 0 rises and sets, 1 always visible, -1 never visible.
int VisibilityClass(double latitude, const std::vector<double>& decs);

// ComputeYearlySamples: the samples of DrawYearlyVisibility for `observer`
// (copied; clipping and daylight saving cleared): sample i at noon local
// standard time of 1 January of `year` plus i × 365.2422 / count days. The
// Sun's events and the twilight at -15° come from its place at each event
// (MovingRiseTransitSetLocal). The object's come from (ras[i], decs[i]),
// or, for a moving body (`body` set), from its place at each event.
std::vector<TYearlySample> ComputeYearlySamples(const TObserverTime& observer, int count,
                                                const std::vector<double>& decs,
                                                const std::vector<double>& ras, double year,
                                                const TBodyPlace& body = {});

// Row of hour h (local) in a chart of the given height: 16:00 at 0,
// midnight at height / 2, 08:00 at height.
int YearlyChartRow(double hours, int height);

// DrawYearlyVisibility: the chart at (left, top), width x height device
// units, for `count` samples of declination and right ascension (radians,
// of date) spread over `year`, seen by `observer`; a moving body passes
// its place as `body` (see ComputeYearlySamples).
void DrawYearlyVisibility(platform::DrawingContext& dc, int left, int top, int count,
                          const std::vector<double>& decs, const std::vector<double>& ras, int height,
                          int width, double year, const TObserverTime& observer, const TBodyPlace& body = {});

// A computed chart: its samples, the object's visibility class and the year.
struct TYearlyChart {
  std::vector<TYearlySample> samples;
  int visibility = 0;
  double year = 0;
};
// The chart of DrawYearlyVisibility and of DrawYearlyChartFor, computed
// once and drawn at any size by DrawYearlyChart.
TYearlyChart MakeYearlyChart(int count, const std::vector<double>& decs, const std::vector<double>& ras,
                             double year, const TObserverTime& observer, const TBodyPlace& body = {});
TYearlyChart MakeYearlyChartFor(double ra, double dec, const TObserverTime& observer);
void DrawYearlyChart(platform::DrawingContext& dc, int left, int top, int width, int height,
                     const TYearlyChart& chart);

// DrawYearlyChartFor: the chart for a fixed position (183 samples) in the
// year of the observer record's universal-time date.
void DrawYearlyChartFor(platform::DrawingContext& dc, int left, int top, double ra, double dec, int width,
                        int height, const TObserverTime& observer);

// "For the year " + |trunc(year)| + "AD" (above 0) or "BC".
std::string YearLineText(double year);
