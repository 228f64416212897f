#!/usr/bin/env bash
# The MQTT feed's capacity: tiltsim on TCP loopback sending at --auto-hz RATE,
# tiltlog listening (--interval-ms 0) with its rows on standard output and
# published at QoS 1 to a mosquitto broker on 127.0.0.1. For each rate: rows
# taken against frames sent (the polling side must lose none), and rows the
# broker acknowledged per second, with none still held at the end.
#
#   bench/mqtt.sh [--seconds N] [--rates "2100 5000 10000"]
#
# The Release tree is build/bench-tcp, shared with bench/tcp.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=10
rates="2100 5000 10000"
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --rates) rates=$2; shift 2 ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "mqtt.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

source scripts/deps.sh
ensure_packages mosquitto
tree=${TCP_BENCH_TREE:-build/bench-tcp}
. bench/tools-tree.sh

root=$(mktemp -d "/tmp/tiltscope-mqtt-XXXXXX")
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
}
trap 'cleanup; rm -rf "$root"' EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
{
    echo "listener $port 127.0.0.1"
    echo "allow_anonymous true"
    echo "max_queued_messages 0"
    [ "$(id -u)" -eq 0 ] && echo "user root"
} >"$root/broker.conf"
mosquitto -c "$root/broker.conf" >"$root/broker.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.05
done

printf '%7s %9s %9s %9s %11s %6s\n' rate sent rows published 'published/s' held
for rate in $rates; do
    "$sim_bin" --listen tcp://127.0.0.1:0 --auto-hz "$rate" >"$root/sim.out" 2>"$root/sim.err" &
    sim=$!
    url=""
    for _ in $(seq 1 100); do
        url=$(head -n 1 "$root/sim.out" 2>/dev/null || true)
        [ -n "$url" ] && break
        sleep 0.05
    done
    "$log_bin" --port "$url" --interval-ms 0 --output - --duration $((seconds * 3 + 30)) \
        --mqtt "mqtt://127.0.0.1:$port/bench" --mqtt-queue 1G \
        >"$root/rows.csv" 2>"$root/log.err" &
    log=$!
    pids+=("$sim" "$log")
    sleep "$seconds"
    # tiltsim ends the run; tiltlog then hands the broker what it still holds.
    kill -TERM "$sim"; wait "$sim" || true
    wait "$log" || true
    pids=("${pids[0]}")
    sent=$(sed -n 's/^frames_sent=//p' "$root/sim.err" | tail -n 1)
    rows=$(( $(wc -l <"$root/rows.csv") - 1 ))
    published=$(sed -n 's/^tiltlog: \([0-9]*\) rows published.*/\1/p' "$root/log.err" | tail -n 1)
    held=$(sed -n 's/.*; \([0-9]*\) were not.*/\1/p' "$root/log.err" | tail -n 1)
    awk -v r="$rate" -v s="$sent" -v n="$rows" -v p="${published:-0}" -v h="${held:-0}" \
        -v t="$seconds" 'BEGIN { printf "%7s %9d %9d %9d %11.0f %6d\n", r, s, n, p, p / t, h }'
done
