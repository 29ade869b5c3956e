// Rise, transit and set on the record's date: of a fixed position for a
// given standard altitude, and of the Sun and the Moon, which move during
// the day.
#pragma once

#include <functional>
#include <vector>

struct TObserverTime;

// The value of an event that does not happen that day.
inline constexpr double NoEvent = 999999.0;

// Standard altitudes h0 of rise and set (radians): the geocentric altitude
// of a body's centre at the instant the almanacs call its rise or set.
// Stars and planets: -34′ of horizontal refraction (-0.5667°).
inline constexpr double kStarStandardAltitude = -0.5667 / 57.29577951308232;
// The Sun: its upper limb on the horizon, 34′ of refraction plus 16′ of
// semi-diameter (-0.8333°).
inline constexpr double kSunStandardAltitude = -0.8333 / 57.29577951308232;

// The horizon a rise or a set refers to.
enum class THorizon {
  // The almanacs' rise and set: the body's first or last light on a level
  // sea horizon under standard refraction (34′), the upper limb for the Sun
  // and the Moon.
  Standard,
  // The body's centre at true altitude 0 seen from the observer, without
  // refraction: where the object search counts it above the horizon.
  Centre,
};
// The kinds of body whose horizons differ: stars, planets, asteroids and
// comets rise as Star.
enum class THorizonBody { Star, Sun, Moon };

// HorizonAltitude: the geocentric apparent altitude (radians) of a body's
// centre at the instant it rises or sets on `horizon`; distanceKm is the
// Moon's geocentric distance (ignored for the others).
//   Standard: stars and planets -0°34′ (kStarStandardAltitude), the Sun
//     -0°50′ (kSunStandardAltitude), the Moon 0.7275 π - 0°34′
//     (MoonStandardAltitude: upper limb, refraction and parallax).
//   Centre: 0, the Moon +π (MoonHorizontalParallax: parallax lowers its
//     centre by π on the horizon).
double HorizonAltitude(THorizonBody body, THorizon horizon, double distanceKm = 0.0);

// MoonStandardAltitude: the Moon's standard altitude (radians) at
// geocentric distance distanceKm: h0 = 0.7275 π - 0.5667°, with π =
// arcsin(6378.14 / distance) its horizontal parallax (upper limb,
// refraction and parallax; Meeus, "Astronomical Algorithms", ch. 15).
double MoonStandardAltitude(double distanceKm);
// MoonHorizontalParallax: arcsin(6378.14 / distanceKm), radians: the
// geocentric altitude at which the Moon's centre stands on the
// observer's horizon.
double MoonHorizontalParallax(double distanceKm);

// RiseTransitSet: UT hours in [0, 24) of the rise, the transit and the set
// of a body at fixed (ra, dec) (apparent, of date, radians) on the UT date
// of the record's instant, for the standard altitude h0 (radians; one of
// the constants above). Rise and set are NoEvent when the body is
// circumpolar or never rises. A single pass (Meeus ch. 15 without
// interpolation): exact for a fixed star; for the Sun and the Moon use
// SunRiseTransitSet and MoonRiseTransitSet.
void RiseTransitSet(const TObserverTime& rec, double ra, double dec, double h0, double& rise,
                    double& transit, double& set);

// RiseTransitSetLocal: the same, each time below NoEvent converted to clock
// hours by UTHoursToLocal (the record's current season).
void RiseTransitSetLocal(const TObserverTime& rec, double ra, double dec, double h0, double& rise,
                         double& transit, double& set);

// SunRiseTransitSet: UT hours in [0, 24) of sunrise, the Sun's transit and
// sunset on the UT date of the record's instant (upper limb with standard
// refraction, kSunStandardAltitude), each found by recomputing the Sun's
// apparent place at the event until the time moves by less than 0.1 s.
// Rise and set are NoEvent in polar day and polar night, and any event is
// NoEvent when it falls on no instant of that date.
void SunRiseTransitSet(const TObserverTime& rec, double& rise, double& transit, double& set);

// MoonRiseTransitSet: the same for the Moon, with its standard altitude
// from its distance at the event (MoonStandardAltitude). About once a
// month the Moon has no rise (or no set) on a date: NoEvent.
void MoonRiseTransitSet(const TObserverTime& rec, double& rise, double& transit, double& set);

// A moving body's apparent geocentric right ascension and declination of
// date (radians) at the universal-time Julian date jdUT, with the standard
// altitude h0 (radians) of its rise and set there.
using TBodyPlace = std::function<void(double jdUT, double& ra, double& dec, double& h0)>;

// SunPlace: the Sun's place (SunApparentPosition) with the given altitude
// h0: kSunStandardAltitude for sunrise and sunset, a negative altitude for
// the start and end of a twilight. MoonPlace: the Moon's
// (MoonApparentPosition) with its HorizonAltitude on `horizon` from its
// distance at each instant. Both read the record's nutation and keep a
// reference to it. FixedPlace: a place that does not move (a star, a
// deep-sky object: right ascension and declination of date, radians) with
// the altitude h0.
TBodyPlace SunPlace(const TObserverTime& rec, double h0);
TBodyPlace MoonPlace(const TObserverTime& rec, THorizon horizon = THorizon::Standard);
TBodyPlace FixedPlace(double ra, double dec, double h0);

// A rise (side -1) or a set (side +1), hours after the start of a search.
struct TRiseSetEvent {
  double hours;
  int side;
};

// MovingRiseSetEvents: every rise and set of a moving body in the
// spanHours hours (at most a few days: the sidereal time is advanced at
// its mean rate from startUT) from the UT Julian date startUT, in time
// order: each instant its geocentric apparent altitude crosses its
// standard altitude, to 0.1 s. The altitude is sampled every hour (at
// most) and each change of sign refined; where it turns back towards the
// standard altitude between samples, the turning point is sought, so a
// body that dips below it (or peeps above it) for less than the sampling
// step still gives both its events. Any latitude, the poles included.
std::vector<TRiseSetEvent> MovingRiseSetEvents(const TObserverTime& rec, const TBodyPlace& place, double startUT,
                                               double spanHours);

// MovingRiseTransitSetLocal: clock hours in [0, 24) of the rise, transit
// and set of a moving body in the 24 hours from `fromHour` (clock hours,
// 0 for the day from midnight, 12 for the night from noon to noon) of the
// record's clock date (JD_LocalCivil, with the offset from UT of the
// record's current instant), each converged as in SunRiseTransitSet. An
// event that does not happen in those hours is NoEvent (the Moon skips one
// rise and one set a month; a twilight altitude the Sun does not reach
// gives no rise and no set). Rise and set come from every event in the
// hours (MovingRiseSetEvents); where they hold two rises or two sets (near
// a circumpolar spell at high latitude), the rise is the last one before
// the transit (else the first after it) and the set the first one after
// the transit (else the last before it): the pass that culminates in the
// hours, which a caller follows forward from its rise to its set.
void MovingRiseTransitSetLocal(const TObserverTime& rec, const TBodyPlace& place, double fromHour, double& rise,
                               double& transit, double& set);
