#!/usr/bin/env python3
"""Independent FITS checks for the imaging tests, through astropy.io.fits.

check FILE VALUES [KEY=VALUE ...]
    Opens FILE with astropy (output_verify strictness: "exception"), compares
    its scaled data with the numbers in VALUES (flat, plane-major, row 0
    first) and each header card KEY with VALUE; prints OK or what differs.
cases FOLDER
    Writes one file per element type (BITPIX 8, 16, 32, -32, -64), plain
    and with BSCALE and BZERO as astropy writes them (unsigned and signed
    bytes, 16 and 32 bits; scaled integers and floats), negative values
    where the type has them, each with a header longer than one block
    (60 HISTORY cards), EXPTIME 12.5, FILTER "Red / wide" and BACKGRND 3.
    Next to NAME.fits, NAME.txt holds the values astropy reads from it;
    the names are printed.
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
    shape = (5, 7)

    def spread(lo, hi, shape=shape):
        """Values from lo to hi: both ends, -1, 0 and 1 where inside, random."""
        v = rng.uniform(lo, hi, size=shape).ravel()
        ends = [x for x in (lo, hi, -1, 0, 1) if lo <= x <= hi]
        v[:len(ends)] = ends
        return v.reshape(shape)

    def plain(dtype, shape=shape):
        if np.dtype(dtype).kind == "f":
            return spread(-1e30, 1e30, shape).astype(dtype)
        info = np.iinfo(dtype)
        return np.round(spread(float(info.min), float(info.max), shape)).astype(dtype)

    def scaled(dtype, bscale, bzero):
        info = np.iinfo(dtype) if np.dtype(dtype).kind != "f" else None
        lo, hi = (bzero + bscale * info.min, bzero + bscale * info.max) if info else (-1e6, 1e6)
        hdu = fits.PrimaryHDU(spread(lo, hi))
        hdu.scale(dtype, bscale=bscale, bzero=bzero)
        return hdu

    hdus = {
        "u8": fits.PrimaryHDU(plain("uint8")),
        "i8": fits.PrimaryHDU(plain("int8")),
        "u8_scaled": scaled("uint8", 0.5, -20),
        "i16": fits.PrimaryHDU(plain("int16")),
        "i16_planes": fits.PrimaryHDU(plain("int16", (3, 5, 7))),
        "u16": fits.PrimaryHDU(plain("uint16")),
        "i16_scaled": scaled("int16", 0.25, -1000),
        "i16_bzero": scaled("int16", 1, 5),
        "i32": fits.PrimaryHDU(plain("int32")),
        "u32": fits.PrimaryHDU(plain("uint32")),
        "i32_scaled": scaled("int32", 3, 7),
        "f32": fits.PrimaryHDU(plain("float32")),
        "f32_scaled": scaled("float32", 2, 1),
        "f64": fits.PrimaryHDU(plain("float64")),
    }
    for name, hdu in hdus.items():
        hdu.header["EXPTIME"] = (12.5, "seconds")
        hdu.header["FILTER"] = "Red / wide"
        for i in range(60):
            hdu.header.add_history("history line %d" % i)
        hdu.header["BACKGRND"] = 3.0
        path = "%s/%s.fits" % (folder, name)
        hdu.writeto(path, overwrite=True)
        values = np.asarray(fits.getdata(path), dtype=np.float64).ravel()
        np.savetxt("%s/%s.txt" % (folder, name), values, fmt="%.17g")
    print("\n".join(hdus))
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "check":
        sys.exit(check(sys.argv[2], sys.argv[3], sys.argv[4:]))
    sys.exit(cases(sys.argv[2]))
