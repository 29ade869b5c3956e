#include "app/core/print_header.h"

#include <algorithm>
#include <cmath>

#include "app/core/chart_input.h"
#include "astro/observer.h"
#include "astro/text.h"
#include "platform/numfmt.h"

namespace {

const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                  "July",    "August",   "September", "October", "November", "December"};

std::string HoursMinutes(double jd) {
  int y, m, d;
  double h;
  JulianDayToDate(jd, y, m, d, h);
  return TrimBlanks(FormatHoursHM(h));
}

}  // namespace

double PrintedLimitingMagnitude(double zoom, double faintLimit) {
  if (zoom < 2) return 6.0;
  if (zoom < 3) return 7.0;
  return faintLimit;
}

TPrintHeader MakePrintHeader(const TObserverTime& rec, const TPrintedView& view) {
  TPrintHeader h;
  const double zoneHours = -rec.TimeZone.Bias / 60.0;
  h.left.push_back("From: " + view.locationName + " (Time Zone=" + platform::FormatGeneral(zoneHours) + ")");

  // The record keeps longitude positive west in [0, 2π); printed from
  // (-180°, 180°], positive west.
  double westDeg = rec.Longitude * DegPerRad;
  westDeg = std::fmod(westDeg, 360.0);
  if (westDeg > 180.0) westDeg -= 360.0;
  if (westDeg <= -180.0) westDeg += 360.0;
  h.left.push_back("Latitude = " + TrimBlanks(FormatDegMin(std::fabs(rec.Latitude))) +
                   (rec.Latitude >= 0 ? " north" : " south") + ", Longitude = " +
                   TrimBlanks(FormatDegMin(std::fabs(westDeg) / DegPerRad)) + (westDeg >= 0 ? " west" : " east"));

  h.left.push_back("Map center " + std::string(view.fullView ? "on zenith" : "n/a") + " at " +
                   TrimBlanks(FormatRA_HM(view.centreRA)) + " RA, " + TrimBlanks(FormatDegMin(view.centreDec)) +
                   " Dec (FOV = " + std::to_string(FieldOfViewDegrees(view.zoom)) + "\u00b0)");
  h.left.push_back("Limiting magnitude = " +
                   platform::FormatFixed(PrintedLimitingMagnitude(view.zoom, view.faintLimit), 0, 1));

  int y, m, d;
  double hours;
  JulianDayToDate(rec.JD_LocalCivil, y, m, d, hours);
  h.date = std::string(kMonths[std::clamp(m, 1, 12) - 1]) + " " + std::to_string(d) + ", " + std::to_string(y);
  h.times[0] = "LMT " + HoursMinutes(rec.JD_LocalCivil);
  h.times[1] = "UT " + HoursMinutes(rec.JD_UT);
  h.times[2] = "LST " + TrimBlanks(FormatHoursHM(rec.LocalSidereal * 12.0 / 3.14159265358979323846));
  return h;
}

TPrintFormState PrintFormState(const TPrintOptions& o, int poiCount) {
  TPrintFormState s;
  s.poiEnabled = poiCount > 0;
  s.poiChoiceEnabled = o.pointsOfInterest && poiCount > 0;
  s.okEnabled = (o.mainView || o.pointsOfInterest) && (o.mainView || poiCount > 0);
  return s;
}
