#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, and runs each for SECONDS (default 30) on its corpus.
#
#     tools/fuzz.sh [SECONDS] [TARGET...]      targets: dispatch settings history fields
#
# Installs nothing (tools/setup.sh does). Each target works on build-fuzz/corpus/<target>, which
# starts as a copy of the committed seeds in fuzz/corpus/<target> and keeps what a run finds
# for the next run; the source tree is never written. A crash, a leak, undefined behaviour or a
# failed check fails the run; the input is kept as build-fuzz/artifacts/<target>/crash-*.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
if [ $# -gt 0 ]; then shift; fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(dispatch settings history fields); fi
case $seconds in
    '' | *[!0-9]*) echo "usage: tools/fuzz.sh [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

for tool in clang++ cmake ninja; do
    if ! command -v "$tool" >/dev/null; then
        echo "fuzz: $tool is missing; run tools/setup.sh" >&2
        exit 1
    fi
done

build="$top/build-fuzz"
# A Debug build keeps Qt's own bounds assertions in the inline container code; -O1 keeps the
# fuzzers fast enough to matter.
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/velmora_fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$top/tools/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LC_ALL=C.UTF-8

failed=()
for t in "${targets[@]}"; do
    program="$build/fuzz/velmora_fuzz_$t"
    seeds="$top/fuzz/corpus/$t"
    corpus="$build/corpus/$t"
    artifacts="$build/artifacts/$t"
    log="$build/logs/$t.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    # Seeds only; crash-* files there are reproducers of open findings, replayed below.
    find "$seeds" -maxdepth 1 -type f ! -name 'crash-*' -exec cp -n -t "$corpus" {} +

    known=()
    while IFS= read -r -d '' f; do known+=("$f"); done \
        < <(find "$seeds" -maxdepth 1 -type f -name 'crash-*' -print0 | sort -z)
    for f in "${known[@]}"; do
        if "$program" -runs=1 "$f" >"$build/logs/$t-$(basename "$f").log" 2>&1; then
            echo "fuzz $t: reproducer $(basename "$f") no longer crashes; remove it from fuzz/corpus/$t"
        else
            echo "fuzz $t: FAILED: reproducer $(basename "$f") still crashes (log: $build/logs/$t-$(basename "$f").log)"
            failed+=("$t:$(basename "$f")")
        fi
    done

    echo "fuzz $t: ${seconds}s on $corpus"
    status=0
    # AddressSanitizer holds 256 MB of freed memory back to catch late uses, and keeps what
    # it once mapped: hour-long runs pass libFuzzer's default 2 GB without any leak.
    "$program" -max_total_time="$seconds" -timeout=25 -max_len=16384 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "fuzz $t: ${runs:-?} runs; last: ${last:-none}"
    if [ "$status" -ne 0 ]; then
        echo "fuzz $t: FAILED (exit $status); log: $log"
        grep -E 'ERROR|check failed|runtime error|SUMMARY|Test unit written' "$log" | head -n 20 || true
        failed+=("$t")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failed: ${failed[*]}"
    exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds}s each without a crash"
