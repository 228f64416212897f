#!/usr/bin/env bash
# Builds Tiltscope (Release), lays out build/stage/{bin,config,data,picture} and
# starts it from its bin folder. Unless --no-demo is given, a simulated sensor
# (tiltsim) runs beside it on a pseudo-terminal registered as the start-up port.
set -euo pipefail
cd "$(dirname "$0")"

demo=1
while [ $# -gt 0 ]; do
    case "$1" in
        --no-demo) demo=0 ;;
        --) shift; break ;;  # the rest is Tiltscope's own, e.g. --run-seconds N
        -h|--help) echo "usage: ./run.sh [--no-demo] [-- TILTSCOPE-OPTIONS]"; exit 0 ;;
        *) echo "run.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
    shift
done

source scripts/deps.sh
ensure_packages "${run_packages[@]}"

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=OFF >/dev/null
cmake --build build/release
stage=$PWD/build/stage
cmake --install build/release --prefix "$stage" >/dev/null

# The key a setting is stored under, from the stage's Config.ini if it exists.
setting() {
    [ -f "$stage/config/Config.ini" ] || return 0
    sed -n "s/^$1=\([0-9]*\).*/\1/Ip" "$stage/config/Config.ini" | tr -d '\r' | head -n 1
}

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT

if [ "$demo" -eq 1 ]; then
    port=$(setting COM); port=${port:-1}
    protocol=tarq; [ "$(setting PROTOCOL)" = "1" ] && protocol=modbus
    address=$(setting ADDR)
    args=(--protocol "$protocol" --link "COM$port" --ports-dir "$stage/config/ports")
    [ -n "$address" ] && [ "$protocol" = tarq ] && args+=(--address "$address")
    out=$(mktemp)
    "$stage/bin/tiltsim" "${args[@]}" >"$out" &
    sim_pid=$!
    for _ in $(seq 1 50); do [ -s "$out" ] && break; sleep 0.1; done
    echo "Demo sensor ($protocol) on $(head -n 1 "$out") as COM$port"
    rm -f "$out"
fi

cd "$stage/bin"
./tiltscope "$@"
