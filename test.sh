#!/usr/bin/env bash
# Installs what is missing, builds the program, the tools, the tests and the
# benchmarks, and runs every test (a test still running after 15 minutes has
# hung, and fails).
set -euo pipefail
cd "$(dirname "$0")"
source ./deps.sh
noctra_install_deps
[ -f data/sources.sh ] && { source data/sources.sh; noctra_fetch_sources; }
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# Four tests per core (at most 16 unless there are more cores): most tests
# spend their time waiting for a worker, a simulated device or a child
# program, not computing.
jobs=$(( $(nproc) * 4 > 16 ? ($(nproc) > 16 ? $(nproc) : 16) : $(nproc) * 4 ))
ctest --test-dir build --output-on-failure --timeout 900 -j "$jobs"
