# Sourced by the line benchmarks: a Release build of tiltsim and tiltlog in
# $tree (ccache is used when it is installed), then sim_bin and log_bin.
launcher=()
command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTILTSCOPE_SANITIZE=OFF \
    -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=OFF "${launcher[@]}" >/dev/null
nice cmake --build "$tree" -j2 --target tiltsim tiltlog >/dev/null
sim_bin=$tree/tools/tiltsim/tiltsim
log_bin=$tree/tools/tiltlog/tiltlog
