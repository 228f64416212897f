#!/usr/bin/env bash
# Reading recordings back, Release build: a 40 MiB recording (890,000 rows)
# and a week at 5 Hz (3,024,000 rows in 7 files); wall time (best of 3) and
# peak memory per million rows, each in a process of its own.
#
#   bench/review/read.sh
#
# The recordings are made once by make_recording.py under build/bench-review/
# and kept there (remove build/bench-review/recordings to make them again).
set -euo pipefail
cd "$(dirname "$0")/../.."

tree=${REVIEW_BENCH_TREE:-build/bench-review}
launcher=()
command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTILTSCOPE_SANITIZE=OFF \
    -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=ON -DTILTSCOPE_GUI=OFF "${launcher[@]}" >/dev/null
nice cmake --build "$tree" -j2 --target recording_read_bench >/dev/null
bench=$tree/bench/recording_read_bench

data=$tree/recordings
. bench/review/recordings.sh
echo "$day_rows rows, one file ($(du -h "$data"/day/*.csv | cut -f1)):"
"$bench" --runs 3 "$data"/day/*.csv
echo "$week_rows rows, $(ls "$data"/week/*.csv | wc -l) files:"
"$bench" --runs 3 "$data"/week/*.csv
