#!/usr/bin/env bash
# cli-non-ascii.sh WINDOWS_CLI LINUX_CLI SAMPLES WINE_RUN
# Converts the sample backup, copied under a non-ASCII name, with the Windows
# command line into a folder with a non-ASCII name, to every output. The
# workbook must equal the Linux build's byte for byte; the .xlsx sheet must
# read back in LibreOffice with the same cells as the Linux build's; the store
# must pass pffinfo and read back with readpst exactly as the Linux build's
# store does.
set -euo pipefail
win_cli=$1 linux_cli=$2 samples=$3 wine_run=$4

if [ -z "$linux_cli" ] || [ ! -x "$linux_cli" ]; then
    echo "SKIP: no Linux build of velloquin-cli given (VELLOQUIN_LINUX_CLI)"
    exit 77
fi
for tool in readpst pffinfo soffice; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Latin, Cyrillic, CJK and a character beyond the Basic Multilingual Plane.
name='Kontakte-Ünïcødé-Контакты-連絡先-😀'
mkdir -p "$work/$name/win-xls" "$work/$name/win-pst" "$work/linux-xls" "$work/linux-pst"
cp "$samples/skype-contacts-sample.vcf" "$work/$name/Sicherung-äöü.vcf"
backup="$work/$name/Sicherung-äöü.vcf"
# wine maps the Unix root to drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

fail() { echo "FAILED: $*"; exit 1; }

echo "== workbook"
"$wine_run" "$win_cli" --out "$(winpath "$work/$name/win-xls")" "$(winpath "$backup")" \
    >"$work/win-xls.log" 2>&1 || { cat "$work/win-xls.log"; fail "the Windows command line failed"; }
cat "$work/win-xls.log"
grep -q '[0-9][0-9]* contacts converted to .*Kontakte-Ünïcødé-Контакты-連絡先-😀' "$work/win-xls.log" ||
    fail "the output path was not printed as UTF-8"
"$linux_cli" --out "$work/linux-xls" "$backup" >/dev/null
cmp "$work/$name/win-xls/vCardContactsExported.xls" "$work/linux-xls/vCardContactsExported.xls" ||
    fail "the workbooks differ"
# The pictures are decoded the same way.
for pic in "$work/linux-xls"/*.gif; do
    cmp "$pic" "$work/$name/win-xls/$(basename "$pic")" || fail "picture $(basename "$pic") differs"
done

echo "== sheet (.xlsx)"
mkdir -p "$work/$name/win-xlsx" "$work/linux-xlsx"
"$wine_run" "$win_cli" --xlsx --out "$(winpath "$work/$name/win-xlsx")" "$(winpath "$backup")" \
    >"$work/win-xlsx.log" 2>&1 || { cat "$work/win-xlsx.log"; fail "the Windows command line failed"; }
cat "$work/win-xlsx.log"
"$linux_cli" --xlsx --out "$work/linux-xlsx" "$backup" >/dev/null
# Each sheet as UTF-8 CSV, its cells as LibreOffice shows them (the dates
# in the short-date format that each build wrote, which under wine is the
# same as on Linux).
cells() {
    mkdir -p "$2"
    timeout 600 soffice -env:UserInstallation="file://$work/profile" --headless --norestore \
        --nolockcheck --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' \
        --outdir "$2" "$1" >/dev/null 2>&1 || fail "LibreOffice cannot read $1"
    cat "$2"/*.csv
}
cells "$work/$name/win-xlsx/vCardContactsExported.xlsx" "$work/csv-win" >"$work/win.csv"
cells "$work/linux-xlsx/vCardContactsExported.xlsx" "$work/csv-linux" >"$work/linux.csv"
[ "$(wc -l <"$work/win.csv")" -gt 1 ] || fail "LibreOffice found no contacts in the Windows sheet"
grep -q 'Hélène' "$work/win.csv" || fail "the non-ASCII contact name is missing from the sheet"
diff "$work/linux.csv" "$work/win.csv" || fail "the sheets read back differently"

echo "== store"
"$wine_run" "$win_cli" --outlook --out "$(winpath "$work/$name/win-pst")" "$(winpath "$backup")" \
    >"$work/win-pst.log" 2>&1 || { cat "$work/win-pst.log"; fail "the Windows command line failed"; }
cat "$work/win-pst.log"
"$linux_cli" --outlook --out "$work/linux-pst" "$backup" >/dev/null
win_store=$(ls "$work/$name/win-pst"/*.pst)
linux_store=$(ls "$work/linux-pst"/*.pst)
pffinfo "$win_store" >"$work/pffinfo.log" 2>&1 || { cat "$work/pffinfo.log"; fail "pffinfo"; }
# readpst writes the contacts as vCards; both stores must give the same ones.
readback() {
    mkdir -p "$2"
    readpst -q -o "$2" "$1" >/dev/null 2>&1 || fail "readpst cannot read $1"
    find "$2" -type f -print0 | sort -z | xargs -0 cat
}
readback "$win_store" "$work/read-win" >"$work/win.txt"
readback "$linux_store" "$work/read-linux" >"$work/linux.txt"
[ -s "$work/win.txt" ] || fail "readpst found nothing in the Windows store"
grep -q 'Hélène' "$work/win.txt" || fail "the non-ASCII contact name is missing"
diff "$work/linux.txt" "$work/win.txt" || fail "the stores read back differently"
echo OK
