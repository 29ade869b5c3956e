// Constellation boundaries: the vertices of the boundary polygons read once
// from "Bounds.dat" (epoch 1875), and the densified points precessed to the
// chart date that the render draws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "astro/observer.h"

inline constexpr std::size_t kBoundsRecordBytes = 27;
inline constexpr int kMaxBoundaryVertices = 2000;
inline constexpr int kMaxBoundaryPoints = 5000;

struct TBoundaryVertex {
  double RA = 0;     // radians, epoch 1875
  double Dec = 0;    // radians, epoch 1875
  std::string Abbr;  // up to 4 characters; the first 3 name the constellation
};

// Point kinds: the first point of a segment, a following point, and the
// start of a new run. Kinds 1 and 2 lift the pen.
enum : uint8_t { kBoundaryFollow = 0, kBoundaryNewRun = 1, kBoundarySegmentStart = 2 };

struct TBoundaryPoint {
  double RA = 0;              // radians, of the chart date (not reduced into [0, 2π))
  double Dec = 0;             // radians
  uint8_t Kind = 0;
  uint8_t Constellation = 0;  // 1..88; 0 when the abbreviation names none
};

// Vertices and points in file order; entry i of the 1-based numbering the
// boundary files and their indexes use is element i − 1 here.
extern std::vector<TBoundaryVertex> BoundaryVertices;
extern int32_t BoundaryVertexCount;
extern std::vector<TBoundaryPoint> BoundaryPoints;
extern int32_t BoundaryPointCount;
// The observer copy used only for the boundaries' precession.
extern TObserverTime BoundsObserver;

// Reads "Bounds.dat" from the data folder: 27-byte text records (right
// ascension in hours in columns 1-8, declination in degrees in 10-18, the
// abbreviation in 20-23), at most 2,000. A last record without its line end
// is still read. A missing file (102) and a read error, a number that does
// not convert or a position off the sky (103) are reported as a damaged
// data file (shell/data_files.h), with the record and its text; after 103
// there are no vertices. A failed close shows coded message 104 with the
// detail "\"Bounds.dat\"".
void LoadBounds();

// The number 1..88 of the constellation whose abbreviation begins with the
// first three characters of `abbr` (any case); 0 when none.
int FindConstellation(const std::string& abbr);

// Rebuilds BoundaryPoints for the chart date of ObserverTime: every segment
// densified to a point at least every 5° (the short way across 0h), then
// precessed from 1875 January 1.0 to that date. At most 5,000 points.
void PrecessBounds();
// The same for a given observer record.
void PrecessBounds(const TObserverTime& observer);

// Side in pixels of the square Sun and Moon images made for a disc of
// `size` pixels stretched by `aspect`: the disc's larger extent rounded,
// brought up to a multiple of 4, plus 4.
int32_t SunMoonImageSide(int32_t size, float aspect);
