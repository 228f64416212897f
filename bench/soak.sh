#!/usr/bin/env bash
# Runs the whole loop for a while: Tiltscope headless, recording, fed by tiltsim
# in automatic output, and reports what went in, what came out and what it cost.
#
#   bench/soak.sh [SECONDS=600] [FRAMES_PER_SECOND=1650] [STALL_MS=0]
#
# 1650 frames/s is the pace of 230400 baud. STALL_MS > 0 makes the window's
# own thread sleep that long once a second, to show the line loses nothing.
# SIM_ARGS adds tiltsim options: SIM_ARGS=--garbage with 1355 frames/s is a
# line full of noise at 230400 baud (17 bytes a frame).
# Brings build/release up to date first (./run.sh builds it too).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
rate=${2:-1650}
stall=${3:-0}

source bench/stage.sh
stage_installation soak

cd "$root/bin"
# The sensor streams a known number of frames, starting at the window's first
# request (Open purges what came before) and ending 10 s before the window
# closes; it answers no request, so every frame it sends is one the window must count.
frames=$((rate * (seconds > 20 ? seconds - 10 : seconds / 2)))
# shellcheck disable=SC2086  # SIM_ARGS is a list of options
./tiltsim --auto-hz "$rate" --count "$frames" --auto-after-request --silent --link COM150 ${SIM_ARGS:-} \
    >"$root/sim.out" 2>"$root/sim.err" &
sim=$!
wait_for_sim

args=(--record --run-seconds "$seconds" --stats "$root/stats.txt")
[ "$stall" -gt 0 ] && args+=(--stall-ms "$stall")
QT_QPA_PLATFORM=offscreen ./tiltscope "${args[@]}" 2>"$root/app.err" &
app=$!

# CPU ticks and resident memory of the window, every 5 s.
hz=$(getconf CLK_TCK)
peak=0; first=0; last=0; t0=$(date +%s.%N)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$app/stat)
while kill -0 "$app" 2>/dev/null; do
    rss=$(awk '/VmRSS/ {print $2}' /proc/$app/status 2>/dev/null || echo 0)
    [ -n "$rss" ] || break
    # Growth is measured from the first sample after the window has settled.
    now=$(date +%s.%N)
    if [ "$first" -eq 0 ] && awk -v a="$t0" -v b="$now" 'BEGIN { exit !(b - a >= 15) }'; then
        first=$rss
    fi
    [ "$rss" -gt "$peak" ] && peak=$rss
    last=$rss
    read -r u1 s1 < <(awk '{print $14, $15}' /proc/$app/stat 2>/dev/null || echo "$u0 $s0")
    sleep 5
done
t1=$(date +%s.%N)
wait "$app" || true
kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true

sent=$(grep -o 'frames_sent=[0-9]*' "$root/sim.err" | cut -d= -f2)
# A file the recording continued in has no header of its own.
rows=0
for f in "$root"/data/*.csv; do
    [ -f "$f" ] && rows=$((rows + $(grep -cv '^X(deg)' "$f" || true)))
done
cpu=$(awk -v u="$((u1 + s1 - u0 - s0))" -v hz="$hz" -v a="$t0" -v b="$t1" \
    'BEGIN { printf "%.1f", 100 * u / hz / (b - a) }')
echo "seconds=$seconds rate=$rate stall_ms=$stall"
echo "frames_sent=$sent"
cat "$root/stats.txt"
echo "csv_rows=$rows"
echo "cpu_percent_of_one_core=$cpu"
echo "rss_first_kb=$first rss_last_kb=$last rss_peak_kb=$peak rss_growth_kb=$((last - first))"
echo "folder=$root"
