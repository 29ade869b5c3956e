#!/usr/bin/env bash
# Installs what is missing, builds the program, builds the reference data
# once into the per-user working folder and starts Noctra Planetarium there.
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
source ./deps.sh
noctra_install_deps
[ -f data/sources.sh ] && { source data/sources.sh; noctra_fetch_sources; }
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOCTRA_BENCH=OFF
# Only what this script runs: the program and the data builder (test.sh
# builds the tests and benchmarks too).
cmake --build build --target noctra noctra-mkdata
work="${NOCTRA_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/noctra}"
mkdir -p "$work"
if [ -x build/data/noctra-mkdata ]; then
  build/data/noctra-mkdata "$work"
fi
cd "$work"
exec "$top/build/app/noctra" "$@"
