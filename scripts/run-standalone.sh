#!/usr/bin/env bash
# The run command: installs what is missing, builds the standalone program and starts it.
#
# JUCE 7's standalone wrapper needs an X display to start at all (without one it stops at
# start-up while placing its window). On a machine without a display the program therefore
# runs on a private virtual display: no window is visible anywhere, but the audio device, the
# filter and the settings file work as usual. Ctrl-C quits.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_BUILD_DIR:-$root/build}"
program="$build/targets/Tessaline_artefacts/Release/Standalone/Tessaline"

bash "$root/scripts/install-dependencies.sh"
bash "$root/scripts/build.sh" --target Tessaline_Standalone

# JUCE falls back to ":0.0" when DISPLAY is unset, so that is the display to probe.
if xdpyinfo -display "${DISPLAY:-:0.0}" >/dev/null 2>&1; then
    exec "$program" "$@"
fi

echo "No X display reachable: running Tessaline without a window (Ctrl-C quits)." >&2
exec xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24 -nolisten tcp" "$program" "$@"
