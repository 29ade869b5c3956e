// The solar-system records: TSolarContext, the work record of the Sun, Moon,
// planet, minor-body, Galilean-moon and ring routines (each chart plotter
// owns one), and TSolSysBody, the record of one body (the nine planets, the
// Moon, asteroids and comets), with the global tables of bodies.
//
// Both records are trivially copyable with fixed-size text fields: plotters
// copy them whole by assignment. They keep natural alignment (like the
// observer record), so their fields may be passed by reference.
//
// Angles are radians and distances astronomical units unless a field says
// otherwise.
#pragma once

#include <cstdint>
#include <type_traits>

#include "astro/shortstring.h"
#include "astro/trig.h"

struct TObserverTime;

// The solar-system work record (313 bytes of data in the field order of the
// original layout).
struct TSolarContext {
  // 0: ask the astrometry provider for the Sun, Moon and planets after the
  // built-in computation; non-zero: built-in results only.
  uint8_t NovasOff;
  // Reserved for the chart's own use; the body routines never touch it.
  uint8_t ChartReserved[4];
  // Apparent ecliptic longitude of the Sun, of date.
  double SunApparentLongitude;
  // Right ascension and declination of the Sun (apparent geocentric after
  // CalcSun; topocentric after CalcSunTopocentric).
  double SunRA;
  double SunDec;
  // Apparent angular diameter of the Sun.
  double SunDiameter;
  // Distance of the Sun: AU after CalcSun, kilometres after CalcSunTopocentric.
  double SunDistance;
  // True longitude of the Sun referred to the J2000 equinox.
  double SunLongitudeJ2000;
  // True geometric longitude ⊙ of date.
  double SunTrueLongitude;
  // Mean anomaly of the Sun.
  double SunMeanAnomaly;
  // Earth-Sun distance R, AU.
  double SunRadiusVector;
  // Geocentric rectangular equatorial coordinates of the Sun, J2000, AU.
  double SunX;
  double SunY;
  double SunZ;
  // The Moon's ecliptic latitude in whole degrees (CalcMoon).
  int32_t MoonLatitudeDegrees;
  // Earth orbit (CalcEarthOrbit): mean motion angle, mean anomaly,
  // heliocentric longitude (mean ecliptic and equinox of date), true
  // anomaly, radius vector (AU). CalcPlanet rewrites EarthL and EarthR for
  // its own instant.
  double EarthN;
  double EarthM;
  double EarthL;
  double EarthNu;
  double EarthR;
  // Universal-time JD of the last Galilean-moon computation.
  double MoonsLastJD;
  // Galilean moon offsets from Jupiter in Jupiter equatorial radii, index 1
  // Io, 2 Europa, 3 Ganymede, 4 Callisto: X along Jupiter's equator
  // (positive west in the sky), Y perpendicular to it (positive north), Z
  // along the line of sight (negative: the moon is nearer than Jupiter).
  TOffsetArray<double, 1, 4> MoonX;
  TOffsetArray<double, 1, 4> MoonY;
  TOffsetArray<double, 1, 4> MoonZ;
  // Universal-time JD of the last ring computation.
  double RingsLastJD;
  // Saturn's ring ellipse: position angle of the minor axis (north through
  // east), angular semi-major and semi-minor axes of the outer edge.
  double RingPositionAngle;
  double RingMajorAxis;
  double RingMinorAxis;
  // Reserved for the chart's own use; the body routines never touch it.
  uint8_t ChartReserved2[32];
};

