#!/usr/bin/env bash
# The run command: installs what is missing, builds the standalone program and starts it (on a
# machine without a display it runs without a window, see start-standalone.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_BUILD_DIR:-$root/build}"

bash "$root/scripts/install-dependencies.sh"
bash "$root/scripts/build.sh" --target Tessaline_Standalone
exec bash "$root/scripts/start-standalone.sh" "$build/targets/Tessaline_artefacts/Release/Standalone/Tessaline" "$@"
