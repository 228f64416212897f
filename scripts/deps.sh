# Sourced by run.sh, test.sh and package.sh: the Debian packages each needs, and
# ensure_packages, which installs the missing ones, only those. pkg-config is named
# because nothing else pulls it in on a fresh machine and CMake finds libmosquitto with it.
# libssl-dev: tiltlog names why a broker's TLS handshake fails, which libmosquitto does not.
# python3-pandas: a test reads tiltlog's export with it, as analysts do.
build_packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libmosquitto-dev
    libssl-dev)
run_packages=("${build_packages[@]}" qt6-qpa-plugins fonts-liberation2 fonts-wqy-microhei
    qt6-translations-l10n)
test_packages=("${run_packages[@]}" libgtest-dev libgmock-dev libbenchmark-dev clang
    libclang-rt-14-dev mosquitto locales ser2net libmodbus-dev python3-pandas)
# file and dpkg-dev: CPack finds the binaries with file and their libraries with dpkg-shlibdeps.
package_packages=("${build_packages[@]}" dpkg-dev file desktop-file-utils)
# What the package test checks the packages with.
package_test_packages=(lintian appstream systemd)
# A cross build needs no Qt: the window is not built for the target.
cross_build_packages=(cmake ninja-build dpkg-dev file)
# A cross build's libraries, for the target's architecture (package.sh --arch
# adds :ARCH and the cross compiler); pkgconf of the target gives the
# TRIPLET-pkg-config that finds them. The cross compiler's own C++ runtime is
# no package of the target: dpkg-shlibdeps and qemu need libstdc++6:ARCH.
cross_packages=(libmosquitto-dev libssl-dev pkgconf libstdc++6)
# Runs a cross-built program here.
cross_test_packages=(qemu-user-static)

# "sudo" when this shell is not root, or nothing.
sudo_if_needed() {
    [ "$(id -u)" -eq 0 ] || echo sudo
}

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    # A new architecture has no package lists until apt reads them again.
    [ ${#missing[@]} -eq 0 ] && [ -z "${FORCE_APT_UPDATE:-}" ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            # Debian leaves sudo out when root has a password: say what root must run.
            echo "These packages are missing: ${missing[*]}" >&2
            echo "Installing them needs root. As root, run:" >&2
            echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
            echo "then start $(basename "$0") again." >&2
            exit 1
        fi
        sudo=sudo
    fi
    $sudo apt-get update -qq
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}
