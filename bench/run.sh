#!/usr/bin/env bash
# Benchmarks: the largest backup (32,766 contacts, a picture every tenth)
# read alone, converted to a workbook and converted to a store, with wall
# time and peak memory. Figures go to bench/README.md by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLOQUIN_TESTS=OFF -DVELLOQUIN_GUI=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target velloquin-cli velloquin-genbackup velloquin-readbench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
contacts=${1:-32766}
every=${2:-10}
build-bench/bench/velloquin-genbackup "$contacts" "$every" "$work/backup.vcf"
echo "backup: $contacts contacts, a picture every $every, $(du -h "$work/backup.vcf" | cut -f1)"

measure() { # label, command...
    local label=$1; shift
    local best=""
    for _ in 1 2 3; do
        rm -rf "$work/out"; mkdir -p "$work/out"
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1 || true
        read -r secs kb <"$work/time"
        if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then best=$secs; bestkb=$kb; fi
    done
    printf '%-34s %6.2f s  %6d MB peak\n' "$label" "$best" $((bestkb / 1024))
}

measure "reader alone (Normal mode)" build-bench/bench/velloquin-readbench "$work/backup.vcf" "$work/out"
measure "reader alone (Advance mode)" build-bench/bench/velloquin-readbench "$work/backup.vcf" "$work/out" --advance
measure "reader alone (Standard mode)" build-bench/bench/velloquin-readbench "$work/backup.vcf" "$work/out" --standard
measure "velloquin-cli --excel" build-bench/cli/velloquin-cli --excel --out "$work/out" "$work/backup.vcf"
measure "velloquin-cli --outlook" build-bench/cli/velloquin-cli --outlook --out "$work/out" "$work/backup.vcf"
if /usr/bin/python3 -c "import vobject, xlwt" 2>/dev/null; then
    measure "python vobject + xlwt (reference)" /usr/bin/python3 bench/reference_vobject_xlwt.py "$work/backup.vcf" "$work/out/ref.xls"
fi
