#!/usr/bin/env bash
# window.sh VELLOQUIN_EXE WINDOW_STATE_EXE WINE_RUN SAMPLES LINUX_CLI [SETUP_EXE]
# Drives the Win32 window (the installed one when the installer is given and
# built) under wine on a private Xvfb display with xdotool, following its
# controls from outside with window-state (tests/windows/WindowState.cpp),
# as a user would: the controls as laid out, the focus order, the file-choice
# rules, conversions to both outputs (read back and compared with the Linux
# build's), a run with many notes (the notes dialog within the screen, its
# notes saved), the guards while a run is under way, and closing during a run.
# VELLOQUIN_SHOTS, when set, names a folder for a picture of the notes dialog.
# Waits for states (window titles, window-state's file, output files),
# never for a fixed time. Non-ASCII text goes in through the clipboard. With
# VELLOQUIN_ARTEFACTS set, leaves pictures of both windows at 96 and 144 dpi
# there (app/win32/screenshot.sh).
set -euo pipefail
exe=$1 state_exe=$2 wine_run=$3 samples=$4 linux_cli=${5:-} setup=${6:-}
for tool in Xvfb openbox xdotool xclip readpst pffinfo; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/velloquin-wine}

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    # To stderr too: a failure inside $(...) would hide stdout.
    echo "FAILED: $*" >&2
    [ -f "$work/state.tsv" ] && cat "$work/state.tsv" >&2
    exit 1
}

# Polls a condition (a shell command) until it holds; fails after the limit.
wait_for() {
    local what=$1 limit=${2:-90}
    local deadline=$((SECONDS + limit))
    until eval "$what"; do
        [ $SECONDS -lt $deadline ] || fail "timed out waiting for: $what"
        sleep 0.1
    done
}

# Pictures of both windows at 96 and 144 dpi for whoever reads the results
# (VELLOQUIN_ARTEFACTS), each from a display and a wine prefix of its own.
if [ -n "${VELLOQUIN_ARTEFACTS:-}" ]; then
    mkdir -p "$VELLOQUIN_ARTEFACTS"
    for dpi in 96 144; do
        env -u WINEPREFIX VELLOQUIN_WINDOW_STATE="$state_exe" \
            bash "$(dirname "$0")/../../app/win32/screenshot.sh" --dpi $dpi "$exe" \
            "$VELLOQUIN_ARTEFACTS/main-window-${dpi}dpi.png" \
            "$VELLOQUIN_ARTEFACTS/instructions-${dpi}dpi.png" || fail "no pictures at $dpi dpi"
    done
fi

# A display and a window manager of our own.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for '[ -s "$work/display" ]' 30
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)

winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
state="$work/state.tsv"

# field NAME COLUMN: name class left top width height enabled checked focused
# text
field() { awk -F'\t' -v n="$1" -v c="$2" '$1 == n { print $c }' "$state"; }
has() { [ "$(field "$1" "$2")" = "$3" ]; }
window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
wait_window() { wait_for "[ -n \"\$(window '$1')\" ]"; window "$1"; }
wait_gone() { wait_for "[ -z \"\$(window '$1')\" ]"; }
click() { # a control of the main window, at its centre
    local x=$(($(field "$1" 3) + $(field "$1" 5) / 2)) y=$(($(field "$1" 4) + $(field "$1" 6) / 2))
    xdotool mousemove --window "$main" "$x" "$y" click 1
}
key() { xdotool key --clearmodifiers "$@"; }
# Types text into the focused field of a dialog through the clipboard.
paste() {
    printf '%s' "$1" | xclip -selection clipboard -i
    key ctrl+a ctrl+v
}
activate() { # the window of that title, once it shows
    local w
    w=$(wait_window "$1")
    xdotool windowactivate --sync "$w" 2>/dev/null || true
}
choose_file() { # path, then what must follow
    click CmdBrowse
    activate Open
    paste "$(winpath "$1")"
    key Return
    wait_gone Open
}
choose_folder() { # the output folder of a run
    activate 'Choose Folder to Save...'
    paste "$(winpath "$1")"
    key Return
    # The picker may first open the folder typed in; a second Return takes it.
    sleep_until_gone_or_return
}
# Asks the main window to close until its question shows: on a busy machine
# the key can arrive before the window has the focus, and then goes nowhere.
ask_to_close() {
    local deadline=$((SECONDS + 90)) until
    while [ -z "$(window 'Corvanth Velloquin')" ]; do
        [ $SECONDS -lt $deadline ] || fail "closing the window during a run asked nothing"
        xdotool windowactivate --sync "$main" 2>/dev/null || true
        key alt+F4
        until=$((SECONDS + 5))
        while [ -z "$(window 'Corvanth Velloquin')" ] && [ $SECONDS -lt $until ]; do
            sleep 0.1
        done
    done
    window 'Corvanth Velloquin'
}
sleep_until_gone_or_return() {
    local deadline=$((SECONDS + 30))
    while [ -n "$(window 'Choose Folder to Save...')" ]; do
        [ $SECONDS -lt $deadline ] || fail "the folder picker did not take the folder"
        key Return
        wait_for true
        local until=$((SECONDS + 2))
        while [ -n "$(window 'Choose Folder to Save...')" ] && [ $SECONDS -lt $until ]; do
            sleep 0.1
        done
    done
}
answer() { # the window of that title (a message box): press a key, wait until it is gone
    activate "$1"
    key "$2"
    wait_gone "$1"
}

