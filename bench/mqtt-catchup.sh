#!/usr/bin/env bash
# The MQTT feed's catch-up after a restart: a folder holding ROWS rows the
# broker has not had (a CSV file and the feed's position at its start), then
# tiltlog polling tiltsim on TCP loopback every 20 ms for SECONDS, recording to
# that folder and publishing to mosquitto on 127.0.0.1. Catch-up: rows of the
# old file the broker acknowledged per second (read from the position file at
# the end). Polling: rows recorded per second, against the same run without a
# backlog (it must not drop).
#
#   bench/mqtt-catchup.sh [--seconds N] [--rows N]
#
# The Release tree is build/bench-tcp, shared with bench/tcp.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=20
rows=100000
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --rows) rows=$2; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "mqtt-catchup.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

source scripts/deps.sh
ensure_packages mosquitto
tree=${TCP_BENCH_TREE:-build/bench-tcp}
. bench/tools-tree.sh

root=$(mktemp -d "/tmp/tiltscope-catchup-XXXXXX")
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
    [ "$(id -u)" -eq 0 ] && echo "user root"
} >"$root/broker.conf"
mosquitto -c "$root/broker.conf" >"$root/broker.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.05
done

"$sim_bin" --listen tcp://127.0.0.1:0 >"$root/sim.out" 2>"$root/sim.err" &
pids+=($!)
url=""
for _ in $(seq 1 100); do
    url=$(head -n 1 "$root/sim.out" 2>/dev/null || true)
    [ -n "$url" ] && break
    sleep 0.05
done

# One run for SECONDS into folder $1; prints "recorded published".
run() {
    "$log_bin" --port "$url" --interval-ms 20 --output "$1" --prefix bench \
        --duration "$seconds" --mqtt "mqtt://127.0.0.1:$port/bench" 2>"$1.err" || true
    local recorded
    recorded=$(sed -n 's/^tiltlog: \([0-9]*\) rows to .*/\1/p' "$1.err" | tail -n 1)
    echo "${recorded:-0}"
}

mkdir "$root/plain" "$root/backlog"
old=bench_20260101000000.csv
python3 - "$root/backlog/$old" "$rows" <<'PY'
import sys
with open(sys.argv[1], "w", newline="") as f:
    f.write("X(deg),Y(deg),Temperature, Time\r\n")
    for i in range(int(sys.argv[2])):
        s, ms = divmod(i * 20, 1000)
        f.write("1.25,-0.37,23.50,2026-1-1 0:%d:%d'%d \r\n" % (s // 60 % 60, s % 60, ms))
PY
printf 'file %s\nrows 0\n' "$old" >"$root/backlog/bench.mqtt-position"

plain=$(run "$root/plain")
backlog=$(run "$root/backlog")
position=$(cat "$root/backlog/bench.mqtt-position")
caught=$(sed -n 's/^rows //p' <<<"$position")
# Past the old file: all of it went within the run.
grep -q "^file $old" <<<"$position" || caught=$rows
printf '%-26s %9s %11s\n' run 'rows/s' 'caught up/s'
awk -v n="$plain" -v t="$seconds" 'BEGIN { printf "%-26s %9.1f %11s\n", "polling, no backlog", n / t, "-" }'
awk -v n="$backlog" -v c="$caught" -v t="$seconds" -v r="$rows" \
    'BEGIN { printf "%-26s %9.1f %11.0f%s\n", "polling, " r " rows behind", n / t, c / t,
             c == r ? " (all caught up: at least)" : "" }'
