// The Sun, the Earth's orbit and the Moon, into the solar-system work record
// and the Moon's body record.
#pragma once

#include "astro/solar_system.h"

struct TObserverTime;

// CalcSun: the Sun at the record's terrestrial time: true longitude ⊙ of
// date and radius vector (SunRadiusVector and SunDistance, AU) from the
// Earth's place by the planetary theory (EarthHeliocentricOfDate, about
// 2″), the mean anomaly by Meeus ("Astronomical Algorithms", eq. 25.3),
// apparent longitude (aberration -20.0″/R and the record's nutation Δψ),
// the geometric geocentric rectangular coordinates SunX/Y/Z (AU; mean
// equator and equinox of J2000, rotated rigorously from the ecliptic of date
// with the Sun's latitude, EclipticOfDateToJ2000) and the longitude in the
// ecliptic of J2000 taken from them, the apparent diameter, and the apparent geocentric right
// ascension and declination of date (record's true obliquity).
void CalcSun(TSolarContext& ctx, const TObserverTime& rec);

// SunApparentPosition: the Sun's apparent geocentric right ascension
// ([0, 2π)) and declination of date (radians) at terrestrial time jdTT, as
// CalcSun gives them, with the record's nutation and true obliquity.
void SunApparentPosition(const TObserverTime& rec, double jdTT, double& ra, double& dec);

// MoonApparentPosition: the Moon's apparent geocentric right ascension
// ([0, 2π)) and declination of date (radians) and its distance from the
// Earth's centre (km) at terrestrial time jdTT, by the series of CalcMoon,
// with the record's nutation and true obliquity.
void MoonApparentPosition(const TObserverTime& rec, double jdTT, double& ra, double& dec, double& distanceKm);

// CalcSunTopocentric: the Sun of CalcSun (apparent, of date) at the
// record's terrestrial time with the observer's parallax: SunMeanAnomaly,
// SunTrueLongitude, SunDistance (kilometres), SunDiameter and topocentric
// SunRA, SunDec; then the astrometry provider when NovasOff is 0. (The
// Kepler method of epoch 1980.0 once used here was 2′ from the Sun of
// CalcSun and the planets.)
void CalcSunTopocentric(TSolarContext& ctx, const TObserverTime& rec);

// CalcEarthOrbit: the Earth's orbit at the record's instant: mean motion
// angle EarthN, mean anomaly EarthM and true anomaly EarthNu from its mean
// elements (universal time), heliocentric longitude EarthL (mean ecliptic
// and equinox of date, [0, 2π)) and radius vector EarthR (AU) from
// EarthHeliocentricOfDate at the terrestrial time, as CalcPlanet uses them.
void CalcEarthOrbit(TSolarContext& ctx, const TObserverTime& rec);

// CalcMoon: the Moon at the record's terrestrial time, into `moon`:
//   EclLongitude, EclLatitude  geometric geocentric ecliptic λ, β (radians,
//                              mean ecliptic and equinox of date)
//   RA, Dec                    topocentric apparent right ascension and
//                              declination of date (radians; then the
//                              astrometry provider when NovasOff is 0)
//   Distance                   geocentric distance (kilometres)
//   Diameter                   apparent diameter (0.5181° at 384401 km)
//   PhaseAngle                 elongation in longitude λ - ⊙ (0 new, π
//                              full, [0, 2π)); ⊙ is the context's
//                              SunTrueLongitude, so CalcSun comes first
//   LimbAngle                  bright-limb angle (BrightLimbAngle)
// and the context's MoonLatitudeDegrees (β rounded to whole degrees).
// Method: the truncated ELP-2000/82 series of Meeus ("Astronomical
// Algorithms", 2nd ed., ch. 47: 60 periodic terms each for longitude and
// distance and for latitude, the eccentricity factor E and the additive
// terms A1-A3), about 10″ in λ and 4″ in β; the apparent place adds the
// record's nutation in longitude Δψ and uses its true obliquity; the
// topocentric parallax follows Meeus ch. 40. Cached for one minute of
// universal time at the same observer place.
void CalcMoon(TSolarContext& ctx, const TObserverTime& rec, TSolSysBody& moon);

// MoonAxisPole: right ascension [0, 2π) and declination of date (radians)
// of the north pole of the Moon's axis of rotation at the record's
// terrestrial time. The position angle of the great circle from the Moon
// towards it is the position angle P of the Moon's axis (lunar north on
// the sky, up to 25° from celestial north). Method: Cassini's laws as in
// Meeus ("Astronomical Algorithms", 2nd ed., ch. 53): the Moon's equator
// is inclined I = 1.54242° to the ecliptic, its ascending node opposite
// the orbit's mean ascending node Ω (eq. 47.7), so the pole lies at
// apparent ecliptic longitude Ω + Δψ + 90° and latitude 90° − I; the
// physical librations (below 0.04°) are left out.
void MoonAxisPole(const TObserverTime& rec, double& ra, double& dec);

// BrightLimbAngle: position angle (radians, [0, 2π), north through east) of
// the bright limb of a body at (ra, dec) lit by the Sun at the context's
// SunRA, SunDec (Meeus eq. 48.5).
double BrightLimbAngle(const TSolarContext& ctx, double ra, double dec);
