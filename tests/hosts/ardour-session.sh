#!/usr/bin/env bash
# One plug-in build (VST3 or LV2) in Debian's Ardour 7 without a display, through its Lua front
# end: see ardour-session.lua. Usage: ardour-session.sh VST3|LV2 [automation]
# With "automation" (LV2) the mode is set by an automation lane of the saved session instead of
# a preset: the lane Ardour makes for the LV2 parameter (a patch property), with events written
# into the session file, played back after loading.
set -euo pipefail
format="$1"
variant="${2:-}"
: "${TESSALINE_VST3_BUNDLE:?path of Tessaline.vst3}"
: "${TESSALINE_LV2_BUNDLE:?path of Tessaline.lv2}"
: "${TESSALINE_LV2_URI:?the LV2 URI}"
: "${TESSALINE_STATE_TOOL:?path of TessalineStateTool}"

work="$(mktemp -d "${TMPDIR:-/tmp}/tessaline-ardour.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME/.vst3" "$HOME/.lv2"
export TESSALINE_SESSION="$work/session"
# No display: keep the plug-ins' JUCE away from any X server that happens to be around.
export DISPLAY=:no-display

case "$format" in
    VST3)
        cp -r "$TESSALINE_VST3_BUNDLE" "$HOME/.vst3/"
        # Ardour takes the scanner's cache only when it is newer than the module, to the second.
        find "$HOME/.vst3" -exec touch -d '1 minute ago' {} +
        # Ardour lists VST3 plug-ins from the cache its scanner writes (the GUI runs it on start).
        LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -q "$HOME/.vst3/Tessaline.vst3"
        export TESSALINE_PLUGIN_TYPE=VST3
        # The class id JUCE makes of the manufacturer and plug-in codes
        export TESSALINE_PLUGIN_ID="$(sed -n 's/.*VST3Info uid="\([0-9A-F]*\)".*/\1/p' "$HOME"/.cache/ardour7/vst/*.v3i)"
        # "Filter Mode" to HighPass: with the cutoff at its 20 kHz default nothing of the sines passes
        export TESSALINE_PARAMETER_INDEX=4 TESSALINE_PARAMETER_NAME="Filter Mode" TESSALINE_PARAMETER_VALUE=0.5
        ;;
    LV2)
        cp -r "$TESSALINE_LV2_BUNDLE" "$HOME/.lv2/"
        export TESSALINE_PLUGIN_TYPE=LV2 TESSALINE_PLUGIN_ID="$TESSALINE_LV2_URI"
        # A user preset bundle, as hosts save one: the state blob with the high-pass mode, as text.
        presets="$HOME/.lv2/tessaline-test-presets.lv2"
        mkdir -p "$presets"
        cat >"$presets/manifest.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .

<closed.ttl> a pset:Preset ; lv2:appliesTo <$TESSALINE_LV2_URI> ; rdfs:seeAlso <closed.ttl> .
TTL
        cat >"$presets/closed.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .

<> a pset:Preset ;
    lv2:appliesTo <$TESSALINE_LV2_URI> ;
    rdfs:label "Closed" ;
    state:state [ <$TESSALINE_LV2_URI:StateString> "$("$TESSALINE_STATE_TOOL" blob mode=1)" ] .
TTL
        if [ "$variant" = automation ]; then
            export TESSALINE_AUTOMATED_PROPERTY="$TESSALINE_LV2_URI:mode" TESSALINE_AUTOMATED_VALUE=1
        else
            export TESSALINE_PRESET=Closed
        fi
        ;;
    *) echo "usage: $0 VST3|LV2" >&2; exit 2 ;;
esac

echo "# $TESSALINE_PLUGIN_TYPE plug-in $TESSALINE_PLUGIN_ID"
script="$(dirname "$0")/ardour-session.lua"
timeout 240 ardour7-lua "$script" >"$work/ardour.log" 2>&1 || true
grep -E "^(ok|FAIL|level|parameter|transport)" "$work/ardour.log" || true
grep -q "^RESULT ok" "$work/ardour.log" || { echo "--- ardour7-lua output ---"; tail -n 40 "$work/ardour.log"; exit 1; }
