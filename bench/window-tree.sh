# Sourced by the window benchmarks: a Release build of tiltscope and tiltsim in
# build/bench-x (ccache is used when it is installed), the processes they start
# (pids, stopped by cleanup on exit) and a process's CPU ticks so far.
launcher=()
command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/bench-x -G Ninja -DCMAKE_BUILD_TYPE=Release -DTILTSCOPE_SANITIZE=OFF \
    -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=OFF "${launcher[@]}" >/dev/null
nice cmake --build build/bench-x -j2 --target tiltscope tiltsim >/dev/null

hz=$(getconf CLK_TCK)
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    pids=()
}
trap cleanup EXIT

ticks_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }
