#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into OUTDIR/<target>/.

Usage: make_seeds.py OUTDIR [SOURCES]

The program's own files are made here, small and valid, in the layouts the
readers expect (and the unit tests write). The noctra-mkdata parsers get
the first entries of the public source files in SOURCES (default
$NOCTRA_SOURCES or ~/.cache/noctra-sources, see data/sources.sh), cut down
to a few kilobytes while keeping their structure; a source that is not
installed gives a small hand-made sample instead, except under CI
(NOCTRA_CI=1), where it is an error.
"""

import gzip
import json
import os
import sqlite3
import struct
import sys
import tempfile

SEP = b"\n@@\n"  # separates the files of one input (tests/fuzz/fuzz_support.h)


def present(path, package):
    """True when `path` exists; under CI (NOCTRA_CI=1) a missing one ends the
    script naming the package that provides it."""
    if os.path.exists(path):
        return True
    if os.environ.get("NOCTRA_CI", "") not in ("", "0"):
        sys.exit("make_seeds.py: %s is missing under CI: install %s" % (path, package))
    return False


def write(out, target, name, data):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def head_lines(path, count):
    with open(path, "rb") as f:
        return b"".join(f.readline() for _ in range(count))


# --- The program's files -----------------------------------------------------------


def bounds_record(hours, degrees, abbr):
    return ("%8.5f %+9.5f %-4s  \r\n" % (hours, degrees, abbr)).encode()


def sao_record(ra_units, dec_units, mag_byte, note_offset):
    # 31 bytes: flags, HD, Greek, Flamsteed, constellation, RA, pmRA, Dec,
    # pmDec, magnitude, colour, spectral, parallax, note offset.
    return struct.pack("<HIBBBihihBBHHI", 0x0005, 48915, 10, 9, 9, ra_units, -546, dec_units,
                       -1223, mag_byte, 20, 311, 411, note_offset)[:31]


def tycho_record(ra_units, dec_units, mag_byte):
    return struct.pack("<HHBIihihB", 12, 345, 1, 0, ra_units, 10, dec_units, -5, mag_byte)[:22]


def program_seeds(out):
    write(out, "bounds", "three_runs",
          bounds_record(22.5, 35.5, "AND") + bounds_record(23.0, 35.5, "AND") +
          bounds_record(0.25, -89.99, "OCT") + bounds_record(3, 5, "SER1") + bounds_record(3.5, 5, "SER1"))
    write(out, "bounds", "across_0h", bounds_record(23.9, 10, "PSC") + bounds_record(0.1, 10, "PSC"))

    unit = 2147483647 / 360.0
    notes = "N:   Sirius~B:   alpha CMa~V:   none|N:   Vega|".encode("cp1252")
    sao = b"\0" * 31 + sao_record(int(101.287 * unit), int(-16.716 * unit), 5, 1) + \
        sao_record(int(279.23 * unit), int(38.78 * unit), 20, 43)
    tycho = tycho_record(int(10 * unit), int(20 * unit), 110) + tycho_record(int(350 * unit), int(-80 * unit), 120)
    write(out, "star_catalog", "two_stars", sao + SEP + tycho + SEP + notes)
    write(out, "star_notes", "sirius", struct.pack("<I", 1) + notes)
    write(out, "star_notes", "vega", struct.pack("<I", 43) + notes)

    header_a = (";Minor planet elements\r\n;Noctra Planetarium 3.27\r\n;Ecliptic plane and equinox=J2000.0\r\n"
                ";Sh NAME                           julian epoch M         a         e         Peri      Node      Incl      H     G\r\n"
                ";23 123456789012345678901234567890 123456789012 123456789 123456789 123456789 123456789 123456789 123456789 12345 12345\r\n")
    line_a = ("Y   (1) Ceres                      2461000.5    60.0786   2.766     0.0789    73.6      80.25     10.59     3.34  0.12 \r\n")
    write(out, "element_files", "native_ast", b"\0" + (header_a + line_a).encode())
    header_c = header_a.replace("Minor planet elements", "Comet elements").replace("M         a", "q         a")
    line_c = ("Y   1P/Halley                      2446470.9    0.586     0.967     111.33    58.42     162.26    5.5   4.0  \r\n")
    write(out, "element_files", "native_cmt", b"\1" + (header_c + line_c).encode())
    template = ("[NAME]\nSTART=1\nLEN=10\n[EPOCH CODED]\nSTART=12\nLEN=5\n[MEAN ANOMALY]\nSTART=18\nLEN=6\n"
                "[SEMIMAJOR AXIS]\nSTART=25\nLEN=6\n[ECCENTRICITY]\nSTART=32\nLEN=6\n"
                "[LONGITUDE OF PERIHELION]\nSTART=39\nLEN=5\n[LONGITUDE OF ASCENDING NODE]\nSTART=45\nLEN=5\n"
                "[INCLINATION]\nSTART=51\nLEN=5\n[ABSOLUTE MAGNITUDE]\nSTART=57\nLEN=4\n[MAGNITUDE SLOPE]\nSTART=62\nLEN=4\n")
    mpc = ("Name       Epoch M      a      e      Peri  Node  Incl  H    G\r\n"
           "Ceres      K107N 60.080 2.7660 0.0790 73.60 80.25 10.59 3.34 0.12\r\n"
           "Eros       J9611 310.50 1.4580 0.2228 178.9 304.3 10.83 10.4 0.46\r\n")
    write(out, "element_files", "template_ast", b"\0" + mpc.encode() + SEP + template.encode())

    nebula = struct.pack("<HBdd", 1, 0, 1.0, 0.5) + struct.pack("<HBdd", 0xFFFF, 0, 1.1, 0.6)
    messier = struct.pack("<110i", *range(1, 111))
    milky = struct.pack("<dd", 1.0, 0.2) + struct.pack("<dd", 1.1, 0.3) + struct.pack("<dd", -1.0, 0.0)
    lines = struct.pack("<HhB", 0, 0, 0) + struct.pack("<HhB", 1000, 2000, 1) + struct.pack("<HhB", 1100, 2100, 1)
    city = bytes([6]) + b"Berlin" + b"\0" * 16 + bytes(6) + bytes(6) + struct.pack("<h", 101)
    write(out, "reference_files", "small", nebula + SEP + messier + SEP + milky + SEP + lines + SEP + city * 3)

    xml = ('<?xml version="1.0" encoding="UTF-8" standalone="no" ?>\n<!DOCTYPE Settings SYSTEM "sth.dtd">\n'
           "<Settings>\n  <Selections>\n    <Width>640</Width>\n    <Scale>1.5</Scale>\n    <Show>True</Show>\n"
           "    <Name>M 31 Andromeda</Name>\n    <Catalog1>NGC</Catalog1>\n  </Selections>\n</Settings>\n")
    write(out, "xml_settings", "settings", xml)
    write(out, "xml_settings", "latin1", xml.replace("UTF-8", "ISO-8859-1").replace("Andromeda", "Androm\xe9da")
          .encode("latin-1"))
    # A UTF-7 file whose document type name decodes to a NUL.
    write(out, "xml_settings", "utf7_doctype", xml.replace("UTF-8", "UTF-7").replace("DOCTYPE Settings", "DOCTYPE Set+AAA-tings"))

    # The settings store: a file in the store's syntax with the values that
    # once changed on every save, one from Qt's writer (a string list with
    # an empty first item and "@" doubled in each item, blanks around
    # values), then key and value pairs in UTF-16.
    nbsp = "\u00a0"
    store = ("[General]\nversion=3\n\n[%General]\nx=1\n\n[ASCOM]\nSCOPE_NAME=\",Simulator\"\nAT=@@x\n"
             "NBSP=\"" + nbsp + "padded" + nbsp + "\"\nQUOTES=\"\\\"q\\\" \\\\ b\"\nSEPARATORS=\"a,b;c=d\"\n"
             "CONTROLS=\\t\\x1\\x31\\n\n\n[%DCber]\ncl%E9%20%U65E5=\\xd800\n")
    write(out, "settings_store", "odd_values", store)
    write(out, "settings_store", "qt_list", "[ASCOM]\r\nSCOPE_NAME=,Simulator\r\nNAMES=@@a, \"@@b \"\r\n"
          "FOCUSER_NAME =  " + nbsp + "Focuser 1" + nbsp + " \r\n@Invalid=@Invalid()\r\n")
    pairs = ["ASCOM/SCOPE_NAME", ",Simulator", "ASCOM/AT", "@x", "K/" + nbsp + "k", nbsp + "v" + nbsp,
             "K/q", "\"\\,;=", "\u65e5\u672c/\u00e9", "\ud800x"]
    write(out, "settings_store", "pairs", SEP + SEP.join(p.encode("utf-16-le", "surrogatepass") for p in pairs))


    # A settings file: the 600-byte directory, slot 1 (star options) and
    # slot 9 present.
    directory = bytearray(600)
    blocks = b""
    for slot, size in ((1, 66), (9, 40)):
        struct.pack_into("<BIB", directory, 6 * slot, 255, 600 + len(blocks), 0)
        blocks += bytes((slot * 7 + i) % 256 for i in range(size))
    write(out, "settings_file", "two_blocks", bytes(directory) + blocks)

    # An 8-bit bitmap, 4 x 2 pixels, 256-colour table.
    palette = b"".join(struct.pack("<BBBB", i, i, i, 0) for i in range(256))
    pixels = bytes(range(8))
    offset = 14 + 40 + len(palette)
    bmp = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + \
        struct.pack("<IiiHHIIiiII", 40, 4, 2, 1, 8, 0, len(pixels), 2835, 2835, 256, 0) + palette + pixels
    write(out, "auto_bitmap", "gray4x2", bmp)

    # View blocks (centre on the horizon, zenith view, zoom, then RA, Dec,
    # held altitude, centre altitude, held azimuth, centre azimuth), a day
    # offset and a chart point.
    for name, view in (("horizon", (1, 0, 8.0, 1.0, 0.3, 0.5, 0.5, 3.0, 6.1)),
                       ("zenith", (0, 1, 0.95, 0.0, 0.0, 1.5707963267948966, 1.57, -3.14159, 0.0)),
                       ("huge_azimuth", (1, 0, 2.0, 0.0, 0.0, 0.4, 0.4, 1e20, 1e20))):
        write(out, "chart_view", name, struct.pack("<BB7d", *view) + struct.pack("<dhh", 0.25, 40, 20))

    for i, rule in enumerate(["CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0", "<+0530>-5:30",
                              "AEST-10AEDT,M10.1.0,M4.1.0/3", "EST5EDT,0/0,J365/25", "<-03>3<-02>,M3.5.0/-2,M10.5.0/-1"]):
        write(out, "tz_rule", "rule%d" % i, rule)
    zone = "/usr/share/zoneinfo/Europe/Berlin"
    if present(zone, "the Debian package tzdata"):
        with open(zone, "rb") as f:
            write(out, "tz_rule", "berlin_zone_file", f.read())

    for i, text in enumerate(["51.5N", "33.9 s", "75W", "0.1e", "-5", "5.5", "05h30m15s", "05:30:15",
                              "-05:30:15", "+05d30m", "12\u00b030'", "1011", "12*30"]):
        write(out, "text_parsers", "text%d" % i, text)
    write(out, "text_parsers", "double", struct.pack("<d", 1.2345))
    for i, text in enumerate([b"-12.5e3", b"  42 ", b"2147483648", "Andromeda \u00e9\u20ac".encode(),
                              b"\x80\x8d\xe9 text", bytes([5]) + b"Vega!" + bytes(250),
                              bytes([0x81, 0, 0, 0, 0, 0])]):
        write(out, "text_codecs", "text%d" % i, text)



def fits_file(bitpix, axes, pixels, extra=()):
    cards = ["SIMPLE  =                    T", "BITPIX  = %20d" % bitpix, "NAXIS   = %20d" % len(axes)]
    cards += ["NAXIS%d  = %20d" % (i + 1, n) for i, n in enumerate(axes)]
    cards += list(extra) + ["END"]
    head = "".join(c.ljust(80) for c in cards).encode()
    head += b" " * (-len(head) % 2880)
    return head + pixels + b"\0" * (-len(pixels) % 2880)


def newer_reader_seeds(out):
    # FITS: 16-bit with a zero point and display range, 8-bit colour, float.
    write(out, "fits", "int16", fits_file(16, (4, 2), struct.pack(">8h", *range(-4, 4)),
                                          ("BZERO   =                32768", "BSCALE  =                    1",
                                           "BACKGRND=                  100", "RANGE   =                 1000")))
    write(out, "fits", "rgb8", fits_file(8, (2, 2, 3), bytes(range(12))))
    write(out, "fits", "float32", fits_file(-32, (2, 2), struct.pack(">4f", 0.0, 0.5, 1.0, 2.5)))
    # Signed and scaled data, far floats, and colour sensors with a tiny display range.
    write(out, "fits", "signed8", fits_file(8, (2, 2), bytes([0, 127, 128, 255]), ("BZERO   =                 -128",)))
    write(out, "fits", "scaled32", fits_file(32, (2, 2), struct.pack(">4i", -2**31, -7, 9, 2**31 - 1),
                                             ("BSCALE  =                 0.25", "BZERO   =                -1000")))
    write(out, "fits", "far64", fits_file(-64, (2, 2), struct.pack(">4d", -1e300, 3e19, float("nan"), 1e-300)))
    write(out, "fits", "cmyg", fits_file(16, (4, 4), struct.pack(">16h", *range(-8, 8)),
                                         ("MOSAIC  = 'CMYG2(0,0)'", "RANGE   =                1E-12")))
    # Scaling at and beyond what the in-memory types hold, and BSCALE 0.
    for name, bitpix, scaling in [("bzero_huge16", 16, ("BZERO   =                1E300",)),
                                  ("bscale_edge8", 8, ("BSCALE  =               1.3E36", "BZERO   =               -1E38")),
                                  ("bscale_nan", 16, ("BSCALE  =                  NaN",)),
                                  ("bscale_zero", 16, ("BSCALE  =                  0.0", "BZERO   =                 1000"))]:
        pixels = bytes([0, 255, 7, 9]) if bitpix == 8 else struct.pack(">4h", -32768, -1, 0, 32767)
        write(out, "fits", name, fits_file(bitpix, (2, 2), pixels, scaling))
    write(out, "fits", "bscale_far64", fits_file(-64, (2, 2), struct.pack(">4d", 1e10, -1e300, 0.0, float("inf")),
                                                 ("BSCALE  =               1E-300", "BZERO   =                1E308")))

    # The relief map: 2 x 2 samples a tile, tile 0 coded (4-bit steps), a
    # run-coded tile 1, the rest empty; then a boundary file of one segment.
    head = struct.pack("<5h", 0, 2, 1, 2, 4)
    tile0 = bytes([4]) + struct.pack("<hh", 20, -1) + bytes([0x21, 0x03])
    tile1 = bytes([4 | 16 | 64]) + struct.pack("<hh", 7, 0) + bytes([0x36, 0x00])
    idx = bytes([len(tile0), len(tile1)]) + bytes(64800 - 2)
    segment = struct.pack("<iiiH2x", 3600 * 10, 3600 * 50, 0, 3) + struct.pack("<H", 0x4000 | 0x0102) + \
        struct.pack("<4H", 0, 3600, 0xFFFF, 0xF000) + struct.pack("<H", 0x8000 | 0x4000 | 0x00FF)
    entry = struct.pack("<iiiiiiHh", 0, 3600 * 51, 3600 * 49, 3600 * 11, 3600 * 9, 40 + 28, len(segment) - 16, 1)
    boundary = struct.pack("<iiii", 0x20770002, 40, 1, 28) + bytes(24) + entry + segment
    write(out, "world_map", "two_tiles", head + tile0 + tile1 + SEP + idx + SEP + boundary)
    # The overlay: that boundary file, and one whose long steps climb past
    # the pole and on, beyond any pixel a map can hold.
    write(out, "boundary_overlay", "one_segment", boundary)
    climb = struct.pack("<iiiH2x", 0, 3600 * 89, 0, 1000) + (struct.pack("<4H", 0, 0, 0x3FFF, 0xFFFF) * 1000)
    entry = struct.pack("<iiiiiiHh", 0, 3600 * 90, 3600 * 89, 10, -10, 40 + 28, len(climb) - 16, 1)
    write(out, "boundary_overlay", "past_the_pole", struct.pack("<iiii", 0x20770002, 40, 1, 28) + bytes(24) + entry + climb)

    # The pick list (the default marked) and a horizon file of "Fuzz Site".
    blanks = " " * 40
    picks = ("London*" + blanks + ";51.5N;0.1W;0;T\r\n" + "Fuzz Site" + blanks + ";33.9S;151.2E;10;F\r\n" +
             "Bad" + blanks + ";95N;0;0\r\n")
    horizon = b"".join(struct.pack("<I", (a * 91 + k) % 7) for a in range(361) for k in range(91))
    write(out, "location_files", "three_sites", picks.encode() + SEP + horizon)
    write(out, "location_files", "short_horizon", picks.encode() + SEP + horizon[:1000])

    # Scripts: loops, calls, strings, files of the scratch folder, the sky.
    scripts = {
        "loops": "REM counting\nLET S = 0\nFOR I = 1 TO 10\nLET S = S + I * 2 ^ 2 MOD 7\nNEXT\n"
                 "WHILE S > 1\nLET S = S / 2\nWEND\nIF S < 1 THEN\nPRINT STR$(S)\nELSE\nPRINT \"big\"\nENDIF\nHALT\n",
        "gosub": "GOSUB SHOW\nLET A$ = LEFT$(\"Hello\", 2) + MID$(\"ABCDEF\", 2, 3) + CHR$(65)\n"
                 "DEL_STR A$, 1, 2\nHALT\nSHOW:\nPRINT HM_STR$(12.5) | PRINT VAL(\"2.5\")\nRETURN\n",
        "files": "OPEN# 1, \"O\", \"NOTE.TXT\"\nPRINT# 1, \"kept\"\nCLOSE# 1\nOPEN# 2, \"I\", \"NOTE.TXT\"\n"
                 "INPUT# 2, A$\nCLOSE# 2\nGET_DIR D$\nGET_FIRST \"*.TXT\", F$\nGET_NEXT F$\n",
        "sky": "GET_JD J\nSET_JD JULIAN(2000, 1, 1.5)\nGET_LOC LAT, LON\nGET_EQU 1, RA, DE\n"
               "EQU RA, DE, 10, 20\nGET_HOR 1, AZ, ALT\nSET_SCALE 30\nSET_CENTER 10, 20\nWAIT 2\nINPUT \"x\", X\n",
    }
    for name, text in scripts.items():
        write(out, "script", name, text)

    # Expressions, each evaluated prepared and as text.
    for name, text in {"arith": "S + I * 2 / 3 - INT(I / 7) + SQRT(I) ^ 2 MOD 5 + 1 / (I - 7) + LN(0) + NN",
                       "strings": "LEFT$(T$, 3) + MID$(S$, 2, 4) + CHR$(34) + STR$(FRAC(X * 100))",
                       "functions": "ATAN2(-1, 0) + LEN(\"(,)\") + VAL(\"+5\") - COS(SIN(-(A + (B * 2))))"}.items():
        write(out, "script_eval", name, text)
    # Host commands with values that reach the chart, the observer, the
    # markers, the printer and the menus.
    write(out, "script", "host_sky", "\n".join([
        "SET_LOC 0.9, 0.2, 1", "SET_JD JULIAN(2026, 1, 15.9)", "SET_CENTER \"PLANET\", 4", "SET_SCALE 6",
        "GET_EQU \"MOON\", R, D", "GET_HOR \"SUN\", A, Z", "EQU2HOR R, D, A, Z", "HOR2EQU A, Z, R, D",
        "ECL2EQU 0.1, 2, R, D", "GREG 2451545, Y, M, D, H", "GET_LST L", "SET_JDDL 2451545.5",
        "SET_CENTER \"CON\", \"ORI\"", "SET_CENTER \"HOR\", 0.5, 3", "SET_CENTER \"MOON\"", "GET_EQU \"LOCK\", R, D"]))
    write(out, "script", "host_markers_print_menus", "\n".join([
        "MARKERS 5", "MARK 1, 1, 0.5, 2, 255, 300, -1, \"+\", \"a label longer than thirty-one characters\"",
        "MARK 5, 1.1, 0.4, 1E12, 0, 0, 0, \".\", \"x\"", "PRINT_MAP \"POIONLY\"", "PRINT_MAP \"BW,SUMMARY\"",
        "INSERT_MAINMENU 1E30, \"X\"", "INSERT_MENUITEM -3E9, 2, \"Y\", \"y.sbas\"", "CLEAR_MENUS",
        "READ_SETTINGS_FILE \"view.ssf\"", "WAIT 2", "SET_JD -1"]))

    # Catalogue import: separated fields with sexagesimal places, and fixed columns.
    write(out, "catalog_import", "separated",
          "SEP=;\nROW=2\nEPOCH=2\nID=0\nCL=1\nRAH=2\nRAM=3\nRAS=4\nDED=5\nDEM=6\nDES=7\nMv=8\nMaA=9\nPA=10\nLY=11"
          + "\n@@\n" + "name;class;h;m;s;d;m;s;mag;size;pa;ly\nM 31;3;0;42;44.3;+41;16;9;3.4;190;35;2.5e6\n"
          + "NGC 7293;4;22;29;38.5;- 20;50;13;7.6;16;;650\n")
    write(out, "catalog_import", "fixed",
          "FIXED=1,10,20,31\nID=0\nRAD=1\nDED=2\nMPC=3\n@@\n"
          + "IC 1101   227.733   5.744     320\nUGC 2885  58.5      35.6      0.08\n")

    # Settings blocks of every owner: a settings file with slots 1..11, and
    # single blocks for the target's direct decoder pass (first byte: slot - 1;
    # the target pads the block with zeros to its size).
    sizes = [0, 66, 657, 12, 181, 10, 17, 23057, 4 + 53934, 131601, 8, 58]
    blocks = {
        3: bytes([1, 0] * 6),
        5: bytes([1, 0, 1, 1, 0, 0, 1, 0, 1, 1]),
        6: bytes([1]) + struct.pack("<dd", 1013.25, 10.0),
        8: struct.pack("<i", 1) + struct.pack("<dd", 1.0, 0.5),
        9: struct.pack("<ddd", 0.9, 0.1, 100.0) + struct.pack("<i", -60) + bytes(168) + bytes([1]),
        10: struct.pack("<d", 2451545.0),
        11: bytes([0, 1]) + struct.pack("<7d", 1.0, 1.2, 0.3, 0.5, 0.4, 2.0, 1.0),
    }
    directory = bytearray(600)
    body = b""
    for slot in range(1, 12):
        block = blocks.get(slot, bytes((slot * 7 + i) % 256 for i in range(min(sizes[slot], 200))))
        block = block.ljust(sizes[slot], b"\0")
        struct.pack_into("<BIB", directory, 6 * slot, 255, 600 + len(body), 0)
        body += block
    write(out, "settings_file", "all_slots", bytes(directory) + body)
    for slot, block in blocks.items():
        write(out, "settings_file", "slot%d" % slot, bytes([slot - 1]) + block)


def device_seeds(out):
    # The plate-solve client's replies to each step, an error and a cut line.
    for name, text in {"upload": "{u'status': u'success', u'subid': 12, u'hash': u'local'}\n",
                       "substatus": "{u'processing_started': u'local', u'jobs': [12], u'job_calibrations': []}\n",
                       "solved": "{u'ra': 127.5012, u'dec': -21.25, u'parity': 0.0}\nsuccess\n",
                       "failed": "{u'indexes': u'4110-4119', u'narrowest_field': 1.0}\nfailure\n",
                       "error": "{u'status': u'error', u'errormessage': u'no such picture'}\n",
                       "cut": "{u'status': u'suc"}.items():
        write(out, "plate_solve_reply", name, text)
    # INDI camera numbers in the target's order: value, minimum, maximum of
    # sensor width, height, pixel sizes, binning, frame, exposure,
    # temperature, gain; then the values written back.
    sane = [1280, 1, 1280, 960, 1, 960, 3.75, 0, 0, 3.75, 0, 0, 1, 1, 4, 1, 1, 4, 0, 0, 1280, 0, 0, 960,
            1280, 16, 1280, 960, 16, 960, 1, 0.001, 3600, -10, -50, 50, 50, 0, 100, 640, 480, 60, -5]
    odd = [float("nan"), 1e300] + sane[2:20] + [float("-inf")] + sane[21:]
    write(out, "indi_camera", "sane", struct.pack("<%dd" % len(sane), *sane))
    write(out, "indi_camera", "odd", struct.pack("<%dd" % len(odd), *odd))
    # Replies of LX200-family mounts: positions in both precisions, a goto
    # refusal with its message, OnStep's numbers and status, a bare yes, a
    # sync's reply, a declination past the pole, a date, the LX200GPS's
    # alignment status, a PEC entry, a later firmware's status, a reply sent
    # twice, a marker's reply after the firmware version.
    for name, text in {"ra": "12:34:56#", "ra_low": "12:34.5#", "dec": "+45*12'34#", "dec_autostar": b"-05\xdf12#",
                       "refused": "1Object Below Horizon#", "steps": "80.000000#", "worm": "009600#",
                       "pec": "+012,045#", "status": "nNpRET000#", "yes": "1", "date": "1Updating Planetary Data#  #",
                       "sync": "N/A#", "dec_past_pole": "+95*00:00#", "calendar": "01/15/26#",
                       "alignment": "GT1#", "entry": "-007#", "status_x": "nNpehgOkuza^KT210#",
                       "twice": "23:45:39#23:45:39#", "version": "+012#4.24k#"}.items():
        write(out, "lx200_reply", name, text)


# --- noctra-mkdata's sources -----------------------------------------------------------


def json_seed(path, keep):
    with open(path, "rb") as f:
        doc = json.load(f)
    return json.dumps(keep(doc), ensure_ascii=False).encode("utf-8")


def mkdata_seeds(out, src):
    stel = os.path.join(src, "stellarium-data/usr/share/stellarium")
    kstars = os.path.join(src, "kstars-data/usr/share/kstars")
    d3 = os.path.join(src, "d3-celestial/package/data")
    atlas = os.path.join(src, "world-atlas/package")

    def from_file(target, path, make):
        if present(path, "the public sources (source data/sources.sh && noctra_fetch_sources)"):
            write(out, target, "source", make(path))

    text_heads = {
        "mkdata_cross_index": (stel + "/stars/default/cross-id.dat", 40),
        "mkdata_designations": (stel + "/stars/default/name.fab", 40),
        "mkdata_proper_motions": (stel + "/stars/default/hip_pm.dat", 40),
        "mkdata_variables": (stel + "/stars/default/gcvs_hip_part.dat", 30),
        "mkdata_doubles": (stel + "/stars/default/wds_hip_part.dat", 30),
        "mkdata_constellation_figures": (stel + "/skycultures/western/constellationship.fab", 20),
        "mkdata_milky_way": (kstars + "/milkyway.dat", 60),
        "mkdata_boundary_outlines": (kstars + "/cbounds.dat", 120),
    }
    for target, (path, n) in text_heads.items():
        from_file(target, path, lambda p, n=n: head_lines(p, n))

    def first_features(n):
        return lambda doc: dict(doc, features=doc["features"][:n])
    from_file("mkdata_geojson_stars", d3 + "/stars.14.json", lambda p: json_seed(p, first_features(20)))
    from_file("mkdata_geojson_dsos", d3 + "/dsos.20.json", lambda p: json_seed(p, first_features(20)))
    from_file("mkdata_geojson_star_names", d3 + "/starnames.json",
              lambda p: json_seed(p, lambda d: dict(list(d.items())[:20])))
    for target, name in (("mkdata_asteroid_list", "asteroids.dat"), ("mkdata_comet_list", "comets.dat")):
        from_file(target, kstars + "/" + name, lambda p: json_seed(p, lambda d: dict(d, data=d["data"][:10])))

    def topo(path):
        # The first few polygons of the land object with only the arcs they use.
        doc = json.load(open(path, "rb"))
        geoms = doc["objects"]["land"]["geometries"][:1]
        geoms[0]["arcs"] = geoms[0]["arcs"][:4]
        used = sorted({a if a >= 0 else ~a for poly in geoms[0]["arcs"] for ring in poly for a in ring})
        remap = {old: new for new, old in enumerate(used)}
        geoms[0]["arcs"] = [[[remap[a] if a >= 0 else ~remap[~a] for a in ring] for ring in poly]
                            for poly in geoms[0]["arcs"]]
        doc["arcs"] = [doc["arcs"][i][:40] for i in used]
        doc["objects"] = {"land": {"type": "GeometryCollection", "geometries": geoms}}
        return json.dumps(doc).encode()
    from_file("mkdata_topojson_land", atlas + "/land-50m.json", topo)

    def locations(path):
        # The count, then the first few serialised locations (their length
        # found by reading them as the tool does).
        data = gzip.open(path).read()
        pos = 4
        n = 5

        def string():
            nonlocal pos
            (length,) = struct.unpack_from(">I", data, pos)
            pos += 4
            if length != 0xFFFFFFFF:
                pos += length
        for _ in range(n):
            for _ in range(4):
                string()
            pos += 2 + 4 + 16 + 8
            for _ in range(3):
                string()
            pos += 1
        return struct.pack(">I", n) + data[4:pos]
    # The fuzz target compresses a plain stream itself; one compressed seed
    # keeps the decompression in the corpus.
    from_file("mkdata_locations", stel + "/data/base_locations.bin.gz", locations)
    if os.path.exists(os.path.join(out, "mkdata_locations", "source")):
        with open(os.path.join(out, "mkdata_locations", "source"), "rb") as f:
            write(out, "mkdata_locations", "source.gz", gzip.compress(f.read()))

    def binary_stars(path):
        # The header, the field list and a region index of one region that
        # holds the first five records.
        data = open(path, "rb").read()
        (count,) = struct.unpack_from("<H", data, 127)
        fields_end = 129 + 16 * count
        (regions,) = struct.unpack_from("<I", data, fields_end)
        index_end = fields_end + 4 + 12 * regions
        records = data[index_end:index_end + 5 * 32]
        return data[:fields_end] + struct.pack("<IIII", 1, 0, index_end - 12 * (regions - 1), 5) + records
    from_file("mkdata_binary_stars", kstars + "/namedstars.dat", binary_stars)

    def zone_catalogue(path):
        # Level 0 (20 zones) with one star in each of the first two zones.
        data = open(path, "rb").read()
        header = bytearray(data[:32])
        struct.pack_into("<I", header, 16, 0)
        rtype = struct.unpack_from("<I", header, 4)[0]
        size = {0: 28, 1: 10, 2: 6}[rtype]
        first = 32 + 4 * 20 * 4 ** struct.unpack_from("<I", data, 16)[0]
        counts = struct.pack("<20I", 1, 1, *([0] * 18))
        return bytes(header) + counts + data[first:first + 2 * size]
    from_file("mkdata_zone_catalogue", stel + "/stars/default/stars_0_0v0_8.cat", zone_catalogue)

    def openngc(path):
        # The schema and the first 30 NGC and IC rows of the real file.
        fd, tmp = tempfile.mkstemp(suffix=".sqlite")
        os.close(fd)
        os.remove(tmp)
        src_db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
        dst = sqlite3.connect(tmp)
        schema = src_db.execute("SELECT sql FROM sqlite_master WHERE name = 'cat'").fetchone()[0]
        dst.execute(schema)
        cols = [r[1] for r in src_db.execute("PRAGMA table_info(cat)")]
        rows = src_db.execute("SELECT * FROM cat WHERE catalog_identifier LIKE 'NGC%' OR name LIKE 'M %' "
                              "LIMIT 30").fetchall()
        dst.executemany("INSERT INTO cat VALUES (%s)" % ",".join("?" * len(cols)), rows)
        dst.commit()
        dst.close()
        data = open(tmp, "rb").read()
        os.remove(tmp)
        return data
    from_file("mkdata_openngc", kstars + "/OpenNGC.kscat", openngc)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    src = sys.argv[2] if len(sys.argv) > 2 else os.environ.get(
        "NOCTRA_SOURCES", os.path.expanduser("~/.cache/noctra-sources"))
    program_seeds(out)
    newer_reader_seeds(out)
    device_seeds(out)
    mkdata_seeds(out, src)


if __name__ == "__main__":
    main()
