#!/usr/bin/env bash
# First start with no settings file: the window appears with its title and the input-muted
# notification bar; unmuting in the settings dialog hides the bar; closing the window with its
# own close button writes the state, the window position and the audio settings.
source "$(dirname "$0")/standalone-lib.sh"

start_display
start_app
window="$(find_app_window)"

[ "$(xdotool getwindowname "$window")" = "Tessaline" ] || fail "window title is not Tessaline"
note "window $window shown"

# At first start the input is muted, and the notification bar says so above the editor. Its
# "Settings..." button (the bar's right end, below the title bar) opens "Audio/MIDI Settings",
# whose "Mute audio input" toggle sits at the dialog's top, from 35 % of its width on.
expect_notification_bar "$window" shown
xdotool mousemove --window "$window" $((win_width - 42)) 43 sleep 0.2 click 1
dialog="$(wait_for_window "Audio/MIDI Settings")"
window_geometry "$dialog"
xdotool mousemove --window "$dialog" $((win_width * 35 / 100 + 25)) 23 sleep 0.2 click 1 \
    mousemove --window "$dialog" $((win_width / 2)) $((win_height - 10)) sleep 0.2 key Escape
expect_notification_bar "$window" hidden

close_app_with_close_button "$window"

for key in filterState windowX windowY audioSetup shouldMuteInput; do
    has_setting "$key" || fail "settings file lacks $key"
done

[ "$(settings_value shouldMuteInput)" = "0" ] || fail "unmuted input not recorded"
[ "$(settings_value windowX)" = "$win_x" ] || fail "windowX $(settings_value windowX), window was at $win_x"
[ "$(settings_value windowY)" = "$win_y" ] || fail "windowY $(settings_value windowY), window was at $win_y"
expect_default_parameters "$(state_parameters "$(settings_value filterState)")"
note "settings written: filterState, windowX=$win_x, windowY=$win_y"
