// The texts of the printed star map's header block and the print options'
// rules, without a printer.
#pragma once

#include <array>
#include <string>
#include <vector>

struct TObserverTime;

// What the header shows of the chart.
struct TPrintedView {
  std::string locationName;
  bool fullView = false;  // the map is centred on the zenith
  double centreRA = 0;    // radians
  double centreDec = 0;   // radians
  double zoom = 1;        // the plotter's zoom scale
  double faintLimit = 6.5;  // the star options' faint limit
};

struct TPrintHeader {
  std::vector<std::string> left;      // From, Latitude/Longitude, Map center, Limiting magnitude
  std::string date;                   // "March 20, 2024"
  std::array<std::string, 3> times;   // "LMT hh:mm", "UT hh:mm", "LST hh:mm"
};

// The header's lines for the observer record and the view. The longitude is
// taken into (-180°, 180°] before it is printed, so a place east of
// Greenwich reads "east" and one west of it "west".
TPrintHeader MakePrintHeader(const TObserverTime& rec, const TPrintedView& view);

// "Limiting magnitude" of the map: 6.0 below zoom 2, 7.0 below zoom 3,
// otherwise the faint limit.
double PrintedLimitingMagnitude(double zoom, double faintLimit);

// The print options and the rules of the options window.
struct TPrintOptions {
  bool blackAndWhite = false;
  bool mainView = true;
  bool pointsOfInterest = true;
  bool allPointsOfInterest = false;  // else only those the magnifier shows
  bool objectList = false;
  bool skipWindow = false;           // set by the script's print statement
};
struct TPrintFormState {
  bool poiEnabled = false;      // the points-of-interest check box
  bool poiChoiceEnabled = false;  // the two radio buttons and their label
  bool okEnabled = false;
};
TPrintFormState PrintFormState(const TPrintOptions& o, int poiCount);
