// The printed and on-screen reports of the information tools, drawn through
// a drawing context on any paint device (a window, a printer page, a PDF
// file): the calendar month, the star information page and the observer
// block shared by the printed information pages.
#pragma once

#include <functional>
#include <string>
#include <vector>

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

// The lines of a calendar day's cell that its event text takes: from
// (left, top), lineHeight apart, none passing bottom; a line at y ends at
// right(y) (short of the day number beside the top lines, down to
// numberBottom, and of the Moon's picture beside the lowest), at fullRight
// elsewhere.
struct TCellLines {
  int left = 0, top = 0, bottom = 0, lineHeight = 1, numberBottom = 0, fullRight = 0;
  std::function<int(int y)> right;
};
// A word, or the part of one, and where it is written.
struct TPlacedWord {
  int x = 0, y = 0;
  std::string text;
};
// Sets the words of `text` into the cell's lines, `width` measuring a
// text: a word that does not fit the rest of its line starts the next; one
// that does not fit beside the day number but fits a whole line goes below
// the number; one wider than its line is broken where the line ends (after
// a hyphen when one lies there). Text that would pass the bottom is
// dropped. No word reaches past its line's end.
std::vector<TPlacedWord> LayoutCellWords(const std::string& text, const TCellLines& lines,
                                         const std::function<int(const std::string&)>& width);

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
