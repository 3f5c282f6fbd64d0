#!/usr/bin/env bash
# Started the way the run command starts it, on a machine whose X display cannot be reached,
# the program runs without a window and still filters audio: a tone through its JACK ports
# comes back at the level the processor gives offline.
source "$(dirname "$0")/standalone-lib.sh"
: "${TESSALINE_JACK_PROBE:?path of TessalineJackProbe}"
start_script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/start-standalone.sh"

start_jack
write_settings jack shouldMuteInput 0 filterState "$(state_blob cutoff=500)"

# A display number nothing listens on (an unset DISPLAY would mean ":0", which a parallel test
# may be using). The launcher runs in its own process group so cleanup reaches its children.
DISPLAY=":$((5000 + RANDOM % 1000))" setsid bash "$start_script" "$TESSALINE_APP" >"$e2e_work/app.log" 2>&1 &
app_pid=$!
e2e_pids+=("-$app_pid")

gains="$("$TESSALINE_JACK_PROBE" Tessaline 2000 0.6)" || fail "no audio from the program started without a display"
expected="$("$TESSALINE_STATE_TOOL" gain 2000 48000 cutoff=500)"
note "without a display: $(echo $gains) (offline $expected dB)"
for assignment in $gains; do
    awk -v g="${assignment#*=}" -v e="$expected" 'BEGIN { d = g - e; exit !(d <= 1.5 && d >= -1.5) }' \
        || fail "$assignment dB, expected $expected dB"
done
grep -q "running Tessaline without a window" "$e2e_work/app.log" || fail "the launcher did not say it runs without a window"
