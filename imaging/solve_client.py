#!/usr/bin/env python3
"""Plate-solving client of Noctra Planetarium.

The plate-solve window runs this script three times per solve, as it would a
solving service's client: upload a picture, ask for the submission's jobs,
ask for the job's result. It answers each call with the dictionaries such a
client prints (keys quoted with a u prefix) and solves on this machine with
astrometry.net's solve-field and the installed index files; nothing goes over
the network (--server and --apikey are accepted and only recorded).

Submissions live in the folder "jobs" of the current folder, one folder per
submission number; the job number equals the submission number. The upload
solves before it answers, so the later calls answer at once.

A job that did not solve also reports the index files installed (their
numbers and the narrowest field they solve, from each file's header), so
that the program can tell a field too small for them from a failure.

The environment variable NOCTRA_SOLVE_FIELD names another solve-field
program, NOCTRA_INDEX_DIRS (folders separated by ":") other index folders
than those of /etc/astrometry.cfg. On SIGTERM the script ends solve-field
and everything it started.
"""

import argparse
import glob
import math
import os
import re
import shutil
import signal
import subprocess
import sys

CHILD = None


def reply(pairs):
    """Prints one dictionary in the client's reply format."""
    parts = []
    for key, value in pairs:
        if isinstance(value, str):
            text = "u'%s'" % value.replace("'", "")
        elif isinstance(value, list):
            text = "[" + ", ".join(str(v) for v in value) + "]"
        else:
            text = repr(value)
        parts.append("u'%s': %s" % (key, text))
    print("{" + ", ".join(parts) + "}")


def error(message):
    reply([("status", "error"), ("errormessage", message)])
    return 1


def on_term(signum, frame):
    """Ends the running solve-field with its whole process group."""
    if CHILD is not None and CHILD.poll() is None:
        try:
            os.killpg(CHILD.pid, signal.SIGKILL)
        except OSError:
            pass
    sys.exit(1)


def jobs_folder():
    return os.path.join(os.getcwd(), "jobs")


def job_dir(number):
    return os.path.join(jobs_folder(), str(number))


def new_submission():
    """Creates the next submission folder and returns its number (1, 2, ...)."""
    os.makedirs(jobs_folder(), exist_ok=True)
    numbers = [int(n) for n in os.listdir(jobs_folder()) if n.isdigit()]
    number = max(numbers, default=0) + 1
    while True:
        try:
            os.mkdir(job_dir(number))
            return number
        except FileExistsError:
            number += 1


def upload(args):
    solver = os.environ.get("NOCTRA_SOLVE_FIELD") or shutil.which("solve-field")
    if not solver or not os.path.isfile(solver):
        return error("solve-field is not installed (Debian package astrometry.net)")
    if not os.path.isfile(args.upload):
        return error("no such picture: " + args.upload)
    number = new_submission()
    folder = job_dir(number)
    command = [solver, "--no-plots", "--overwrite", "--dir", folder,
               "--new-fits", "none", "--corr", "none", "--rdls", "none",
               "--match", "none", "--index-xyls", "none",
               "--wcs", os.path.join(folder, "solve.wcs"),
               "--solved", os.path.join(folder, "solved"),
               "--cpulimit", "600"]
    if args.ra is not None and args.dec is not None and args.radius is not None and args.radius > 0:
        command += ["--ra", repr(args.ra), "--dec", repr(args.dec), "--radius", repr(args.radius)]
    if args.parity == 1:
        command += ["--parity", "neg"]
    elif args.parity == 0:
        command += ["--parity", "pos"]
    command.append(args.upload)
    global CHILD
    with open(os.path.join(folder, "server"), "w") as f:
        f.write((args.server or "") + "\n")
    try:
        CHILD = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 start_new_session=True)
    except OSError as e:
        return error("solve-field did not start: " + str(e))
    output, _ = CHILD.communicate()
    text = output.decode("utf-8", "replace")
    with open(os.path.join(folder, "solve-field.log"), "w") as f:
        f.write(text)
    # "Field center: (RA,Dec) = (56.750000, 24.116667) deg."
    found = re.search(r"Field center: \(RA,Dec\) = \(([-+0-9.eE]+), ([-+0-9.eE]+)\) deg", text)
    with open(os.path.join(folder, "result"), "w") as f:
        if CHILD.returncode == 0 and found and os.path.exists(os.path.join(folder, "solved")):
            f.write("success %s %s\n" % (found.group(1), found.group(2)))
        else:
            f.write("failure\n")
    reply([("status", "success"), ("subid", number), ("hash", "local")])
    return 0


