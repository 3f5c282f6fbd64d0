# Shared set-up for the standalone end-to-end tests, sourced by each test script.
#
# Every test gets its own temporary HOME (so ~/.config/Tessaline.settings is private), its own
# Xvfb display (Xvfb picks a free one itself) and, when asked, its own JACK server on the dummy
# back end under a unique server name. Everything started here is stopped by the EXIT trap.
#
# Expected environment (set by CTest): TESSALINE_APP, TESSALINE_STATE_TOOL, TESSALINE_JACK_PROBE.

set -euo pipefail
# Helpers run inside $(...) must stop at their first failure as well.
shopt -s inherit_errexit

: "${TESSALINE_APP:?path of the standalone program}"
: "${TESSALINE_STATE_TOOL:?path of TessalineStateTool}"

e2e_pids=()
e2e_work="$(mktemp -d "${TMPDIR:-/tmp}/tessaline-e2e.XXXXXX")"
export HOME="$e2e_work/home"
mkdir -p "$HOME/.config"
settings_file="$HOME/.config/Tessaline.settings"
app_pid=""

e2e_cleanup() {
    local status=$?
    local index
    # An entry "-N" stands for the process group N.
    for (( index=${#e2e_pids[@]}-1; index>=0; index-- )); do
        kill -- "${e2e_pids[index]}" 2>/dev/null || true
    done
    for (( index=${#e2e_pids[@]}-1; index>=0; index-- )); do
        e2e_wait_for_exit "${e2e_pids[index]}" 50 || kill -9 -- "${e2e_pids[index]}" 2>/dev/null || true
    done
    if [ $status -ne 0 ] && [ -f "$e2e_work/app.log" ]; then
        echo "--- program output ---"; tail -n 40 "$e2e_work/app.log"
    fi
    chmod -R u+rwx "$e2e_work" 2>/dev/null || true
    rm -rf "$e2e_work"
    exit $status
}
trap e2e_cleanup EXIT
trap 'exit 130' INT TERM

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "# $*"; }

# e2e_wait_for_exit PID TENTHS: true once PID is gone (reaped if it is our child).
e2e_wait_for_exit() {
    local pid=$1 tries=$2
    while kill -0 -- "$pid" 2>/dev/null; do
        [ "$tries" -le 0 ] && return 1
        tries=$((tries - 1))
        sleep 0.1
    done
    wait "$pid" 2>/dev/null || true
}

# forget_pid PID: PID has exited and was reaped, so cleanup must not signal it (the number
# may already belong to someone else).
forget_pid() {
    local kept=() pid
    for pid in "${e2e_pids[@]}"; do
        [ "$pid" != "$1" ] && kept+=("$pid")
    done
    e2e_pids=("${kept[@]}")
}

start_display() {
    local fifo="$e2e_work/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fifo" >"$e2e_work/xvfb.log" 2>&1 &
    e2e_pids+=($!)
    local number
    read -r -t 15 number <"$fifo" || fail "Xvfb did not start"
    export DISPLAY=":$number"
    note "display $DISPLAY"
}

start_jack() {
    export JACK_DEFAULT_SERVER="tessaline-e2e-$$-$RANDOM"
    export JACK_NO_AUDIO_RESERVATION=1
    jackd --no-realtime -d dummy -r 48000 -p 256 >"$e2e_work/jackd.log" 2>&1 &
    e2e_pids+=($!)
    local tries=100
    until jack_lsp >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ $tries -le 0 ] && { cat "$e2e_work/jackd.log"; fail "JACK server did not start"; }
        sleep 0.1
    done
    note "JACK server $JACK_DEFAULT_SERVER"
}

start_app() {
    "$TESSALINE_APP" >"$e2e_work/app.log" 2>&1 &
    app_pid=$!
    e2e_pids+=("$app_pid")
}

# wait_for_window TITLE [TENTHS]: prints the program's visible window with that title once it
# shows; fails if the program exits first or the window does not come in time.
wait_for_window() {
    local tries=${2:-30} window
    while [ $tries -gt 0 ]; do
        kill -0 "$app_pid" 2>/dev/null || fail "program exited before showing \"$1\""
        window="$(xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1\$" 2>/dev/null | head -n 1 || true)"
        if [ -n "$window" ]; then
            echo "$window"
            return 0
        fi
        tries=$((tries - 1))
        sleep 0.1
    done
    fail "no window \"$1\" appeared"
}

# Prints the id of the program's visible top-level window once it is shown.
find_app_window() {
    wait_for_window Tessaline 150
}

# window_geometry WINDOW: sets win_x, win_y, win_width, win_height.
window_geometry() {
    local info
    info="$(xwininfo -id "$1")"
    win_x="$(awk '/Absolute upper-left X/ { print $NF }' <<<"$info")"
    win_y="$(awk '/Absolute upper-left Y/ { print $NF }' <<<"$info")"
    win_width="$(awk '/Width:/ { print $NF }' <<<"$info")"
    win_height="$(awk '/Height:/ { print $NF }' <<<"$info")"
}

# The window draws its own title bar with the close button at its right end (buttons are 1.2
# title-bar heights wide, inside a 1 to 4 pixel frame), so a point 16 pixels in from the right
# and 14 down lies on it whatever the frame. A click that arrives before the window handles
# input is lost, so the click waits for the first paint and is repeated if need be.
close_app_with_close_button() {
    local window=$1 attempt
    wait_until_painted "$window"
    for attempt in 1 2 3; do
        xdotool mousemove --window "$window" $((win_width - 16)) 14 sleep 0.2 click 1 2>/dev/null || true
        if e2e_wait_for_exit "$app_pid" 30; then
            forget_pid "$app_pid"
            return 0
        fi
    done
    fail "program did not quit after clicking its close button"
}

# pixel_colour WINDOW X Y: prints the colour at a window point as rrggbb.
pixel_colour() {
    import -display "$DISPLAY" -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null \
        | awk 'NR == 2 { for (i = 1; i <= NF; ++i) if ($i ~ /^#/) { print tolower(substr($i, 2, 6)); exit } }'
}

# wait_until_painted WINDOW: a freshly mapped window is black until its first paint (which
# waits for the audio device to open: a JACK server on a busy machine can take seconds).
wait_until_painted() {
    local tries=150
    window_geometry "$1"
    while [ "$(pixel_colour "$1" $((win_width / 2)) 2)" = "000000" ]; do
        tries=$((tries - 1))
        [ $tries -le 0 ] && fail "window was never painted"
        sleep 0.1
    done
}

# notification_bar WINDOW: prints "shown" or "hidden" after looking for the bar's light
# goldenrod yellow (fafad2) in a strip down the middle of the window's top, below the title bar.
notification_bar() {
    if import -display "$DISPLAY" -window "$1" -crop "1x60+$((win_width / 2))+20" -depth 8 txt:- 2>/dev/null \
            | grep -qi '#fafad2'; then
        echo shown
    else
        echo hidden
    fi
}

# expect_notification_bar WINDOW shown|hidden: waits a little for a repaint to show it.
expect_notification_bar() {
    local window=$1 expected=$2 tries=20
    wait_until_painted "$window"
    until [ "$(notification_bar "$window")" = "$expected" ]; do
        tries=$((tries - 1))
        [ $tries -le 0 ] && fail "notification bar is not $expected"
        sleep 0.1
    done
    note "notification bar $expected"
}

# settings_value KEY: prints a plain value of the settings file.
settings_value() {
    [ -f "$settings_file" ] || fail "no settings file written"
    sed -n "s/.*<VALUE name=\"$1\" val=\"\([^\"]*\)\".*/\1/p" "$settings_file"
}

has_setting() { grep -q "<VALUE name=\"$1\"" "$settings_file"; }

# write_settings [filterState TEXT] [shouldMuteInput 0|1] [jack] [window X Y]
write_settings() {
    local values=""
    while [ $# -gt 0 ]; do
        case "$1" in
            filterState|shouldMuteInput|lastStateFile)
                values+="  <VALUE name=\"$1\" val=\"$2\"/>"$'\n'; shift 2 ;;
            window)
                values+="  <VALUE name=\"windowX\" val=\"$2\"/>"$'\n'"  <VALUE name=\"windowY\" val=\"$3\"/>"$'\n'; shift 3 ;;
            jack)
                # JUCE's JACK device type names devices after JACK clients; "system" is the
                # dummy back end's own client.
                values+="  <VALUE name=\"audioSetup\">"$'\n'
                values+="    <DEVICESETUP deviceType=\"JACK\" audioOutputDeviceName=\"system\" audioInputDeviceName=\"system\" audioDeviceRate=\"48000.0\" audioDeviceBufferSize=\"256\" audioDeviceInChans=\"11\" audioDeviceOutChans=\"11\"/>"$'\n'
                values+="  </VALUE>"$'\n'; shift ;;
            *) fail "write_settings: unknown item $1" ;;
        esac
    done
    printf '<?xml version="1.0" encoding="UTF-8"?>\n\n<PROPERTIES>\n%s</PROPERTIES>\n' "$values" >"$settings_file"
}

