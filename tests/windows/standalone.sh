#!/usr/bin/env bash
# The Windows program under Wine on a virtual display: its window "Tessaline" shows the editor
# (a screenshot goes into the test's output folder), closing it with its close button writes
# Tessaline.settings with the filter state into the roaming application-data folder, and in the
# next session a preset saved through the bar with a typed name lands in the Windows presets
# folder.
#   standalone.sh program.exe [screenshot.png]
set -euo pipefail
source "$(dirname "$0")/wine-lib.sh"
program="$1"
screenshot="${2:-$PWD/windows-standalone.png}"
fail() { echo "FAIL: $*"; exit 1; }

wine_start --display
wine_use_virtual_desktop

# start_program: starts it and sets window, width, height, left and top once its window shows.
start_program()
{
    wine "$program" > "$testHome/program.log" 2>&1 &
    programPid=$!
    window=""
    for _ in $(seq 300); do
        window="$(xdotool search --onlyvisible --name '^Tessaline$' 2>/dev/null | head -n 1 || true)"
        [ -n "$window" ] && break
        kill -0 "$programPid" 2> /dev/null || { cat "$testHome/program.log"; fail "the program ended before showing its window"; }
        sleep 0.1
    done
    [ -n "$window" ] || fail "no window titled \"Tessaline\" appeared"
    sleep 3 # the first paint

    local geometry
    geometry="$(xwininfo -id "$window")"
    width="$(awk '/Width:/ { print $NF }' <<< "$geometry")"
    height="$(awk '/Height:/ { print $NF }' <<< "$geometry")"
    left="$(awk '/Absolute upper-left X/ { print $NF }' <<< "$geometry")"
    top="$(awk '/Absolute upper-left Y/ { print $NF }' <<< "$geometry")"
    echo "window \"Tessaline\": ${width}x${height} at $left,$top"
}

# The editor fills the window below its title bar, inside an equal frame on three sides.
click_editor()
{
    local frame=$(( (width - 920) / 2 ))
    xdotool mousemove --window "$window" $((frame + $1)) $((height - frame - 414 + $2)) sleep 0.3 click 1
}

# --- first session: the window, then its close button ----------------------------------------
start_program
import -window root -crop "${width}x${height}+${left}+${top}" "$screenshot"
echo "screenshot: $screenshot"
# The editor's accent colour (the knobs' glow, the response curve) is drawn in many pixels.
accent="$(convert "$screenshot" -fuzz 12% -fill black +opaque '#00d2ff' -fill white -opaque '#00d2ff' -format '%[fx:mean*w*h]' info:)"
echo "pixels in the accent colour: ${accent%.*}"
[ "${accent%.*}" -gt 500 ] || fail "the window does not show the editor"

# The close button sits at the right end of the title bar the window draws itself.
for _ in 1 2 3; do
    xdotool mousemove --window "$window" $((width - 16)) 14 sleep 0.3 click 1 2> /dev/null || true
    for _ in $(seq 100); do kill -0 "$programPid" 2> /dev/null || break; sleep 0.1; done
    kill -0 "$programPid" 2> /dev/null || break
done
kill -0 "$programPid" 2> /dev/null && fail "the program did not quit after a click on its close button"
wait "$programPid" || fail "the program ended with status $?"

settings="$ROAMING/Tessaline/Tessaline.settings"
[ -f "$settings" ] || fail "no settings file in $ROAMING: $(ls -R "$ROAMING" 2>&1)"
grep -q 'name="filterState"' "$settings" || fail "the settings file holds no filter state"
grep -q 'name="windowX"' "$settings" || fail "the settings file holds no window position"
echo "closing wrote ${settings#"$WINEPREFIX/"} with the filter state and the window position"

# --- second session: a preset saved through the bar ------------------------------------------
# "Save" (its centre at 651, 41 in design units) opens the "Save Preset" dialog; its "Preset:"
# field is the dialog's second text field, half-way across it.
start_program
dialog=""
for _ in 1 2 3; do
    click_editor 651 41
    for _ in $(seq 30); do
        dialog="$(xdotool search --onlyvisible --name '^Save Preset$' 2>/dev/null | head -n 1 || true)"
        [ -n "$dialog" ] && break 2
        sleep 0.1
    done
done
[ -n "$dialog" ] || fail "\"Save\" opened no \"Save Preset\" dialog"
dialogWidth="$(xwininfo -id "$dialog" | awk '/Width:/ { print $NF }')"
xdotool mousemove --window "$dialog" $((dialogWidth / 2)) 171 sleep 0.5 click 1 sleep 0.5 key ctrl+a type "Wine Lead"
xdotool key Return

presets="$ROAMING/Tessaline/Presets"
for _ in $(seq 50); do [ -f "$presets/Wine Lead.tslp" ] && break; sleep 0.1; done
[ -f "$presets/Wine Lead.tslp" ] || fail "no preset file in $presets: $(ls -R "$ROAMING/Tessaline" 2>&1)"
grep -q 'name="Wine Lead" cutoff="20000.0"' "$presets/Wine Lead.tslp" || fail "the preset file does not hold the present values"
echo "Save + typed name + Return wrote ${presets#"$WINEPREFIX/"}/Wine Lead.tslp"
