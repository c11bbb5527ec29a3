#!/usr/bin/env bash
# Runs a Windows program under wine for the cross-built tests: a private
# wine prefix (made on first use), UTF-8 file names, no debug chatter, no
# dialogs from wine itself.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/velloquin-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LC_ALL=C.UTF-8
mkdir -p "$WINEPREFIX"
# Several tests may start at once; one of them makes the prefix.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    (
        flock 9
        [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 </dev/null || true
    ) 9>"$WINEPREFIX.lock"
fi
# A server that stays when the last program ends: the tests start many short
# programs, and one that connects just as an idle server quits fails.
# (tools/test-windows.sh starts it, with wine's background programs, before
# the tests, so that these do not hold a test's output open.)
wineserver -p60 >/dev/null 2>&1 </dev/null || true
# Now and then, on a busy machine, a program loses its connection to the
# server before its own code has run ("wine client error: ... recvmsg:
# Connection reset by peer"), or fails having printed nothing at all, where
# every program here prints something before it can fail. It is started once
# more then. Any other failure is the program's own and stands.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
    status=0
    wine "$@" >"$out" 2>"$err" || status=$?
    cat "$out"
    cat "$err" >&2
    if [ $status -eq 0 ] || [ $attempt -eq 2 ] ||
        { ! grep -q '^wine client error' "$err" && { [ -s "$out" ] || [ -s "$err" ]; }; }; then
        exit $status
    fi
    echo "wine-run: the program did not get to run; starting it again" >&2
    wineserver -p60 >/dev/null 2>&1 </dev/null || true
done
