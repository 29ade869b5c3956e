#!/usr/bin/python3
"""Reference values for the planet and rise/set tests (tests/astro/planets_test.cpp,
tests/astro/riseset_test.cpp), computed once: the planets' places are kept in
tests/astro/data/planets_de431.txt, the rise and set instants as constants.

Sources, independent of the code under test:
  * Planets and the Moon: the Swiss Ephemeris (Debian packages swetest and
    swe-basic-data; its files sepl_18.se1 and semo_18.se1 are a compression of
    JPL's DE431 good to about 0.001"), apparent geocentric (and topocentric)
    right ascension and declination of date, IAU 2006 precession, IAU 2000
    nutation, aberration, light time and deflection. ERFA's eraPlan94 is NOT
    used for the planets: its documented error reaches 78-87" for Jupiter to
    Uranus over 1800-2100, more than the 1' the tests check.
  * The Sun for sunrise and sunset: ERFA (python3-erfa): eraEpv00 for the
    Earth, eraAb for aberration, eraPnm06a for precession-nutation.
  * Sidereal time: ERFA eraGst06a, with the universal time taken as UT1.
Rise and set follow the almanac definition: the instant the geocentric
apparent altitude of the body's centre is h0 = -0.8333 deg for the Sun and
h0 = 0.7275 * parallax - 0.5667 deg for the Moon (Meeus, Astronomical
Algorithms, ch. 15).

Usage: make_planet_refs.py             prints the planet rows and the C++ constants
       make_planet_refs.py --dense F   writes JD_TT, planet, RA, Dec (degrees) every
                                       36.53 days over 1900-2100 to F (accuracy survey)
"""
import math
import subprocess
import sys

import erfa
import numpy as np

EPHE = "/usr/share/libswe/ephe"
PLANETS = "23456789"  # Swiss Ephemeris numbers of Mercury .. Pluto
D2R = math.pi / 180.0


def swetest(args):
    out = subprocess.run(["swetest", "-head", "-eswe", "-edir" + EPHE, "-g,"] + args,
                         check=True, capture_output=True, text=True).stdout
    return [[f.strip() for f in line.split(",")] for line in out.splitlines() if line.strip()]


def planets_at(jd_tt, topo=None):
    """Apparent RA, Dec (degrees) of date of Mercury .. Pluto at jd_tt."""
    args = ["-bj%.6f" % jd_tt, "-p" + PLANETS, "-fPad"]
    if topo:
        args.append("-topo%.6f,%.6f,%.1f" % topo)
    return [(float(r[1]), float(r[2])) for r in swetest(args)]


def delta_t_days(jd):
    # TT - UT from ERFA's leap seconds plus 32.184 s (2026: 69.184 s).
    y, m, d, f = erfa.jd2cal(jd, 0.0)
    return (32.184 + erfa.dat(y, m, d, f)) / 86400.0


def sun_radec(jd_ut):
    """Geocentric apparent RA, Dec (radians) of date of the Sun (ERFA)."""
    tt = jd_ut + delta_t_days(jd_ut)
    pvh, pvb = erfa.epv00(tt, 0.0)
    # Sun as seen from the Earth, light time about 8.3 min (the Sun's own
    # motion about the barycentre in that time is negligible).
    p = -pvh[0]
    r = np.linalg.norm(p)
    v = pvb[1] / 173.1446326846693  # barycentric velocity in units of c
    ppr = erfa.ab(p / r, v, r, math.sqrt(1.0 - np.dot(v, v)))
    rnpb = erfa.pnm06a(tt, 0.0)
    q = rnpb @ ppr
    return math.atan2(q[1], q[0]) % (2 * math.pi), math.asin(q[2])


def moon_table(jd0_ut, step_min=10):
    """Geocentric apparent RA, Dec (radians), distance (km) of the Moon every
    step_min minutes over a day and a half from jd0_ut (Swiss Ephemeris)."""
    n = int(36 * 60 / step_min) + 1
    rows = [jd0_ut + i * step_min / 1440.0 for i in range(n)]
    tt0 = jd0_ut + delta_t_days(jd0_ut)
    out = swetest(["-bj%.8f" % tt0, "-p1", "-fPadR", "-n%d" % n, "-s%dm" % step_min])
    ra = np.unwrap([float(r[1]) * D2R for r in out])
    dec = np.array([float(r[2]) * D2R for r in out])
    dist = np.array([float(r[3]) * 149597870.7 for r in out])
    return np.array(rows), ra, dec, dist


