#!/usr/bin/env bash
# Reading recordings back, Release build: a 40 MiB recording (700,000 rows)
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
if [ ! -f "$data/done" ]; then
    rm -rf "$data"
    # Four decimals (resolution 0.0001) make 700,000 rows about the 40 MiB at
    # which the recorder continues in a new file.
    python3 bench/review/make_recording.py "$data/day" --rows 700000 --rate 5 --decimals 4 \
        --file-mib 64 >/dev/null
    # A week at 5 Hz, one file a day.
    python3 bench/review/make_recording.py "$data/week" --rows 3024000 --rate 5 \
        --file-mib 18.7 >/dev/null
    touch "$data/done"
fi
echo "700,000 rows, one file ($(du -h "$data"/day/*.csv | cut -f1)):"
"$bench" --runs 3 "$data"/day/*.csv
echo "3,024,000 rows, $(ls "$data"/week/*.csv | wc -l) files:"
"$bench" --runs 3 "$data"/week/*.csv
