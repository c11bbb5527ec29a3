#!/usr/bin/env bash
# Runs every fuzz target for a bounded time: fuzz/run-all.sh BUILD_DIR SECONDS.
# Each corpus is seeded from the public vCards and the target's kept
# regression inputs, which are replayed first. A crash fails the run; its
# input is left as fuzz/crash-<target>-* to be kept under
# fuzz/regressions/<target>/ with a regression test in tests/hardening.
set -uo pipefail
build=${1:?build directory}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
seeds="$here/../../shared/testdata/public-vcards"
status=0
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
export VELLOQUIN_FUZZ_DIR="$work"
for bin in "$build"/fuzz/fuzz_*; do
    [ -f "$bin" ] && [ -x "$bin" ] || continue
    name=$(basename "$bin")
    corpus="$work/corpus-$name"
    mkdir -p "$corpus"
    if [ -d "$seeds" ]; then
        find "$seeds" -type f -name '*.vcf' -exec cp {} "$corpus"/ \; 2>/dev/null
    fi
    # The campaign's minimised corpus, when one is kept.
    if [ -d "$here/corpus/$name" ]; then
        cp "$here/corpus/$name"/* "$corpus"/ 2>/dev/null
    fi
    kept="$here/regressions/$name"
    if [ -d "$kept" ] && [ -n "$(ls -A "$kept")" ]; then
        # The kept inputs must no longer crash before new ones are looked for.
        if ! "$bin" "$kept"/* >"$work/replay.log" 2>&1; then
            echo "$name: CRASH on a kept regression input"; tail -n 40 "$work/replay.log"
            status=1
            continue
        fi
        cp "$kept"/* "$corpus"/
    fi
    log="$work/$name.log"
    if "$bin" "$corpus" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=200000 \
        -timeout=30 -artifact_prefix="$here/crash-$name-" -print_final_stats=1 >"$log" 2>&1; then
        runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
        echo "$name: ${runs:-?} executions, no crash"
    else
        echo "$name: CRASH"; tail -n 40 "$log"; status=1
    fi
    rm -rf "$corpus"
done
exit $status
