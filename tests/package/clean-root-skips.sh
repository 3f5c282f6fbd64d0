#!/usr/bin/env bash
# Where the clean-root test cannot make its mount namespace, it is skipped with one line saying
# why, never failed: inside a chroot (whose root is no mount point, so private propagation is
# refused) and in a container without the right to mount (no CAP_SYS_ADMIN).
#
# Usage: clean-root-skips.sh (as root; the chroot is made of bind mounts in a namespace of its own)
set -euo pipefail
script="$(dirname "$(realpath "$0")")/install-package.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "# $*"; }

[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root (chroot and mounts)"; exit 77; }
unshare --mount true 2>/dev/null || { echo "SKIP: cannot make a mount namespace for the chroot"; exit 77; }

work="$(mktemp -d "${TMPDIR:-/tmp}/tessaline-skips.XXXXXX")"
chroot_root="$work/chroot"
# The machine's own system, and this test's folder at its own path (the script's temporary
# files go there too).
chroot_folders=(usr etc dev proc "${work#/}")

# The chroot's mounts live only in the namespace that made them and end with it. Its folders
# are removed one by one all the same, never recursively: a mount left over would hold the
# machine's own /usr.
remove_chroot() {
    local index folder
    [ -d "$chroot_root" ] || return 0
    rm -f "$chroot_root"/{bin,lib,lib64,sbin}
    for (( index=${#chroot_folders[@]}-1; index>=0; index-- )); do
        folder="${chroot_folders[index]}"
        while [ "$folder" != . ]; do
            rmdir "$chroot_root/$folder" 2>/dev/null || true
            folder="$(dirname "$folder")"
        done
    done
    rmdir "$chroot_root" || fail "the chroot $chroot_root could not be removed"
}
trap 'remove_chroot; rm -rf "$work"' EXIT
cp "$script" "$work/install-package.sh"

# in_chroot COMMAND...: runs COMMAND in a chroot of the machine's own system whose root is a
# plain folder, the way a chroot made by debootstrap or schroot is.
in_chroot() {
    unshare --mount sh -c '
        root=$1; folders=$2; shift 2
        mkdir "$root"
        for link in bin lib lib64 sbin; do ln -s "usr/$link" "$root/$link"; done
        for folder in $folders; do
            mkdir -p "$root/$folder" && mount --bind "/$folder" "$root/$folder" || exit 1
        done
        exec chroot "$root" "$@"' sh "$chroot_root" "${chroot_folders[*]}" "$@"
}

# without_mount_right COMMAND...: runs COMMAND as root without CAP_SYS_ADMIN, as in a container.
without_mount_right() {
    setpriv --inh-caps -sys_admin --bounding-set -sys_admin "$@"
}

for way in in_chroot without_mount_right; do
    status=0
    "$way" env TMPDIR="$work" QTRACTOR_PLUGIN_SCAN=/bin/true TESSALINE_CLEAN_ROOT_CACHE="$work/no-cache" \
        bash "$work/install-package.sh" "$work/tessaline.deb" >"$work/output" 2>&1 || status=$?
    remove_chroot
    mapfile -t lines <"$work/output"
    note "$way: exit status $status: $(cat "$work/output")"
    [ "$status" -eq 77 ] || fail "$way: exit status $status, expected 77 (skipped)"
    [ "${#lines[@]}" -eq 1 ] || fail "$way: ${#lines[@]} lines of output, expected one"
    [[ "${lines[0]}" == "SKIP: "?* ]] || fail "$way: the line does not say why it skips"
    [ ! -e "$work/no-cache" ] || fail "$way: a clean root was made though it could not be entered"
done
