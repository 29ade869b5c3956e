#!/usr/bin/env python3
"""Independent FITS checks for the imaging tests, through astropy.io.fits.

check FILE VALUES [KEY=VALUE ...]
    Opens FILE with astropy (output_verify strictness: "exception"), compares
    its scaled data with the numbers in VALUES (flat, plane-major, row 0
    first) and each header card KEY with VALUE; prints OK or what differs.
cases FOLDER
    Writes NAME.fits for every BITPIX, plain and scaled as astropy writes
    them (header over a block: 60 HISTORY cards, EXPTIME 12.5, FILTER "Red /
    wide", BACKGRND 3), NAME.txt with the values astropy reads; prints NAME.
"""
import sys

import numpy as np
from astropy.io import fits


def check(path, values_path, cards):
    with fits.open(path, mode="readonly") as hdul:
        hdul.verify("exception")
        hdu = hdul[0]
        data = np.asarray(hdu.data, dtype=np.float64).ravel()
        expected = np.loadtxt(values_path, dtype=np.float64, ndmin=1)
        if data.shape != expected.shape:
            print("shape", data.shape, expected.shape)
            return 1
        if not np.allclose(data, expected, rtol=1e-6, atol=0):
            bad = np.nonzero(~np.isclose(data, expected, rtol=1e-6, atol=0))[0][:5]
            print("data differs at", bad, data[bad], expected[bad])
            return 1
        for item in cards:
            key, value = item.split("=", 1)
            got = hdu.header.get(key)
            if str(got) != value:
                print("card", key, repr(got), "expected", repr(value))
                return 1
    print("OK")
    return 0


def cases(folder):
    rng = np.random.default_rng(29)
    hdus = {}
    for dtype in ("uint8", "int8", "int16", "uint16", "int32", "uint32", "float32", "float64"):
        lo, hi = (-1e30, 1e30) if dtype[0] == "f" else (np.iinfo(dtype).min, np.iinfo(dtype).max)
        v = rng.uniform(lo, hi, size=35)
        v[:5] = [lo, hi] + list(np.clip([-1, 0, 1], lo, hi))
        hdus[dtype] = fits.PrimaryHDU(np.round(v).astype(dtype).reshape(5, 7))
    hdus["int16_planes"] = fits.PrimaryHDU(rng.integers(-32768, 32767, size=(3, 5, 7), dtype=np.int16))
    for dtype, bscale, bzero in (("uint8", 0.5, -20), ("int16", 0.25, -1000), ("int16", 1, 5),
                                 ("int32", 3, 7), ("float32", 2, 1), ("float64", 0.5, 3)):
        hdu = hdus["%s_%g_%g" % (dtype, bscale, bzero)] = fits.PrimaryHDU(rng.uniform(-20, 100, size=(5, 7)))
        hdu.scale(dtype, bscale=bscale, bzero=bzero)
    for name, hdu in hdus.items():
        hdu.header["EXPTIME"] = (12.5, "seconds")
        hdu.header["FILTER"] = "Red / wide"
        hdu.header["BACKGRND"] = 3.0
        for i in range(60):
            hdu.header.add_history("history line %d" % i)
        hdu.writeto("%s/%s.fits" % (folder, name), overwrite=True)
        values = np.asarray(fits.getdata("%s/%s.fits" % (folder, name)), dtype=np.float64).ravel()
        np.savetxt("%s/%s.txt" % (folder, name), values, fmt="%.17g")
    print("\n".join(hdus))
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "check":
        sys.exit(check(sys.argv[2], sys.argv[3], sys.argv[4:]))
    sys.exit(cases(sys.argv[2]))
