// The printed and on-screen reports of the information tools, drawn through
// a drawing context on any paint device (a window, a printer page, a PDF
// file): the calendar month, the star information page and the observer
// block shared by the printed information pages.
#pragma once

#include <string>

#include "platform/drawing.h"

struct TObserverTime;
struct TStarInfo;
class TEventsCalendar;

// The observer lines of a printed page: "From: NAME (Time Zone=+1)",
// "Latitude = 51°28.6' north, Longitude = 0°00.0' east"; longitudes are
// told east or west from (-180°, 180°], the zone with the sign of local
// time minus UT.
std::string ObserverFromLine(const std::string& locationName, const TObserverTime& observer);
std::string ObserverLatLongLine(const TObserverTime& observer);

// Draws the calendar month of `cal` over w x h device units. `printer`
// selects the printed layout (the page title line above the grid, larger
// text); penScale multiplies the line widths.
void DrawCalendarMonth(platform::DrawingContext& dc, const TEventsCalendar& cal, int w, int h, bool printer,
                       int penScale);

// Draws the star information page ("STAR INFORMATION") on a printer page
// of w x h device units: the values, the observer block, the visibility
// chart and the notes.
void DrawStarReportPage(platform::DrawingContext& dc, const TStarInfo& info, const TObserverTime& observer,
                        const std::string& locationName, int w, int h);

// The deep-sky information page ("OBJECT INFORMATION") and the
// solar-system page ("SOLAR SYSTEM OBJECT INFORMATION"), with the
// visibility chart drawn by `chart` into the given rectangle (nothing for
// the Sun).
struct TObjectInfo;
struct TSolSysInfo;
using TChartDrawer = void (*)(platform::DrawingContext& dc, int left, int top, int width, int height, const void* ctx);
void DrawObjectReportPage(platform::DrawingContext& dc, const TObjectInfo& info, const TObserverTime& observer,
                          const std::string& locationName, int w, int h);
void DrawSolSysReportPage(platform::DrawingContext& dc, const TSolSysInfo& info, const TObserverTime& observer,
                          const std::string& locationName, int w, int h, TChartDrawer chart, const void* ctx);

// Draws a yearly visibility chart page titled "Visibility chart: NAME" for
// a fixed place (radians, of date).
void DrawYearlyChartPage(platform::DrawingContext& dc, const std::string& name, double ra, double dec,
                         const TObserverTime& observer, int w, int h);
