#!/usr/bin/env bash
# The Debian package as a user meets it: installed with apt, Tiltscope started
# from its menu entry and tiltlog and tiltsim from the PATH by an ordinary user
# (nobody, with a scratch home), each finding that user's own tree; then
# removed, leaving the user's files.
#
# It never installs into the machine that runs it: apt and the programs run in
# a root of the test's own, an overlay over this machine's root whose changes
# live in a tmpfs of a private mount namespace and vanish with it.
#
# Needs root (mounts, chroot); exits 77, a skip for ctest, without root or
# without what an own root needs. TILTSCOPE_DEB=FILE tests that package;
# otherwise scripts/package.sh builds one.
set -euo pipefail

skip() {
    echo "package test skipped: $*"
    exit 77
}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Stage 1, on the machine: the package, then a private mount namespace.
if [ -z "${TILTSCOPE_OWN_ROOT:-}" ]; then
    repo=$(cd "$(dirname "$0")/../.." && pwd)
    [ "$(id -u)" -eq 0 ] || skip "a root of the test's own needs root"
    for tool in unshare chroot mount setpriv timeout; do
        command -v "$tool" >/dev/null || skip "$tool is not available"
    done
    grep -qw overlay /proc/filesystems || skip "the kernel has no overlay file system"
    unshare -m --propagation private true 2>/dev/null ||
        skip "no private mount namespace can be made here (unshare -m)"
    id nobody >/dev/null 2>&1 || skip "there is no user nobody to run the programs as"

    deb=${TILTSCOPE_DEB:-}
    if [ -z "$deb" ]; then
        echo "Building the package (scripts/package.sh)"
        deb=$("$repo/scripts/package.sh" | tail -n 1)
    fi
    [ -f "$deb" ] || fail "no package at '$deb'"
    scratch=$(mktemp -d /tmp/tiltscope-package-test.XXXXXX)
    chmod 755 "$scratch"
    trap 'rm -rf "$scratch"' EXIT
    cp "$deb" "$0" "$scratch/"
    status=0
    TILTSCOPE_OWN_ROOT=mount TILTSCOPE_SCRATCH=$scratch \
        TILTSCOPE_DEB=$scratch/$(basename "$deb") \
        unshare -m --propagation private bash "$scratch/$(basename "$0")" || status=$?
    exit "$status"
fi

# Stage 2, in the namespace: the own root, then the test inside it.
if [ "$TILTSCOPE_OWN_ROOT" = mount ]; then
    layers=$TILTSCOPE_SCRATCH/layers
    mkdir -p "$layers"
    mount -t tmpfs -o mode=755 tiltscope-package-test "$layers"
    mkdir -p "$layers/upper" "$layers/work" "$layers/root"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$layers/upper,workdir=$layers/work" \
        "$layers/root" || skip "an overlay over / cannot be mounted here"
    root=$layers/root
    # The kernel's views come from the machine; /tmp is shared so that the
    # scratch folder, and the package in it, are at the same path inside.
    for folder in proc sys dev tmp; do
        mount --rbind "/$folder" "$root/$folder" || fail "cannot bind /$folder into the own root"
    done
    exec chroot "$root" env TILTSCOPE_OWN_ROOT=inside bash "$0"
fi

# Stage 3, inside the own root.
deb=$TILTSCOPE_DEB
scratch=$TILTSCOPE_SCRATCH
# scripts/package.sh installs it.
command -v desktop-file-validate >/dev/null ||
    fail "desktop-file-validate is missing (Debian package desktop-file-utils)"
echo "Package: $deb"
installed() { dpkg-query -W -f='${Status}' tiltscope 2>/dev/null | grep -q "install ok installed"; }

pids=()
cleanup() {
    local status=$?
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# A Tiltscope the machine has is in the own root too; the test's own goes in its place.
if installed; then dpkg -r tiltscope >/dev/null; fi
echo "Installing with apt-get"
# apt brings what the package depends on; what it only recommends is no
# part of this test, and may not be at hand on a machine without a network.
# A copy of dpkg's lock is taken: apt running on the machine meanwhile does
# not hold it, but waiting costs nothing when nobody does.
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "$deb" \
    >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log" >&2; fail "apt-get install failed"; }
installed || fail "the package is not installed after apt-get install"

# What the package puts on the system.
for program in tiltscope tiltlog tiltsim; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin/$program"
    [ -x "/usr/lib/tiltscope/$program" ] || fail "no /usr/lib/tiltscope/$program"
    page=/usr/share/man/man1/$program.1.gz
    gzip -t "$page" 2>/dev/null || fail "no gzipped man page $page"
    zcat "$page" | grep -q "^\.TH ${program^^} 1 " || fail "$page is not the man page of $program"
done
[ -f /usr/share/tiltscope/QVR.smf ] || fail "no skin in /usr/share/tiltscope"
entry=/usr/share/applications/tiltscope.desktop
[ -f "$entry" ] || fail "no menu entry $entry"
desktop-file-validate "$entry" || fail "desktop-file-validate does not accept $entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 48 256; do
    png=/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
    [ -f "$png" ] || fail "no icon $png"
    # The PNG signature, then IHDR's width and height, 4 bytes each, big-endian.
    [ "$(od -An -tx1 -N8 "$png" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    width=$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))
    height=$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))
    [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] ||
        fail "$png is ${width}x$height, not ${size}x$size"
done

# An ordinary user with a home of their own and nothing else from this shell.
home=$scratch/home
install -d -o nobody -g "$(id -gn nobody)" -m 700 "$home"
as_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups
    env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen)
cd /
tree=$home/.local/share/tiltscope
settings=$home/.config/tiltscope
data=$tree/data

