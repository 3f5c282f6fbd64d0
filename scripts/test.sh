#!/usr/bin/env bash
# The test command: installs what is missing, builds everything for Linux and for Windows and
# runs every test (the Windows ones under Wine).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_BUILD_DIR:-$root/build}"

bash "$root/scripts/install-dependencies.sh"
bash "$root/scripts/build.sh"
(cd "$build" && ctest --output-on-failure --timeout 600)

bash "$root/scripts/build-windows.sh"
cd "${TESSALINE_WINDOWS_BUILD_DIR:-$root/build-windows}"
ctest --output-on-failure --timeout 600
