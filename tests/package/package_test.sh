#!/usr/bin/env bash
# The Debian packages as a user meets them. lintian finds nothing to warn of;
# the tiltlog package alone, with all it depends on, needs no Qt; installed
# with apt it makes the service's user and a unit systemd accepts. Then with
# the window's package: Tiltscope started from its menu entry and tiltlog and
# tiltsim from the PATH by an ordinary user (nobody, with a scratch home), each
# finding that user's own tree; the tools also without a home. Then removed,
# leaving the user's files, and tiltlog purged.
#
# It never installs into the machine that runs it: apt and the programs run in
# a root of the test's own, an overlay over this machine's root whose changes
# live in a tmpfs of a private mount namespace and vanish with it.
#
# Needs root (mounts, chroot); exits 77, a skip for ctest, without root or
# without what an own root needs. TILTSCOPE_DEBS="FILE FILE" tests those two
# packages; otherwise scripts/package.sh builds them.
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

    # What checks the packages lives on the machine, as the build's tools do.
    source "$repo/scripts/deps.sh"
    ensure_packages "${package_test_packages[@]}"
    read -r -a debs <<<"${TILTSCOPE_DEBS:-}"
    if [ ${#debs[@]} -eq 0 ]; then
        echo "Building the packages (scripts/package.sh)"
        mapfile -t debs < <("$repo/scripts/package.sh" | tail -n 2)
    fi
    scratch=$(mktemp -d /tmp/tiltscope-package-test.XXXXXX)
    chmod 755 "$scratch"
    trap 'rm -rf "$scratch"' EXIT
    for deb in "${debs[@]}"; do
        [ -f "$deb" ] || fail "no package at '$deb'"
        package=$(dpkg-deb -f "$deb" Package)
        case "$package" in
            tiltlog | tiltscope) cp "$deb" "$scratch/$package.deb" ;;
            *) fail "$deb is neither tiltlog nor tiltscope but $package" ;;
        esac
    done
    [ -f "$scratch/tiltlog.deb" ] && [ -f "$scratch/tiltscope.deb" ] ||
        fail "the two packages tiltlog and tiltscope are wanted, not: ${debs[*]}"
    cp "$0" "$scratch/"
    status=0
    TILTSCOPE_OWN_ROOT=mount TILTSCOPE_SCRATCH=$scratch \
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
scratch=$TILTSCOPE_SCRATCH
log_deb=$scratch/tiltlog.deb
window_deb=$scratch/tiltscope.deb
# scripts/package.sh and stage 1 install them.
for tool in desktop-file-validate lintian appstreamcli systemd-analyze; do
    command -v "$tool" >/dev/null || fail "$tool is missing"
done
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

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

# lintian at its default level: no error and no warning.
for deb in "$log_deb" "$window_deb"; do
    lintian "$deb" >"$scratch/lintian.log" 2>&1 || true
    if grep -E '^[EW]: ' "$scratch/lintian.log"; then fail "lintian: $(basename "$deb")"; fi
    echo "lintian $(basename "$deb"): $(grep -c '' "$scratch/lintian.log") lines, no E: or W:"
done

# The tiltlog package and all it depends on, as apt would install them on a
# box with nothing installed: the machine's own packages (Qt among them) are
# hidden from apt by an empty status file.
: >"$scratch/empty-status"
apt-get install -s -q -o Dir::State::status="$scratch/empty-status" "$log_deb" \
    >"$scratch/closure.log" 2>&1 || { cat "$scratch/closure.log" >&2; fail "apt cannot resolve tiltlog alone"; }
closure=$(sed -n 's/^Inst \([^ ]*\) .*/\1/p' "$scratch/closure.log")
grep -qx libmosquitto1 <<<"$closure" || fail "the closure misses libmosquitto1: $closure"
qt=$(grep -E '^libqt6|^fonts-' <<<"$closure" || true)
[ -z "$qt" ] || fail "the tiltlog package pulls in $(tr '\n' ' ' <<<"$qt")"
echo "tiltlog alone pulls in $(wc -l <<<"$closure") packages on an empty box, none of Qt or fonts"

# The packages the machine has are in the own root too; the test's own go in their place.
for package in tiltscope tiltlog; do
    if installed "$package"; then dpkg -P "$package" >/dev/null; fi
done
# apt brings what a package depends on; what it only recommends is no
# part of this test, and may not be at hand on a machine without a network.
# A copy of dpkg's lock is taken: apt running on the machine meanwhile does
# not hold it, but waiting costs nothing when nobody does.
apt_install() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        -o DPkg::Lock::Timeout=300 "$@" \
        >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log" >&2; fail "apt-get install $* failed"; }
}
echo "Installing tiltlog alone with apt-get"
apt_install "$log_deb"
installed tiltlog || fail "tiltlog is not installed after apt-get install"
[ ! -e /usr/bin/tiltscope ] && [ ! -e /usr/lib/tiltscope/tiltscope ] ||
    fail "the tiltlog package carries the window"

# The service: its user, its unit, its example.
IFS=: read -r _ _ _ _ _ user_home user_shell < <(getent passwd tiltlog) ||
    fail "the package made no user tiltlog"
[ "$user_home" = /var/lib/tiltlog ] && [ "$user_shell" = /usr/sbin/nologin ] ||
    fail "the user tiltlog has home $user_home and shell $user_shell"