# Polls until the command succeeds, for at most `limit` seconds.
wait_for() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.2
    done
}
has_rows() {
    local file
    for file in "$data"/"$1"_*.csv; do
        [ -f "$file" ] && [ "$(wc -l <"$file")" -ge "$2" ] && return 0
    done
    return 1
}

help=$("${as_user[@]}" tiltsim --help)
grep -qF "(default $tree/config/ports)" <<<"$help" ||
    fail "tiltsim's --link does not default to the user's tree"

# A sensor as COM1, the port a first start opens, registered in the user's tree.
"${as_user[@]}" tiltsim --link COM1 >"$scratch/sim.out" 2>"$scratch/sim.err" &
pids+=($!)
wait_for 30 test -L "$settings/ports/COM1" ||
    { cat "$scratch/sim.err" >&2; fail "tiltsim made no link COM1 in $settings/ports"; }

# Tiltscope as the menu starts it.
read -r -a exec_words <<<"$(sed -n 's/^Exec=//p' "$entry")"
# Started from the menu with no file, the entry's field codes (%F) stand for nothing.
for i in "${!exec_words[@]}"; do
    if [[ ${exec_words[$i]} == %? ]]; then unset "exec_words[$i]"; fi
done
exec_words=("${exec_words[@]}")
[ "$(command -v "${exec_words[0]}")" = /usr/bin/tiltscope ] ||
    fail "the menu entry's Exec=${exec_words[*]} does not start /usr/bin/tiltscope"
"${as_user[@]}" "${exec_words[@]}" --record --stats "$home/stats.txt" \
    >"$scratch/window.log" 2>&1 &
window=$!
pids+=("$window")
wait_for 90 has_rows Tiltscope 2 ||
    { cat "$scratch/window.log" >&2; fail "Tiltscope recorded no row in $data within 90 s"; }
kill -TERM "$window"
status=0
wait "$window" || status=$?
[ "$status" -eq 0 ] || { cat "$scratch/window.log" >&2; fail "Tiltscope ended with status $status"; }

[ -f "$settings/Config.ini" ] || fail "no Config.ini in $settings"
tr -d '\r' <"$settings/Config.ini" | grep -qx "PATH=$data" ||
    fail "Config.ini's PATH is not $data: $(tr -d '\r' <"$settings/Config.ini" | grep -i '^PATH=')"
[ "$(readlink "$tree/config")" = "$settings" ] || fail "$tree/config does not lead to $settings"
cmp -s "$settings/QVR.smf" /usr/share/tiltscope/QVR.smf || fail "the skin was not copied to $settings"
[ -d "$tree/picture" ] && [ -d "$tree/bin" ] || fail "the tree has no bin or picture folder"
grep -qE '^frames=[1-9]' "$home/stats.txt" || fail "Tiltscope counted no frames: $(cat "$home/stats.txt")"
csvs=("$data"/Tiltscope_*.csv)
csv=${csvs[0]}
[ "$(head -n 1 "$csv" | tr -d '\r')" = "X(deg),Y(deg),Temperature, Time" ] || fail "$csv has no header"
for folder in /usr/data /usr/lib/data /usr/lib/tiltscope/data /usr/lib/tiltscope/config; do
    [ ! -e "$folder" ] || fail "the program made $folder"
done
stray=$(find "$home" ! -user nobody | head -n 1)
[ -z "$stray" ] || fail "$stray in the user's home is not the user's"

# tiltlog from the PATH: the same port and the same data folder by default.
status=0
"${as_user[@]}" timeout 120 tiltlog --prefix tiltlog --count 3 \
    >"$scratch/tiltlog.out" 2>"$scratch/tiltlog.err" || status=$?
[ "$status" -eq 0 ] || { cat "$scratch/tiltlog.err" >&2; fail "tiltlog ended with status $status"; }
grep -qF "($tree/config/ports/COM1)" "$scratch/tiltlog.err" ||
    { cat "$scratch/tiltlog.err" >&2; fail "tiltlog did not open COM1 of the user's tree"; }
has_rows tiltlog 4 || fail "tiltlog wrote no file of 3 rows in $data"

kill -TERM "${pids[0]}"
status=0
wait "${pids[0]}" || status=$?
pids=()
[ "$status" -eq 0 ] || fail "tiltsim ended with status $status"

# Other XDG base directories give another tree.
status=0
"${as_user[@]}" XDG_CONFIG_HOME="$home/xdg-config" XDG_DATA_HOME="$home/xdg-data" \
    timeout 120 tiltscope --run-seconds 1 >"$scratch/xdg.log" 2>&1 || status=$?
[ "$status" -eq 0 ] ||
    { cat "$scratch/xdg.log" >&2; fail "Tiltscope with XDG_CONFIG_HOME set ended with status $status"; }
tr -d '\r' <"$home/xdg-config/tiltscope/Config.ini" 2>/dev/null |
    grep -qx "PATH=$home/xdg-data/tiltscope/data" ||
    fail "with XDG_CONFIG_HOME and XDG_DATA_HOME set, Config.ini is not where they say"

echo "Removing with dpkg -r"
dpkg -r tiltscope >"$scratch/remove.log" 2>&1 || { cat "$scratch/remove.log" >&2; fail "dpkg -r failed"; }
! installed || fail "the package is still installed"
for file in /usr/bin/tiltscope /usr/lib/tiltscope "$entry"; do
    [ ! -e "$file" ] || fail "$file is still there after dpkg -r"
done
for file in "$settings/Config.ini" "$settings/QVR.smf" "$csv" "$home/xdg-config/tiltscope/Config.ini"; do
    [ -f "$file" ] || fail "dpkg -r took the user's $file"
done
has_rows tiltlog 4 || fail "dpkg -r took the user's tiltlog file"
echo "package test passed"
