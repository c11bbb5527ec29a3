#!/usr/bin/env bash
# app/win32/screenshot.sh [--dpi DPI] VELLOQUIN_EXE OUT.png [INSTRUCTIONS.png]
# The Win32 window under wine on a private Xvfb display, with its title bar
# (drawn by openbox), for the README; with INSTRUCTIONS.png the instruction
# window too, opened as a user opens it. --dpi sets the resolution of the
# screen (wine's LogPixels; 96 unless given) in the wine prefix first, which
# is a private one unless WINEPREFIX names another. The instruction window's
# link is found with window-state, which VELLOQUIN_WINDOW_STATE names (else
# the one of the Windows build with its tests, beside VELLOQUIN_EXE's).
set -euo pipefail
dpi=
if [ "${1:-}" = --dpi ]; then
    dpi=$2
    shift 2
fi
exe=$(realpath "$1") out=$(realpath -m "$2") instructions=${3:+$(realpath -m "$3")}
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
pids=()
own_prefix=0
[ -n "${WINEPREFIX:-}" ] || { export WINEPREFIX=$work/prefix; own_prefix=1; }
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    # A private prefix's server and programs would outlive the display they
    # were started on; they end before the prefix goes.
    [ $own_prefix = 0 ] || wineserver -k 2>/dev/null || true
    # (Their last writes into the prefix may come a moment later.)
    for _ in $(seq 100); do
        rm -rf "$work" 2>/dev/null && break
        sleep 0.1
    done
}
trap cleanup EXIT
# Polls a condition until it holds, for two minutes at most.
wait_for() {
    local deadline=$((SECONDS + 120))
    until eval "$1"; do
        [ $SECONDS -lt $deadline ] || { echo "timed out waiting for: $1" >&2; exit 1; }
        sleep 0.1
    done
}
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for '[ -s "$work/display" ]'
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
if [ -n "$dpi" ]; then
    "$top/cmake/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d "$dpi" /f >/dev/null 2>&1
fi
"$top/cmake/wine-run.sh" "$exe" >/dev/null 2>&1 &
pids+=($!)
# window-state writes where the controls are; the link is clicked there.
state="$work/state.tsv"
if [ -n "$instructions" ]; then
    state_exe=${VELLOQUIN_WINDOW_STATE:-$(dirname "$exe")/../../tests/windows/window-state.exe}
    [ -f "$state_exe" ] || { echo "no window-state at $state_exe" >&2; exit 1; }
    "$top/cmake/wine-run.sh" "$state_exe" "Z:${state//\//\\}" >/dev/null 2>&1 &
    pids+=($!)
fi

# Finds the shown window of that title and the frame openbox draws around it
# (its parent's parent): sets $window and $frame. wine may replace a window's
# X window as it starts, so one that vanished meanwhile is not found.
find_window() {
    window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$window" ] && xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable' ||
        return 1
    frame=$(xwininfo -id "$window" -tree 2>/dev/null |
        sed -n 's/^  Parent window id: \(0x[0-9a-f]*\).*/\1/p')
    [ -n "$frame" ]
}
shoot() {
    wait_for "find_window '$1'"
    import -window "$frame" "$2" 2>/dev/null || import -window "$window" "$2"
    echo "wrote $2"
}
shoot 'Corvanth Velloquin v1.2' "$out"
if [ -n "$instructions" ]; then
    main=$window
    wait_for "grep -q '^Label6	' '$state'"
    read -r x y w h < <(awk -F'\t' '$1 == "Label6" { print $3, $4, $5, $6 }' "$state")
    xdotool mousemove --window "$main" $((x + w / 2)) $((y + h / 2)) click 1
    shoot 'Skype Contacts Backup' "$instructions"
fi
