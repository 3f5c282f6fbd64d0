#!/usr/bin/env bash
# CI stage: the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, built with clang
# into ./build-asan (or $TESSALINE_ASAN_BUILD_DIR). The same build carries libFuzzer's coverage,
# so scripts/ci-fuzz.sh reuses it. The allocation-counting realtime tests are left out here:
# they replace malloc, as the sanitizer does; the normal build runs them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_ASAN_BUILD_DIR:-$root/build-asan}"

bash "$root/scripts/install-dependencies.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DTESSALINE_SANITIZERS="address;undefined" -DTESSALINE_FUZZ=ON -DTESSALINE_BUILD_BENCHMARKS=OFF > /dev/null
cmake --build "$build" --parallel "$(nproc)"

source "$root/scripts/sanitizer-options.sh"
cd "$build"
ctest --output-on-failure --timeout 900
