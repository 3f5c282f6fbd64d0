#!/usr/bin/env bash
# Builds the Debian package build/tessaline_<version>_amd64.deb (or in $TESSALINE_BUILD_DIR):
# the program and the three plug-ins, then CPack. Installs what is missing first (as root).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_BUILD_DIR:-$root/build}"

if [ "$(id -u)" -eq 0 ]; then
    bash "$root/scripts/install-dependencies.sh"
fi
bash "$root/scripts/build.sh" --target Tessaline_Standalone TessalineClap Tessaline_VST3 Tessaline_LV2
cd "$build" && cpack --config CPackConfig.cmake
