#!/usr/bin/env bash
# Cross-builds the Windows deliverables into ./build-windows (or $TESSALINE_WINDOWS_BUILD_DIR):
# Tessaline.exe, Tessaline.clap and Tessaline.vst3, with the Windows tests (which compare with
# the Linux build in ./build or $TESSALINE_BUILD_DIR). Installs nothing:
# scripts/install-dependencies.sh brings the toolchain and the libraries first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_WINDOWS_BUILD_DIR:-$root/build-windows}"

export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/MinGWToolchain.cmake" \
    -DTESSALINE_BUILD_BENCHMARKS=OFF \
    -DTESSALINE_LINUX_BUILD_DIR="${TESSALINE_BUILD_DIR:-$root/build}" > /dev/null
cmake --build "$build" --parallel "$(nproc)" "$@"
