#!/usr/bin/env bash
# Audio from a JACK client passes through the filter: a 2 kHz tone goes into the program's
# JACK input ports and its output is measured at 2 kHz. The gain must match what the
# processor gives offline for the same state, with the cutoff well above and well below the
# tone; with the input muted (the first-start setting) nothing comes through.
source "$(dirname "$0")/standalone-lib.sh"
: "${TESSALINE_JACK_PROBE:?path of TessalineJackProbe}"

tone=2000
rate=48000

start_display
start_jack

# measure_gain [settings items...]: starts the program with those settings, prints the
# channel gains in dB ("gain_1=... gain_2=...") and closes it again.
measure_gain() {
    write_settings jack "$@"
    start_app
    local window gains
    window="$(find_app_window)"
    gains="$("$TESSALINE_JACK_PROBE" Tessaline "$tone" 0.6)" || fail "JACK probe failed"
    close_app_with_close_button "$window"
    echo $gains
}

# expect_gain GAINS EXPECTED TOLERANCE: both channels within TOLERANCE dB of EXPECTED.
expect_gain() {
    local assignment
    for assignment in $1; do
        awk -v g="${assignment#*=}" -v e="$2" -v t="$3" 'BEGIN { d = g - e; exit !(d <= t && d >= -t) }' \
            || fail "$assignment dB, expected $2 dB (within $3 dB)"
    done
}

muted="$(measure_gain filterState "$(state_blob)")"
note "input muted: $muted"
expect_gain "$muted" -200 80

open_state=(cutoff=20000)
closed_state=(cutoff=500)
open_expected="$("$TESSALINE_STATE_TOOL" gain $tone $rate "${open_state[@]}")"
closed_expected="$("$TESSALINE_STATE_TOOL" gain $tone $rate "${closed_state[@]}")"

open="$(measure_gain shouldMuteInput 0 filterState "$(state_blob "${open_state[@]}")")"
note "cutoff 20000 Hz: $open (offline $open_expected dB)"
expect_gain "$open" "$open_expected" 1

closed="$(measure_gain shouldMuteInput 0 filterState "$(state_blob "${closed_state[@]}")")"
note "cutoff 500 Hz: $closed (offline $closed_expected dB)"
expect_gain "$closed" "$closed_expected" 1.5
awk -v o="$open_expected" -v c="$closed_expected" 'BEGIN { exit !(o - c > 30) }' \
    || fail "the low cutoff should attenuate the tone by more than 30 dB"
