#!/usr/bin/env bash
# app/win32/screenshot.sh VELLOQUIN_EXE OUT.png
# The Win32 window under wine on a private Xvfb display, with its title bar
# (drawn by openbox), for the README.
set -euo pipefail
exe=$(realpath "$1") out=$(realpath -m "$2")
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
until [ -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
export WINEPREFIX=${WINEPREFIX:-$work/prefix}
"$top/cmake/wine-run.sh" "$exe" >/dev/null 2>&1 &
pids+=($!)
window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Corvanth Velloquin v1.2$' | head -1)
# The frame openbox draws around the window is its parent's parent.
frame=$(xwininfo -id "$window" -tree | sed -n 's/^  Parent window id: \(0x[0-9a-f]*\).*/\1/p')
until xwininfo -id "$window" | grep -q 'Map State: IsViewable'; do sleep 0.1; done
import -window "$frame" "$out" 2>/dev/null || import -window "$window" "$out"
echo "wrote $out"
