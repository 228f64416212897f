#!/usr/bin/env bash
# The review window over recordings, Release build: open-and-draw time, redraw
# time at full range and zoomed, peak memory per million rows, each opening in
# a process of its own. Uses the recordings read.sh makes (and makes them if
# they are missing): 890,000 rows in one 40 MiB file, 3,024,000 rows in 7 files.
#
#   bench/review/draw.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

tree=${REVIEW_DRAW_TREE:-build/bench-review-gui}
data=${REVIEW_BENCH_TREE:-build/bench-review}/recordings
launcher=()
command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTILTSCOPE_SANITIZE=OFF \
    -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=ON "${launcher[@]}" >/dev/null
nice cmake --build "$tree" -j2 --target review_draw_bench >/dev/null
bench=$tree/bench/review_draw_bench

. bench/review/recordings.sh
echo "$day_rows rows, one file ($(du -h "$data"/day/*.csv | cut -f1)):"
"$bench" "$data"/day/*.csv
echo "$week_rows rows, $(ls "$data"/week/*.csv | wc -l) files:"
"$bench" "$data"/week/*.csv
