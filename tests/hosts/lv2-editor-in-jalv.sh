#!/usr/bin/env bash
# The LV2 build's editor in Debian's jalv.gtk3 (GTK 3, the X11 UI embedded through suil) on a
# JACK server with the dummy driver and a virtual display: the editor shows (a screenshot goes
# into the test's folder), a click on its "HPF" button reaches the plug-in (a 2 kHz tone that
# passed at the default low-pass is then filtered away), and jalv closes cleanly on a quit
# request.
source "$(dirname "$0")/../e2e/standalone-lib.sh"
: "${TESSALINE_JACK_PROBE:?path of TessalineJackProbe}"
: "${TESSALINE_LV2_FOLDER:?folder holding Tessaline.lv2}"
: "${TESSALINE_LV2_URI:?the LV2 URI}"
screenshot="${1:-$PWD/lv2-editor-in-jalv.png}"

tone=2000
export LV2_PATH="$TESSALINE_LV2_FOLDER"

start_display
start_jack

jalv.gtk3 -n Tessaline "$TESSALINE_LV2_URI" >"$e2e_work/app.log" 2>&1 &
jalv_pid=$!
e2e_pids+=("$jalv_pid")

# The editor: jalv's window holds the plug-in's own X window, 920 x 414 at its default size.
editor=""
for _ in $(seq 150); do
    editor="$(xwininfo -root -tree 2>/dev/null | awk '/920x414/ && /\(has no name\): \(\)/ { id = $1 } END { print id }')"
    [ -n "$editor" ] && [ "$(pixel_colour "$editor" 460 2)" != "000000" ] && break
    kill -0 "$jalv_pid" 2>/dev/null || fail "jalv.gtk3 ended before showing the editor"
    sleep 0.1
done
[ -n "$editor" ] || fail "jalv.gtk3 showed no editor of 920 x 414"
sleep 1
import -display "$DISPLAY" -window "$editor" "$screenshot"
note "screenshot: $screenshot"
accent="$(convert "$screenshot" -fuzz 12% -fill black +opaque '#00d2ff' -fill white -opaque '#00d2ff' -format '%[fx:mean*w*h]' info:)"
note "pixels in the editor's accent colour: ${accent%.*}"
[ "${accent%.*}" -gt 500 ] || fail "the window does not show the editor"

# gain_at_tone: both channels' gain at the tone through jalv's JACK ports, as "L=.. R=..".
gain_at_tone() {
    "$TESSALINE_JACK_PROBE" Tessaline "$tone" 0.6 audio_in_ audio_out_ || fail "JACK probe failed"
}

# all_below GAINS LIMIT / all_above GAINS LIMIT
all_below() { for g in $1; do awk -v g="${g#*=}" -v l="$2" 'BEGIN { exit !(g < l) }' || return 1; done; }
all_above() { for g in $1; do awk -v g="${g#*=}" -v l="$2" 'BEGIN { exit !(g > l) }' || return 1; done; }

open="$(gain_at_tone)"
note "default low-pass at 20 kHz: $open"
all_above "$open" -3 || fail "the tone should pass at the defaults: $open"

# "HPF" sits at 778, 309 of the editor's 920 x 414.
filtered=""
for _ in 1 2 3; do
    xdotool mousemove --window "$editor" 778 309 sleep 0.3 click 1
    sleep 0.5
    filtered="$(gain_at_tone)"
    all_below "$filtered" -40 && break
done
note "after a click on HPF: $filtered"
all_below "$filtered" -40 || fail "the click on HPF did not reach the plug-in: $filtered"

kill -TERM "$jalv_pid"
status=0
timeout 10 tail --pid="$jalv_pid" -f /dev/null || fail "jalv.gtk3 did not close on a quit request"
wait "$jalv_pid" || status=$?
forget_pid "$jalv_pid"
[ "$status" -eq 0 ] || fail "jalv.gtk3 ended with status $status: $(tail -5 "$e2e_work/app.log")"
grep -qiE "segmentation|abort|assert" "$e2e_work/app.log" && fail "jalv.gtk3 reported: $(cat "$e2e_work/app.log")"
note "jalv.gtk3 closed cleanly"
