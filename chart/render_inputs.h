// What the chart render reads from the rest of the program: the main
// window (points of interest, the memo, the tracking panel, the chart mask
// and insets, the performance setting), the telescope window (its position
// and pointing model), the plate-solve window (a solved position) and the
// script (chart markers).
//
// Each owner installs its part once at start-up on the GUI thread. Until
// then every input is empty: no points, no markers, no telescope, no solved
// position, the whole chart rectangle is open and no inset covers it. So the
// chart renders alone in tests, tools and benchmarks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One chart marker of the script.
struct TChartMarker {
  double RA = -1.0;      // radians, of date; -1.0: the marker is not set
  double Dec = 0;        // radians
  int32_t PenWidth = 1;
  uint8_t Join = 0;      // 0 a single point, else joined to the previous marker
  int32_t Color = 0;     // colour reference (red in the low byte)
  std::string Text;      // label; none when empty
};

// One point of interest (J2000 position).
struct TChartPointOfInterest {
  double RA = 0;   // radians, J2000
  double Dec = 0;  // radians, J2000
  int32_t Kind = 0;
  std::string Name;
};

struct TChartInputs {
  // --- Main window ---
  // Number of points of interest, and point i (1-based); false when absent.
  std::function<int32_t()> pointOfInterestCount;
  std::function<bool(int32_t index, TChartPointOfInterest& point)> pointOfInterest;
  // Shows the tracking caption in the status bar's fifth panel.
  std::function<void(const std::string&)> showTrackName;
  // The chart mask: true when (x, y) lies in the open chart area; and true
  // when it lies within `distance` pixels of the mask's edge.
  std::function<bool(int32_t x, int32_t y)> inChartArea;
  std::function<bool(int32_t x, int32_t y, int32_t distance)> nearMaskEdge;
  // True when (x, y) lies within the enlarged oval of a shown inset (globe,
  // clock, magnifier, star sphere): grid labels are not written there.
  std::function<bool(int32_t x, int32_t y)> insideInset;

  // --- Telescope window ---
  // True while a telescope is connected, with its position (of date).
  std::function<bool(double& ra, double& dec)> telescopePosition;
  // True when the goto-assist pointing model is on, with its offsets for
  // that position.
  std::function<bool(double ra, double dec, double& dRA, double& dDec)> pointingCorrection;

  // --- Plate-solve window ---
  // True while a solved position is held, with that position (radians).
  std::function<bool(double& ra, double& dec)> plateSolvePosition;

  // --- Script ---
  // Number of markers (highest marker number set), and marker i (1-based).
  std::function<int32_t()> markerCount;
  std::function<bool(int32_t index, TChartMarker& marker)> marker;
};

// Installs the inputs (GUI thread, at start-up).
void SetChartInputs(TChartInputs inputs);
const TChartInputs& ChartInputs();
