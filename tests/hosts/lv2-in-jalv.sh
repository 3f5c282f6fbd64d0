#!/usr/bin/env bash
# The LV2 build in Debian's jalv on a JACK server with the dummy driver: jalv loads a saved LV2
# state holding the cutoff (the LV2 state is the same state blob the other formats save, as
# text), a 2 kHz tone goes into jalv's JACK input ports and the output is measured at 2 kHz.
# The gain must match what the processor gives offline for the same values, with the cutoff
# well above and well below the tone.
source "$(dirname "$0")/../e2e/standalone-lib.sh"
: "${TESSALINE_JACK_PROBE:?path of TessalineJackProbe}"
: "${TESSALINE_LV2_FOLDER:?folder holding Tessaline.lv2}"
: "${TESSALINE_LV2_URI:?the LV2 URI}"

tone=2000
rate=48000
export LV2_PATH="$TESSALINE_LV2_FOLDER"
# No plug-in window here: keep JUCE away from any display that happens to be around.
export DISPLAY=:no-display

start_jack

# write_state FOLDER [id=value ...]: an LV2 state folder, as jalv saves one, with those values.
write_state() {
    mkdir -p "$1"
    cat >"$1/manifest.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .

<state.ttl> a pset:Preset ; lv2:appliesTo <$TESSALINE_LV2_URI> ; rdfs:seeAlso <state.ttl> .
TTL
    cat >"$1/state.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .

<> a pset:Preset ;
    lv2:appliesTo <$TESSALINE_LV2_URI> ;
    state:state [ <$TESSALINE_LV2_URI:StateString> "$(state_blob "${@:2}")" ] .
TTL
}

# measure_gain CUTOFF: runs jalv with that cutoff, prints the channel gains and stops jalv.
measure_gain() {
    local input="$e2e_work/jalv-input" state="$e2e_work/state-$1" gains
    write_state "$state" "cutoff=$1"
    rm -f "$input" && mkfifo "$input"
    # jalv's console ends at the end of its input: keep it open while jalv runs.
    exec 4<>"$input"
    jalv -x -n Tessaline -l "$state" "$TESSALINE_LV2_URI" <"$input" >"$e2e_work/app.log" 2>&1 &
    local jalv_pid=$!
    e2e_pids+=("$jalv_pid")
    gains="$("$TESSALINE_JACK_PROBE" Tessaline "$tone" 0.6 audio_in_ audio_out_)" \
        || { cat "$e2e_work/app.log" >&2; fail "JACK probe failed"; }
    kill "$jalv_pid"
    e2e_wait_for_exit "$jalv_pid" 50 || fail "jalv did not stop"
    forget_pid "$jalv_pid"
    exec 4>&-
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

open_expected="$("$TESSALINE_STATE_TOOL" gain $tone $rate cutoff=20000)"
closed_expected="$("$TESSALINE_STATE_TOOL" gain $tone $rate cutoff=500)"

open="$(measure_gain 20000)"
note "cutoff 20000 Hz in jalv: $open (offline $open_expected dB)"
expect_gain "$open" "$open_expected" 1

closed="$(measure_gain 500)"
note "cutoff 500 Hz in jalv: $closed (offline $closed_expected dB)"
expect_gain "$closed" "$closed_expected" 1.5
awk -v o="$open_expected" -v c="$closed_expected" 'BEGIN { exit !(o - c > 30) }' \
    || fail "the low cutoff should attenuate the tone by more than 30 dB"
