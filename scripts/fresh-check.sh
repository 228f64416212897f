#!/usr/bin/env bash
# Tries the README's two commands as a new user would: a fresh Debian 12 root
# made with debootstrap from the mirror this machine's apt sources name, the
# repository cloned into it, and ./test.sh and ./run.sh run there by an
# ordinary user who has sudo; then the cross-built packages' test. Nothing
# this machine has installed is seen there.
#
#   sudo scripts/fresh-check.sh            (FRESH_DIR=DIR, default build/fresh-check)
#
# The bare root is kept as a tarball beside it, so a second check skips the
# download. Ends with "fresh check: passed" or the step that failed; the logs
# are in FRESH_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

case "${1:-}" in
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    "") ;;
    *) echo "fresh-check.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
esac
[ "$(id -u)" -eq 0 ] || { echo "fresh-check.sh: debootstrap and chroot need root" >&2; exit 1; }

source scripts/deps.sh
ensure_packages debootstrap

# The first Debian mirror the machine's own sources name, in either format.
mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
    sed -n 's/^URIs: *\([^ ]*debian\/*\) *$/\1/p' | grep -v security | head -n 1 || true)
[ -n "$mirror" ] || mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    sed -n 's/^deb \+\(\[[^]]*\] \+\)\{0,1\}\([^ ]*\) \+bookworm .*/\2/p' | head -n 1 || true)
[ -n "$mirror" ] || { echo "fresh-check.sh: no Debian mirror in /etc/apt/sources*" >&2; exit 1; }

work=$(realpath -m "${FRESH_DIR:-build/fresh-check}")
root=$work/root
tarball=$work/bookworm-bare.tgz
mkdir -p "$work"
echo "Fresh root in $root from $mirror"

# What an earlier check left mounted goes first.
{ findmnt -rn -o TARGET | grep "^$root/" || true; } | sort -r | xargs -r umount -l
rm -rf "$root"
if [ ! -f "$tarball" ]; then
    debootstrap --make-tarball="$tarball" bookworm "$work/tarball-tmp" "$mirror" \
        >"$work/debootstrap.log" 2>&1 || { tail -n 20 "$work/debootstrap.log"; exit 1; }
    rm -rf "$work/tarball-tmp"
fi
debootstrap --unpack-tarball="$tarball" bookworm "$root" "$mirror" \
    >>"$work/debootstrap.log" 2>&1 || { tail -n 20 "$work/debootstrap.log"; exit 1; }

# A new user with sudo, as on a desktop install; the clone is theirs.
cp /etc/resolv.conf "$root/etc/resolv.conf"
unshare -m --propagation private bash -s "$root" "$repo" "$work" <<'INNER'
set -euo pipefail
root=$1 repo=$2 work=$3
for folder in proc sys dev dev/pts; do mount --bind "/$folder" "$root/$folder"; done
mount -t tmpfs tmpfs "$root/tmp"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"; }
in_root bash -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq sudo' \
    >"$work/sudo.log" 2>&1 || { tail -n 20 "$work/sudo.log"; exit 1; }
in_root useradd -m -s /bin/bash tester
echo 'tester ALL=(ALL) NOPASSWD:ALL' >"$root/etc/sudoers.d/tester"
chmod 440 "$root/etc/sudoers.d/tester"
git clone -q "$repo" "$root/home/tester/tiltscope"
in_root chown -R tester:tester /home/tester/tiltscope
as_tester() {
    in_root su - tester -c "cd ~/tiltscope && QT_QPA_PLATFORM=offscreen $1"
}
status=0
start=$SECONDS
as_tester ./test.sh >"$work/test.log" 2>&1 || status=$?
echo "./test.sh: exit $status after $((SECONDS - start)) s: $(tail -n 1 "$work/test.log")"
[ "$status" -eq 0 ] || { tail -n 40 "$work/test.log"; exit 1; }
start=$SECONDS
status=0
as_tester "./run.sh -- --run-seconds 20 --stats /tmp/fresh-stats.txt" >"$work/run.log" 2>&1 ||
    status=$?
frames=$(sed -n 's/^frames=//p' "$root/tmp/fresh-stats.txt" 2>/dev/null || true)
echo "./run.sh: exit $status after $((SECONDS - start)) s, $(grep -m 1 '^Demo sensor' "$work/run.log" || echo 'no demo sensor'), ${frames:-no} frames"
[ "$status" -eq 0 ] && [ "${frames:-0}" -gt 0 ] || { tail -n 40 "$work/run.log"; exit 1; }
# The arm64 and armhf packages, which ./test.sh leaves out: they install cross tool chains.
start=$SECONDS
status=0
as_tester "TILTSCOPE_CROSS=1 tests/package/cross_test.sh" >"$work/cross.log" 2>&1 || status=$?
echo "cross test: exit $status after $((SECONDS - start)) s: $(tail -n 1 "$work/cross.log")"
[ "$status" -eq 0 ] || { tail -n 40 "$work/cross.log"; exit 1; }
echo "packages: $(in_root du -sh --exclude=/home --exclude=/proc --exclude=/sys --exclude=/dev --exclude=/tmp / 2>/dev/null | cut -f1) in the root, build/: $(du -sh "$root/home/tester/tiltscope/build" | cut -f1)"
INNER
echo "fresh check: passed"
