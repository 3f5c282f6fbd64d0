#!/usr/bin/env bash
# On a machine whose X display cannot be reached the program runs without a window and still
# filters audio (a tone through its JACK ports comes back at the level the processor gives
# offline), whether the run command starts it or the user starts the program itself; a quit
# request then ends it with its state written and its private display gone.
source "$(dirname "$0")/standalone-lib.sh"
: "${TESSALINE_JACK_PROBE:?path of TessalineJackProbe}"
start_script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/start-standalone.sh"

start_jack
expected="$("$TESSALINE_STATE_TOOL" gain 2000 48000 cutoff=500)"

for way in script direct; do
    write_settings jack shouldMuteInput 0 filterState "$(state_blob cutoff=500)"
    : >"$e2e_work/app.log"

    # A display number nothing listens on (an unset DISPLAY would mean ":0", which a parallel
    # test may be using). Each start gets its own process group so cleanup reaches its children.
    if [ "$way" = script ]; then
        DISPLAY=":$((5000 + RANDOM % 1000))" setsid bash "$start_script" "$TESSALINE_APP" >"$e2e_work/app.log" 2>&1 &
    else
        DISPLAY=":$((5000 + RANDOM % 1000))" setsid "$TESSALINE_APP" >"$e2e_work/app.log" 2>&1 &
    fi
    app_pid=$!
    e2e_pids+=("-$app_pid")

    gains="$("$TESSALINE_JACK_PROBE" Tessaline 2000 0.6)" || fail "$way: no audio from the program started without a display"
    note "$way, without a display: $(echo $gains) (offline $expected dB)"
    for assignment in $gains; do
        awk -v g="${assignment#*=}" -v e="$expected" 'BEGIN { d = g - e; exit !(d <= 1.5 && d >= -1.5) }' \
            || fail "$way: $assignment dB, expected $expected dB"
    done
    grep -q "running Tessaline without a window" "$e2e_work/app.log" || fail "$way: the program did not say it runs without a window"

    # The program itself (the script execs it) and the display it started.
    displays="$(pgrep -g "$app_pid" -x Xvfb || true)"
    [ -n "$displays" ] || fail "$way: no private display found"
    rm -f "$settings_file"
    kill -TERM "$app_pid"
    e2e_wait_for_exit "$app_pid" 100 || fail "$way: SIGTERM did not end the program"
    for pid in $displays; do
        e2e_wait_for_exit "$pid" 50 || fail "$way: the private display outlived the program"
    done
    forget_pid "-$app_pid"
    has_setting filterState || fail "$way: no state written at the quit request"
done
