#!/usr/bin/env bash
# The preset bar driven with the mouse and keyboard on the real window: ">" applies the next
# factory preset, Save with a typed name and Return writes that preset file, Escape in the Save
# dialog writes nothing; in the next session the saved preset is in the user bank, Load Preset
# through the file chooser applies a file and copies it into the presets folder, and Undo after
# a preset change restores the values before it. The saved state shows the values at each close.
source "$(dirname "$0")/standalone-lib.sh"

start_display
write_settings shouldMuteInput 0

# --- first session ------------------------------------------------------------------------
start_app
window="$(find_app_window)"
wait_until_painted "$window"

click_preset_button "$window" next            # Init -> "Warm LPF"

dialog="$(open_with_preset_button "$window" save "Save Preset")"
window_geometry "$dialog"
# The "Preset:" field is the dialog's second text field, half-way across it.
xdotool mousemove --window "$dialog" $((win_width / 2)) 171 sleep 0.2 click 1 sleep 0.2 key ctrl+a type "My Lead"
xdotool key Return
wait_for_window_gone "Save Preset"
wait_for_file "$presets_folder/My Lead.tslp"
grep -q 'name="My Lead" cutoff="1200.0"' "$presets_folder/My Lead.tslp" || fail "saved preset does not hold Warm LPF's values"
note "Save + Return wrote My Lead.tslp"

dialog="$(open_with_preset_button "$window" save "Save Preset")"
xdotool mousemove --window "$dialog" $((win_width / 2)) 171 sleep 0.2 click 1 sleep 0.2 key ctrl+a type "Never Saved"
xdotool key Escape
wait_for_window_gone "Save Preset"
sleep 0.5
[ "$(ls "$presets_folder")" = "My Lead.tslp" ] || fail "Escape wrote a file: $(ls "$presets_folder")"
note "Escape in the Save dialog wrote nothing"

close_app_with_close_button "$window"
expect_parameters "$(state_parameters "$(settings_value filterState)")" \
    cutoff=1200 resonance=0.28 drive=1.8 makeupGain=3 mode=0 slope=2 oversampling=1
note "'>' applied Warm LPF"

# --- second session -------------------------------------------------------------------------
mkdir -p "$e2e_work/elsewhere"
picked="$e2e_work/elsewhere/Picked.tslp"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<TessalinePreset name="Picked" cutoff="2345.0" resonance="0.5" drive="3.0" makeupGain="1.0" mode="1" slope="1" oversampling="0"/>\n' >"$picked"

start_app
window="$(find_app_window)"
wait_until_painted "$window"

open_with_preset_button "$window" load menu >/dev/null   # the popup menu's window
xdotool key Down sleep 0.2 key Return         # "Load Preset (.tslp)"
chooser="$(wait_for_window "Load Tessaline preset")"
window_geometry "$chooser"
# The framework's own file browser: its file name box runs along the bottom.
xdotool mousemove --window "$chooser" $((win_width / 2)) $((win_height - 63)) sleep 0.2 click 1 sleep 0.2 type "$picked"
xdotool key Return sleep 0.5 key Return       # into its folder, then open it
wait_for_window_gone "Load Tessaline preset"
wait_for_file "$presets_folder/Picked.tslp"
note "Load Preset copied Picked.tslp into the presets folder"

# The user bank now holds the first session's preset and the loaded one, which is shown; "<"
# and ">" step through it, so one of them lands on "My Lead" and applies it.
click_preset_button "$window" previous
sleep 0.3
click_preset_button "$window" undo            # back to Picked's values

close_app_with_close_button "$window"
expect_parameters "$(state_parameters "$(settings_value filterState)")" \
    cutoff=2345 resonance=0.5 drive=3 makeupGain=1 mode=1 slope=1 oversampling=0
note "Load applied Picked, Undo after '<' restored it"
