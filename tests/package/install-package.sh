#!/usr/bin/env bash
# The Debian package on a clean Debian 12: apt installs it, with what its dependencies pull in,
# into a minimal Debian 12 root (debootstrap's minbase: nothing of the build machine's packages),
# the installed program starts without a display, runs on its private Xvfb and saves its state
# at a quit request, and Debian's qtractor scanner finds the installed /usr/lib/clap/Tessaline.clap.
#
# The pristine root is made once (a couple of minutes, from Debian's archive) and kept in
# $TESSALINE_CLEAN_ROOT_CACHE; every run installs into a fresh copy of it, in a mount namespace
# of its own so nothing mounted outlives the test. Needs root, Debian's archive and a machine
# that lets it make that namespace (not a chroot, whose root is no mount point, nor a container
# without the right to mount); without them the test is skipped (exit 77) with one line why.
#
# Usage: install-package.sh PACKAGE.deb
set -euo pipefail
package="$(realpath "$1")"
cache="${TESSALINE_CLEAN_ROOT_CACHE:-/var/cache/tessaline-tests/bookworm}"
mirror="${TESSALINE_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
: "${QTRACTOR_PLUGIN_SCAN:?path of qtractor_plugin_scan}"

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "# $*"; }

[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root (chroot and mounts)"; exit 77; }

# namespace_refusal: prints why the clean root's namespace cannot be made here, or nothing. The
# probe does what the run below does: a mount and PID namespace with private propagation (which
# needs the root to be a mount point), a proc and a tmpfs mounted in it, a network namespace.
namespace_refusal() {
    local probe reason
    probe="$(mktemp -d "${TMPDIR:-/tmp}/tessaline-namespace-probe.XXXXXX")"
    mkdir "$probe/proc" "$probe/tmp"
    if reason="$(unshare --mount --pid --fork --mount-proc="$probe/proc" \
                     sh -c 'mount -t tmpfs tmpfs "$1/tmp" && unshare --net true' sh "$probe" 2>&1 >/dev/null)"; then
        reason=""
    else
        reason="${reason:-unshare failed}"
    fi
    rm -rf --one-file-system "$probe"
    [ -n "$reason" ] || return 0
    findmnt / >/dev/null 2>&1 || reason="the root is no mount point (a chroot?): $reason"
    echo "${reason//$'\n'/; }"
}

refusal="$(namespace_refusal)"
[ -z "$refusal" ] || { echo "SKIP: cannot make the clean root's mount namespace here: $refusal"; exit 77; }
command -v debootstrap >/dev/null || { echo "SKIP: needs debootstrap"; exit 77; }

if [ ! -x "$cache/usr/bin/apt-get" ]; then
    note "making a minimal Debian 12 root in $cache"
    rm -rf "$cache.new"
    mkdir -p "$(dirname "$cache")"
    debootstrap --variant=minbase bookworm "$cache.new" "$mirror" >"$cache.log" 2>&1 \
        || { tail -n 20 "$cache.log"; echo "SKIP: debootstrap failed (no archive?)"; exit 77; }
    mv "$cache.new" "$cache"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/tessaline-package.XXXXXX")"
trap 'rm -rf "$work"' EXIT
root="$work/root"
cp -a "$cache" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$package" "$root/tmp/tessaline.deb"

# What runs in the clean root: install the package with apt, start the program headless (the
# quit request comes once it says it runs without a window), and report what it left behind.
cat >"$root/tmp/inside.sh" <<'INSIDE'
set -eu
export DEBIAN_FRONTEND=noninteractive PATH=/usr/sbin:/usr/bin:/sbin:/bin
apt-get update -qq
apt-get install -y -qq /tmp/tessaline.deb >/tmp/apt.log 2>&1 || { tail -n 30 /tmp/apt.log; exit 1; }
echo "installed: $(dpkg-query -W -f='${Package} ${Version} ${Status}' tessaline)"
for file in /usr/bin/Tessaline /usr/lib/clap/Tessaline.clap \
            /usr/lib/vst3/Tessaline.vst3/Contents/x86_64-linux/Tessaline.so \
            /usr/lib/lv2/Tessaline.lv2/manifest.ttl \
            /usr/share/applications/com.quillfen.Tessaline.desktop \
            /usr/share/icons/hicolor/scalable/apps/com.quillfen.Tessaline.svg; do
    [ -e "$file" ] || { echo "missing: $file"; exit 1; }
done
mkdir -p /tmp/home
export HOME=/tmp/home
# A user's shell on a machine without a display: no DISPLAY (which means :0), and a network
# namespace of its own, since X's abstract sockets would reach the build machine's displays.
unset DISPLAY
unshare --net Tessaline >/tmp/app.log 2>&1 &
app=$!
for _ in $(seq 100); do
    grep -q "without a window" /tmp/app.log && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
cat /tmp/app.log
sleep 1
kill -0 "$app" 2>/dev/null || { echo "the program ended by itself"; exit 1; }
kill -TERM "$app"
status=0
wait "$app" || status=$?
echo "exit status $status"
[ -f /tmp/home/.config/Tessaline.settings ] && grep -q filterState /tmp/home/.config/Tessaline.settings \
    && echo "state saved"
INSIDE

note "installing $(basename "$package") into a clean Debian 12 root"
unshare --mount --pid --fork --mount-proc="$root/proc" sh -c '
    mount --rbind /dev "$1/dev" && mount --make-rslave "$1/dev" &&
    mount -t tmpfs tmpfs "$1/dev/shm" &&
    chroot "$1" sh /tmp/inside.sh' sh "$root" >"$work/inside.log" 2>&1 || { cat "$work/inside.log"; fail "the clean root run failed"; }
cat "$work/inside.log" | sed 's/^/  /'

grep -q "^installed: tessaline .* install ok installed" "$work/inside.log" || fail "apt did not install the package"
grep -q "running Tessaline without a window" "$work/inside.log" || fail "the installed program did not start without a display"
grep -q "^exit status 0" "$work/inside.log" || fail "the quit request did not end the program cleanly"
grep -q "^state saved" "$work/inside.log" || fail "the program saved no state at the quit request"

# qtractor's scanner reads TYPE:path lines; the path is the installed file in the clean root.
scan="$(echo "CLAP:$root/usr/lib/clap/Tessaline.clap" | "$QTRACTOR_PLUGIN_SCAN" 2>/dev/null)"
note "qtractor scanner: $scan"
echo "$scan" | grep -q "^CLAP|Tessaline|2:2|0:0|7:0|" || fail "qtractor's scanner did not find Tessaline in the installed Tessaline.clap"
