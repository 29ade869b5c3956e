#!/usr/bin/python3
"""Reference instants for the events calendar tests
(tests/tools/refdata/events_calendar_test.cpp), computed once; the test keeps
the printed values as constants.

Source, independent of the code under test: astropy 5.2.1 (Debian package
python3-astropy), get_body('sun' | 'moon', t) (its built-in ephemeris: ERFA
eraEpv00 for the Sun, eraMoon98 for the Moon) transformed to
GeocentricTrueEcliptic(equinox=t): apparent geocentric ecliptic longitudes of
date. A phase is the instant the Moon's longitude less the Sun's is 0, 90,
180 or 270 deg; a season the instant the Sun's longitude is 0, 90, 180 or
270 deg. Crossings are bracketed on an hourly grid and bisected to 0.01 s.
Universal time is taken as UTC.

Usage: /usr/bin/python3 tests/tools/make_calendar_refs.py
"""
import warnings

import numpy as np
from astropy import units as u
from astropy.coordinates import GeocentricTrueEcliptic, get_body
from astropy.time import Time
from astropy.utils import iers

warnings.filterwarnings("ignore")
iers.conf.auto_download = False
iers.conf.iers_degraded_accuracy = "ignore"

# (year, month) spans searched, from two days before the 1st.
SPANS = [(2026, 12), (2031, 6)]


def lon(body, t):
    return get_body(body, t).transform_to(GeocentricTrueEcliptic(equinox=t)).lon.deg


def elongation(t):
    return (lon("moon", t) - lon("sun", t)) % 360


def offset(value, target):
    """value - target folded into [-180, 180)."""
    return (value - target + 180) % 360 - 180


def crossings(f, target, t):
    g = offset(f(t), target)
    for i in range(len(t) - 1):
        if g[i] < 0 <= g[i + 1] and abs(g[i]) < 20:
            a, b = t[i], t[i + 1]
            while (b - a).to(u.s).value > 0.01:
                c = a + (b - a) / 2
                if offset(f(c), target) < 0:
                    a = c
                else:
                    b = c
            yield a


for year, month in SPANS:
    t = Time(f"{year}-{month:02d}-01", scale="utc") - 2 * u.day + np.arange(0, 34 * 24) * u.hour
    for q, name in ((0, "new"), (90, "first quarter"), (180, "full"), (270, "last quarter")):
        for c in crossings(elongation, q, t):
            print(f"{c.iso} UT  {name} moon")
    for q in (0, 90, 180, 270):
        for c in crossings(lambda x: lon("sun", x), q, t):
            print(f"{c.iso} UT  sun at {q} deg")
