#!/usr/bin/env bash
# CI stage: each fuzzer of fuzz/ for a bounded time (TESSALINE_FUZZ_SECONDS each, 45 by default),
# from its seeds and kept findings, in the sanitizer build that scripts/ci-sanitize.sh made.
# New corpus entries stay in the build folder; a crash leaves its input in
# <build>/fuzz-findings/ and fails the stage. Keep such an input in fuzz/regressions/<fuzzer>/
# once the fault is fixed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_ASAN_BUILD_DIR:-$root/build-asan}"
seconds="${TESSALINE_FUZZ_SECONDS:-45}"

# 0 runs every seed and kept finding once, without fuzzing (libFuzzer would read 0 as no limit).
if [ "$seconds" = 0 ]; then
    cmake --build "$build" --parallel "$(nproc)" --target TessalineFuzzers
    cd "$build" && exec ctest --output-on-failure -L fuzz
fi

cmake --build "$build" --parallel "$(nproc)" --target TessalineFuzzers
source "$root/scripts/sanitizer-options.sh"
mkdir -p "$build/fuzz-findings"
status=0

for fuzzer in StateBlobFuzzer PresetFileFuzzer ClapStateFuzzer ClapTextToValueFuzzer; do
    work="$build/fuzz-corpus/$fuzzer"
    mkdir -p "$work"
    inputs=("$work" "$root/fuzz/corpus/$fuzzer")
    [ -d "$root/fuzz/regressions/$fuzzer" ] && inputs+=("$root/fuzz/regressions/$fuzzer")

    echo "== $fuzzer: ${seconds} s"
    if ! "$build/fuzz/$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -max_len=65536 \
            -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$fuzzer-" "${inputs[@]}" \
            > "$build/fuzz-findings/$fuzzer.log" 2>&1; then
        status=1
        tail -n 60 "$build/fuzz-findings/$fuzzer.log"
    fi
    grep -E "^stat::number_of_executed_units|^stat::new_units_added|cov: " "$build/fuzz-findings/$fuzzer.log" | tail -n 3
done

exit $status
