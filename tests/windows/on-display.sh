#!/usr/bin/env bash
# on-display.sh COMMAND [ARGS...]
# Runs a command that makes windows on a private Xvfb display, and returns its
# exit status. The wine server of WINEPREFIX (the test's own prefix) goes with
# the display, so that no later program of the prefix finds a dead one.
set -euo pipefail
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }
work=$(mktemp -d)
xvfb=
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 300); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "FAILED: Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")"
status=0
"$@" || status=$?
exit $status
