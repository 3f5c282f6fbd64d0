#!/usr/bin/env bash
# Configures and builds everything into ./build (or $TESSALINE_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_BUILD_DIR:-$root/build}"

# ccache keys on paths below this folder relative to the build, so every clone of the project
# (CI's fresh one too) shares one cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --parallel "$(nproc)" "$@"
