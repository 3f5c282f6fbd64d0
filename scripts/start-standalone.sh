#!/usr/bin/env bash
# Starts a built standalone program: start-standalone.sh PROGRAM [ARGUMENTS...]
#
# On a machine without a display the program itself runs on a private virtual display (Xvfb)
# and says so: no window is visible anywhere, but the audio device, the filter and the settings
# file work as usual. Ctrl-C quits, saving the state as the window's close button does.
set -euo pipefail
program="$1"
shift
exec "$program" "$@"
