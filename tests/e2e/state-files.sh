#!/usr/bin/env bash
# The "Options" menu's state items: "Save current state...", "Load a saved state..." and
# "Reset to default state". A save to a writable file writes the state blob and remembers the
# file; a file that cannot be written or read gives the error message box; a reset brings back
# the defaults. The file dialogs start at "lastStateFile", so each case prepares that and
# confirms the dialog with Return.
source "$(dirname "$0")/standalone-lib.sh"

# As root every file is readable and writable; without the file-permission override
# capabilities root meets permissions like any other user.
run_app=("$TESSALINE_APP")
if [ "$(id -u)" = 0 ]; then
    run_app=(setpriv --inh-caps=-all --bounding-set=-dac_override,-dac_read_search -- "$TESSALINE_APP")
fi

locked="$e2e_work/locked"
mkdir -p "$locked"
touch "$locked/unreadable.state"
chmod 000 "$locked/unreadable.state"
chmod 555 "$locked"

start_display

# open_state_dialog WINDOW PRESSES TITLE: opens the "Options" menu (its button sits at the
# left end of the title bar), where the first item is highlighted, moves down PRESSES items
# and picks that one; sets "dialog" to the window of the dialog titled TITLE.
open_state_dialog() {
    local window=$1 presses=$2 title=$3 tries
    xdotool mousemove --window "$window" 38 15 sleep 0.2 click 1 sleep 0.4
    for (( tries = 0; tries < presses; tries++ )); do xdotool key Down sleep 0.1; done
    xdotool key Return
    for tries in $(seq 30); do
        dialog="$(xdotool search --all --onlyvisible --pid "$app_pid" --name "^$title\$" 2>/dev/null | head -n 1 || true)"
        [ -n "$dialog" ] && return 0
        sleep 0.1
    done
    fail "menu item $presses of \"Options\" did not open \"$title\""
}

# confirm_dialog DIALOG: presses Return in the dialog (its default button).
confirm_dialog() {
    xdotool mousemove --window "$1" 200 10 sleep 0.2 key Return
}

# expect_message_box TITLE: waits for an alert window with that title.
expect_message_box() {
    local tries
    for tries in $(seq 30); do
        if xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1\$" >/dev/null 2>&1; then
            note "message box \"$1\" shown"
            return 0
        fi
        sleep 0.1
    done
    fail "no message box \"$1\""
}

# run_case LASTFILE PRESSES TITLE: starts the program, opens the dialog and confirms it.
run_case() {
    write_settings shouldMuteInput 0 lastStateFile "$1" filterState "$(state_blob cutoff=321)"
    "${run_app[@]}" >"$e2e_work/app.log" 2>&1 &
    app_pid=$!
    e2e_pids+=("$app_pid")
    window="$(find_app_window)"
    wait_until_painted "$window"
    open_state_dialog "$window" "$2" "$3"
    confirm_dialog "$dialog"
}

# kill_app: the test is over for this start; a message box may be open, so no clean close.
kill_app() {
    kill "$app_pid"
    e2e_wait_for_exit "$app_pid" 30 || { kill -9 "$app_pid"; e2e_wait_for_exit "$app_pid" 30; }
    forget_pid "$app_pid"
}

saved="$e2e_work/saved.state"
run_case "$saved" 1 "Save current state"
for tries in $(seq 30); do [ -s "$saved" ] && break; sleep 0.1; done
expect_parameter "$("$TESSALINE_STATE_TOOL" show-file "$saved")" cutoff 321
close_app_with_close_button "$window"
[ "$(settings_value lastStateFile)" = "$saved" ] || fail "lastStateFile not remembered"
note "state saved to a writable file"

run_case "$locked/new.state" 1 "Save current state"
expect_message_box "Error whilst saving"
kill_app

run_case "$locked/unreadable.state" 2 "Load a saved state"
expect_message_box "Error whilst loading"
kill_app

# "Reset to default state" (the third item) brings every parameter back to its default, which
# the next clean close writes.
write_settings shouldMuteInput 0 filterState "$(state_blob cutoff=321 mode=1)"
start_app
window="$(find_app_window)"
wait_until_painted "$window"
xdotool mousemove --window "$window" 38 15 sleep 0.2 click 1 sleep 0.4 key Down sleep 0.1 key Down sleep 0.1 key Down sleep 0.1 key Return sleep 0.5
close_app_with_close_button "$window"
expect_default_parameters "$(state_parameters "$(settings_value filterState)")"
note "reset to default state"
