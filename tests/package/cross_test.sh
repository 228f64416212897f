#!/usr/bin/env bash
# The tiltlog package cross-built for arm64 and armhf (scripts/package.sh
# --arch), its programs run here under qemu-user-static: --help, and a port
# that is not there refused with the reason and exit status 3.
#
# It installs the cross tool chains and the target's libraries, and adds the
# architectures to dpkg, so it runs only when asked: TILTSCOPE_CROSS=1 (ctest
# skips it with 77 otherwise; scripts/fresh-check.sh asks for it).
# TILTSCOPE_CROSS_ARCHES="arm64" narrows it.
set -euo pipefail
cd "$(dirname "$0")/../.."

[ "${TILTSCOPE_CROSS:-}" = 1 ] || {
    echo "cross test skipped: it installs cross tool chains; TILTSCOPE_CROSS=1 runs it"
    exit 77
}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
source scripts/deps.sh
ensure_packages "${cross_test_packages[@]}"

scratch=$(mktemp -d /tmp/tiltlog-cross-test.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

for arch in ${TILTSCOPE_CROSS_ARCHES:-arm64 armhf}; do
    case "$arch" in
        arm64) qemu=qemu-aarch64-static machine="ARM aarch64" ;;
        armhf) qemu=qemu-arm-static machine="ARM, EABI5" ;;
        *) fail "no qemu known for $arch" ;;
    esac
    start=$SECONDS
    debs=$(JOBS=${JOBS:-2} scripts/package.sh --arch "$arch" 2>"$scratch/$arch-build.err" |
        tail -n 1) || { tail -n 30 "$scratch/$arch-build.err" >&2; fail "the $arch build failed"; }
    echo "$arch: built $(basename "$debs") in $((SECONDS - start)) s"
    deb=$debs
    [ "$(dpkg-deb -f "$deb" Package)" = tiltlog ] || fail "$deb is not the tiltlog package"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$deb is not for $arch"
    depends=$(dpkg-deb -f "$deb" Depends)
    grep -q libmosquitto1 <<<"$depends" || fail "$deb does not depend on libmosquitto1: $depends"
    ! grep -q libqt6 <<<"$depends" || fail "$deb depends on Qt: $depends"

    root=$scratch/$arch
    dpkg-deb -x "$deb" "$root"
    tiltlog=$root/usr/lib/tiltscope/tiltlog
    file -b "$tiltlog" | grep -qF "$machine" || fail "$tiltlog is not for $machine: $(file -b "$tiltlog")"
    # The target's C library and libmosquitto are this machine's multiarch copies.
    status=0
    timeout 60 "$qemu" "$tiltlog" --help >"$scratch/help.out" 2>&1 || status=$?
    [ "$status" -eq 0 ] && grep -q -- '--port' "$scratch/help.out" ||
        { cat "$scratch/help.out" >&2; fail "$arch: tiltlog --help ended with $status"; }
    echo "$arch: tiltlog --help under $qemu: exit 0"

    status=0
    timeout 60 "$qemu" "$tiltlog" --port /nonexistent/ttyUSB0 --output "$scratch/data" \
        --duration 5 >"$scratch/port.out" 2>&1 || status=$?
    if [ "$status" -eq 124 ]; then
        echo "$arch: refused port: not run: qemu-user hangs threaded programs on this kernel"
    else
        [ "$status" -eq 3 ] && grep -q '/nonexistent/ttyUSB0.*No such file or directory' "$scratch/port.out" ||
            { cat "$scratch/port.out" >&2; fail "$arch: a missing port ended with $status"; }
        echo "$arch: refused port under $qemu: exit 3, $(head -n 1 "$scratch/port.out")"
    fi
done
echo "cross test passed"
