// Planets by Keplerian mean elements, asteroids and comets by osculating
// elements, Kepler's equation, and the start-up of the planet and Moon
// records.
//
// Every position routine takes the solar-system work record first: it must
// hold the Earth-orbit terms (CalcEarthOrbit) for planets and the Sun's
// rectangular coordinates (CalcSun) for asteroids and comets.
#pragma once

#include <string_view>

#include "astro/solar_system.h"

struct TObserverTime;

// One row of the planet element table: period Tp (tropical years), mean
// longitude at J2000.0 ε, longitude of perihelion ϖ, eccentricity e,
// semi-major axis a (AU), inclination i, node Ω, apparent diameter at 1 AU
// θ0, and the absolute visual magnitude V(1,0). Angles in degrees and θ0 in
// arcseconds in PlanetElementTable; radians after ConvertElementTable.
struct TPlanetElements {
  double Period;
  double MeanLongitude;
  double Perihelion;
  double Eccentricity;
  double SemiMajorAxis;
  double Inclination;
  double Node;
  double DiameterAt1AU;
  double BrightnessFactor;
};

// The constant table, index 0 Mercury .. 8 Pluto (degrees, arcseconds).
extern const TPlanetElements PlanetElementTable[kPlanetCount];
// The converted table (radians), filled by ConvertElementTable.
extern TPlanetElements PlanetElements[kPlanetCount];

// KeplerTrueAnomaly: true anomaly ν (radians, (-π, π]) of an elliptic orbit
// of eccentricity e (0 <= e < 1) at mean anomaly M (radians, any value).
// Solves Kepler's equation E - e sin E = M by Newton's method to 1e-9 rad
// (at most 50 steps), then tan(ν/2) = sqrt((1+e)/(1-e)) tan(E/2). Returns
// NaN for a non-finite M or an eccentricity outside [0, 1).
double KeplerTrueAnomaly(double e, double M);

// SolveNearParabolic: s = tan(ν/2) for a body t days after perihelion
// (negative before) on an orbit of eccentricity e near 1 and perihelion
// distance q (AU), by Landgraf's series (Meeus, "Astronomical Algorithms",
// ch. 35), tolerance 1e-9. A parabola (e = 1) needs no iteration. False when
// the series does not converge (more than 50 terms, a term above 10000, or
// more than 50 outer passes or Newton steps) or an input is not finite.
bool SolveNearParabolic(double& s, double t, double e, double q);

// The planet number 1..9 ("Mercury" .. "Pluto") of a body name; 0 for any
// other name.
int PlanetNumberFromName(std::string_view name);

// PlanetMagnitude: visual magnitude of planet `number` (1..9) at heliocentric
// distance r and observer distance delta (AU) and phase angle i (radians,
// Sun-planet-observer), by the formulas of the Astronomical Almanac 1984
// (Meeus ch. 41). For Saturn the ring term needs B, the Saturnicentric
// latitude of the observer on the ring plane, and ΔU, the difference of the
// Saturnicentric longitudes of the Sun and the observer (radians). Other
// numbers: v10 + 5 log10(r Δ).
double PlanetMagnitude(int number, double v10, double r, double delta, double phase, double saturnB = 0,
                       double saturnDU = 0);

// CalcPlanet: geocentric position of a planet from its mean elements, with
// one light-time pass, the observer's topocentric parallax, magnitude,
// apparent diameter, phase and bright-limb angle (Duffett-Smith, "Practical
// Astronomy with your Calculator", planets by mean elements). Positions are
// referred to the ecliptic and equinox of the elements (J2000.0); the
// ecliptic-to-equatorial step uses the record's obliquity. Cached for one
// minute of universal time at the same observer place. The Earth's own
// record (planet 3) is never computed: it stays as it is.
void CalcPlanet(TSolarContext& ctx, const TObserverTime& rec, TSolSysBody& body);

// CalcOrbitBody: geometric geocentric J2000 position of an asteroid or comet
// from osculating elements (equinox J2000), with one light-time pass: the
// elliptic solution for e < 0.97 (mean anomaly advancing at the daily
// motion), Landgraf's near-parabolic series above. Derives a, q, period and
// daily motion where the record leaves them below zero. Sets RA (radians, [0, 2π)), Dec, Distance, RadiusVector, ecliptic
// coordinates and the H-G magnitude (-100 when the orbit has no period).
// Cached for one minute of terrestrial time. Returns the body's Valid: false
// (Valid 0) when the orbit cannot be solved.
bool CalcOrbitBody(TSolarContext& ctx, const TObserverTime& rec, TSolSysBody& body);

// CheckElementConversion: the orientation terms OrientA..C and
// OrientFactorA..C of the body's orbit from Ω and i (J2000 obliquity
// 23.439291371°, Meeus ch. 33); appends "Rect. elements (for NAME) fail
// conversion test# 1" (or "# 2") to "startup_log.txt" in the working folder
// when a direction vector is not of unit length. Write errors are ignored.
void CheckElementConversion(TSolSysBody& body);

// ConvertElementTable: PlanetElements from PlanetElementTable (angles to
// radians, θ0 from arcseconds to radians).
void ConvertElementTable();

// InitPlanetRecords: the nine planet records (Mercury to Pluto, the Earth at
// index 2) from the converted table: name, epoch J2000.0, elements, empty
// position, LastJD -10000000, orientation terms. Defaults to Planets;
// callers may fill private copies.
void InitPlanetRecords(TSolSysBody (&planets)[kPlanetCount] = Planets);

// InitExtraElementRecord: the Moon's record: epoch 1980.0 (JD 2444238.5),
// period 27.3217 days, e 0.0549, i 5.1453964°, a 384401 km.
void InitExtraElementRecord(TSolSysBody& moon = MoonBody);

// Start-up of the solar-system unit, run once before any window exists:
// creates "startup_log.txt" empty in the working folder, converts the
// element table, fills Planets and MoonBody and sets MoonBody's LastJD to
// -1000000.
void InitSolarSystemUnit();
