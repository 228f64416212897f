#!/usr/bin/env bash
# A line of nothing but 0x68 bytes (each one the start of a frame that never
# comes) at the speed of a pseudo-terminal, then silence: the window's memory
# must stay bounded during the flood and its CPU fall back to idle after it.
#
#   bench/flood.sh [FLOOD_SECONDS=20] [QUIET_SECONDS=10] [BYTE=68]
#
# Brings build/release up to date first (./run.sh builds it too).
set -euo pipefail
cd "$(dirname "$0")/.."
flood=${1:-20}
quiet=${2:-10}
byte=${3:-68}

source bench/stage.sh
stage_installation flood

cd "$root/bin"
./tiltsim --flood "$byte" --auto-hz max --auto-after-request --silent --link COM150 \
    >"$root/sim.out" 2>"$root/sim.err" &
sim=$!
wait_for_sim

QT_QPA_PLATFORM=offscreen ./tiltscope --record --run-seconds $((flood + quiet + 5)) \
    --stats "$root/stats.txt" 2>"$root/app.err" &
app=$!

ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
hz=$(getconf CLK_TCK)
peak=0
start=$(date +%s)
while [ $(($(date +%s) - start)) -lt "$flood" ] && kill -0 "$app" 2>/dev/null; do
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$app/status")
    [ "$rss" -gt "$peak" ] && peak=$rss
    sleep 1
done
flood_ticks=$(ticks)
kill -STOP "$sim"  # the flood stops; the line stays open
sleep 2            # what the pty still held drains
t0=$(ticks)
sleep "$quiet"
t1=$(ticks)
rss=$(awk '/VmRSS/ {print $2}' "/proc/$app/status")
[ "$rss" -gt "$peak" ] && peak=$rss
# The window ends by itself first: a line that went away under it would bring up
# the adapter-gone box, which nobody answers here.
wait "$app" || true
kill "$sim" 2>/dev/null || true
kill -CONT "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true

echo "flood_seconds=$flood byte=0x$byte"
echo "cpu_seconds_during_flood=$(awk -v t="$flood_ticks" -v hz="$hz" 'BEGIN { printf "%.1f", t / hz }')"
echo "cpu_percent_after_flood=$(awk -v d="$((t1 - t0))" -v hz="$hz" -v s="$quiet" 'BEGIN { printf "%.1f", 100 * d / hz / s }')"
echo "rss_peak_kb=$peak rss_after_kb=$rss"
cat "$root/stats.txt" 2>/dev/null || true
echo "folder=$root"
