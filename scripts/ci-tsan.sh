#!/usr/bin/env bash
# CI stage: the thread test (tests/ThreadSafetyTests.cpp) under ThreadSanitizer, built with clang
# into ./build-tsan (or $TESSALINE_TSAN_BUILD_DIR). Only that program and the plug-in it loads
# are built. Each of its tests keeps the threads at work for TESSALINE_THREAD_TEST_SECONDS
# (30 here; the normal build's run does only its fixed rounds, about a second).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_TSAN_BUILD_DIR:-$root/build-tsan}"

bash "$root/scripts/install-dependencies.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DTESSALINE_SANITIZERS=thread -DTESSALINE_BUILD_BENCHMARKS=OFF > /dev/null
cmake --build "$build" --parallel "$(nproc)" --target TessalineThreadTests

source "$root/scripts/sanitizer-options.sh"
export TESSALINE_THREAD_TEST_SECONDS="${TESSALINE_THREAD_TEST_SECONDS:-30}"
cd "$build"
ctest --output-on-failure --timeout 900 -R '^TessalineThreadTests$'