# The inputs, in folders with non-ASCII names.
data="$work/Daten-Ünïcødé-Данные"
mkdir -p "$data/out-xls" "$data/out-pst" "$data/out-notes" "$data/out-stop" "$work/linux"
cp "$samples/skype-contacts-sample.vcf" "$data/Sicherung-ä.VCF"
printf 'just some notes\r\nnothing else\r\n' >"$data/notes.txt"
printf 'note\r\n  begin:vcard  \r\nFN:Late Card\r\nEND:VCARD\r\n' >"$data/Kontakte.txt"
# Every contact with a birthday that is not a date: one note each.
awk 'BEGIN { for (i = 1; i <= 300; i++)
    printf "BEGIN:VCARD\r\nN:Datum%d;Vorname\r\nBDAY:kein Datum %d\r\nEND:VCARD\r\n", i, i }' \
    >"$data/Geburtstage.vcf"
# A backup long enough to close the window while it is being read.
awk 'BEGIN { for (i = 0; i < 200000; i++)
    printf "BEGIN:VCARD\r\nN:Nachname%d;Vorname\r\nFN:Vorname Nachname%d\r\nEMAIL:p%d@example.com\r\nEND:VCARD\r\n", i, i, i }' \
    >"$data/long.vcf"

if [ -n "$setup" ] && [ -f "$setup" ]; then
    echo "== installing silently, then driving the installed program"
    "$wine_run" "$setup" /S || fail "the installer failed"
    exe='C:\Program Files\Velloquin\velloquin.exe'
fi
"$wine_run" "$exe" &
pids+=($!)
"$wine_run" "$state_exe" "$(winpath "$state")" &
pids+=($!)
main=$(wait_window 'Corvanth Velloquin v1.2')
wait_for '[ -s "$state" ]'

echo "== the controls as laid out"
# As the layout table gives them (fonts: windows.captions_fit).
expected="$work/expected.tsv"
"$wine_run" "$state_exe" --layout >"$expected" || fail "window-state --layout failed"
seen() {
    awk -F'\t' 'BEGIN { OFS = "\t" } { print $1, $2, $3, $4, $5, $6, $7, $8, $10 }' \
        "$state" >"$work/seen.tsv"
    cmp -s "$expected" "$work/seen.tsv"
}
deadline=$((SECONDS + 30))
until seen || [ $SECONDS -ge $deadline ]; do sleep 0.1; done
diff "$expected" "$work/seen.tsv" || fail "the controls differ from the layout"
wait_for 'has txtvCFPath 9 1'