// The record of one solar-system body.
struct TSolSysBody {
  // Display code of an asteroid or comet ("YES", "NO", "1M".."9M", ...).
  TShortString<3> ShowCode;
  // Body name; for planets "Mercury" .. "Pluto".
  TShortString<30> Name;
  // JD of the elements (comets: time of perihelion passage).
  double Epoch;
  // JD of the equinox of the elements.
  double EquinoxEpoch;
  // Perihelion distance q, AU; -1 or 0 when not given.
  double PerihelionDistance;
  // Mean anomaly M at Epoch.
  double MeanAnomaly;
  // Planets: mean longitude at Epoch.
  double MeanLongitude;
  // Degrees per day; below 0: derived from the other elements.
  double DailyMotion;
  // Semi-major axis a, AU (the Moon: kilometres); below 0: derived.
  double SemiMajorAxis;
  // Eccentricity e.
  double Eccentricity;
  // Period in tropical years (the Moon: days); below 0: derived.
  double Period;
  // Planets: longitude of perihelion ϖ; asteroids and comets: argument of
  // perihelion ω.
  double Perihelion;
  // Longitude of the ascending node Ω.
  double Node;
  // Inclination i.
  double Inclination;
  // Absolute magnitude H.
  double AbsMagnitude;
  // Slope parameter G; exactly -1 means 0.15.
  double Slope;
  // Orientation angles and factors of the orbit (CheckElementConversion).
  double OrientA;
  double OrientB;
  double OrientC;
  double OrientFactorA;
  double OrientFactorB;
  double OrientFactorC;
  // Planets: apparent diameter at 1 AU, radians.
  double DiameterAt1AU;
  // Planets: visual magnitude at r = Δ = 1 AU and phase angle 0, V(1,0).
  double BrightnessFactor;
  // JD of the last computed position (the cache key); -1 forces a recompute.
  double LastJD;
  // Heliocentric ecliptic longitude l and latitude ψ.
  double HelioLongitude;
  double HelioLatitude;
  // Geocentric ecliptic latitude β and longitude λ.
  double EclLatitude;
  double EclLongitude;
  // Right ascension and declination.
  double RA;
  double Dec;
  // Heliocentric distance r, AU.
  double RadiusVector;
  // Distance Δ from the observer, AU (the Moon: kilometres).
  double Distance;
  // Apparent angular diameter.
  double Diameter;
  // Visual magnitude; -100 when it cannot be computed.
  double Magnitude;
  // Planets: λ - l; the Moon: its elongation in longitude (0 new, π full).
  double PhaseAngle;
  // Position angle of the bright limb (BrightLimbAngle).
  double LimbAngle;
  // 1 after a successful position of an asteroid or comet.
  uint8_t Valid;
  // The observer's place at the last computed position (part of the cache
  // key of the topocentric routines): longitude, latitude, height.
  double LastLongitude;
  double LastLatitude;
  double LastHeight;
};

static_assert(std::is_trivially_copyable_v<TSolarContext> && std::is_standard_layout_v<TSolarContext>);
static_assert(std::is_trivially_copyable_v<TSolSysBody> && std::is_standard_layout_v<TSolSysBody>);

// --- Global body tables ----------------------------------------------------------

inline constexpr int kPlanetCount = 9;
inline constexpr int kEarthNumber = 3;
// The nine planets, index 0 Mercury .. 8 Pluto: planet number p (1..9, as
// PlanetNames numbers them) is Planets[p - 1]; Planets[2] is the Earth.
extern TSolSysBody Planets[kPlanetCount];
// The Moon.
extern TSolSysBody MoonBody;

// Asteroids and comets (0-based, filled by the orbital-element files).
inline constexpr int kMaxMinorBodies = 1000;
extern TSolSysBody Asteroids[kMaxMinorBodies];
extern int32_t AsteroidCount;
extern TSolSysBody Comets[kMaxMinorBodies];
extern int32_t CometCount;

// --- Constants and small conversions ---------------------------------------------

inline constexpr double KmPerAU = 149600000.0;
inline constexpr double SpeedOfLight = 299792.458;  // km/s
// Light time per AU used by the light-time passes: 0.1386 hours.
inline constexpr double kLightDaysPerAU = 0.1386 / 24.0;
// One minute in days: the cache span of the position routines.
inline constexpr double kCacheSpanDays = 0.000694444;

// Light time in days over a distance in AU.
double LightTimeDays(double distanceAU);
// Kilometres in a distance in AU.
double AUToKm(double distanceAU);

// True when the body's cached position (LastJD and observer place) still
// holds for `jd` and the record's place: same place and |LastJD - jd| below
// one minute. Otherwise stores jd and the place as the new key and returns
// false.
bool BodyCacheHit(TSolSysBody& body, const TObserverTime& rec, double jd);

// --- Optional external astrometry --------------------------------------------------

// A source of topocentric apparent positions that replaces the built-in
// right ascension and declination of the Sun, Moon and planets when the
// context's NovasOff is 0. None is installed by default (the built-in
// results stand).
class IAstrometryProvider {
 public:
  virtual ~IAstrometryProvider() = default;
  // Topocentric apparent right ascension (radians) and declination of body
  // `number` (1..9 planets from Mercury, 10 the Sun, 11 the Moon) at the
  // record's terrestrial time and place. False (or an exception) leaves the
  // built-in values in place.
  virtual bool TopocentricPosition(int number, const TObserverTime& rec, double& ra, double& dec) = 0;
};

// Installs a provider (not owned); nullptr removes it.
void SetAstrometryProviderForTest(IAstrometryProvider* provider);

// Asks the installed provider for body `number`; on success replaces ra and
// dec and returns true. Every failure is swallowed (false, values kept).
bool ProviderPosition(int number, const TObserverTime& rec, double& ra, double& dec);
