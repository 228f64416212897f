#!/usr/bin/env bash
# Builds the Debian packages from a Release build of their own (no tests, no
# benchmarks) with CPack's DEB generator and the hardening flags of
# dpkg-buildflags; dpkg-shlibdeps finds the libraries the binaries need.
#
#   scripts/package.sh                 tiltlog and tiltscope for this machine,
#                                      build/package-build -> build/package
#   scripts/package.sh --arch arm64    tiltlog alone (no window) for arm64 or
#                                      armhf with Debian's cross tool chain,
#                                      build/package-build-ARCH -> build/package-ARCH
#
# Prints each package's absolute path, one a line, as the last lines.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) [ $# -ge 2 ] || { echo "package.sh: --arch needs arm64 or armhf" >&2; exit 2; }
            arch=$2; shift 2 ;;
        --arch=*) arch=${1#--arch=}; shift ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "package.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
[ "$arch" != "$(dpkg --print-architecture)" ] || arch=

source scripts/deps.sh
build=build/package-build
out=build/package
options=(-DTILTSCOPE_GUI=ON)
if [ -n "$arch" ]; then
    case "$arch" in
        arm64|armhf) ;;
        *) echo "package.sh: --arch $arch: only arm64 and armhf are cross-built" >&2; exit 2 ;;
    esac
    # The foreign architecture's libraries come from the same mirror.
    if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
        echo "Adding the architecture $arch to dpkg"
        $(sudo_if_needed) dpkg --add-architecture "$arch"
        force_update=1
    fi
    FORCE_APT_UPDATE=${force_update:-} ensure_packages "${cross_build_packages[@]}" \
        "${cross_packages[@]/%/:$arch}" "crossbuild-essential-$arch"
    build=build/package-build-$arch
    out=build/package-$arch
    # The window needs Qt for the target; the site box needs only the logger.
    options=(-DTILTSCOPE_GUI=OFF -DCMAKE_TOOLCHAIN_FILE="$PWD/packaging/cross/toolchain.cmake"
        -DTILTSCOPE_CROSS_TRIPLET="$(dpkg-architecture -a"$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)")
    # dpkg-shlibdeps and CPack read the target from these.
    eval "$(dpkg-architecture -a"$arch" -s 2>/dev/null)"
    export DEB_HOST_ARCH DEB_HOST_GNU_TYPE DEB_HOST_MULTIARCH
else
    ensure_packages "${package_packages[@]}"
fi

# Debian's hardening: fortified functions, stack protector, PIE, relro and
# bind-now. CMake reads no CPPFLAGS, so they join the compiler's flags.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS" CFLAGS="$CPPFLAGS $CFLAGS"

# The flags are taken at the first configure only: a build folder made with
# other flags starts again.
flags="$CXXFLAGS | $LDFLAGS"
if [ -f "$build/CMakeCache.txt" ] && [ "$(cat "$build/buildflags" 2>/dev/null)" != "$flags" ]; then
    rm -rf "$build"
fi
mkdir -p "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DTILTSCOPE_PACKAGE=ON -DTILTSCOPE_TESTS=OFF -DTILTSCOPE_BENCH=OFF -DTILTSCOPE_FUZZ=OFF \
    -DTILTSCOPE_SANITIZE=OFF "${options[@]}" >/dev/null
echo "$flags" >"$build/buildflags"
cmake --build "$build" -j "${JOBS:-$(nproc)}"
[ -n "$arch" ] || desktop-file-validate packaging/io.github.tiltscope.tiltscope.desktop

rm -rf "$build/cpack"
(cd "$build" && cpack -G DEB -B "$PWD/cpack" >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
shopt -s nullglob
debs=("$build"/cpack/*.deb)
want=2
[ -z "$arch" ] || want=1
[ ${#debs[@]} -eq "$want" ] || { echo "package.sh: CPack made ${#debs[@]} packages, not $want" >&2; exit 1; }
mkdir -p "$out"
rm -f "$out"/*.deb
mv "${debs[@]}" "$out/"
for deb in "${debs[@]}"; do echo "$PWD/$out/$(basename "$deb")"; done
