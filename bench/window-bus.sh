#!/usr/bin/env bash
# The window polling a bus: tiltsim's 10 sensors on one line paced at 115200
# baud (--line-rate), the window asking them in turn as fast as the line allows
# (BUS_INTERVAL_MS=1) and recording one file per address. Transactions per
# second (rows recorded) against the line-time bound
#   1 / ((request + reply bytes) x 10 bits / baud + turnaround)
# and the window's own CPU time (utime+stime from /proc/PID/stat), headless.
#
#   bench/window-bus.sh [--runs N] [--seconds S] [--warmup W] [--protocol tarq|modbus|both]
#                       [--platform offscreen|xvfb] [--absent] [--interval-ms MS]
#
# --absent: the window asks an 11th address nobody answers; the others' share
# then shows what one silent sensor costs (one reply time-out a round).
# --interval-ms: BUS_INTERVAL_MS (default 1, as fast as the line allows; the
# window's own default is 200).
#
# The Release tree is build/bench-x, shared with bench/xsession.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=3
seconds=20
warmup=5
protocols="tarq modbus"
platform=offscreen
addresses=1-10
interval=1
baud=115200
turnaround_us=1000
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --warmup) warmup=$2; shift 2 ;;
        --protocol) [ "$2" = both ] && protocols="tarq modbus" || protocols=$2; shift 2 ;;
        --platform) platform=$2; shift 2 ;;
        --absent) addresses=1-11; shift ;;
        --interval-ms) interval=$2; shift 2 ;;
        -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "window-bus.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
for n in "$runs" "$seconds" "$warmup"; do
    [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 0 ] || { echo "window-bus.sh: counts are whole numbers above 0" >&2; exit 2; }
done
case "$platform" in offscreen|xvfb) ;; *) echo "window-bus.sh: --platform is offscreen or xvfb" >&2; exit 2 ;; esac

source scripts/deps.sh
ensure_packages "${run_packages[@]}" xvfb

source bench/window-tree.sh
rows_in() {  # data lines of every file, headers left out
    local n=0 f
    for f in "$1"/*.csv; do [ -f "$f" ] && n=$((n + $(wc -l <"$f") - 1)); done
    echo "$n"
}

result=""
one_run() {
    local protocol=$1 root sim app display="" xvfb=""
    root=$(mktemp -d "/tmp/tiltscope-window-bus-XXXXXX")
    mkdir -p "$root/bin" "$root/config/ports" "$root/data" "$root/picture"
    cp build/bench-x/src/app/tiltscope build/bench-x/tools/tiltsim/tiltsim "$root/bin/"
    # BAUD 5 is 115200 in the baud list; PROTOCOL 0 the frame protocol, 1 Modbus.
    printf '[Config]\r\nLANGUAGE=EN\r\nCOM=150\r\nBAUD=5\r\nPARITY=0\r\nPROTOCOL=%s\r\nADDR=%s\r\nBUS_INTERVAL_MS=%s\r\nPATH=%s\r\n' \
        "$([ "$protocol" = modbus ] && echo 1 || echo 0)" "$addresses" "$interval" "$root/data" >"$root/config/Config.ini"
    cd "$root/bin"
    if [ "$platform" = xvfb ]; then
        Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp >"$root/display" 2>"$root/xvfb.err" &
        xvfb=$!
        pids+=("$xvfb")
        for _ in $(seq 1 100); do [ -s "$root/display" ] && break; sleep 0.1; done
        display=":$(head -n 1 "$root/display")"
    fi
    ./tiltsim --protocol "$protocol" --address 1-10 --baud "$baud" --line-rate "$baud" \
        --turnaround-us "$turnaround_us" --link COM150 >"$root/sim.out" 2>"$root/sim.err" &
    sim=$!
    pids+=("$sim")
    for _ in $(seq 1 50); do [ -s "$root/sim.out" ] && break; sleep 0.1; done
    local limit=$((warmup + seconds + 30))
    if [ "$platform" = xvfb ]; then
        DISPLAY=$display QT_QPA_PLATFORM=xcb ./tiltscope --record --run-seconds "$limit" 2>"$root/app.err" &
    else
        QT_QPA_PLATFORM=offscreen ./tiltscope --record --run-seconds "$limit" 2>"$root/app.err" &
    fi
    app=$!
    pids+=("$app")
    cd - >/dev/null
    sleep "$warmup"
    kill -0 "$app" 2>/dev/null || { echo "window-bus.sh: the window ended early" >&2; cat "$root/app.err" >&2; exit 1; }
    local a0 r0 a1 r1 t0 t1 files
    t0=$(date +%s.%N)
    a0=$(ticks_of "$app")
    r0=$(rows_in "$root/data")
    sleep "$seconds"
    a1=$(ticks_of "$app")
    r1=$(rows_in "$root/data")
    t1=$(date +%s.%N)
    files=$(ls "$root/data" | grep -c '_A[0-9]*_' || true)
    cleanup
    # A read request and its reply: the frame protocol's 5 and 14 bytes, Modbus's 8 and 15.
    local bytes=19
    [ "$protocol" = modbus ] && bytes=23
    result=$(awk -v a="$((a1 - a0))" -v r="$((r1 - r0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" \
        -v b="$baud" -v n="$bytes" -v t="$turnaround_us" -v f="$files" \
        'BEGIN { d = t1 - t0; bound = 1 / (n * 10 / b + t / 1e6); got = r / d;
                 printf "%.1f %.1f %.1f %.2f %d", got, bound, 100 * got / bound, 100 * a / hz / d, f }')
    rm -rf "$root"
}

echo "runs=$runs seconds=$seconds warmup=$warmup baud=$baud sensors=10 asked=$addresses interval_ms=$interval platform=$platform"
printf '%-8s %4s %9s %9s %7s %9s %6s\n' protocol run tx/s bound share cpu% files
for protocol in $protocols; do
    for i in $(seq 1 "$runs"); do
        one_run "$protocol"
        read -r got bound share cpu files <<<"$result"
        printf '%-8s %4d %9s %9s %6s%% %8s%% %6s\n' "$protocol" "$i" "$got" "$bound" "$share" "$cpu" "$files"
    done
done