state_blob() { "$TESSALINE_STATE_TOOL" blob "$@"; }
state_parameters() { "$TESSALINE_STATE_TOOL" show "$1"; }

# expect_parameter PARAMETERS ID VALUE: PARAMETERS is the output of state_parameters.
expect_parameter() {
    local actual
    actual="$(sed -n "s/^$2=//p" <<<"$1")"
    awk -v a="$actual" -v e="$3" 'BEGIN { d = a - e; if (a == "" || d > 0.01 || d < -0.01) exit 1 }' \
        || fail "parameter $2 is '$actual', expected $3"
}

# expect_parameters PARAMETERS ID=VALUE...: each parameter holds its value.
expect_parameters() {
    local parameters=$1 assignment
    shift
    for assignment in "$@"; do
        expect_parameter "$parameters" "${assignment%%=*}" "${assignment#*=}"
    done
}

expect_default_parameters() {
    local parameters=$1
    expect_parameter "$parameters" cutoff 20000
    expect_parameter "$parameters" resonance 0
    expect_parameter "$parameters" drive 1
    expect_parameter "$parameters" makeupGain 0
    expect_parameter "$parameters" mode 0
    expect_parameter "$parameters" slope 2
    expect_parameter "$parameters" oversampling 1
}

# click_editor WINDOW X Y: clicks a point of the editor given in its 920 x 414 design units, in
# a window of the default size. The editor fills the window below the title bar, inside an
# equal frame on the left, right and bottom.
click_editor() {
    local window=$1 frame
    window_geometry "$window"
    frame=$(( (win_width - 920) / 2 ))
    xdotool mousemove --window "$window" $((frame + $2)) $((win_height - frame - 414 + $3)) sleep 0.2 click 1
}

