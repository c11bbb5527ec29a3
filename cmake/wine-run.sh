#!/usr/bin/env bash
# Runs a Windows program under wine for the cross-built tests: a private
# wine prefix (made on first use), UTF-8 file names, no debug chatter, no
# dialogs from wine itself.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/velloquin-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LC_ALL=C.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    # Several tests may start at once; one of them makes the prefix.
    (flock 9; [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true) 9>"$WINEPREFIX.lock"
fi
# A server that outlives one program by a minute: the tests start many short
# programs, and one that connects just as an idle server quits fails.
wineserver -p60 >/dev/null 2>&1 || true
exec wine "$@"
