// Jupiter's four large moons and the apparent ellipse of Saturn's rings.
// The caller computes the Sun (CalcSun), the Earth orbit (CalcEarthOrbit)
// and the planet (CalcPlanet) first.
#pragma once

#include "astro/solar_system.h"

struct TObserverTime;

// Jovicentric positions of the four Galilean moons by the E5 theory
// (Lieske), in the form of Meeus, "Astronomical Algorithms" (1st ed.,
// ch. 43; 2nd ed., ch. 44), for t days after JD 2443000.5 (terrestrial
// time, light time removed), index 1 Io .. 4 Callisto.
struct TGalileanOrbits {
  double Longitude[5];  // true longitude L referred to the equinox of B1950, radians
  double Latitude[5];   // latitude B above Jupiter's equator, radians
  double Radius[5];     // distance from Jupiter, Jupiter equatorial radii
  double NodeLongitude;  // ψ, node of Jupiter's equator on the ecliptic (B1950 equinox), radians
};
TGalileanOrbits GalileanOrbits(double t);

// CalcGalileanMoons: the apparent offsets of Io, Europa, Ganymede and
// Callisto from Jupiter into the context's MoonX, MoonY, MoonZ (Jupiter
// equatorial radii; X along Jupiter's equator positive towards the west, Y
// positive towards the north, Z positive away from the observer), with
// light time and perspective (Meeus ch. 44). Reads Jupiter's heliocentric
// longitude, latitude and radius vector and its orbit's node and
// inclination from its record, and SunTrueLongitude and SunRadiusVector
// from the context. Cached for one minute of universal time (MoonsLastJD).
void CalcGalileanMoons(TSolarContext& ctx, const TObserverTime& rec, const TSolSysBody& jupiter);

// CalcSaturnRings: the apparent ellipse of the outer edge of Saturn's outer
// ring (Meeus ch. 45): RingMajorAxis and RingMinorAxis (angular semi-axes,
// radians; the minor one never negative) and RingPositionAngle (position
// angle of the ring's northern minor axis, radians). Reads Saturn's
// heliocentric longitude, latitude and radius vector and the context's
// EarthL, EarthR. Cached for one minute of universal time (RingsLastJD).
// Returns true.
bool CalcSaturnRings(TSolarContext& ctx, const TObserverTime& rec, const TSolSysBody& saturn);

// SaturnRingTilt: the Saturnicentric latitude B of the observer referred to
// the ring plane and the difference ΔU (in [0, π]) of the Saturnicentric
// longitudes of the Sun and the observer (Meeus ch. 45), radians, from
// Saturn's geocentric ecliptic longitude λ and latitude β and its
// heliocentric longitude l, latitude b and radius r (AU) at terrestrial
// time jdTT.
void SaturnRingTilt(double jdTT, double lambda, double beta, double l, double b, double r, double& B,
                    double& deltaU);
