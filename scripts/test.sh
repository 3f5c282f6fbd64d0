#!/usr/bin/env bash
# The test command: installs what is missing, builds everything and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_BUILD_DIR:-$root/build}"

bash "$root/scripts/install-dependencies.sh"
bash "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --timeout 600
