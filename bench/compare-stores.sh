#!/usr/bin/env bash
# Compares the stores two builds write for the same backup, as the
# independent readers see them: readpst -D -S (every item as a file) and
# pffexport -d -m all (every item with every property's value). What differs
# from run to run is set aside: the creation and modification times, the
# random keys (search key, record key and the entry IDs made of it, the
# replica's GUID) and the time in the store's file and display name.
#
#   bench/compare-stores.sh BEFORE_CLI AFTER_CLI BACKUP.vcf [CLI OPTIONS...]
#
# Prints the number of files each reader wrote and "same" or the first
# differences; exits 1 when the stores differ.
set -euo pipefail
[ $# -ge 3 ] || {
    echo "usage: $0 BEFORE_CLI AFTER_CLI BACKUP.vcf [CLI OPTIONS...]" >&2
    exit 2
}
before=$1 after=$2 backup=$3
shift 3
work=$(mktemp -d "${TMPDIR:-/tmp}/velloquin-compare.XXXXXX")
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT

dump() { # side, cli, cli options...
    local side=$work/$1 cli=$2
    shift 2
    mkdir -p "$side/out" "$side/readpst"
    "$cli" --outlook "$@" --out "$side/out" "$backup" >"$side/cli.log" 2>&1 || echo "exit $?" >>"$side/cli.log"
    sed -i "s|$side|OUT|; s/Contacts[0-9. ]*\.pst/Contacts<time>.pst/" "$side/cli.log"
    local pst
    pst=$(find "$side/out" -name '*.pst')
    readpst -D -S -o "$side/readpst" "$pst" >/dev/null 2>&1
    pffexport -q -d -m all -t "$side/pff" "$pst" >/dev/null 2>&1
    # the store's folder is named after its display name, which holds the time
    (cd "$side/readpst" && for d in *; do mv "$d" store; done)
    /usr/bin/python3 - "$side" <<'EOF'
import os, re, sys

side = sys.argv[1]
# Properties whose values are random or the time of writing.
varying = {0x3007, 0x3008, 0x300B, 0x0FF9, 0x0E34, 0x35E0, 0x35E3, 0x35E7, 0x36D1}
stamp = re.compile(r"\d+\.\d+\.\d+ \d+\.\d+\.\d+")


def utf16(lines):
    data = bytearray()
    for line in lines:
        m = re.match(r"0x[0-9a-f]+: ((?:[0-9a-f]{2} +)+)", line)
        if m:
            data += bytes.fromhex(m.group(1).replace(" ", ""))
    return data.decode("utf-16-le", "replace")


def item_values(text):
    out = []
    for record in text.split("\n\n"):
        m = re.search(r"Entry type:\s+0x([0-9a-f]+)", record)
        if m and int(m.group(1), 16) in varying:
            record = record.split("Value:")[0] + "Value: <varies>"
        elif m and int(m.group(1), 16) == 0x3001 and "Skype Contacts : Created" in utf16(
            record.split("\n")
        ):
            record = record.split("Value:")[0] + "Value: " + stamp.sub("<time>", utf16(record.split("\n")))
        out.append(record)
    return "\n\n".join(out)


with open(os.path.join(side, "dump.txt"), "w", encoding="utf-8", errors="replace") as dump:
    for reader in ("readpst", "pff.export"):
        files = []
        for root, _, names in os.walk(os.path.join(side, reader)):
            files += [os.path.join(root, n) for n in names]
        dump.write(f"== {reader}: {len(files)} files\n")
        for path in sorted(files):
            with open(path, "rb") as f:
                text = f.read().decode("utf-8", "replace")
            if path.endswith("ItemValues.txt"):
                text = item_values(text)
            text = re.sub(r"(Creation|Modification) time:(\s+).*", r"\1 time:\2<time>", text)
            dump.write(f"== {os.path.relpath(path, side)}\n{stamp.sub('<time>', text)}\n")
EOF
}

dump before "$before" "$@"
dump after "$after" "$@"
grep -a "^== [a-z.]*: " "$work/after/dump.txt"
if cmp -s "$work/before/dump.txt" "$work/after/dump.txt" &&
    cmp -s "$work/before/cli.log" "$work/after/cli.log"; then
    echo same
else
    diff "$work/before/cli.log" "$work/after/cli.log" | head -20 || true
    diff "$work/before/dump.txt" "$work/after/dump.txt" | head -40 || true
    exit 1
fi
