// The constellation boundaries "Bounds.dat": 27-byte text records (right
// ascension in hours in columns 1-8, declination in degrees in 10-18, the
// constellation abbreviation in 20-23, then two blanks and CR LF), one
// vertex each in the frame of 1875 January 1.0, each constellation's
// boundary as one closed run of consecutive records.
//
// The source gives the boundaries in the J2000 frame with extra points
// along every edge. They are precessed back to 1875, where every edge lies
// along a meridian or a parallel, and reduced to their corners.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkdata {

inline constexpr int kBoundsRecordSize = 27;
inline constexpr int kMaxBoundaryVertices = 2000;

// One closed boundary: the constellation number (1..88) and its points,
// right ascension in hours and declination in degrees.
struct BoundaryRun {
  int constellation = 0;
  std::vector<std::pair<double, double>> points;
};

// Reads boundaries in the text form ":Full Name" followed by lines
// "RA-hours Dec-degrees flag"; each name starts a new run. Points at a pole
// (the seam of a polar cap) are left out.
std::vector<BoundaryRun> ReadBoundaryOutlines(const std::string& path);

// The run precessed from J2000 to 1875 January 1.0 (the frame the program
// precesses the boundaries from).
BoundaryRun PrecessRunTo1875(const BoundaryRun& run);

// The corners of a closed run: points where the boundary does not go on
// along a meridian (equal right ascension, within `raTolHours`) or a
// parallel (equal declination, within `decTolDeg`). The result is closed:
// its last point repeats the first.
std::vector<std::pair<double, double>> Corners(const std::vector<std::pair<double, double>>& ring,
                                               double raTolHours = 2e-4, double decTolDeg = 2e-3);

// One record: "RRRRRRRR DDDDDDDDD Abb   \r\n" with right ascension in [0, 24).
std::string BoundsRecord(double raHours, double decDeg, const char* abbreviation);

// The runs reordered so that no two runs of one constellation follow each
// other (consecutive records of one constellation form one run in the file).
std::vector<BoundaryRun> ArrangeRuns(const std::vector<BoundaryRun>& runs);

// The whole file; throws SourceError when two neighbouring runs belong to
// one constellation, or when the runs hold more than 2,000
// vertices, which the program would not read.
std::string EncodeBounds(const std::vector<BoundaryRun>& runs);

}  // namespace mkdata
