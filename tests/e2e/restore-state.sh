#!/usr/bin/env bash
# A second start restores the parameters from "filterState" and the window from
# "windowX"/"windowY"; the next clean close writes the same parameters back.
source "$(dirname "$0")/standalone-lib.sh"

prepared=(cutoff=1234 resonance=0.5 drive=2.5 makeupGain=3 mode=2 slope=1 oversampling=0)
write_settings filterState "$(state_blob "${prepared[@]}")" window 137 91 shouldMuteInput 0

start_display
start_app
window="$(find_app_window)"
window_geometry "$window"
[ "$win_x,$win_y" = "137,91" ] || fail "window placed at $win_x,$win_y instead of 137,91"

# With the input unmuted there is no notification bar.
expect_notification_bar "$window" hidden

close_app_with_close_button "$window"

expect_parameters "$(state_parameters "$(settings_value filterState)")" "${prepared[@]}"
[ "$(settings_value windowX),$(settings_value windowY)" = "137,91" ] || fail "window position not kept"
note "parameters and window position restored"
