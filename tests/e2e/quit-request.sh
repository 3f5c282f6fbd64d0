#!/usr/bin/env bash
# The system's quit request (SIGTERM at logout or shutdown, SIGHUP when the session goes, Ctrl-C)
# closes the program as its close button does: it exits cleanly and writes its state, the
# window position and the audio settings.
source "$(dirname "$0")/standalone-lib.sh"

prepared=(cutoff=1234 resonance=0.5 mode=2 oversampling=0)
start_display

for signal in TERM HUP INT; do
    write_settings filterState "$(state_blob "${prepared[@]}")"
    start_app
    window="$(find_app_window)"
    wait_until_painted "$window"
    window_geometry "$window"

    kill -s "$signal" "$app_pid"
    e2e_wait_for_exit "$app_pid" 100 || fail "SIG$signal did not end the program"
    status=0
    wait "$app_pid" 2>/dev/null || status=$?
    forget_pid "$app_pid"
    [ "$status" -eq 0 ] || fail "SIG$signal: exit status $status"

    for key in filterState windowX windowY audioSetup shouldMuteInput; do
        has_setting "$key" || fail "SIG$signal: settings file lacks $key"
    done
    [ "$(settings_value windowX),$(settings_value windowY)" = "$win_x,$win_y" ] \
        || fail "SIG$signal: window position $(settings_value windowX),$(settings_value windowY), window was at $win_x,$win_y"
    parameters="$(state_parameters "$(settings_value filterState)")"
    for assignment in "${prepared[@]}"; do
        expect_parameter "$parameters" "${assignment%%=*}" "${assignment#*=}"
    done
    note "SIG$signal: state and settings written"
done
