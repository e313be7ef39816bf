#!/usr/bin/env bash
# Runs every fuzz target for a bounded time (FUZZ_SECONDS, 30 by default; FUZZ_JOBS of them at
# once, 2 by default) with AddressSanitizer and UndefinedBehaviorSanitizer. Seeds: the
# committed corpus of each target, plus the test DLLs of the native build for the PE readers.
# A crash leaves its input in build/fuzz/crashes and fails the run; turn it into a regression
# test before fixing it.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$KELVRA_ROOT"
seconds=${FUZZ_SECONDS:-30}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=build/fuzz/run
crashes=build/fuzz/crashes
rm -rf "$work"
mkdir -p "$work" "$crashes"
# Two targets at a time, one per core; each prints its result when all have ended.
jobs=${FUZZ_JOBS:-2}
targets=(reg_import reg_import_differential reg_import_invariant hex_text key_path pe_image
    version_resource path_list reference_reader)
testdata=$(ls -d build/linux/testdata build/linux-asan/testdata 2>/dev/null | head -n 1 || true)
fuzz_one() {
    local target=$1 corpus="$work/$1" status=0
    mkdir -p "$corpus"
    cp fuzz/corpus/$target/* "$corpus/"
    if [[ $target == pe_image || $target == version_resource ]] && [[ -n $testdata ]]; then
        find "$testdata" -name '*.dll' -exec cp {} "$corpus/" \;
    fi
    build/fuzz/bin/${target}_fuzz "$corpus" -max_total_time="$seconds" -max_len=65536 \
        -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$crashes/${target}-" \
        -print_final_stats=1 > "$work/$target.log" 2>&1 || status=$?
    echo "$status" > "$work/$target.status"
}
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= jobs)); do
        wait -n || true
    done
    fuzz_one "$target" &
done
wait
failed=0
for target in "${targets[@]}"; do
    echo "=== ${target}_fuzz for ${seconds}s"
    if [[ $(cat "$work/$target.status" 2>/dev/null) != 0 ]]; then
        echo "FAIL: ${target}_fuzz found a crash or could not run:"
        tail -n 40 "$work/$target.log"
        failed=1
    else
        grep -E "^stat::number_of_executed_units|^Done" "$work/$target.log" | tr '\n' ' '
        echo
    fi
done
exit $failed
