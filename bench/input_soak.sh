#!/usr/bin/env bash
# Memory under continued input: runs the real program on a virtual X server
# with the clock at 1 Hour/Second and feeds it random keys, clicks and menu
# commands (xdotool), printing its resident memory (VmRSS) every 30 s. The
# memory should level off; it must not grow for as long as the input goes on.
#   bench/input_soak.sh [MINUTES] [PROGRAM]
# The program runs in the reference-data folder (NOCTRA_REFDATA, see
# bench_data.h) with a private home; random choices are seeded (SOAK_SEED).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-20}
program=${2:-$top/build/app/noctra}
if [ -z "${SOAK_INNER:-}" ]; then
  export SOAK_INNER=1
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$0" "$minutes" "$program"
fi
data=${NOCTRA_REFDATA:-${NOCTRA_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/noctra}}
home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/share
RANDOM=${SOAK_SEED:-1}
cd "$data"
"$program" >/dev/null 2>&1 &
pid=$!
win=
for _ in $(seq 120); do
  win=$(xdotool search --name "^Noctra Planetarium$" 2>/dev/null | head -1) || true
  [ -n "$win" ] && break
  sleep 0.5
done
[ -n "$win" ] || { echo "no main window"; exit 1; }
sleep 3
# The window's own process (PROGRAM may be a wrapper such as heaptrack).
wpid=$(xdotool getwindowpid "$win")
rss() { awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$wpid/status"; }
W=1600 H=1000
# Chart keys (zoom, time steps, labels, horizon, field of view, points of
# interest) and menus other than File (Exit would end the run).
keys=(plus minus slash KP_Divide h H m M s S z Z n N b B 1 2 3 Escape ctrl+1 ctrl+3 ctrl+5 alt+1 ctrl+h)
menus=(alt+e alt+s alt+r alt+o alt+p alt+c alt+i alt+h)
# The clock at 1 Hour/Second: the clock inset's pop-up menu.
xdotool mousemove 1480 860 click 3 sleep 0.5 mousemove 1520 600 click 1
start=$(date +%s)
next=$start
echo "minute  RSS (MB)"
while :; do
  now=$(date +%s)
  if [ "$now" -ge "$next" ]; then
    printf "%6.1f  %d\n" "$(echo "($now - $start) / 60" | bc -l)" "$(rss)"
    next=$((next + 30))
  fi
  [ "$now" -ge $((start + minutes * 60)) ] && break
  kill -0 "$pid" || { echo "the program ended"; exit 1; }
  xdotool windowfocus "$win" 2>/dev/null || true
  x=$((RANDOM % W)) y=$((RANDOM % (H - 40) + 20))
  case $((RANDOM % 6)) in
    0|1) xdotool key "${keys[RANDOM % ${#keys[@]}]}" ;;
    2) xdotool mousemove "$x" "$y" click 1 ;;
    3) xdotool mousemove "$x" "$y" click 3 sleep 0.2 key Down Down Return sleep 0.3 key Escape ;;
    4) xdotool key "${menus[RANDOM % ${#menus[@]}]}" sleep 0.2 key $(printf 'Down %.0s' $(seq $((RANDOM % 6 + 1)))) Return sleep 0.5 key Escape Escape ;;
    5) xdotool mousemove "$x" "$y" sleep 0.1 mousemove $((x + 5)) $((y + 5)) ;;
  esac
  sleep 0.1
done
