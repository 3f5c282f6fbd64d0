#!/usr/bin/env bash
# First start with no settings file: the window appears with its title and the input-muted
# notification bar; closing it with its own close button writes the state, the window position
# and the audio settings.
source "$(dirname "$0")/standalone-lib.sh"

start_display
start_app
window="$(find_app_window)"

[ "$(xdotool getwindowname "$window")" = "Tessaline" ] || fail "window title is not Tessaline"
note "window $window shown"

# At first start the input is muted, and the notification bar says so above the editor.
expect_notification_bar "$window" shown

close_app_with_close_button "$window"

for key in filterState windowX windowY audioSetup shouldMuteInput; do
    has_setting "$key" || fail "settings file lacks $key"
done

[ "$(settings_value shouldMuteInput)" = "1" ] || fail "input not recorded as muted"
[ "$(settings_value windowX)" = "$win_x" ] || fail "windowX $(settings_value windowX), window was at $win_x"
[ "$(settings_value windowY)" = "$win_y" ] || fail "windowY $(settings_value windowY), window was at $win_y"
expect_default_parameters "$(state_parameters "$(settings_value filterState)")"
note "settings written: filterState, windowX=$win_x, windowY=$win_y"
