#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for SECONDS.
#
#   tests/fuzz/run.sh SECONDS [TARGET...]
#
# FUZZ_JOBS targets run at a time (default 3). Each target starts from the
# seeds made by make_seeds.py and keeps what it learns in
# build-fuzz/fuzz-corpus/<target>, so later runs go on from there. A
# finding (crash, sanitizer report, leak, time-out, memory blow-up) is kept
# in build-fuzz/fuzz-findings/ and makes the script fail. Every target's
# last libFuzzer line (executions, coverage) is printed.
set -euo pipefail
seconds="${1:?usage: tests/fuzz/run.sh SECONDS [TARGET...]}"
shift
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${NOCTRA_FUZZ_BUILD:-$root/build-fuzz}"
jobs="${FUZZ_JOBS:-3}"

mkdir -p "$build"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOCTRA_FUZZ=ON > "$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)" --target fuzz_all

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(find "$build/tests/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' | sed 's/^fuzz_//' | sort)
fi

seeds="$build/fuzz-seeds"
rm -rf "$seeds"
python3 "$root/tests/fuzz/make_seeds.py" "$seeds"
mkdir -p "$build/fuzz-corpus" "$build/fuzz-findings" "$build/fuzz-logs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$root/.ci/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

run_one() {
  local t="$1"
  local corpus="$build/fuzz-corpus/$t"
  mkdir -p "$corpus" "$seeds/$t"
  # -timeout: one input taking longer is a finding; -rss_limit_mb: so is a
  # reader that allocates beyond what any file justifies.
  if "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -malloc_limit_mb=1024 -print_final_stats=1 \
       -artifact_prefix="$build/fuzz-findings/$t-" "$corpus" "$seeds/$t" \
       > "$build/fuzz-logs/$t.log" 2>&1; then
    echo "ok    $t: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$build/fuzz-logs/$t.log" | tail -1)"
  else
    echo "FAIL  $t: see $build/fuzz-logs/$t.log"
    grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$build/fuzz-logs/$t.log" | head -5 | sed 's/^/      /'
    return 1
  fi
}
export -f run_one
export build seeds seconds

status=0
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} |
  tee "$build/fuzz-logs/summary.txt" || status=1
passed=$(grep -c '^ok ' "$build/fuzz-logs/summary.txt" || true)
failed=$(( ${#targets[@]} - passed ))
echo "fuzz: $passed passed, $failed failed"
exit "$status"