def substatus(number):
    if not os.path.isdir(job_dir(number)):
        return error("no such submission")
    jobs = [number] if os.path.exists(os.path.join(job_dir(number), "result")) else []
    reply([("processing_started", "local"), ("jobs", jobs), ("job_calibrations", [])])
    return 0


def index_folders():
    """The folders solve-field searches for index files."""
    if os.environ.get("NOCTRA_INDEX_DIRS"):
        return os.environ["NOCTRA_INDEX_DIRS"].split(":")
    folders = []
    try:
        with open("/etc/astrometry.cfg") as f:
            for line in f:
                words = line.split()
                if len(words) == 2 and words[0] == "add_path":
                    folders.append(words[1])
    except OSError:
        pass
    return folders or ["/usr/share/astrometry"]


def header_cards(path):
    """The primary header's numeric cards of a FITS file (at most 10 blocks)."""
    cards = {}
    with open(path, "rb") as f:
        for _ in range(10):
            block = f.read(2880)
            if len(block) < 2880:
                break
            for i in range(0, 2880, 80):
                card = block[i:i + 80].decode("ascii", "replace")
                key = card[:8].strip()
                if key == "END":
                    return cards
                if card[8:10] == "= ":
                    try:
                        cards[key] = float(card[10:].split("/")[0])
                    except ValueError:
                        pass
    return cards


def installed_indexes():
    """(first number, last number, narrowest field in degrees) or None."""
    numbers, fields = [], []
    for folder in index_folders():
        for path in glob.glob(os.path.join(folder, "index-*.fits")):
            try:
                cards = header_cards(path)
            except OSError:
                continue
            if "INDEXID" in cards and "SCALE_L" in cards:
                numbers.append(int(cards["INDEXID"]))
                # A field solves with quads up to its own width.
                fields.append(math.degrees(cards["SCALE_L"]))
    if not numbers:
        return None
    return min(numbers), max(numbers), min(fields)


def failure():
    found = installed_indexes()
    if found:
        reply([("indexes", "%d-%d" % (found[0], found[1])), ("narrowest_field", round(found[2], 3))])
    print("failure")


def jobstatus(number):
    path = os.path.join(job_dir(number), "result")
    if not os.path.isdir(job_dir(number)):
        print("failure")
        return 1
    if not os.path.exists(path):
        print("solving")
        return 0
    with open(path) as f:
        words = f.read().split()
    if words and words[0] == "success" and len(words) == 3:
        reply([("ra", float(words[1])), ("dec", float(words[2])), ("parity", 0.0)])
        print("success")
    else:
        failure()
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--server")
    parser.add_argument("--apikey")
    parser.add_argument("--upload")
    parser.add_argument("--substatus", type=int)
    parser.add_argument("--jobstatus", type=int)
    parser.add_argument("--ra", type=float)
    parser.add_argument("--dec", type=float)
    parser.add_argument("--radius", type=float)
    parser.add_argument("--parity", type=int, choices=[0, 1])
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, on_term)
    if args.upload:
        return upload(args)
    if args.substatus is not None:
        return substatus(args.substatus)
    if args.jobstatus is not None:
        return jobstatus(args.jobstatus)
    return error("nothing to do")


if __name__ == "__main__":
    sys.exit(main())