# The preset bar's buttons, by their centres in design units.
click_preset_button() {
    case "$2" in
        previous) click_editor "$1" 594 41 ;;
        next)     click_editor "$1" 616 41 ;;
        save)     click_editor "$1" 651 41 ;;
        load)     click_editor "$1" 693 41 ;;
        init)     click_editor "$1" 733 41 ;;
        undo)     click_editor "$1" 774 41 ;;
        *) fail "click_preset_button: unknown button $2" ;;
    esac
}

# open_with_preset_button WINDOW BUTTON TITLE: clicks the button until a window of that title
# shows (a click that arrives while the previous dialog is still going away is lost) and prints
# the window. While the window is open, further clicks on the editor go nowhere.
open_with_preset_button() {
    local attempt opened
    for attempt in 1 2 3; do
        click_preset_button "$1" "$2"
        opened="$(xdotool search --all --onlyvisible --pid "$app_pid" --name "^$3\$" 2>/dev/null | head -n 1 || true)"
        [ -z "$opened" ] && { sleep 0.5; opened="$(xdotool search --all --onlyvisible --pid "$app_pid" --name "^$3\$" 2>/dev/null | head -n 1 || true)"; }
        if [ -n "$opened" ]; then
            echo "$opened"
            return 0
        fi
    done
    fail "\"$2\" opened no window \"$3\""
}

# wait_for_window_gone TITLE: true once the program shows no window of that title.
wait_for_window_gone() {
    local tries=30
    while xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1\$" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ $tries -le 0 ] && fail "window \"$1\" did not close"
        sleep 0.1
    done
}

# wait_for_file PATH: the program writes files from its message thread, a moment after a click.
wait_for_file() {
    local tries=30
    until [ -f "$1" ]; do
        tries=$((tries - 1))
        [ $tries -le 0 ] && fail "no file $1 was written"
        sleep 0.1
    done
}

presets_folder="$HOME/.config/Tessaline/Presets"
