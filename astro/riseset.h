// Rise, transit and set of a fixed position on the record's date.
#pragma once

struct TObserverTime;

// The value of an event that does not happen that day.
inline constexpr double NoEvent = 999999.0;

// RiseTransitSet: UT hours in [0, 24) of the rise, the transit and the set
// of a body at fixed (ra, dec) (apparent, of date, radians) on the UT date
// of the record's instant, for the standard altitude -0.5667°. Rise and set
// are NoEvent when the body is circumpolar or never rises. A single pass
// (Meeus ch. 15 without interpolation): exact for a fixed star, for the Sun
// and Moon within their motion during the day.
void RiseTransitSet(const TObserverTime& rec, double ra, double dec, double& rise,
                    double& transit, double& set);

// RiseTransitSetLocal: the same, each time below NoEvent converted to clock
// hours by UTHoursToLocal (the record's current season).
void RiseTransitSetLocal(const TObserverTime& rec, double ra, double dec, double& rise,
                         double& transit, double& set);
