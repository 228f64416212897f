#!/usr/bin/env bash
# Builds every benchmark optimised, into build/bench (the Release tree of
# ./run.sh leaves them out, and the tree of ./test.sh has sanitizers on).
#
#   bench/build.sh      then e.g. build/bench/bench/receive_path_bench
set -euo pipefail
cd "$(dirname "$0")/.."
for arg in "$@"; do
    case "$arg" in
        -h|--help) echo "usage: bench/build.sh"; exit 0 ;;
        *) echo "build.sh: unknown option $arg (try --help)" >&2; exit 2 ;;
    esac
done
source scripts/deps.sh
ensure_packages "${run_packages[@]}" libbenchmark-dev
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTILTSCOPE_TESTS=OFF \
    -DTILTSCOPE_BENCH=ON >/dev/null
cmake --build build/bench
echo "benchmarks in build/bench/bench/"
