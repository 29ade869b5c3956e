#!/usr/bin/env bash
# The time from the program's start to its first painted chart with stars,
# on a 1920 x 1080 virtual screen, over several runs (target: 500 ms).
#   bench/first_chart.sh [RUNS] [PROGRAM]
# The program runs in the reference-data folder (NOCTRA_REFDATA, see
# bench_data.h) with a private home, so no settings of the user take part.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
program=${2:-$top/build/app/noctra}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/share
xvfb-run -a -s "-screen 0 1920x1080x24" "$top/build/bench/first-chart-probe" --runs "$runs" -- "$program"
