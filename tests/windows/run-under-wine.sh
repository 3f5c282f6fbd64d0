#!/usr/bin/env bash
# Runs a Windows test program under Wine in a prefix of its own:
#   run-under-wine.sh [--display] program.exe [arguments]
set -euo pipefail
source "$(dirname "$0")/wine-lib.sh"

displayOption=()
if [ "$1" = "--display" ]; then displayOption=(--display); shift; fi
wine_start "${displayOption[@]}"

wine "$@"
