// The solar-system information window's content: the Sun, the Moon, a
// planet, an asteroid or a comet, with its places, orbital elements,
// physical properties and the samples of its yearly visibility chart.
// Positions are the program's own (the outside astrometry component is
// absent, so its topocentric place is never asked for).
#pragma once

#include <string>
#include <vector>

#include "astro/riseset.h"

struct TObserverTime;
struct TSolSysBody;
struct TSolarContext;

// Selection kinds of the chart.
inline constexpr int kSelectAsteroid = 3;
inline constexpr int kSelectComet = 4;
inline constexpr int kSelectSolarSystem = 5;  // index 0..8 planets, 9 the Moon, 10 the Sun

struct TSolSysInfo {
  std::string Name, Magnitude, DistanceLabel, Distance, AngularSize, EclLat, EclLong;
  std::string Title, Ra, Dec, Epoch, Altitude, Azimuth;
  bool ShowElements = false, ShowPhysical = false, ShowVisibility = false;
  std::string PeriodLabel, Period, Inclination, Eccentricity, SemiMajorLabel, SemiMajor;
  std::string Mass, Diameter, Density;
  // Places, radians: shown (of the chart's epoch), its altitude and azimuth
  // (clipping off), and the mean J2000 place handed to goto and the points
  // of interest.
  double RaShown = 0, DecShown = 0, AltitudeRad = 0, AzimuthRad = 0;
  double RaJ2000 = 0, DecJ2000 = 0;
};

// The content for selection (kind, index) at the observer record's instant
// (copied). False for a selection that names no body.
bool MakeSolSysInfo(int kind, int index, const TObserverTime& observer, TSolSysInfo& info);

// ComputeBody: the record of selection (kind, index) for the record's
// instant as the chart computes it (a planet and the Moon topocentric, an
// asteroid or a comet from its elements, geometric J2000), with the Sun of
// that instant in `ctx`. False for the Sun, the Earth or a selection that
// names no body, or an orbit that cannot be solved.
bool ComputeBody(int kind, int index, const TObserverTime& rec, TSolarContext& ctx, TSolSysBody& body);

// The visibility chart's samples of the body over one year: `count`
// samples from noon of 1 January of `year` (local standard time), the Sun
// recomputed before every Moon sample. Right ascensions and declinations of
// date, radians. False for the Sun or an unknown selection.
bool SampleBodyYear(int kind, int index, const TObserverTime& observer, double year, int count,
                    std::vector<double>& ras, std::vector<double>& decs);

// The place of the body for its rise and set (the visibility chart, the
// object search): its apparent geocentric place of date at a universal
// time, on a private copy of `observer`, with the altitude of its centre on
// `horizon` (HorizonAltitude: on the standard horizon the Moon's from its
// distance, the Sun's -50′, the others' -34′). Empty for the Earth or a
// selection that names no body.
TBodyPlace BodyPlaceFor(int kind, int index, const TObserverTime& observer,
                        THorizon horizon = THorizon::Standard);

// Samples per year: the Moon 365 (sampling 1), 730 (2) or 183; the others
// 365 (2) or 183.
int BodySampleCount(int kind, int index, int visibilitySampling);

// Angular size text: from 0.2' as arc-minutes "0.7'", below as arc-seconds
// "9.0\"".
std::string AngularSizeText(double radians);
// A mass in kilograms as "1.90164 x 10^27".
std::string MassText(double kg);
// Density in g/cm³ of a sphere of the given mass (g) and diameter (cm).
double DensityOf(double grams, double diameterCm);
