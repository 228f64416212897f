#!/usr/bin/env bash
# What the window costs at the line's maximum, in a real X session (Xvfb) and
# headless (offscreen): tiltsim sends frames unasked as fast as the line takes
# them, the window records, and the window's own CPU time is measured.
#
#   bench/xsession.sh [--runs N] [--seconds S] [--warmup W] [--rate HZ|max]
#                     [--platform xvfb|offscreen|both]
#
# The rate defaults to 1650 frames/s, the pace of 230400 baud. tiltsim's
# "max" is as fast as the pseudo-terminal takes frames, far above any line.
# Each run starts a fresh Xvfb (for xvfb), tiltsim and the window, waits W
# seconds, then takes utime+stime of the window from /proc/PID/stat over S
# seconds, and the frames received over the same S seconds (CSV rows written).
# Only the window's own CPU time counts, so other load on the machine changes
# the figures little. The Release tree is build/bench-x (ccache is used when
# it is installed; CCACHE_DIR is honoured).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=3
seconds=60
warmup=10
rate=1650
platform=both
usage() {
    sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
}
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --warmup) warmup=$2; shift 2 ;;
        --rate) rate=$2; shift 2 ;;
        --platform) platform=$2; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        *) echo "xsession.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
case "$platform" in
    xvfb) platforms=(xvfb) ;;
    offscreen) platforms=(offscreen) ;;
    both) platforms=(xvfb offscreen) ;;
    *) echo "xsession.sh: --platform is xvfb, offscreen or both" >&2; exit 2 ;;
esac
for n in "$runs" "$seconds" "$warmup"; do
    [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 0 ] || { echo "xsession.sh: counts are whole numbers above 0" >&2; exit 2; }
done
[[ "$rate" =~ ^([0-9]+|max)$ ]] || { echo "xsession.sh: --rate is a number or max" >&2; exit 2; }

source scripts/deps.sh
ensure_packages "${run_packages[@]}" xvfb

source bench/window-tree.sh
root=""
rows_in() {
    local n=0 f
    for f in "$1"/*.csv; do [ -f "$f" ] && n=$((n + $(wc -l <"$f"))); done
    echo "$n"
}

# One run: sets result to "cpu_percent frames_per_second xvfb_cpu_percent".
result=""
one_run() {
    local kind=$1 display="" xvfb="" sim app
    root=$(mktemp -d "/tmp/tiltscope-xsession-XXXXXX")
    mkdir -p "$root/bin" "$root/config/ports" "$root/data" "$root/picture"
    cp build/bench-x/src/app/tiltscope build/bench-x/tools/tiltsim/tiltsim "$root/bin/"
    printf '[Config]\r\nLANGUAGE=EN\r\nCOM=150\r\nBAUD=6\r\nPARITY=0\r\nPATH=%s\r\n' \
        "$root/data" >"$root/config/Config.ini"
    cd "$root/bin"
    if [ "$kind" = xvfb ]; then
        # Xvfb picks a free display and writes its number once it accepts clients.
        Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp >"$root/display" 2>"$root/xvfb.err" &
        xvfb=$!
        pids+=("$xvfb")
        for _ in $(seq 1 100); do [ -s "$root/display" ] && break; sleep 0.1; done
        [ -s "$root/display" ] || { echo "xsession.sh: Xvfb did not start" >&2; cat "$root/xvfb.err" >&2; exit 1; }
        display=":$(head -n 1 "$root/display")"
    fi
    ./tiltsim --auto-hz "$rate" --silent --link COM150 >"$root/sim.out" 2>"$root/sim.err" &
    sim=$!
    pids+=("$sim")
    for _ in $(seq 1 50); do [ -s "$root/sim.out" ] && break; sleep 0.1; done
    local limit=$((warmup + seconds + 30))
    if [ "$kind" = xvfb ]; then
        DISPLAY=$display QT_QPA_PLATFORM=xcb ./tiltscope --record --run-seconds "$limit" \
            --stats "$root/stats.txt" 2>"$root/app.err" &
    else
        QT_QPA_PLATFORM=offscreen ./tiltscope --record --run-seconds "$limit" \
            --stats "$root/stats.txt" 2>"$root/app.err" &
    fi
    app=$!
    pids+=("$app")
    cd - >/dev/null
    sleep "$warmup"
    kill -0 "$app" 2>/dev/null || { echo "xsession.sh: the window ended early" >&2; cat "$root/app.err" >&2; exit 1; }
    local a0 r0 x0=0 a1 r1 x1=0 t0 t1
    t0=$(date +%s.%N)
    a0=$(ticks_of "$app")
    [ -n "$xvfb" ] && x0=$(ticks_of "$xvfb")
    r0=$(rows_in "$root/data")
    sleep "$seconds"
    a1=$(ticks_of "$app")
    [ -n "$xvfb" ] && x1=$(ticks_of "$xvfb")
    r1=$(rows_in "$root/data")
    t1=$(date +%s.%N)
    cleanup
    result=$(awk -v a="$((a1 - a0))" -v x="$((x1 - x0))" -v r="$((r1 - r0))" -v hz="$hz" \
        -v t0="$t0" -v t1="$t1" \
        'BEGIN { d = t1 - t0; printf "%.2f %.0f %.2f", 100 * a / hz / d, r / d, 100 * x / hz / d }')
    rm -rf "$root"
}

spread() {  # min median max of the numbers on standard input
    sort -g | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "min=%s median=%s max=%s", v[1], m, v[NR] }'
}

echo "runs=$runs seconds=$seconds warmup=$warmup rate=$rate recording=on"
for kind in "${platforms[@]}"; do
    results=()
    for i in $(seq 1 "$runs"); do
        one_run "$kind"
        line=$result
        read -r cpu fps xcpu <<<"$line"
        results+=("$line")
        if [ "$kind" = xvfb ]; then
            echo "$kind run=$i cpu_percent_of_one_core=$cpu frames_per_second=$fps xvfb_cpu_percent=$xcpu"
        else
            echo "$kind run=$i cpu_percent_of_one_core=$cpu frames_per_second=$fps"
        fi
    done
    echo "$kind cpu_percent_of_one_core $(printf '%s\n' "${results[@]}" | awk '{print $1}' | spread)"
    echo "$kind frames_per_second $(printf '%s\n' "${results[@]}" | awk '{print $2}' | spread)"
done