id -nG tiltlog | grep -qw dialout || fail "the user tiltlog is not in dialout: $(id -nG tiltlog)"
id -nG tiltlog | grep -qw tiltlog || fail "the user tiltlog is not in group tiltlog: $(id -nG tiltlog)"
unit=/lib/systemd/system/tiltlog@.service
[ -f "$unit" ] || fail "no unit $unit"
grep -qx /etc/tiltlog/example.conf /var/lib/dpkg/info/tiltlog.conffiles ||
    fail "/etc/tiltlog/example.conf is not a conffile"
# An instance as an operator makes one, checked as systemd would load it.
mkdir -p "$scratch/units"
cp "$unit" "$scratch/units/"
ln -s "tiltlog@.service" "$scratch/units/tiltlog@site.service"
SYSTEMD_UNIT_PATH="$scratch/units:" systemd-analyze verify --man=no \
    "$scratch/units/tiltlog@site.service" >"$scratch/verify.log" 2>&1 ||
    { cat "$scratch/verify.log" >&2; fail "systemd-analyze verify does not accept $unit"; }
! grep -q . "$scratch/verify.log" || { cat "$scratch/verify.log" >&2; fail "systemd-analyze verify warns of $unit"; }
# The example as the service reads it: the port it names is looked for.
status=0
timeout 60 /usr/lib/tiltscope/tiltlog --config /etc/tiltlog/example.conf \
    --output "$scratch/example-data" --duration 1 >"$scratch/example.log" 2>&1 || status=$?
[ "$status" -eq 3 ] && grep -q 'COM33' "$scratch/example.log" ||
    { cat "$scratch/example.log" >&2; fail "tiltlog with the example configuration ended with $status"; }

echo "Installing tiltscope with apt-get"
apt_install "$window_deb"
installed tiltscope || fail "tiltscope is not installed after apt-get install"
appstreamcli validate --no-net /usr/share/metainfo/io.github.tiltscope.tiltscope.metainfo.xml \
    >"$scratch/appstream.log" 2>&1 || { cat "$scratch/appstream.log" >&2; fail "appstreamcli validate"; }

# What the packages put on the system.
for program in tiltscope tiltlog tiltsim; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin/$program"
    [ -x "/usr/lib/tiltscope/$program" ] || fail "no /usr/lib/tiltscope/$program"
    page=/usr/share/man/man1/$program.1.gz
    gzip -t "$page" 2>/dev/null || fail "no gzipped man page $page"
    zcat "$page" | grep -q "^\.TH ${program^^} 1 " || fail "$page is not the man page of $program"
done
[ -f /usr/share/tiltscope/QVR.smf ] || fail "no skin in /usr/share/tiltscope"
entry=/usr/share/applications/io.github.tiltscope.tiltscope.desktop
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

# The tools need no home when their folders are given: nobody without HOME
# (the account's home, /nonexistent, cannot be made) logs the same sensor.
install -d -o nobody -m 755 "$scratch/homeless"
status=0
setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups env -i PATH=/usr/bin:/bin \
    timeout 120 tiltlog --port "$settings/ports/COM1" --count 3 --output "$scratch/homeless" \
    >"$scratch/homeless.out" 2>"$scratch/homeless.err" || status=$?
[ "$status" -eq 0 ] && grep -q "^tiltlog: 3 rows to $scratch/homeless/" "$scratch/homeless.err" ||
    { cat "$scratch/homeless.err" >&2; fail "tiltlog without HOME ended with status $status"; }
# Nor an account at all: the port's own refusal is what is said.
status=0
setpriv --reuid=54321 --regid=54321 --clear-groups env -i PATH=/usr/bin:/bin \
    timeout 60 tiltlog --port /nonexistent/ttyUSB0 --output "$scratch/homeless" \
    >/dev/null 2>"$scratch/nouser.err" || status=$?
[ "$status" -eq 3 ] && grep -q '/nonexistent/ttyUSB0.*No such file or directory' "$scratch/nouser.err" ||
    { cat "$scratch/nouser.err" >&2; fail "tiltlog for a user without an account ended with status $status"; }
# The window's skin is the window's: root's tools leave it out of root's settings.
status=0
env -i HOME="$scratch/root-home" PATH=/usr/bin:/bin timeout 60 tiltlog --port /nonexistent/ttyUSB0 \
    --output "$scratch/root-data" >/dev/null 2>&1 || status=$?
[ "$status" -eq 3 ] || fail "root's tiltlog on a missing port ended with status $status"
[ ! -e "$scratch/root-home/.config/tiltscope/QVR.smf" ] || fail "root's tiltlog copied the skin"

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

echo "Removing with apt-get remove"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -q tiltscope tiltlog >"$scratch/remove.log" 2>&1 ||
    { cat "$scratch/remove.log" >&2; fail "apt-get remove failed"; }
! installed tiltscope && ! installed tiltlog || fail "a package is still installed"
for file in /usr/bin/tiltscope /usr/bin/tiltlog /usr/lib/tiltscope "$entry" "$unit"; do
    [ ! -e "$file" ] || fail "$file is still there after apt-get remove"
done
[ -f /etc/tiltlog/example.conf ] || fail "apt-get remove took the configuration"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tiltlog >"$scratch/purge.log" 2>&1 ||
    { cat "$scratch/purge.log" >&2; fail "apt-get purge tiltlog after remove failed"; }
[ ! -e /etc/tiltlog/example.conf ] || fail "apt-get purge left /etc/tiltlog/example.conf"
for file in "$settings/Config.ini" "$settings/QVR.smf" "$csv" "$home/xdg-config/tiltscope/Config.ini"; do
    [ -f "$file" ] || fail "apt-get remove took the user's $file"
done
has_rows tiltlog 4 || fail "apt-get remove took the user's tiltlog file"
echo "package test passed"
