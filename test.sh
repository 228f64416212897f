#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test headless, then gives each fuzz target a short bounded run. It
# always ends with one "tests: N passed, N failed, N skipped" line, and exits
# non-zero when anything failed (the build, a test, a fuzz target).
set -euo pipefail
cd "$(dirname "$0")"

for arg in "$@"; do
    case "$arg" in
        -h|--help)
            echo "usage: ./test.sh    (FUZZ_SECONDS=N sets each fuzz target's run, default 20)"
            exit 0 ;;
        *) echo "test.sh: unknown option $arg (try --help)" >&2; exit 2 ;;
    esac
done

source scripts/deps.sh
ensure_packages "${test_packages[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
passed=0
failed=0
skipped=0
mkdir -p build/debug
if cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTILTSCOPE_SANITIZE=ON \
    -DTILTSCOPE_BENCH=ON && cmake --build build/debug; then
    (cd build/debug && ctest --output-on-failure --timeout 120) 2>&1 | tee build/debug/ctest.log ||
        status=1
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' \
        build/debug/ctest.log || true)
    if [ -n "$summary" ]; then
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
        failed=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$summary")
        # ctest counts a skipped test as passed; it lists each as "(Skipped)".
        skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' build/debug/ctest.log || true)
        passed=$((total - failed - skipped))
    else
        failed=1  # ctest itself did not get to its summary
    fi
else
    echo "test.sh: the build failed" >&2
    status=1
    failed=1
fi

# Fuzzing needs clang's libFuzzer; the corpus keeps every input that ever found a fault.
if command -v clang++ >/dev/null && cmake -S . -B build/fuzz -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTILTSCOPE_SANITIZE=ON \
    -DTILTSCOPE_FUZZ=ON -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=OFF -DTILTSCOPE_GUI=OFF &&
    cmake --build build/fuzz; then
    for target in build/fuzz/tests/fuzz/fuzz_*; do
        [ -f "$target" ] && [ -x "$target" ] || continue  # build-system folders share the prefix
        name=$(basename "$target")
        corpus=tests/fuzz/corpus/${name#fuzz_}
        work=build/fuzz/corpus-$name
        mkdir -p "$work" "$corpus"
        # A finding leaves crash-* in build/fuzz/ and counts as a failed test.
        if "$target" -max_total_time="${FUZZ_SECONDS:-20}" -artifact_prefix=build/fuzz/ \
            "$work" "$corpus" >"build/fuzz/$name.log" 2>&1; then
            echo "$name: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "build/fuzz/$name.log"), no finding"
            passed=$((passed + 1))
        else
            tail -n 40 "build/fuzz/$name.log"
            echo "$name: FINDING (see build/fuzz/)"
            failed=$((failed + 1))
            status=1
        fi
    done
elif command -v clang++ >/dev/null; then
    echo "test.sh: the fuzz build failed" >&2
    failed=$((failed + 1))
    status=1
fi

# The closing line CI reads, after the fuzz output: ctest's tests and the fuzz targets.
echo "tests: $passed passed, $failed failed, $skipped skipped"
exit "$status"
