#!/bin/sh
# Runs a Windows program under Wine in the given prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# Starts a private Xvfb for the run when no display is set. QUILLET_WINE names the loader
# (default wine; Wine's 64-bit loader where 32-bit programs cannot run).
set -u
case "$1" in /*) export WINEPREFIX="$1" ;; *) export WINEPREFIX="$PWD/$1" ;; esac
shift
export WINEDEBUG="${WINEDEBUG:--all}"
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    fd_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    tries=0
    while [ ! -s "$fd_file" ] && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
    export DISPLAY=":$(cat "$fd_file")"
    rm -f "$fd_file"
fi
"${QUILLET_WINE:-wine}" "$@"
rc=$?
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
exit $rc
