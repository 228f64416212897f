#!/usr/bin/env bash
# Modbus TCP: tiltlog's transactions per second against a libmodbus server,
# beside a libmodbus client polling the same five registers in a loop, one
# request at a time. tiltlog asks a bus of --units addresses (default 100) in
# turn as fast as replies come; the server answers every unit id. With enough
# units a round outlasts --interval-ms 1, so only the replies set the pace.
# --in-flight N lets tiltlog keep N requests on their way (default 1).
#
#   bench/modbus.sh [--seconds N] [--units N] [--in-flight N]
#
# Prints both rates and their ratio (tiltlog / libmodbus). The Release tree is
# build/bench-tcp, shared with bench/tcp.sh (MODBUS_BENCH_TREE overrides it);
# the libmodbus server and client are built beside it from tests/partner and bench/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=10
units=100
window=1
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --units) units=$2; shift 2 ;;
        --in-flight) window=$2; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "modbus.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
[[ "$window" =~ ^[0-9]+$ ]] && [ "$window" -ge 1 ] || { echo "modbus.sh: --in-flight takes a whole number from 1" >&2; exit 2; }
for n in "$seconds" "$units"; do
    [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 1 ] || { echo "modbus.sh: counts are whole numbers above 1" >&2; exit 2; }
done

tree=${MODBUS_BENCH_TREE:-build/bench-tcp}
. bench/tools-tree.sh
modbus=$(pkg-config --cflags --libs libmodbus)
# shellcheck disable=SC2086
c++ -std=c++17 -O2 tests/partner/ModbusPartner.cpp $modbus -pthread -o "$tree/modbus_partner"
# shellcheck disable=SC2086
cc -O2 bench/modbus_client.c $modbus -o "$tree/modbus_client"

root=$(mktemp -d "/tmp/tiltscope-modbus-XXXXXX")
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$root"' EXIT
"$tree/modbus_partner" tcp 1 0x23FF:18000:-256 0:0xFF:2510 >"$root/server.out" 2>"$root/server.err" &
server=$!
for _ in $(seq 1 100); do [ -s "$root/server.out" ] && break; sleep 0.05; done
url=$(head -n 1 "$root/server.out")
[[ "$url" == modbus-tcp://* ]] || { echo "modbus.sh: the server did not start" >&2; cat "$root/server.err" >&2; exit 1; }
port=${url##*:}

"$tree/modbus_client" 127.0.0.1 "$port" 1 "$seconds" >"$root/client.out"
reference=$(sed -n 's/^transactions=\([0-9]*\) seconds=\(.*\)$/\1 \2/p' "$root/client.out")

"$log_bin" --port "$url" --protocol modbus --registers 5 --address "1-$units" \
    --interval-ms 1 --in-flight "$window" --duration "$seconds" --output - >"$root/rows" 2>"$root/log.err" || true
rows=$(( $(wc -l <"$root/rows") - 1 ))
good=$(grep -c -E '^[0-9]+,(2\.15,90\.00,-2\.56|-90\.00,-87\.45,25\.10),' "$root/rows" || true)

printf '%-10s %12s %9s\n' client transactions tx/s
awk -v ref="$reference" -v r="$rows" -v s="$seconds" -v g="$good" 'BEGIN {
    split(ref, f, " "); lib = f[1] / f[2]; got = r / s;
    printf "%-10s %12d %9.0f\n", "libmodbus", f[1], lib;
    printf "%-10s %12d %9.0f\n", "tiltlog", r, got;
    printf "ratio %.2f (tiltlog / libmodbus); rows not of the map: %d\n", got / lib, r - g }'
