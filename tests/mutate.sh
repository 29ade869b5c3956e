#!/usr/bin/env bash
# Mutation testing of a source folder's tests.
#
#   tests/mutate.sh [--seed N] [--count N] [--build DIR] [--jobs N] [--list]
#                   [--only FOLDER] FOLDER...
#
# Collects every place in FOLDER/*.cpp where one small change applies (a
# comparison flipped, && and || swapped, + turned into - and back, an integer
# constant raised by one, a returned false made true and the reverse), picks
# COUNT of them with a generator seeded by SEED (same seed and same sources:
# the same mutants), and for each one: applies it, rebuilds that folder's test
# program (FOLDER_tests) in its own build folder, runs it and restores the
# source. A mutant is killed when the test program fails or hangs, survives
# when it passes, and is stillborn when it does not compile (not counted).
# The source file is restored whatever happens, also on Ctrl-C. --only runs
# just the chosen mutants that lie in one of the folders (the choice itself
# still spans every folder named, so the mutants keep their numbers).
# Generated coefficient tables (*_terms.cpp) are left out: each of their
# numbers would be a mutant and they say nothing about the tests.
set -u

seed=17
count=100
jobs=3
list_only=0
only=""
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-mutate"
folders=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seed) seed=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --list) list_only=1; shift ;;
    --only) only=${2%/}; shift 2 ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) folders+=("${1%/}"); shift ;;
  esac
