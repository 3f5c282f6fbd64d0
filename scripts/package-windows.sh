#!/usr/bin/env bash
# Builds the Windows installer and zip: build-windows/Tessaline-<version>-windows-x64.{exe,zip}.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_WINDOWS_BUILD_DIR:-$root/build-windows}"

bash "$root/scripts/build-windows.sh"
cd "$build"
cpack -C Release > cpack.log 2>&1 || { cat cpack.log; exit 1; }
ls "$build"/Tessaline-*-windows-x64.*
