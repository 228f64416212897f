#!/usr/bin/env bash
# Frames per second through tiltsim --listen, and whether any are lost:
# tiltsim sends frames unasked as fast as the socket takes them and tiltlog
# only listens, writing one CSV row a frame.
#
#   bench/tcp.sh [--seconds N] [--runs R]
#
# Each run (N seconds, default 10; R runs, default 3) ends by stopping tiltsim
# first: it reports frames_sent (frames written in full), tiltlog then reads
# what was already sent and ends by itself on the lost connection. lost is
# frames_sent minus the rows tiltlog wrote. The Release tree is build/bench-tcp
# (ccache is used when it is installed; CCACHE_DIR is honoured).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=10
runs=3
usage() {
    sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
}
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        *) echo "tcp.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
for n in "$seconds" "$runs"; do
    [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 0 ] || { echo "tcp.sh: counts are whole numbers above 0" >&2; exit 2; }
done

tree=${TCP_BENCH_TREE:-build/bench-tcp}
. bench/tools-tree.sh

pids=()
root=$(mktemp -d "/tmp/tiltscope-tcp-XXXXXX")
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    pids=()
}
trap 'cleanup; rm -rf "$root"' EXIT

# One run: sets result to "seconds frames_sent rows lost frames_per_second".
result=""
one_run() {
    local sim log url="" t0 t1 sent rows status=0
    "$sim_bin" --listen tcp://127.0.0.1:0 --auto-hz max >"$root/sim.out" 2>"$root/sim.err" &
    sim=$!
    pids=("$sim")
    for _ in $(seq 1 100); do
        url=$(head -n 1 "$root/sim.out" 2>/dev/null || true)
        [ -n "$url" ] && break
        sleep 0.05
    done
    [[ "$url" == tcp://* ]] || { echo "tcp.sh: tiltsim did not start" >&2; cat "$root/sim.err" >&2; exit 1; }
    # Longer than the run: the run ends when tiltsim does, never by tiltlog's clock.
    "$log_bin" --port "$url" --interval-ms 0 --output - --duration $((seconds * 3 + 30)) \
        >"$root/rows.csv" 2>"$root/log.err" &
    log=$!
    pids+=("$log")
    t0=$(date +%s.%N)
    sleep "$seconds"
    kill -TERM "$sim"
    wait "$sim" || true
    t1=$(date +%s.%N)
    wait "$log" || status=$?
    pids=()
    # 3: the connection went away, which is how this run ends.
    [ "$status" -eq 3 ] || echo "tcp.sh: tiltlog ended with status $status" >&2
    sent=$(sed -n 's/^frames_sent=//p' "$root/sim.err" | tail -n 1)
    [ -n "$sent" ] || { echo "tcp.sh: tiltsim did not report frames_sent" >&2; cat "$root/sim.err" >&2; exit 1; }
    rows=$(($(wc -l <"$root/rows.csv") - 1))  # less the header line
    [ "$rows" -ge 0 ] || rows=0
    result=$(awk -v s="$sent" -v r="$rows" -v t0="$t0" -v t1="$t1" \
        'BEGIN { d = t1 - t0; printf "%.2f %d %d %d %.0f", d, s, r, s - r, r / d }')
    cp "$root/rows.csv" "$root/rows-last.csv"
}

spread() {  # min median max of the numbers on standard input
    sort -g | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "min=%s median=%s max=%s", v[1], m, v[NR] }'
}

echo "runs=$runs seconds=$seconds sim=tiltsim --listen tcp://127.0.0.1:0 --auto-hz max"
fps=()
total_lost=0
for i in $(seq 1 "$runs"); do
    one_run
    read -r took sent rows lost rate <<<"$result"
    echo "run=$i seconds=$took frames_sent=$sent rows=$rows lost=$lost frames_per_second=$rate"
    fps+=("$rate")
    total_lost=$((total_lost + lost))
done
echo "frames_per_second $(printf '%s\n' "${fps[@]}" | spread)"
echo "lost_total=$total_lost"
