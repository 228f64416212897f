#!/usr/bin/env bash
# Builds the Debian package build/package/tiltscope_<version>_<arch>.deb from a
# Release build of its own (build/package-build: no tests, no benchmarks) with
# CPack's DEB generator; dpkg-shlibdeps finds the libraries the binaries need.
# Prints the package's absolute path as the last line.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${package_packages[@]}"

build=build/package-build
out=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DTILTSCOPE_PACKAGE=ON -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=OFF -DTILTSCOPE_FUZZ=OFF \
    -DTILTSCOPE_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}"
desktop-file-validate packaging/tiltscope.desktop

rm -rf "$build/cpack"
(cd "$build" && cpack -G DEB -B "$PWD/cpack" >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
debs=("$build"/cpack/tiltscope_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package.sh: CPack made no package" >&2; exit 1; }
mkdir -p "$out"
rm -f "$out"/tiltscope_*.deb
mv "${debs[0]}" "$out/"
echo "$PWD/$out/$(basename "${debs[0]}")"
