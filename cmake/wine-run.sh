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
# Several tests start at once; one of them makes the prefix and starts its
# server. The server outlives the last program by a minute (the tests start
# many short programs, and one that connects just as an idle server quits
# fails), and wine's own background programs are started here, away from the
# test's output: started by a test they would hold its pipes open.
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 </dev/null || true
    fi
    if wineserver -p60 >/dev/null 2>&1 </dev/null; then
        wineboot >/dev/null 2>&1 </dev/null || true
    fi
) 9>"$WINEPREFIX.lock"
exec wine "$@"