done
[ ${#folders[@]} -gt 0 ] || { echo "usage: $0 [--seed N] [--count N] [--build DIR] [--list] FOLDER..." >&2; exit 2; }

# ---- candidates: "file<TAB>line<TAB>column<TAB>original<TAB>replacement" ----
# Comments, string and character literals and preprocessor lines are blanked
# (same length) before matching, so columns stay true to the source line.
collect() {
  local f
  for f in "$@"; do
    awk -v file="$f" '
      function blank(s, a, b,   i, r) { r = substr(s, 1, a - 1); for (i = a; i <= b; i++) r = r " "; return r substr(s, b + 1) }
      function emit(col, from, to) { printf "%s\t%d\t%d\t%s\t%s\n", file, NR, col, from, to }
      {
        s = $0; out = ""; n = length(s); i = 1
        while (i <= n) {
          c = substr(s, i, 1); c2 = substr(s, i, 2)
          if (incomment) {
            if (c2 == "*/") { incomment = 0; out = out "  "; i += 2 } else { out = out " "; i++ }
            continue
          }
          if (c2 == "/*") { incomment = 1; out = out "  "; i += 2; continue }
          if (c2 == "//") { while (i <= n) { out = out " "; i++ } ; break }
          if (c == "\"" || c == "\047") {
            q = c; out = out " "; i++
            while (i <= n && substr(s, i, 1) != q) { if (substr(s, i, 1) == "\\") { out = out " "; i++ } out = out " "; i++ }
            out = out " "; i++; continue
          }
          out = out c; i++
        }
        line = out
        if (line ~ /^[ \t]*#/) next
        nops = split(" < ; <= ; > ; >= ; == ; != ; && ; || ; + ; - ", ops, ";")
        split(" <= ; < ; >= ; > ; != ; == ; || ; && ; - ; + ", reps, ";")
        for (k = 1; k <= nops; k++) {
          op = ops[k]
          from = 1
          while ((p = index(substr(line, from), op)) > 0) {
            col = from + p - 1
            emit(col, op, reps[k])
            from = col + 1
          }
        }
        t = line
        while (match(t, /return (true|false);/)) {
          col = length(line) - length(t) + RSTART
          w = substr(t, RSTART + 7, RLENGTH - 8)
          emit(col + 7, w, (w == "true") ? "false" : "true")
          t = substr(t, RSTART + RLENGTH)
        }
        t = line
        while (match(t, /[0-9A-Za-z_.]*[0-9][0-9A-Za-z_.]*/)) {
          col = length(line) - length(t) + RSTART
          w = substr(t, RSTART, RLENGTH)
          prev = (col > 1) ? substr(line, col - 1, 1) : " "
          if (w ~ /^[0-9]+$/ && prev != "." && prev !~ /[A-Za-z_]/) emit(col, w, w + 1)
          t = substr(t, RSTART + RLENGTH)
        }
      }' "$root/$f"
  done
}

files=()
for d in "${folders[@]}"; do
  while IFS= read -r f; do files+=("$f"); done < <(cd "$root" && ls "$d"/*.cpp | grep -v '_terms\.cpp$' | LC_ALL=C sort)
done
mapfile -t cands < <(collect "${files[@]}")
total=${#cands[@]}
[ "$total" -gt 0 ] || { echo "no mutation candidates" >&2; exit 2; }
[ "$count" -le "$total" ] || count=$total

# Partial Fisher-Yates shuffle driven by a 31-bit linear congruential
# generator: plain integer arithmetic, so every bash gives the same order.
state=$seed
next_rand() { state=$(( (state * 1103515245 + 12345) % 2147483648 )); rnd=$(( state / 65536 )); }
for (( i = 0; i < count; i++ )); do
  next_rand
  j=$(( i + rnd % (total - i) ))
  tmp=${cands[i]}; cands[i]=${cands[j]}; cands[j]=$tmp
done

if [ $list_only -eq 1 ]; then
  for (( i = 0; i < count; i++ )); do printf '%3d %s\n' $((i + 1)) "${cands[i]}"; done
  echo "$total candidates in ${folders[*]}, seed $seed"
  exit 0
fi

# ---- restore on every way out ----
backup_dir=$(mktemp -d)
current=""
restore() {
  if [ -n "$current" ]; then
    cp -p "$backup_dir/orig" "$root/$current"
    touch "$root/$current"
    current=""
  fi
}
trap 'restore; rm -rf "$backup_dir"' EXIT
trap 'restore; exit 130' INT TERM HUP

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 2
fi

run_tests() {  # folder -> 0 when the folder's tests pass
  local d=$1
  ( cd "$build/tests/$d" && QT_QPA_PLATFORM=offscreen timeout 300 "./${d}_tests" --gtest_fail_fast >/dev/null 2>&1 )
}

# A copied or checked-out source can be older than an object built from a
# mutant of an earlier, interrupted run: touch them so the first build
# recompiles them (from ccache when nothing changed).
for f in "${files[@]}"; do touch "$root/$f"; done
for d in "${folders[@]}"; do
  [ -z "$only" ] || [ "$d" = "$only" ] || continue
  cmake --build "$build" --target "${d}_tests" -j "$jobs" >/dev/null || { echo "build of ${d}_tests fails before mutation" >&2; exit 2; }
  run_tests "$d" || { echo "${d}_tests fail before mutation" >&2; exit 2; }
done

killed=0; survived=0; stillborn=0
survivors=()
for (( i = 0; i < count; i++ )); do
  IFS=$'\t' read -r file line col from to <<< "${cands[i]}"
  d=${file%%/*}
  if [ -n "$only" ] && [ "$d" != "$only" ]; then
    printf '%3d %-9s %s\n' $((i + 1)) SKIPPED "$file:$line:$col"
    continue
  fi
  cp -p "$root/$file" "$backup_dir/orig"
  current=$file
  awk -v L="$line" -v C="$col" -v F="$from" -v T="$to" '
    NR == L { if (substr($0, C, length(F)) != F) { exit 3 } $0 = substr($0, 1, C - 1) T substr($0, C + length(F)) }
    { print }' "$backup_dir/orig" > "$backup_dir/mutant" || { echo "candidate $i does not match its source" >&2; exit 2; }
  cat "$backup_dir/mutant" > "$root/$file"
  desc="$file:$line:$col '${from}' -> '${to}'"
  if ! cmake --build "$build" --target "${d}_tests" -j "$jobs" >/dev/null 2>&1; then
    verdict=STILLBORN; stillborn=$((stillborn + 1))
  elif run_tests "$d"; then
    verdict=SURVIVED; survived=$((survived + 1)); survivors+=("$desc")
  else
    verdict=KILLED; killed=$((killed + 1))
  fi
  restore
  printf '%3d %-9s %s\n' $((i + 1)) "$verdict" "$desc"
done

echo "seed $seed, $count of $total candidates in ${folders[*]}${only:+ (run: $only only)}"
echo "killed $killed, survived $survived, stillborn $stillborn"
for s in "${survivors[@]}"; do echo "survivor: $s"; done
