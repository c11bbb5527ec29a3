#!/usr/bin/env bash
# A long fuzzing campaign for one target:
#   fuzz/campaign.sh BUILD_DIR TARGET SECONDS [JOBS [CHECK_BUILD_DIR]]
# Starts from the kept corpus (fuzz/corpus/TARGET) and the public vCards, runs
# JOBS processes (default: one per core) for SECONDS, then merges what was
# found back into fuzz/corpus/TARGET, minimised. Crashes are left as
# fuzz/crash-TARGET-*; keep each under fuzz/regressions/TARGET with a fix.
# A campaign in the build without AddressSanitizer names the usual build as
# CHECK_BUILD_DIR: the merged corpus is replayed there, so that a stray
# pointer the fast build let pass still shows.
# Inputs that run fast are tried more often than slow ones
# (-entropic_scale_per_exec_time): a store input with megabytes of pictures
# costs as much as a hundred small ones and reaches little that they do not.
set -euo pipefail
build=${1:?build directory}
target=${2:?target, e.g. fuzz_reader}
seconds=${3:?seconds}
jobs=${4:-$(nproc)}
check=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
bin="$(cd "$build" && pwd)/fuzz/$target"
kept="$here/corpus/$target"
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
export VELLOQUIN_FUZZ_DIR="$work"
mkdir -p "$kept" "$work/corpus"
cp "$kept"/* "$work/corpus"/ 2>/dev/null || true
find "$here/../../shared/testdata/public-vcards" -type f -name '*.vcf' -exec cp {} "$work/corpus"/ \; 2>/dev/null || true
(cd "$work" && "$bin" corpus -max_total_time="$seconds" -jobs="$jobs" -workers="$jobs" \
    -rss_limit_mb=2048 -max_len=200000 -timeout=30 -print_final_stats=1 -entropic_scale_per_exec_time=1 \
    -artifact_prefix="$here/crash-$target-" >/dev/null 2>&1) || true
cat "$work"/fuzz-*.log 2>/dev/null | grep -E '^stat::number_of_executed_units' |
    awk '{s += $2} END {print "executions:", s + 0}'
for log in "$work"/fuzz-*.log; do
    grep -E '^#[0-9]+' "$log" | tail -1 | sed 's/^/last: /'
done
mkdir -p "$work/merged"
"$bin" -merge=1 "$work/merged" "$work/corpus" >/dev/null 2>&1
rm -rf "$kept" && mkdir -p "$kept" && cp "$work/merged"/* "$kept"/ 2>/dev/null || true
echo "corpus: $(ls "$kept" | wc -l) inputs in $kept"
if [ -n "$check" ] && ! "$(cd "$check" && pwd)/fuzz/$target" -runs=0 -rss_limit_mb=2048 \
    -artifact_prefix="$here/crash-$target-" "$kept" >"$work/check.log" 2>&1; then
    echo "replay in $check: CRASH"; tail -n 40 "$work/check.log"
    exit 1
fi
ls "$here"/crash-"$target"-* 2>/dev/null && exit 1 || exit 0
