#!/usr/bin/env bash
# Benchmarks: the largest backup (32,766 contacts, a picture every tenth)
# read alone, converted to a workbook and converted to a store, with wall
# time and peak memory; the same backup with LF line ends and one ten times
# larger for memory. Figures go to bench/README.md by hand.
#
#   bench/run.sh [CONTACTS] [PICTURE_EVERY]   wall time and peak memory
#   BENCH_CALLGRIND=1 bench/run.sh            instruction counts as well
#   BENCH_BEFORE=/path/to/other/checkout bench/run.sh
#                                             the same figures for another
#                                             checkout (built in its own
#                                             build-bench/), side by side
#
# The outputs go to tmpfs (/dev/shm) when it is there, so that the disk's own
# cost of creating the picture files does not hide the program's.
set -euo pipefail
cd "$(dirname "$0")/.."

build() { # checkout
    cmake -S "$1" -B "$1/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLOQUIN_TESTS=OFF \
        -DVELLOQUIN_GUI=OFF >/dev/null
    cmake --build "$1/build-bench" -j "$(nproc)" \
        --target velloquin-cli velloquin-genbackup velloquin-readbench >/dev/null
}
build .
trees=(.)
if [ -n "${BENCH_BEFORE:-}" ]; then
    build "$BENCH_BEFORE"
    trees=("$BENCH_BEFORE" .)
fi

base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/velloquin-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
contacts=${1:-32766}
every=${2:-10}
build-bench/bench/velloquin-genbackup "$contacts" "$every" "$work/backup.vcf"
tr -d '\r' <"$work/backup.vcf" >"$work/backup-lf.vcf"
build-bench/bench/velloquin-genbackup "$((contacts * 10))" "$every" "$work/backup-ten.vcf"
echo "backup: $contacts contacts, a picture every $every, $(du -h "$work/backup.vcf" | cut -f1);" \
    "the same with LF line ends; ten times as many, $(du -h "$work/backup-ten.vcf" | cut -f1)"

measure() { # label, command...
    local label=$1; shift
    local best="" bestkb=0 bestuser=""
    for _ in 1 2 3; do
        rm -rf "$work/out"; mkdir -p "$work/out"
        /usr/bin/time -f "%e %U %M" -o "$work/time" "$@" >/dev/null 2>&1 || true
        read -r secs user kb <"$work/time"
        if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then
            best=$secs; bestuser=$user
        fi
        [ "$kb" -gt "$bestkb" ] && bestkb=$kb
    done
    printf '%-52s %6.2f s wall  %6.2f s user  %6.1f MB peak\n' "$label" "$best" "$bestuser" \
        "$(awk "BEGIN{print $bestkb / 1024}")"
}

# Instruction counts hold from run to run on a shared machine, where wall
# times do not. The store's checkpoints come every 2 s as well as by count;
# under callgrind a run takes fifty times longer, so the monotonic clock is
# held still (steady-clock-stopped.c) and checkpoints come by count alone.
instructions() { # label, command...
    local label=$1; shift
    rm -rf "$work/out"; mkdir -p "$work/out"
    LD_PRELOAD="$work/stopped.so" valgrind --tool=callgrind \
        --callgrind-out-file="$work/callgrind.out" "$@" >/dev/null 2>"$work/callgrind.log" || true
    printf '%-52s %s instructions\n' "$label" \
        "$(sed -n 's/.*Collected : //p' "$work/callgrind.log")"
}

for tree in "${trees[@]}"; do
    cli=$tree/build-bench/cli/velloquin-cli
    readbench=$tree/build-bench/bench/velloquin-readbench
    echo "== $(git -C "$tree" log -1 --format='%h %s' 2>/dev/null || echo "$tree")"
    measure "reader alone (Normal mode)" "$readbench" "$work/backup.vcf" "$work/out"
    measure "reader alone (Advance mode)" "$readbench" "$work/backup.vcf" "$work/out" --advance
    measure "reader alone (Standard mode)" "$readbench" "$work/backup.vcf" "$work/out" --standard
    measure "reader alone, LF line ends (Advance mode)" "$readbench" "$work/backup-lf.vcf" \
        "$work/out" --advance
    measure "--excel" "$cli" --excel --out "$work/out" "$work/backup.vcf"
    measure "--excel, LF line ends, --advance" "$cli" --excel --advance --out "$work/out" \
        "$work/backup-lf.vcf"
    measure "--excel, LF line ends (Normal mode)" "$cli" --excel --out "$work/out" \
        "$work/backup-lf.vcf"
    measure "--excel, ten times as many" "$cli" --excel --out "$work/out" "$work/backup-ten.vcf"
    measure "--outlook" "$cli" --outlook --out "$work/out" "$work/backup.vcf"
    measure "--outlook, LF line ends, --advance" "$cli" --outlook --advance --out "$work/out" \
        "$work/backup-lf.vcf"
    if [ -n "${BENCH_CALLGRIND:-}" ]; then
        cc -O2 -shared -fPIC -o "$work/stopped.so" bench/steady-clock-stopped.c -ldl
        instructions "--excel (callgrind)" "$cli" --excel --out "$work/out" "$work/backup.vcf"
        instructions "--outlook (callgrind, clock held still)" "$cli" --outlook --out "$work/out" \
            "$work/backup.vcf"
    fi
done
if /usr/bin/python3 -c "import vobject, xlwt" 2>/dev/null; then
    measure "python vobject + xlwt (reference)" /usr/bin/python3 bench/reference_vobject_xlwt.py \
        "$work/backup.vcf" "$work/out/ref.xls"
fi
