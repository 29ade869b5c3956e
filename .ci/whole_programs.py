#!/usr/bin/env python3
"""Runs every test program of a build whole: one process per program, every
test of it in that process, as a user's run of the program would, so that
state one test leaves behind (a global, a lock, a file) reaches the next.

What CTest runs of the build is read from CTest itself (--show-only=json-v1):
its tests that are no GoogleTest case (the reference data's fixture) run
first through CTest, then each GoogleTest program once, in the working
folder and with the environment CTest gives its tests, several programs at
a time, the longest first (by the times of an earlier CTest run). A program
still running after the time-out has hung and fails. A program that fails,
or runs fewer tests than CTest lists for it, fails the run and its whole
output is printed.

Usage: whole_programs.py BUILD_DIR JOBS TIMEOUT_S [PREFIX ...]
  PREFIX: a command every test program and CTest run is started under
  (for example: env FAKETIME_DONT_FAKE_MONOTONIC=1 faketime '2026-12-21 12:00:00').
"""
import json
import os
import re
import subprocess
import sys
import threading
import time
from collections import defaultdict
from concurrent.futures import ThreadPoolExecutor


def props_of(test):
    return {p["name"]: p["value"] for p in test.get("properties", [])}


def is_gtest_case(test):
    return any(a.startswith("--gtest_filter=") for a in test.get("command", []))


def known_costs(build):
    """Average time of each test by name from an earlier CTest run."""
    costs = {}
    try:
        with open(os.path.join(build, "Testing", "Temporary", "CTestCostData.txt")) as f:
            for line in f:
                if line.strip() == "---":
                    break
                parts = line.rsplit(" ", 2)
                if len(parts) == 3:
                    costs[parts[0]] = float(parts[2])
    except (OSError, ValueError):
        pass
    return costs


def cmake_regex_escape(name):
    return re.sub(r"([][.^$*+?(){}|\\])", r"\\\1", name)


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    build, jobs, timeout = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    prefix = sys.argv[4:]
    listing = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                             check=True, capture_output=True, text=True).stdout
    tests = json.loads(listing)["tests"]

    # CTest's own tests (not GoogleTest cases): the fixtures' set-ups that
    # the programs require, and any other.
    others = [t for t in tests if not is_gtest_case(t)]
    setups = {f for t in others for f in props_of(t).get("FIXTURES_SETUP", [])}
    if any("FIXTURES_CLEANUP" in props_of(t) for t in tests):
        sys.exit("whole: a fixture clean-up test is not supported here; run it after the programs")

    # The GoogleTest programs, each with the one working folder and
    # environment CTest gives all its tests.
    programs = defaultdict(list)
    for t in tests:
        if is_gtest_case(t):
            programs[t["command"][0]].append(t)
    setting = {}
    for exe, cases in programs.items():
        kinds = {json.dumps([props_of(c).get("WORKING_DIRECTORY", ""), props_of(c).get("ENVIRONMENT", [])])
                 for c in cases}
        if len(kinds) != 1:
            sys.exit(f"whole: the tests of {exe} differ in working folder or environment; run them through CTest")
        missing = {f for c in cases for f in props_of(c).get("FIXTURES_REQUIRED", [])} - setups
        if missing:
            sys.exit(f"whole: {exe} requires fixtures without a set-up: {sorted(missing)}")
        setting[exe] = json.loads(kinds.pop())

    failed = []
    if others:
        names = "|".join(cmake_regex_escape(t["name"]) for t in others)
        print(f"whole: CTest runs {', '.join(t['name'] for t in others)}", flush=True)
        r = subprocess.run(prefix + ["ctest", "--test-dir", build, "--output-on-failure",
                                     "--timeout", str(timeout), "-R", f"^({names})$"])
        if r.returncode != 0:
            failed.append("the CTest tests " + ", ".join(t["name"] for t in others))

    costs = known_costs(build)
    order = sorted(programs, key=lambda exe: -sum(costs.get(c["name"], 0.0) for c in programs[exe]))
    logs = os.path.join(build, "Testing", "whole")
    os.makedirs(logs, exist_ok=True)
    lock = threading.Lock()

    def run(exe):
        name = os.path.basename(exe)
        folder, environment = setting[exe]
        env = dict(os.environ)
        env.update(e.split("=", 1) for e in environment)
        log = os.path.join(logs, name + ".log")
        start = time.monotonic()
        with open(log, "wb") as out:
            rc = subprocess.run(["timeout", "-k", "30", str(timeout)] + prefix + [exe], cwd=folder or None,
                                env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT).returncode
        seconds = time.monotonic() - start
        with open(log, errors="replace") as f:
            text = f.read()
        ran = re.findall(r"^\[==========\] (\d+) tests? from .* ran\.", text, re.M)
        count = len(programs[exe])
        why = None
        if rc == 124:
            why = f"still running after {timeout} s: it hung"
        elif rc == 137:
            why = "killed: it hung past the time-out, or the system ended it"
        elif rc != 0:
            why = f"exit status {rc}"
        elif not ran or int(ran[-1]) != count:
            why = f"ran {ran[-1] if ran else 'no'} tests of the {count} CTest lists"
        with lock:
            if why:
                failed.append(name)
                print(f"whole: {name} FAILED ({why}) after {seconds:.0f} s; its output:\n{text}"
                      f"whole: end of {name}'s output", flush=True)
            else:
                tests_run = f"{count} test" + ("" if count == 1 else "s")
                print(f"whole: {name} passed, {tests_run} in {seconds:.0f} s", flush=True)

    with ThreadPoolExecutor(max_workers=max(1, jobs)) as pool:
        list(pool.map(run, order))
    if failed:
        print("whole: FAILED: " + ", ".join(failed), flush=True)
        return 1
    print(f"whole: every one of the {len(programs)} test programs passed run whole", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
