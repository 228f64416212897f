#!/usr/bin/env bash
# Bus capacity: tiltlog asking 10 simulated sensors in turn as fast as the line
# allows (--interval-ms 1), tiltsim pacing its line at --line-rate, the request's
# bytes included. Transactions per second against the line-time bound:
#   1 / ((request + reply bytes) x 10 bits / baud + turnaround)
#
#   bench/bus.sh [--seconds N] [--protocol tarq|modbus|both] [--bauds "9600 115200"]
#                [--transports "pty rfc2217 modbus-tcp"]
#
# pty: tiltlog on tiltsim's pseudo-terminal. rfc2217: through ser2net in telnet
# (RFC 2217) mode in front of that terminal, on 127.0.0.1, with its character
# delay off (it holds a reply back until the line has been quiet a while; device
# servers call it packing). modbus-tcp: tiltsim
# serving its paced line as a Modbus TCP gateway (Modbus only).
#
# The Release tree is build/bench-tcp, shared with bench/tcp.sh (BUS_BENCH_TREE
# overrides it; ccache is used when it is installed).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=10
protocols="tarq modbus"
bauds="9600 115200"
transports="pty"
turnaround_us=1000
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --protocol) [ "$2" = both ] && protocols="tarq modbus" || protocols=$2; shift 2 ;;
        --bauds) bauds=$2; shift 2 ;;
        --transports) transports=$2; shift 2 ;;
        -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bus.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

tree=${BUS_BENCH_TREE:-build/bench-tcp}
. bench/tools-tree.sh

root=$(mktemp -d "/tmp/tiltscope-bus-XXXXXX")
sim=""
relay=""
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; [ -n "$relay" ] && kill "$relay" 2>/dev/null; rm -rf "$root"' EXIT

# A port nobody listens on; ser2net takes no port 0.
free_port() {
    local p
    while :; do
        p=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return; }
    done
}

# The first line tiltsim prints: its terminal or its URL.
wait_first_line() {
    for _ in $(seq 1 100); do [ -s "$1" ] && break; sleep 0.05; done
    head -n 1 "$1"
}

printf '%-10s %-7s %7s %9s %9s %9s %7s\n' transport protocol baud rows tx/s bound share
for transport in $transports; do
for protocol in $protocols; do
    [ "$transport" = modbus-tcp ] && [ "$protocol" != modbus ] && continue
    # A read request and its reply: the frame protocol's 5 and 14 bytes (layout
    # 13), Modbus's 8 and 15.
    if [ "$protocol" = tarq ]; then bytes=19; else bytes=23; fi
    for baud in $bauds; do
        listen=()
        [ "$transport" = modbus-tcp ] && listen=(--listen "modbus-tcp://127.0.0.1:0")
        "$sim_bin" --protocol "$protocol" --address 1-10 --line-rate "$baud" \
            --turnaround-us "$turnaround_us" "${listen[@]}" >"$root/sim.out" 2>"$root/sim.err" &
        sim=$!
        port=$(wait_first_line "$root/sim.out")
        if [ "$transport" = rfc2217 ]; then
            command -v ser2net >/dev/null || { echo "bus.sh: ser2net is not installed" >&2; exit 1; }
            tcp=$(free_port)
            printf 'connection: &line\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%s\n  connector: serialdev,%s,%sn81,local\n  options:\n    chardelay: false\n' \
                "$tcp" "$port" "$baud" >"$root/ser2net.yaml"
            ser2net -n -d -u -c "$root/ser2net.yaml" >"$root/ser2net.err" 2>&1 &
            relay=$!
            for _ in $(seq 1 100); do
                (exec 3<>"/dev/tcp/127.0.0.1/$tcp") 2>/dev/null && break
                sleep 0.05
            done
            port="rfc2217://127.0.0.1:$tcp"
        fi
        "$log_bin" --port "$port" --protocol "$protocol" --address 1-10 \
            $([ "$transport" = modbus-tcp ] || echo --baud "$baud") \
            --interval-ms 1 --duration "$seconds" --output - >"$root/rows" 2>"$root/log.err" || true
        [ -n "$relay" ] && { kill "$relay"; wait "$relay" 2>/dev/null || true; relay=""; }
        kill "$sim"; wait "$sim" 2>/dev/null || true; sim=""
        rows=$(( $(wc -l <"$root/rows") - 1 ))
        awk -v r="$rows" -v s="$seconds" -v b="$baud" -v n="$bytes" -v t="$turnaround_us" \
            -v p="$protocol" -v x="$transport" 'BEGIN {
                bound = 1 / (n * 10 / b + t / 1e6); got = r / s;
                printf "%-10s %-7s %7d %9d %9.1f %9.1f %6.1f%%\n", x, p, b, r, got, bound, 100 * got / bound }'
    done
done
done
