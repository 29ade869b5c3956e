// The yearly visibility chart: for one object over a whole year, when it is
// above the horizon (stippled, with its rise, transit and set curves)
// against the night, the twilight and the day, from 16:00 at the top
// through midnight to 08:00 at the bottom, in local standard time.
#pragma once

#include <string>
#include <vector>

#include "platform/drawing.h"

struct TObserverTime;

// Local times of one sample (local standard hours in [0, 24)).
struct TYearlySample {
  double sunrise = 0, sunset = 0, dawn = 0, dusk = 0;
  bool polarDay = false, polarNight = false;  // the Sun does not set / rise that day
  double rise = 12, transit = 12, set = 12;   // the object's; 12.0 (off the chart) for none
};

// Visibility class of a set of declinations (radians) from latitude
// (radians): 0 rises and sets, 1 always visible, -1 never visible.
int VisibilityClass(double latitude, const std::vector<double>& decs);

// ComputeYearlySamples: the samples of DrawYearlyVisibility for `observer`
// (copied; clipping and daylight saving cleared): sample i at noon local
// standard time of 1 January of `year` plus i × 365.2422 / count days.
std::vector<TYearlySample> ComputeYearlySamples(const TObserverTime& observer, int count,
                                                const std::vector<double>& decs,
                                                const std::vector<double>& ras, double year);

// Row of hour h (local) in a chart of the given height: 16:00 at 0,
// midnight at height / 2, 08:00 at height.
int YearlyChartRow(double hours, int height);

// DrawYearlyVisibility: the chart at (left, top), width x height device
// units, for `count` samples of declination and right ascension (radians,
// of date) spread over `year`, seen by `observer`.
void DrawYearlyVisibility(platform::DrawingContext& dc, int left, int top, int count,
                          const std::vector<double>& decs, const std::vector<double>& ras, int height,
                          int width, double year, const TObserverTime& observer);

// DrawYearlyChartFor: the chart for a fixed position (183 samples) in the
// year of the observer record's universal-time date.
void DrawYearlyChartFor(platform::DrawingContext& dc, int left, int top, double ra, double dec, int width,
                        int height, const TObserverTime& observer);

// "For the year " + |trunc(year)| + "AD" (above 0) or "BC".
std::string YearLineText(double year);
