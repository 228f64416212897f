#!/usr/bin/env bash
# Bus capacity: tiltlog asking 10 simulated sensors in turn as fast as the line
# allows (--interval-ms 1), tiltsim pacing its line at --line-rate, the request's
# bytes included. Transactions per second against the line-time bound:
#   1 / ((request + reply bytes) x 10 bits / baud + turnaround)
#
#   bench/bus.sh [--seconds N] [--protocol tarq|modbus|both] [--bauds "9600 115200"]
#
# The Release tree is build/bench-tcp, shared with bench/tcp.sh (BUS_BENCH_TREE
# overrides it; ccache is used when it is installed).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=10
protocols="tarq modbus"
bauds="9600 115200"
turnaround_us=1000
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --protocol) [ "$2" = both ] && protocols="tarq modbus" || protocols=$2; shift 2 ;;
        --bauds) bauds=$2; shift 2 ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bus.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

tree=${BUS_BENCH_TREE:-build/bench-tcp}
. bench/tools-tree.sh

root=$(mktemp -d "/tmp/tiltscope-bus-XXXXXX")
sim=""
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; rm -rf "$root"' EXIT

printf '%-7s %7s %9s %9s %9s %7s\n' protocol baud rows tx/s bound share
for protocol in $protocols; do
    # A read request and its reply: the frame protocol's 5 and 14 bytes (layout
    # 13), Modbus's 8 and 15.
    if [ "$protocol" = tarq ]; then bytes=19; else bytes=23; fi
    for baud in $bauds; do
        "$sim_bin" --protocol "$protocol" --address 1-10 --line-rate "$baud" \
            --turnaround-us "$turnaround_us" >"$root/sim.out" 2>"$root/sim.err" &
        sim=$!
        for _ in $(seq 1 100); do [ -s "$root/sim.out" ] && break; sleep 0.05; done
        pty=$(head -n 1 "$root/sim.out")
        "$log_bin" --port "$pty" --protocol "$protocol" --baud "$baud" --address 1-10 \
            --interval-ms 1 --duration "$seconds" --output - >"$root/rows" 2>"$root/log.err" || true
        kill "$sim"; wait "$sim" 2>/dev/null || true; sim=""
        rows=$(( $(wc -l <"$root/rows") - 1 ))
        awk -v r="$rows" -v s="$seconds" -v b="$baud" -v n="$bytes" -v t="$turnaround_us" \
            -v p="$protocol" 'BEGIN {
                bound = 1 / (n * 10 / b + t / 1e6); got = r / s;
                printf "%-7s %7d %9d %9.1f %9.1f %6.1f%%\n", p, b, r, got, bound, 100 * got / bound }'
    done
done
