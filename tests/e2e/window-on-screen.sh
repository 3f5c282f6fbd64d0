#!/usr/bin/env bash
# A stored window position anywhere, on or off the 1280 x 800 screen, gives a window wholly on
# the screen (its close button within reach), and one inside the screen stays where it was.
source "$(dirname "$0")/standalone-lib.sh"

start_display
screen_width=1280
screen_height=800

# stored x, stored y, then the expected position ("-" where it depends on the window's size)
cases=(
    "5000 5000 - -"
    "-5000 -5000 0 0"
    "1270 10 - 10"
    "10 790 10 -"
    "137 91 137 91"
)

for entry in "${cases[@]}"; do
    read -r stored_x stored_y expected_x expected_y <<<"$entry"
    write_settings window "$stored_x" "$stored_y" shouldMuteInput 0
    start_app
    window="$(find_app_window)"
    wait_until_painted "$window"
    window_geometry "$window"
    note "stored $stored_x,$stored_y: window at $win_x,$win_y, $win_width x $win_height"

    [ "$win_x" -ge 0 ] && [ "$win_y" -ge 0 ] \
        && [ $((win_x + win_width)) -le $screen_width ] && [ $((win_y + win_height)) -le $screen_height ] \
        || fail "stored $stored_x,$stored_y: window $win_x,$win_y $win_width x $win_height is not wholly on the screen"
    [ "$expected_x" = "-" ] || [ "$win_x" = "$expected_x" ] || fail "stored $stored_x,$stored_y: x is $win_x, expected $expected_x"
    [ "$expected_y" = "-" ] || [ "$win_y" = "$expected_y" ] || fail "stored $stored_x,$stored_y: y is $win_y, expected $expected_y"

    close_app_with_close_button "$window"
done
