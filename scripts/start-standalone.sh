#!/usr/bin/env bash
# Starts a built standalone program: start-standalone.sh PROGRAM [ARGUMENTS...]
#
# JUCE 7's standalone wrapper needs an X display to start at all (without one it crashes while
# placing its window). On a machine without a display the program therefore runs on a private
# virtual display: no window is visible anywhere, but the audio device, the filter and the
# settings file work as usual. Ctrl-C quits.
set -euo pipefail
program="$1"
shift

# JUCE falls back to ":0.0" when DISPLAY is unset, so that is the display to probe.
if xdpyinfo -display "${DISPLAY:-:0.0}" >/dev/null 2>&1; then
    exec "$program" "$@"
fi

echo "No X display reachable: running Tessaline without a window (Ctrl-C quits)." >&2
exec xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24 -nolisten tcp -noreset" "$program" "$@"
