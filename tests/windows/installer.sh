#!/usr/bin/env bash
# The Windows installer and zip, made by CPack from the Windows build, under Wine: a silent
# install puts the program under Program Files with a Start-menu entry and the plug-ins into the
# folders Windows hosts scan; the silent uninstall takes all of it away again. The zip holds the
# three deliverables.
#   installer.sh windowsBuildFolder
set -euo pipefail
source "$(dirname "$0")/wine-lib.sh"
build="$1"
fail() { echo "FAIL: $*"; exit 1; }

wine_start

packages="$testHome/packages"
(cd "$build" && cpack -C Release -B "$packages" > "$testHome/cpack.log" 2>&1) || { cat "$testHome/cpack.log"; fail "cpack failed"; }
installer="$(ls "$packages"/Tessaline-*-windows-x64.exe)"
zip="$(ls "$packages"/Tessaline-*-windows-x64.zip)"

drive="$WINEPREFIX/drive_c"
installed=(
    "Program Files/Tessaline/Tessaline.exe"
    "Program Files/Tessaline/Uninstall.exe"
    "Program Files/Common Files/CLAP/Tessaline.clap"
    "Program Files/Common Files/VST3/Tessaline.vst3/Contents/x86_64-win/Tessaline.vst3"
)

wine "$installer" /S
wineserver --wait
for file in "${installed[@]}"; do
    [ -f "$drive/$file" ] || fail "not installed: C:\\$file ($(find "$drive/Program Files" -path '*Tessaline*' | head -20))"
    echo "installed: C:\\$file"
done
shortcut="$(find "$drive" -path '*Start Menu/Programs/Tessaline/Tessaline.lnk' | head -n 1)"
[ -n "$shortcut" ] || fail "no Start-menu entry"
echo "Start-menu entry: ${shortcut#"$drive/"}"
[ -d "$drive/Program Files/Tessaline/plugins" ] && fail "the plug-ins' staging folder was left under Program Files"

wine "$drive/Program Files/Tessaline/Uninstall.exe" /S
wineserver --wait
sleep 2 # the uninstaller runs from a copy of itself, which may outlive the first process
wineserver --wait
for file in "${installed[@]}"; do
    [ -e "$drive/$file" ] && fail "left behind by the uninstaller: C:\\$file"
done
[ -n "$(find "$drive" -path '*Start Menu/Programs/Tessaline*' | head -n 1)" ] && fail "the Start-menu entry was left behind"
echo "the uninstaller removed every file"

contents="$(unzip -Z1 "$zip")"
for file in Tessaline.exe plugins/CLAP/Tessaline.clap plugins/VST3/Tessaline.vst3/Contents/x86_64-win/Tessaline.vst3; do
    grep -q "/$file\$" <<< "$contents" || fail "not in the zip: $file"
done
echo "the zip holds the program and both plug-ins: $(basename "$zip")"
