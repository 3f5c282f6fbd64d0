#!/usr/bin/env bash
# What a first start prints, all of it (stdout and stderr, up to the end at a quit request), as
# the run command starts the program: the line saying it runs without a window when there is no
# display, and the line naming the audio device and its rate, or saying that none could be
# opened and where to choose one. Nothing of the audio libraries' own probing (the JACK
# library's "Cannot connect to server socket" and the like when no server runs).
source "$(dirname "$0")/standalone-lib.sh"
start_script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/start-standalone.sh"

# exactly TEXT: a pattern matching that line and nothing else.
exactly() { printf '^%s$' "$(sed 's/[].[*^$()+?{}|\\]/\\&/g' <<<"$1")"; }

headless_pattern="$(exactly "No X display reachable: running Tessaline without a window (Ctrl-C quits).")"
jack_device_pattern="$(exactly 'Audio device: JACK "system" at 48000 Hz.')"
# Without a JACK server the device is an ALSA one, if the machine has a sound card at all.
if compgen -G "/dev/snd/pcmC*" >/dev/null; then
    no_jack_device_pattern='^Audio device: ALSA ".+" at [0-9]+ Hz\.$'
else
    no_jack_device_pattern="$(exactly 'No audio device could be opened: choose one with "Options" > "Audio/MIDI Settings...".')"
fi

start_jack
running_server="$JACK_DEFAULT_SERVER"
missing_server="tessaline-e2e-none-$$-$RANDOM"
start_display
own_display="$DISPLAY"

# display (window|none)  JACK server (running, selected in the settings | none)
cases=(
    "none   none"
    "window none"
    "none   running"
    "window running"
)

for case in "${cases[@]}"; do
    read -r display jack <<<"$case"
    name="display $display, JACK server $jack"
    rm -rf "$HOME"
    mkdir -p "$HOME/.config"
    expected=()

    if [ "$display" = window ]; then
        run_display="$own_display"
    else
        # A display number nothing listens on (an unset DISPLAY would mean ":0", which a
        # parallel test may be using).
        run_display=":$((5000 + RANDOM % 1000))"
        expected+=("$headless_pattern")
    fi

    if [ "$jack" = running ]; then
        server="$running_server"
        write_settings jack
        expected+=("$jack_device_pattern")
    else
        server="$missing_server"
        expected+=("$no_jack_device_pattern")
    fi

    : >"$e2e_work/app.log"
    # Its own process group, so that cleanup reaches a private display too.
    DISPLAY="$run_display" JACK_DEFAULT_SERVER="$server" \
        setsid bash "$start_script" "$TESSALINE_APP" >"$e2e_work/app.log" 2>&1 &
    app_pid=$!
    e2e_pids+=("-$app_pid")

    # The device line comes once the device is open; a moment more lets anything later show.
    tries=200
    until grep -q "^Audio device: \|^No audio device" "$e2e_work/app.log"; do
        kill -0 "$app_pid" 2>/dev/null || fail "$name: the program ended before naming its device"
        tries=$((tries - 1))
        [ $tries -le 0 ] && fail "$name: no line about the audio device"
        sleep 0.1
    done
    sleep 1
    kill -TERM "$app_pid"
    e2e_wait_for_exit "$app_pid" 100 || fail "$name: SIGTERM did not end the program"
    forget_pid "-$app_pid"

    mapfile -t printed <"$e2e_work/app.log"
    if [ "${#printed[@]}" -ne "${#expected[@]}" ]; then
        fail "$name: ${#printed[@]} lines printed, expected ${#expected[@]}:"$'\n'"$(cat "$e2e_work/app.log")"
    fi
    for index in "${!expected[@]}"; do
        [[ "${printed[index]}" =~ ${expected[index]} ]] \
            || fail "$name: line $((index + 1)) is \"${printed[index]}\""
    done
    note "$name: $(paste -sd '|' "$e2e_work/app.log")"
done
