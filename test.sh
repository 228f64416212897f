#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test headless, then gives each fuzz target a short bounded run.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages build-essential cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev \
    clang libclang-rt-14-dev qt6-base-dev qt6-qpa-plugins libgl-dev fonts-liberation2 \
    fonts-wqy-microhei qt6-translations-l10n

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTILTSCOPE_SANITIZE=ON \
    -DTILTSCOPE_BENCH=ON
cmake --build build/debug
(cd build/debug && ctest --output-on-failure --timeout 120) | tee build/debug/ctest.log

# Fuzzing needs clang's libFuzzer; the corpus keeps every input that ever found a fault.
if command -v clang++ >/dev/null; then
    cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DTILTSCOPE_SANITIZE=ON -DTILTSCOPE_FUZZ=ON \
        -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=OFF -DTILTSCOPE_GUI=OFF
    cmake --build build/fuzz
    for target in build/fuzz/tests/fuzz/fuzz_*; do
        [ -f "$target" ] && [ -x "$target" ] || continue  # build-system folders share the prefix
        name=$(basename "$target")
        corpus=tests/fuzz/corpus/${name#fuzz_}
        work=build/fuzz/corpus-$name
        mkdir -p "$work"
        mkdir -p "$corpus"
        # A finding stops the script here: libFuzzer exits non-zero and leaves crash-* beside it.
        "$target" -max_total_time="${FUZZ_SECONDS:-20}" -artifact_prefix=build/fuzz/ \
            "$work" "$corpus" >"build/fuzz/$name.log" 2>&1 || { tail -n 40 "build/fuzz/$name.log"; exit 1; }
        echo "$name: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "build/fuzz/$name.log"), no finding"
    done
fi

# The closing line CI reads, after the fuzz output.
summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' build/debug/ctest.log)
total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
failed=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$summary")
echo "ctest: $((total - failed)) passed, $failed failed"
