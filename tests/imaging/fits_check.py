#!/usr/bin/env python3
"""Independent FITS checks for the imaging tests, through astropy.io.fits.

check FILE VALUES [KEY=VALUE ...]
    Opens FILE with astropy (output_verify strictness: "exception"), compares
    its scaled data with the numbers in VALUES (flat, plane-major, row 0
    first) and each header card KEY with VALUE; prints OK or what differs.
write FILE
    Writes a 16-bit image with BZERO 32768 and a header longer than one
    block (60 HISTORY cards), values v = x + 100 * y, 5 x 4 pixels.
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


def write(path):
    y, x = np.mgrid[0:4, 0:5]
    data = (x + 100 * y).astype(np.int32)
    hdu = fits.PrimaryHDU((data - 32768).astype(np.int16))
    hdu.header["BZERO"] = 32768
    hdu.header["EXPTIME"] = (12.5, "seconds")
    hdu.header["FILTER"] = "Red / wide"
    for i in range(60):
        hdu.header.add_history("history line %d" % i)
    hdu.header["BACKGRND"] = 3.0
    hdu.writeto(path, overwrite=True)
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "check":
        sys.exit(check(sys.argv[2], sys.argv[3], sys.argv[4:]))
    sys.exit(write(sys.argv[2]))
