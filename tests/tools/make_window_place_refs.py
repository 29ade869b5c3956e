#!/usr/bin/python3
"""Reference places for the star and solar-system information windows at a
northern and a southern site far from Greenwich
(tests/tools/refdata/star_info_test.cpp, tests/tools/solsys_info_test.cpp),
computed once; the tests keep the printed rows as constants.

Source, independent of the code under test: astropy 5.2.1 (Debian package
python3-astropy), no refraction (pressure 0). Universal time is astropy's
UT1: from its bundled IERS-B table in 1995 (0.25 s from UTC there, about 4"
in azimuth: the program takes the clock's UT as UT1), UTC later.
  * Stars: the SIMBAD places (Hipparcos new reduction, van Leeuwen 2007) with
    their proper motions, parallaxes and radial velocities, moved to the
    instant (apply_space_motion), then TETE(obstime=t): the apparent
    geocentric place of date; AltAz(location) for the altitude and azimuth.
  * The Sun, the Moon and Venus: get_body(name, t, location) (ERFA eraEpv00,
    eraMoon98, eraPlan94; light time and aberration included) in
    TETE(obstime=t, location): the apparent topocentric place of date the
    window titles "Apparent Topocentric Coordinates"; AltAz as above.
    eraPlan94's Venus is good to a few arcseconds; its outer planets are
    not used (errors up to 80").
Sites (geodetic, WGS84): Boulder 40.0 N, 105.25 W, 1650 m; Auckland 36.85 S,
174.76 E, 0 m.

Usage: /usr/bin/python3 tests/tools/make_window_place_refs.py
"""
import warnings

from astropy import units as u
from astropy.coordinates import TETE, AltAz, Distance, EarthLocation, SkyCoord, get_body
from astropy.time import Time
from astropy.utils import iers

warnings.filterwarnings("ignore")
iers.conf.auto_download = False
iers.conf.iers_degraded_accuracy = "ignore"

SITES = {"Boulder": EarthLocation.from_geodetic(-105.25 * u.deg, 40.0 * u.deg, 1650 * u.m),
         "Auckland": EarthLocation.from_geodetic(174.76 * u.deg, -36.85 * u.deg, 0 * u.m)}
# JD UT: 2026-12-08 10:00, 2031-06-21 04:00, 1995-03-01 20:00.
INSTANTS = [2461382.5 + 10 / 24, 2463038.5 + 4 / 24, 2449777.5 + 20 / 24]
# SAO, name: ICRS ra, dec (deg), pm ra*cos(dec), pm dec (mas/yr), parallax (mas), rv (km/s).
STARS = [(151881, "Sirius", 101.28715533, -16.71611586, -546.01, -1223.07, 379.21, -5.50),
         (67174, "Vega", 279.23473479, 38.78368896, 200.94, 286.23, 130.23, -20.60),
         (308, "Polaris", 37.95456067, 89.26410897, 44.48, -11.85, 7.54, -17.4),
         (234480, "Canopus", 95.98795783, -52.69566138, 19.93, 23.24, 10.55, 20.3)]
BODIES = [(10, "sun"), (9, "moon"), (1, "venus")]

print("// stars: site, JD UT, SAO, apparent RA, Dec (deg), altitude, azimuth (deg)")
for site, loc in SITES.items():
    for jd in INSTANTS:
        t = Time(jd, format="jd", scale="utc")
        for sao, name, ra, dec, pmra, pmdec, plx, rv in STARS:
            c = SkyCoord(ra=ra * u.deg, dec=dec * u.deg, pm_ra_cosdec=pmra * u.mas / u.yr,
                         pm_dec=pmdec * u.mas / u.yr, distance=Distance(parallax=plx * u.mas),
                         radial_velocity=rv * u.km / u.s, obstime=Time("J2000"), frame="icrs")
            c = c.apply_space_motion(new_obstime=t)
            ap = c.transform_to(TETE(obstime=t))
            aa = c.transform_to(AltAz(obstime=t, location=loc, pressure=0))
            print(f"{{k{site}, {jd:.6f}, {sao}, {ap.ra.deg:.7f}, {ap.dec.deg:.7f}, "
                  f"{aa.alt.deg:.6f}, {aa.az.deg:.6f}}},  // {name}")
print("// bodies: site, JD UT, index, topocentric apparent RA, Dec (deg), altitude, azimuth (deg)")
for site, loc in SITES.items():
    for jd in INSTANTS:
        t = Time(jd, format="jd", scale="utc")
        for index, name in BODIES:
            b = get_body(name, t, loc)
            ap = b.transform_to(TETE(obstime=t, location=loc))
            aa = b.transform_to(AltAz(obstime=t, location=loc, pressure=0))
            print(f"{{k{site}, {jd:.6f}, {index}, {ap.ra.deg:.7f}, {ap.dec.deg:.7f}, "
                  f"{aa.alt.deg:.6f}, {aa.az.deg:.6f}}},  // {name}")