def altitude(jd_ut, ra, dec, lon_east, lat):
    tt = jd_ut + delta_t_days(jd_ut)
    gast = erfa.gst06a(jd_ut, 0.0, tt, 0.0)
    h = gast + lon_east - ra
    return math.asin(math.sin(lat) * math.sin(dec) + math.cos(lat) * math.cos(dec) * math.cos(h))


def find_events(f, jd0):
    """Rise (f goes up through 0) and set instants (UT hours) on the UT day jd0."""
    rise = set_ = None
    step = 5.0 / 1440.0
    t = jd0
    a = f(t)
    while t < jd0 + 1.0:
        b = f(t + step)
        if a < 0 <= b or a >= 0 > b:
            lo, hi, flo = t, t + step, a
            for _ in range(60):
                mid = 0.5 * (lo + hi)
                fm = f(mid)
                if (fm < 0) == (flo < 0):
                    lo, flo = mid, fm
                else:
                    hi = mid
            hours = (0.5 * (lo + hi) - jd0) * 24.0
            if a < 0:
                rise = hours
            else:
                set_ = hours
        t += step
        a = b
    return rise, set_


SITES = {  # name: (east longitude deg, latitude deg, height m)
    "Greenwich": (-0.0015, 51.4779, 46.0),
    "Sydney": (151.2093, -33.8688, 58.0),
    "Tromso": (18.9553, 69.6492, 10.0),
}
SUN_DATES = [(2026, 3, 20), (2026, 6, 21), (2026, 12, 21)]
MOON_DATES = [(2026, 3, 20), (2026, 6, 21), (2026, 9, 23)]


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--dense":
        with open(sys.argv[2], "w") as fh:
            jd = 2415020.5
            while jd < 2488070.0:
                for k, (ra, dec) in enumerate(planets_at(jd)):
                    fh.write("%.6f %d %.9f %.9f\n" % (jd, k + 1, ra, dec))
                jd += 36.53
        return

    # Rows of planets_de431.txt: JD_TT, then RA, Dec of date (degrees) of
    # Mercury..Pluto with 0 0 in the Earth's slot; the last row topocentric at
    # Greenwich, 2026 Jun 15 0h TT.
    def row(jd, vals):
        vals = vals[:2] + [None] + vals[2:]
        return "%.1f " % jd + " ".join("%.7f %.7f" % v if v else "0 0" for v in vals)
    for jd in (2415020.5, 2433282.5, 2451545.0, 2461206.5, 2488069.5):
        print(row(jd, planets_at(jd)))
    print(row(2461206.5, planets_at(2461206.5, SITES["Greenwich"])))

    print("// Sunrise and sunset, UT hours (NaN: no event)")
    for name, (lon, lat, h) in SITES.items():
        for (y, m, d) in SUN_DATES:
            jd0 = sum(erfa.cal2jd(y, m, d))
            f = lambda t: altitude(t, *sun_radec(t), lon * D2R, lat * D2R) - (-0.8333 * D2R)
            rise, set_ = find_events(f, jd0)
            print('    {"%s", %d, %d, %d, %s, %s},' % (name, y, m, d,
                  "%.6f" % rise if rise is not None else "kNone",
                  "%.6f" % set_ if set_ is not None else "kNone"))

    print("// Moonrise and moonset, UT hours")
    for name in ("Greenwich", "Sydney"):
        lon, lat, h = SITES[name]
        for (y, m, d) in MOON_DATES:
            jd0 = sum(erfa.cal2jd(y, m, d))
            jds, ra, dec, dist = moon_table(jd0 - 0.25)

            def f(t):
                r = np.interp(t, jds, ra)
                de = np.interp(t, jds, dec)
                di = np.interp(t, jds, dist)
                # Cubic accuracy is not needed: 10-minute steps, linear
                # interpolation errs by under 0.5" in the Moon's place.
                h0 = 0.7275 * math.asin(6378.14 / di) - 0.5667 * D2R
                return altitude(t, r, de, lon * D2R, lat * D2R) - h0
            rise, set_ = find_events(f, jd0)
            print('    {"%s", %d, %d, %d, %s, %s},' % (name, y, m, d,
                  "%.6f" % rise if rise is not None else "kNone",
                  "%.6f" % set_ if set_ is not None else "kNone"))


if __name__ == "__main__":
    main()
