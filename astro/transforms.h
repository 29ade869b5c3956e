// Atmospheric refraction through the record's lookup table, and the
// transforms between equatorial, horizontal and ecliptic coordinates, plus
// topocentric parallax. Angles are radians; azimuth is measured from north
// through east; longitude in the record is positive west.
//
// NOTE the argument orders: outputs come first, and they differ between
// routines (EquatorialToHorizontal gives altitude then azimuth;
// HorizontalToEquatorial takes azimuth then altitude; EquatorialToEcliptic
// gives latitude β before longitude λ).
#pragma once

struct TObserverTime;

// Physical limits accepted by SetAtmosphere.
inline constexpr double MinTemperatureC = -90.0;
inline constexpr double MaxTemperatureC = 60.0;
inline constexpr double MinPressureMbar = 0.0;
inline constexpr double MaxPressureMbar = 1500.0;

// SetAtmosphere: stores temperature (°C) and pressure (mbar), in THIS order,
// and rebuilds the refraction table. Values outside -90..60 °C or
// 0..1500 mbar (or not finite) are refused: false, record unchanged.
bool SetAtmosphere(TObserverTime& rec, double temperature, double pressure);

// BuildRefractionTable: entry i (i = -200..9000) = refraction at true
// altitude h = i/100°, Saemundsson's formula R = 1.02' / tan(h + 10.3/(h +
// 5.11)) (Meeus eq. 16.4) times 283/(273 + T) × P/1010, in radians.
void BuildRefractionTable(TObserverTime& rec);

// Refract: true altitude to apparent altitude (radians, in place); only for
// true altitudes from -2° to 90°, others are left unchanged.
void Refract(const TObserverTime& rec, double& altitude);

// Unrefract: apparent altitude to true altitude (radians, in place), the
// table value refined four times; apparent altitudes outside 0°..90° are
// left unchanged.
void Unrefract(const TObserverTime& rec, double& altitude);

// EquatorialToHorizontal: altitude and azimuth of (ra, dec) for the record's
// latitude and local sidereal time. With ClipBelowHorizon set, a position
// at or below the horizon gives altitude -1, azimuth 0.
void EquatorialToHorizontal(const TObserverTime& rec, double& altitude, double& azimuth, double ra,
                            double dec);

// HorizontalToEquatorial: right ascension [0, 2π) and declination of the
// point at azimuth, altitude (NOTE: azimuth first) for the record's
// latitude and local sidereal time.
void HorizontalToEquatorial(const TObserverTime& rec, double& ra, double& dec, double azimuth,
                            double altitude);

// EclipticToEquatorial: right ascension [0, 2π) and declination of ecliptic
// longitude λ and latitude β, with the record's true obliquity.
void EclipticToEquatorial(const TObserverTime& rec, double& ra, double& dec, double lambda,
                          double beta);

// EquatorialToEcliptic: ecliptic latitude β and longitude λ [0, 2π) of
// (ra, dec), with the record's true obliquity. NOTE: β is the first output.
void EquatorialToEcliptic(const TObserverTime& rec, double& beta, double& lambda, double ra,
                          double dec);

// TopocentricParallax: topocentric (ra', dec') of a body at `distanceKm`
// from the geocentre at geocentric (ra, dec), for the record's place and
// local sidereal time (Meeus ch. 40). ra' is not reduced.
void TopocentricParallax(const TObserverTime& rec, double& raTopo, double& decTopo,
                         double distanceKm, double ra, double dec);

// The ecliptic transforms for an explicit obliquity eps (radians), for
// callers that need the mean rather than the true obliquity.
void EclipticToEquatorialEps(double eps, double& ra, double& dec, double lambda, double beta);
void EquatorialToEclipticEps(double eps, double& beta, double& lambda, double ra, double dec);
