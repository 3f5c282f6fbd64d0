# Shared by the Windows tests: a temporary HOME with a Wine prefix of its own, optionally a
# private virtual display, and everything stopped and removed again when the test ends.
#   wine_start [--display]     sets HOME, WINEPREFIX, ROAMING (the user's roaming folder) and,
#                              with --display, DISPLAY
#   wine_use_virtual_desktop   windows inside one Wine desktop window: without a window manager
#                              only there does Wine hand input to every window of a program
#   windows_path FILE          the path a Windows program is given for a file of this machine

wine_stop()
{
    [ -n "${WINEPREFIX:-}" ] && wineserver -k > /dev/null 2>&1 || true
    [ -n "${xvfbPid:-}" ] && kill "$xvfbPid" 2> /dev/null && wait "$xvfbPid" 2> /dev/null || true
    [ -n "${testHome:-}" ] && rm -rf "$testHome"
    return 0
}

wine_start()
{
    testHome="$(mktemp -d /tmp/tessaline-wine-test.XXXXXX)"
    trap wine_stop EXIT
    export HOME="$testHome"
    export WINEPREFIX="$testHome/wine"
    export WINEDEBUG=-all
    # No Mono or Gecko: nothing here needs them, and Wine would offer to download them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset XDG_CONFIG_HOME

    if [ "${1:-}" = "--display" ]; then
        local displayFile="$testHome/display"
        Xvfb -displayfd 3 -screen 0 1600x1000x24 -noreset -nolisten tcp 3> "$displayFile" > /dev/null 2>&1 &
        xvfbPid=$!
        for _ in $(seq 100); do [ -s "$displayFile" ] && break; sleep 0.1; done
        export DISPLAY=":$(cat "$displayFile")"
    else
        unset DISPLAY
    fi

    wineboot --init > /dev/null 2>&1
    wineserver --wait
    ROAMING="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming"
}

wine_use_virtual_desktop()
{
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f > /dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1000 /f > /dev/null 2>&1
    wineserver --wait
}

windows_path()
{
    echo "Z:$(readlink -f "$1")"
}
