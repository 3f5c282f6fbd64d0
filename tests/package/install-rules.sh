#!/usr/bin/env bash
# cmake --install puts the program, the three plug-ins, the desktop entry and the icon where
# Linux hosts and desktops look: per user under a temporary HOME, system-wide under a staging
# folder (DESTDIR) with the prefix /usr. Usage: install-rules.sh BUILD_FOLDER
set -euo pipefail
build="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tessaline-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# expect_files ROOT PROGRAM CLAP VST3 LV2 SHARE
expect_files() {
    local file
    for file in "$2/Tessaline" "$3/Tessaline.clap" "$4/Tessaline.vst3/Contents/x86_64-linux/Tessaline.so" \
                "$5/Tessaline.lv2/manifest.ttl" "$5/Tessaline.lv2/dsp.ttl" "$5/Tessaline.lv2/libTessaline.so" \
                "$6/applications/com.quillfen.Tessaline.desktop" \
                "$6/icons/hicolor/scalable/apps/com.quillfen.Tessaline.svg"; do
        [ -e "$1$file" ] || fail "$1$file was not installed"
    done
    [ -x "$1$2/Tessaline" ] || fail "the program is not executable"
    grep -qx "Categories=AudioVideo;Audio;" "$1$6/applications/com.quillfen.Tessaline.desktop" \
        || fail "the desktop entry lacks its categories"
    grep -qx "Icon=com.quillfen.Tessaline" "$1$6/applications/com.quillfen.Tessaline.desktop" \
        || fail "the desktop entry does not name the icon"
}

home="$work/home"
mkdir -p "$home"
HOME="$home" cmake --install "$build" --prefix "$home/.local" >"$work/user.log"
expect_files "" "$home/.local/bin" "$home/.clap" "$home/.vst3" "$home/.lv2" "$home/.local/share"
echo "# per user: ~/.local/bin, ~/.clap, ~/.vst3, ~/.lv2, ~/.local/share"

DESTDIR="$work/system" cmake --install "$build" --prefix /usr >"$work/system.log"
expect_files "$work/system" /usr/bin /usr/lib/clap /usr/lib/vst3 /usr/lib/lv2 /usr/share
echo "# system-wide: /usr/bin, /usr/lib/clap, /usr/lib/vst3, /usr/lib/lv2, /usr/share"
