#!/usr/bin/env bash
# Takes the README's picture of the product: builds the standalone program, runs it on a
# private Xvfb display with a fresh home folder and captures its window to docs/screenshot.png
# (or to the file given as the first argument).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_BUILD_DIR:-$root/build}"
output="${1:-$root/docs/screenshot.png}"
program="$build/targets/Tessaline_artefacts/Release/Standalone/Tessaline"

for tool in Xvfb xdotool import; do
    command -v "$tool" > /dev/null || { echo "missing $tool: run scripts/install-dependencies.sh" >&2; exit 1; }
done

# Always built, so the picture shows the editor as the sources have it now.
TESSALINE_BUILD_DIR="$build" bash "$root/scripts/build.sh" --target Tessaline_Standalone

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""

cleanup()
{
    [ -n "$app_pid" ] && kill "$app_pid" 2> /dev/null && wait "$app_pid" 2> /dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it to the given descriptor.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-

for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"

# A fresh home: default parameters, and the input left unmuted so no notice covers the editor.
export HOME="$work/home"
mkdir -p "$HOME/.config"
cat > "$HOME/.config/Tessaline.settings" << 'SETTINGS'
<?xml version="1.0" encoding="UTF-8"?>
<PROPERTIES>
  <VALUE name="shouldMuteInput" val="0"/>
</PROPERTIES>
SETTINGS

"$program" > "$work/app.log" 2>&1 &
app_pid=$!

window="$(timeout 30 xdotool search --sync --onlyvisible --name '^Tessaline$' | head -n 1)" || true
[ -n "$window" ] || { echo "the Tessaline window did not appear" >&2; cat "$work/app.log" >&2; exit 1; }

# Let the editor's first refresh (66 ms) and paint happen.
sleep 2

mkdir -p "$(dirname "$output")"
import -window "$window" "$output"
echo "wrote $output"
