#!/usr/bin/env bash
# CI stage: each fuzzer of fuzz/ for a bounded time (TESSALINE_FUZZ_SECONDS each, 45 by default),
# from its seeds and kept findings, with its format's dictionary, in the sanitizer build that
# scripts/ci-sanitize.sh made. New corpus entries stay in the build folder; a crash leaves its
# input in <build>/fuzz-findings/ and fails the stage. Keep such an input in
# fuzz/regressions/<fuzzer>/ once the fault is fixed.
#
# Long campaigns (README, "Sanitizers, fuzzing and the validation battery"):
#   TESSALINE_FUZZ_SECONDS=900   seconds per fuzzer
#   TESSALINE_FUZZ_ONLY="A B"    only these fuzzers, in this order (all four by default)
#   TESSALINE_FUZZ_GROW=1        after a run without a finding, merge (-merge=1) what it found
#                                into fuzz/corpus/<fuzzer>/: only inputs that reach code the
#                                folder does not go in (edges, not hit counts, so that it stays at
#                                a few hundred small files); commit them
# One fuzzer at a time, one process each; run the script under `nice` on a shared machine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TESSALINE_ASAN_BUILD_DIR:-$root/build-asan}"
seconds="${TESSALINE_FUZZ_SECONDS:-45}"
fuzzers="${TESSALINE_FUZZ_ONLY:-StateBlobFuzzer PresetFileFuzzer ClapStateFuzzer ClapTextToValueFuzzer}"
grow="${TESSALINE_FUZZ_GROW:-0}"

# 0 runs every seed and kept finding once, without fuzzing (libFuzzer would read 0 as no limit).
if [ "$seconds" = 0 ]; then
    cmake --build "$build" --parallel "$(nproc)" --target TessalineFuzzers
    cd "$build" && exec ctest --output-on-failure -L fuzz
fi

cmake --build "$build" --parallel "$(nproc)" --target TessalineFuzzers
source "$root/scripts/sanitizer-options.sh"
mkdir -p "$build/fuzz-findings"
status=0
options=(-timeout=20 -rss_limit_mb=3072 -max_len=65536)

for fuzzer in $fuzzers; do
    work="$build/fuzz-corpus/$fuzzer"
    seeds="$root/fuzz/corpus/$fuzzer"
    log="$build/fuzz-findings/$fuzzer.log"
    mkdir -p "$work"
    inputs=("$work" "$seeds")
    [ -d "$root/fuzz/regressions/$fuzzer" ] && inputs+=("$root/fuzz/regressions/$fuzzer")

    echo "== $fuzzer: ${seconds} s"
    if ! "$build/fuzz/$fuzzer" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
            -dict="$root/fuzz/dictionaries/$fuzzer.dict" \
            -artifact_prefix="$build/fuzz-findings/$fuzzer-" "${inputs[@]}" > "$log" 2>&1; then
        status=1
        tail -n 60 "$log"
        continue
    fi
    grep -E "^stat::number_of_executed_units|^stat::new_units_added|cov: " "$log" | tail -n 3

    if [ "$grow" = 1 ]; then
        before=$(find "$seeds" -type f | wc -l)
        "$build/fuzz/$fuzzer" "${options[@]}" -merge=1 -use_counters=0 "$seeds" "$work" > "$log.merge" 2>&1
        echo "   kept in fuzz/corpus/$fuzzer: $before -> $(find "$seeds" -type f | wc -l) files"
    fi
done

exit $status
