#!/usr/bin/env bash
# install.sh SETUP_EXE WINE_RUN SAMPLES
# Installs silently under wine, checks the installed files, the Start-menu
# entry, the uninstall registration (size and icon under Apps and features
# among it), the installer's and uninstaller's icon and version information,
# and that the installed command line converts, then uninstalls silently and
# checks that nothing is left.
set -euo pipefail
setup=$1 wine_run=$2 samples=$3
if [ ! -f "$setup" ]; then
    echo "SKIP: no installer at $setup (made by tools/build-windows.sh)"
    exit 77
fi
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/velloquin-wine}
fail() { echo "FAILED: $*"; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
icon="$here/../../app/art/velloquin.ico"
version=$(basename "$setup" | sed -n 's/^velloquin-\(.*\)-setup\.exe$/\1/p')
[ -n "$version" ] || fail "no version in the installer's name $setup"

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velloquin'
dir="$WINEPREFIX/drive_c/Program Files/Velloquin"
link="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvanth Velloquin.lnk"

"$wine_run" "$setup" /S || fail "the installer failed"
for f in velloquin.exe velloquin-cli.exe uninstall.exe README.txt manual.html; do
    [ -f "$dir/$f" ] || fail "$f was not installed"
done
[ -f "$link" ] || fail "no Start-menu entry"
"$wine_run" reg query "$key" /v DisplayVersion | grep -q DisplayVersion || fail "not registered"
# One value of the uninstall key, as reg prints it: "    NAME    TYPE    DATA".
value() { "$wine_run" reg query "$key" /v "$1" | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
icon_value=$(value DisplayIcon)
[ "$icon_value" = 'C:\Program Files\Velloquin\velloquin.exe,0' ] ||
    fail "DisplayIcon is '$icon_value'"
# In KiB; what the files take, give or take what the size of a folder adds.
size=$(value EstimatedSize)
[ -n "$size" ] || fail "no EstimatedSize"
size=$((size))
files=$(du -sk --apparent-size "$dir" | cut -f1)
[ "$size" -ge $((files * 9 / 10)) ] && [ "$size" -le $((files * 11 / 10 + 4)) ] ||
    fail "EstimatedSize is $size KiB, the files take $files KiB"
# What Windows shows of them: the program's own icon and the version.
/usr/bin/python3 "$here/check-setup.py" --version "$version" --icon "$icon" "$setup" \
    "$dir/uninstall.exe" || fail "installer or uninstaller resources"
/usr/bin/python3 "$here/check-setup.py" --icon "$icon" "$dir/velloquin.exe" ||
    fail "the entry's icon"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$samples/skype-contacts-sample.vcf" "$work/"
"$wine_run" "C:\\Program Files\\Velloquin\\velloquin-cli.exe" --out "Z:${work//\//\\}" \
    "Z:${work//\//\\}\\skype-contacts-sample.vcf" || fail "the installed command line failed"
[ -s "$work/vCardContactsExported.xls" ] || fail "the installed command line wrote no workbook"

# The uninstaller copies itself away and returns at once; wait for its work.
"$wine_run" "C:\\Program Files\\Velloquin\\uninstall.exe" /S || fail "the uninstaller failed"
for _ in $(seq 600); do
    [ -e "$dir" ] || [ -e "$link" ] || break
    sleep 0.2
done
[ ! -e "$dir" ] || fail "the program folder is left: $(ls "$dir")"
[ ! -e "$link" ] || fail "the Start-menu entry is left"
if "$wine_run" reg query "$key" >/dev/null 2>&1; then fail "the registration is left"; fi
echo OK
