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
ctest --test-dir build --output-on-failure --timeout 900 -j "$(nproc)"
