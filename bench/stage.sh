# Sourced by the whole-loop benchmarks: brings build/release up to date and lays
# out a scratch installation whose Config.ini opens COM150 at 230400 baud.
# stage_installation NAME sets `root` to the new folder.
stage_installation() {
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=OFF >/dev/null
    cmake --build build/release >/dev/null
    root=$(mktemp -d "/tmp/tiltscope-$1-XXXXXX")
    mkdir -p "$root/bin" "$root/config/ports" "$root/data" "$root/picture"
    cp build/release/src/app/tiltscope build/release/tools/tiltsim/tiltsim "$root/bin/"
    printf '[Config]\r\nLANGUAGE=EN\r\nCOM=150\r\nBAUD=6\r\nPARITY=0\r\nPATH=%s\r\n' \
        "$root/data" >"$root/config/Config.ini"
}

# Waits until tiltsim has printed its terminal's path.
wait_for_sim() {
    for _ in $(seq 1 50); do [ -s "$root/sim.out" ] && break; sleep 0.1; done
}
