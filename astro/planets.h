// Planets by a planetary theory (positions of date), asteroids and comets by
// osculating elements, Kepler's equation, and the start-up of the planet and
// Moon records.
//
// Every position routine takes the solar-system work record first: the
// planets need nothing in it beforehand (they compute the Earth themselves)
// but the Sun's place (CalcSun) for the bright-limb angle; asteroids and
// comets need the Sun's rectangular coordinates (CalcSun).
#pragma once

#include <string_view>

#include "astro/solar_system.h"

// Kilometres per AU of the planets' parallax distance.
inline constexpr double kPlanetKmPerAU = 149598500.0;

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
// The planet records carry these elements (the Galilean-moon routine reads
// Jupiter's node and inclination, CalcEarthOrbit the Earth's mean motion),
// but CalcPlanet places the named planets by the planetary theory: fixed
// J2000 elements drift by up to half a degree from the sky over the century.
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

// CalcPlanet: the place of a planet at the record's instant, of date and
// apparent, in the same frame as CalcSun and CalcMoon give the Sun and the
// Moon:
//   HelioLongitude, HelioLatitude, RadiusVector  heliocentric ecliptic place
//                      of date (radians, AU) at the time the light left it
//   EclLongitude, EclLatitude  geocentric ecliptic place of date corrected
//                      for light time (no aberration, no nutation)
//   RA, Dec            topocentric APPARENT right ascension [0, 2π) and
//                      declination OF DATE: light time, annual aberration,
//                      the record's nutation and true obliquity, the
//                      observer's parallax (then the astrometry provider
//                      when NovasOff is 0)
//   Distance           from the Earth's centre, AU
//   PhaseAngle (λ - l), Magnitude, Diameter, LimbAngle.
// Callers must NOT precess RA and Dec again: they are already of date.
// Method: truncated VSOP87D for Mercury to Neptune (about 10″; see
// astro/vsop87.h), the Earth from the same series; Pluto by the periodic
// terms of Meeus ("Astronomical Algorithms", ch. 37; 1885-2099) carried from
// J2000.0 to the date; a record of another name by its mean elements, also
// carried to the date. Two light-time passes; aberration by Meeus eq. 23.2.
// The Earth's heliocentric place is computed here (never read from the
// context) and written to the context's EarthL and EarthR. Cached for one
// minute of universal time at the same observer place. The Earth's own
// record (planet 3) is never computed: it stays as it is.
void CalcPlanet(TSolarContext& ctx, const TObserverTime& rec, TSolSysBody& body);

// PlanetApparentGeocentric: the planet's apparent GEOCENTRIC right ascension
// ([0, 2π)) and declination of date (radians) at the record's instant, by
// the method of CalcPlanet, which calls it and adds the parallax; fills the
// body's HelioLongitude, HelioLatitude, RadiusVector, EclLongitude,
// EclLatitude and Distance as CalcPlanet does (no cache). False (nothing
// changed) for the Earth and for a record of another name without a closed
// orbit.
bool PlanetApparentGeocentric(const TObserverTime& rec, TSolSysBody& body, double& ra, double& dec);

// PlutoHeliocentricJ2000: Pluto's heliocentric ecliptic longitude l
// ([0, 2π)), latitude b (radians) and radius vector r (AU) referred to the
// ecliptic and equinox of J2000.0 at terrestrial time jdTT, by the 43
// periodic terms of Meeus ("Astronomical Algorithms", 2nd ed., ch. 37),
// valid 1885-2099. False for a non-finite time.
bool PlutoHeliocentricJ2000(double jdTT, double& l, double& b, double& r);

// EarthHeliocentricOfDate: the Earth's heliocentric ecliptic longitude l
// ([0, 2π)), latitude b (radians) and radius vector r (AU), mean ecliptic
// and equinox of date, at terrestrial time jdTT (truncated VSOP87D). The
// last instant is kept per thread.
void EarthHeliocentricOfDate(double jdTT, double& l, double& b, double& r);

// CalcOrbitBody: geometric geocentric J2000 position of an asteroid or comet
// from osculating elements (equinox J2000), with one light-time pass: the
// elliptic solution for e < 0.97 (mean anomaly advancing at the daily
// motion), and for 0.97 <= e < 1 when q is not given (a, M and the daily
// motion define that ellipse exactly); Landgraf's near-parabolic series from
// q otherwise. Derives a (from q), period and daily motion where the record
// leaves them below zero; q itself is never written, so -1 keeps meaning
// "not given". Sets RA (radians, [0, 2π)), Dec, Distance, RadiusVector, ecliptic
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
