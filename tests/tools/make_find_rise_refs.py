#!/usr/bin/python3
"""Reference rise times for the object search's note on a body below the
horizon (tests/tools/find_test.cpp), computed once; the test keeps the
printed values as constants.

Source, independent of the code under test: astropy 5.2.1 (Debian package
python3-astropy). Positions: get_body('sun' | 'moon' | 'jupiter', t,
location) (astropy's built-in ephemeris: ERFA eraEpv00 for the Earth and the
Sun, eraMoon98 for the Moon, eraPlan94 for Jupiter) and Rigel's ICRS place
(Hipparcos, J2000: 78.634467 deg, -8.201638 deg; its proper motion of about
1 mas a year is left out), each transformed to AltAz at the observer without
refraction (pressure 0): the topocentric true altitude of the centre, with
precession, nutation, aberration and, for the Sun, the Moon and Jupiter,
light time and parallax. UT1 = UTC; the polar motion of IERS-B where it
reaches, else its mean.

A rise on the standard horizon is the instant that altitude reaches
  -0.5667 deg (34' of refraction) for Rigel and Jupiter,
  -0.8333 deg (34' and the upper limb's 16') for the Sun,
  -0.5667 deg - asin(1737.4 km / topocentric distance) for the Moon (its
  upper limb with 34' of refraction; parallax is in the topocentric place);
the Moon's centre rises when it reaches 0.

The site is the test's London: latitude 51.5 deg N, longitude 0.1 deg W,
height 0 (geodetic, WGS84). Every crossing in the 24 hours from each start
(rises and sets) is bracketed on a one-minute grid and bisected to 0.1 s.

Usage: /usr/bin/python3 tests/tools/make_find_rise_refs.py
"""
import math
import warnings

import numpy as np
from astropy import units as u
from astropy.coordinates import AltAz, EarthLocation, SkyCoord, get_body
from astropy.time import Time
from astropy.utils import iers

iers.conf.auto_download = False
iers.conf.iers_degraded_accuracy = "warn"
warnings.simplefilter("ignore")

SITE = EarthLocation.from_geodetic(lon=-0.1 * u.deg, lat=51.5 * u.deg, height=0 * u.m)
RIGEL = SkyCoord(ra=78.634467 * u.deg, dec=-8.201638 * u.deg, frame="icrs")
MOON_RADIUS_KM = 1737.4

# Name, start (UTC), horizon: "standard" or "centre".
CASES = [
    ("rigel", "2026-01-10 12:00:00", "standard"),
    ("jupiter", "2026-01-10 12:00:00", "standard"),
    ("sun", "2026-01-10 00:00:00", "standard"),
    ("moon", "2026-01-10 12:00:00", "standard"),
    ("moon", "2026-01-10 12:00:00", "centre"),
    ("sun", "2026-01-10 12:00:00", "standard"),
    ("sun", "2026-01-10 12:00:00", "centre"),
]


def excess(name, horizon, jd):
    """Altitude of the centre above the horizon's altitude, degrees."""
    t = Time(jd, format="jd", scale="utc")
    t.delta_ut1_utc = 0.0
    frame = AltAz(obstime=t, location=SITE, pressure=0 * u.hPa)
    if name == "rigel":
        c = RIGEL.transform_to(frame)
    else:
        c = get_body(name, t, SITE).transform_to(frame)
    alt = c.alt.to_value(u.deg)
    if horizon == "centre":
        return alt
    if name == "sun":
        return alt + 0.8333
    if name == "moon":
        return alt + 0.5667 + np.degrees(np.arcsin(MOON_RADIUS_KM / c.distance.to_value(u.km)))
    return alt + 0.5667


def main():
    for name, start, horizon in CASES:
        t0 = Time(start, scale="utc").jd
        grid = t0 + np.arange(0, 1441) / 1440.0
        f = excess(name, horizon, grid)
        for i in np.nonzero((f[:-1] < 0) != (f[1:] < 0))[0]:
            a, b, fa = grid[i], grid[i + 1], f[i]
            while b - a > 0.1 / 86400.0:
                m = 0.5 * (a + b)
                fm = excess(name, horizon, np.array([m]))[0]
                if (fm < 0) == (fa < 0):
                    a, fa = m, fm
                else:
                    b = m
            jd = 0.5 * (a + b)
            hours = (jd - math.floor(jd - 0.5) - 0.5) * 24.0
            hms = Time(jd, format="jd", scale="utc").iso
            event = "rises" if f[i] < 0 else "sets "
            print("%-8s %-8s from %s: %s %s UT = %.4f h" % (name, horizon, start, event, hms, hours))


if __name__ == "__main__":
    main()