echo "== the focus order, the hidden controls included"
# The table's order from txtvCFPath on, round to it again; Convert is off.
expected_order=$("$wine_run" "$state_exe" --focus-order | awk 'NR > 1 { printf "%s ", $0 }
    NR == 1 { first = $0 } END { printf "%s ", first }')
order=""
for _ in $(seq "$(wc -w <<<"$expected_order")"); do
    before=$(awk -F'\t' '$9 == 1 { print $1 }' "$state")
    key Tab
    wait_for "[ \"\$(awk -F'\t' '\$9 == 1 { print \$1 }' \"\$state\")\" != '$before' ]"
    order+="$(awk -F'\t' '$9 == 1 { print $1 }' "$state") "
done
[ "$order" = "$expected_order" ] || fail "focus order: $order, not $expected_order"

echo "== the instruction window, modal to the main window"
click Label6
answer 'Skype Contacts Backup' alt+F4

echo "== the file-choice rules"
choose_file "$data/notes.txt"
answer 'Corvanth Velloquin' Return
wait_for 'has txtvCFPath 10 "$(winpath "$data/notes.txt")"'
has CmdSplit 7 0 || fail "a file without vCards enabled Convert"
choose_file "$data/Kontakte.txt"
wait_for 'has CmdSplit 7 1'
choose_file "$data/Sicherung-ä.VCF"
wait_for 'has txtvCFPath 10 "$(winpath "$data/Sicherung-ä.VCF")"'
has CmdSplit 7 1 || fail "a .VCF file was not accepted"

echo "== a run to the workbook"
click CmdSplit
choose_folder "$data/out-xls"
answer Velloquin Return
wait_for '[ -s "$data/out-xls/vCardContactsExported.xls" ]'
wait_for 'has CmdSplit 7 0'
if [ -n "$linux_cli" ] && [ -x "$linux_cli" ]; then
    "$linux_cli" --out "$work/linux" "$data/Sicherung-ä.VCF" >/dev/null
    cmp "$data/out-xls/vCardContactsExported.xls" "$work/linux/vCardContactsExported.xls" ||
        fail "the window's workbook differs from the Linux build's"
fi

echo "== a run to the store"
click OptPST
wait_for 'has OptPST 8 1'
choose_file "$data/Sicherung-ä.VCF"
wait_for 'has CmdSplit 7 1'
click CmdSplit
choose_folder "$data/out-pst"
answer Velloquin Return
wait_for 'ls "$data/out-pst"/*.pst >/dev/null 2>&1'
store=$(ls "$data/out-pst"/*.pst)
pffinfo "$store" >/dev/null || fail "pffinfo cannot read the window's store"
mkdir -p "$work/read"
readpst -q -o "$work/read" "$store" >/dev/null 2>&1 || fail "readpst cannot read the window's store"
grep -rq 'Hélène' "$work/read" || fail "the store lacks the non-ASCII contact"

echo "== a run with many notes"
choose_file "$data/Geburtstage.vcf"
wait_for 'has CmdSplit 7 1'
click CmdSplit
choose_folder "$data/out-notes"
answer Velloquin Return
notes=$(wait_window 'Corvanth Velloquin')
eval "$(xdotool getwindowgeometry --shell "$notes")"
[ "$WIDTH" -le 1024 ] && [ "$HEIGHT" -le 768 ] || fail "the notes dialog is ${WIDTH}x$HEIGHT"
if [ -n "${VELLOQUIN_SHOTS:-}" ] && command -v import >/dev/null; then
    import -window root "$VELLOQUIN_SHOTS/notes-dialog.png"
fi
# From the default button (OK) back to "Save Notes...".
xdotool windowactivate --sync "$notes" 2>/dev/null || true
key shift+Tab space
activate 'Save Notes'
paste "$(winpath "$data/out-notes/Notizen.txt")"
key Return
wait_gone 'Save Notes'
wait_for '[ -s "$data/out-notes/Notizen.txt" ]'
[ "$(grep -c 'The birthday' "$data/out-notes/Notizen.txt")" = 300 ] ||
    fail "the saved notes lack some of the 300"
answer 'Corvanth Velloquin' Escape
wait_for 'has CmdSplit 7 0'

echo "== the guards of a run, and closing the window during it"
choose_file "$data/long.vcf"
wait_for 'has CmdSplit 7 1'
click CmdSplit
choose_folder "$data/out-stop"
# Under way: what would change the run is locked.
# (window-state may read the controls while they are being locked.)
for locked in CmdBrowse Command1 OptXLS OptPST OptNormal OptAdvance cmdEnd; do
    wait_for "has $locked 7 0"
done
question=$(ask_to_close)
# No: the run goes on.
answer 'Corvanth Velloquin' n
[ -n "$(window 'Corvanth Velloquin v1.2')" ] || fail "No closed the window"
ask_to_close >/dev/null
answer 'Corvanth Velloquin' y
# The window's last word: what the store holds, as the label goes with it.
answer Velloquin Return
# The program ends once the run has closed its output.
wait_gone 'Corvanth Velloquin v1.2'
wait_for '! kill -0 ${pids[2]} 2>/dev/null' 120
store=$(ls "$data/out-stop"/*.pst)
pffinfo "$store" >/dev/null || fail "the stopped run left an unreadable store"
echo OK
