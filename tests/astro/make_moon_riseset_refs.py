#!/usr/bin/python3
"""Reference Moon rises and sets at high northern latitudes over a year, for
tests/astro/riseset_test.cpp, computed once and kept in
tests/astro/data/moon_riseset_astropy.txt.

Source, independent of the code under test: astropy 5.2.1 (Debian package
python3-astropy), get_body('moon', t) (its built-in ephemeris, ERFA's
eraMoon98) transformed to TETE(obstime=t) at the geocentre for the apparent
right ascension and declination of date and the distance; Greenwich apparent
sidereal time from Time.sidereal_time('apparent', 'greenwich') (ERFA
eraGst06a) with UT1 = UTC.

A rise or set is the instant the geocentric apparent altitude of the Moon's
centre is h0 = 0.7275 * parallax - 0.5667 deg, parallax = asin(6378.14 km /
distance) (Meeus, Astronomical Algorithms, ch. 15). Every crossing is
bracketed on a one-minute grid over the span and refined by bisection to
0.01 s; local minima and maxima of (altitude - h0) on the grid that come
within 0.05 deg of zero are listed as comments, so that a crossing pair
closer than the grid step would be seen.

Usage: make_moon_riseset_refs.py > tests/astro/data/moon_riseset_astropy.txt
"""
import math

import numpy as np
from astropy import units as u
from astropy.coordinates import TETE, get_body
from astropy.time import Time
from astropy.utils import iers

iers.conf.auto_download = False

# Sites: name, latitude (deg, north), longitude (deg, east); the span in UT.
SITES = [("Reykjavik", 64.1466, -21.9426), ("Longyearbyen", 78.2232, 15.6267), ("North Pole", 90.0, 0.0)]
SPAN = ("2024-01-01 12:00:00", "2025-01-01 12:00:00")
D2R = math.pi / 180.0


def places(jd_utc):
    """Apparent geocentric RA, Dec (radians) of date, distance (km), and
    Greenwich apparent sidereal time (radians) at the UTC Julian dates."""
    t = Time(jd_utc, format="jd", scale="utc")
    t.delta_ut1_utc = 0.0
    moon = get_body("moon", t).transform_to(TETE(obstime=t))
    gast = t.sidereal_time("apparent", "greenwich").to_value(u.rad)
    return (moon.ra.to_value(u.rad), moon.dec.to_value(u.rad), moon.distance.to_value(u.km), gast)


def excess(jd_utc, lat, lon_east):
    """Altitude minus h0 (degrees) at the instants."""
    ra, dec, dist, gast = places(jd_utc)
    h = gast + lon_east * D2R - ra
    phi = lat * D2R
    alt = np.arcsin(np.sin(phi) * np.sin(dec) + np.cos(phi) * np.cos(dec) * np.cos(h))
    h0 = 0.7275 * np.arcsin(6378.14 / dist) - 0.5667 * D2R
    return (alt - h0) / D2R


def main():
    t0 = Time(SPAN[0], scale="utc").jd
    t1 = Time(SPAN[1], scale="utc").jd
    print("# Moon rises and sets, computed once with astropy 5.2.1 (python3-astropy):")
    print("# get_body('moon') (ERFA eraMoon98) in TETE at the geocentre, sidereal time")
    print("# eraGst06a with UT1 = UTC; the instant the geocentric apparent altitude of")
    print("# the centre is 0.7275 * asin(6378.14 km / distance) - 0.5667 deg (Meeus ch. 15).")
    print("# Every crossing over %s to %s UT, bracketed on a 1-minute grid" % SPAN)
    print("# and bisected to 0.01 s (tests/astro/make_moon_riseset_refs.py).")
    print("# Columns: latitude (deg N), longitude (deg W), JD_UT, -1 rise or +1 set.")
    for name, lat, lon in SITES:
        print("# %s" % name)
        grid = np.arange(t0, t1 + 1e-9, 1.0 / 1440.0)
        f = np.concatenate([excess(grid[i:i + 50000], lat, lon) for i in range(0, len(grid), 50000)])
        # Turning points close to h0, where a small error of the Moon's place
        # would add or remove a pair of events, for the record.
        for i in range(1, len(f) - 1):
            if (f[i] - f[i - 1]) * (f[i + 1] - f[i]) < 0 and abs(f[i]) < 0.05:
                print("# turning point %+.4f deg from h0 at JD %.5f" % (f[i], grid[i]))
        idx = np.nonzero(np.sign(f[:-1]) != np.sign(f[1:]))[0]
        a, b = grid[idx].copy(), grid[idx + 1].copy()
        fa = f[idx].copy()
        while np.max(b - a) > 0.01 / 86400.0:
            m = 0.5 * (a + b)
            fm = excess(m, lat, lon)
            left = np.sign(fm) == np.sign(fa)
            a = np.where(left, m, a)
            fa = np.where(left, fm, fa)
            b = np.where(left, b, m)
        for k, jd in enumerate(0.5 * (a + b)):
            print("%.4f %.4f %.7f %d" % (lat, -lon, jd, -1 if f[idx[k]] < 0 else 1))


if __name__ == "__main__":
    main()
