#!/usr/bin/env bash
# The Windows plug-in under Wine against the Linux plug-in: the same descriptor, ports and
# parameters, audio within 1e-6 for a table of settings, and each one's state loads in the other.
#   clap-matches-linux.sh linuxTool linuxPlugin windowsTool windowsPlugin
set -euo pipefail
source "$(dirname "$0")/wine-lib.sh"
linuxTool="$1" linuxPlugin="$2" windowsTool="$3" windowsPlugin="$4"
wine_start

folder="$testHome/reference"
mkdir -p "$folder"

"$linuxTool" write "$linuxPlugin" "$folder" linux
wine "$windowsTool" write "$(windows_path "$windowsPlugin")" "$(windows_path "$folder")" windows

echo "--- the Windows plug-in against the Linux one's files"
wine "$windowsTool" compare "$(windows_path "$windowsPlugin")" "$(windows_path "$folder")" linux
echo "--- the Linux plug-in against the Windows one's files"
"$linuxTool" compare "$linuxPlugin" "$folder" windows
