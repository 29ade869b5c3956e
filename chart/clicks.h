// Clicks on the main chart that no inset took: a left click re-centres the
// chart or, in point-of-interest placing mode, stores a point of interest
// there; a right click takes the object the cursor watch found as the chart
// selection and opens its pop-up menu.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class tPlotter;

// The chart selection (kind and index as the cursor watch publishes them);
// GUI thread.
extern uint8_t SelectionKind;
extern int32_t SelectionIndex;

// What the click handler needs of the main window; installed by it at
// start-up. Absent hooks do nothing (placing mode off, no menu).
struct TChartClickHooks {
  // True while the point-of-interest placing mode is on.
  std::function<bool()> placingMode;
  // Adds a point of interest (J2000 position, radians); false when the table
  // is full.
  std::function<bool(int32_t kind, double raJ2000, double decJ2000)> addPointOfInterest;
  // Leaves the placing mode.
  std::function<void()> clearPlacingMode;
  // Shows the chart's pop-up menu at chart point (x, y) with this caption on
  // its first item and its Track item enabled or not.
  std::function<void(const std::string& caption, bool trackEnabled, int32_t x, int32_t y)> showObjectMenu;
};
void SetChartClickHooks(TChartClickHooks hooks);
const TChartClickHooks& ChartClickHooks();

// The click handler of the main chart (tPlotter.AddPointOfInterestAt):
// button 0 left, 1 right, others ignored; (x, y) chart point. True when the
// click was handled. Sets plotter.ClickRA, ClickDec (-1, 0 when the point
// has no position).
bool AddPointOfInterestAt(tPlotter& plotter, int32_t button, int32_t x, int32_t y);

// The caption of the pop-up menu for an object (without the closing ":");
// empty for kind 0, kinds above 5 and indexes outside the current tables.
std::string ObjectMenuCaption(uint8_t kind, int32_t index);

// Converts a position of date (right ascension, declination, radians) as the
// chart shows it back to the J2000 mean position: apparent-place
// corrections removed, then precessed from the observer's date to J2000.
void DateToJ2000(const tPlotter& plotter, double& ra, double& dec);
