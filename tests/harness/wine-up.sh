#!/bin/sh
# Prepares the private Wine environment of a test run in the state folder $1:
# an X display (Xvfb), a Wine prefix and a persistent wineserver. Records what
# it started so that wine-down.sh stops exactly that and nothing else.
set -eu
state=$1
mkdir -p "$state"
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

exec 9>"$state/lock"
flock 9

if [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
    :
else
    n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 9>&- &
    echo $! >"$state/xvfb.pid"
    echo ":$n" >"$state/display"
    i=0
    until [ -e "/tmp/.X11-unix/X$n" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then echo "Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; exit 1; fi
        sleep 0.1
    done
fi
DISPLAY=$(cat "$state/display")
export DISPLAY

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # Without 32-bit Wine, wineboot reports a missing syswow64 helper and
    # fails although the 64-bit prefix is complete; the check below decides.
    wineboot -i >"$state/wineboot.log" 2>&1 9>&- || true
    # The registry files are written when the server that made them ends.
    wineserver -w 9>&-
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wineboot did not create the prefix" >&2; cat "$state/wineboot.log" >&2; exit 1
    fi
fi
wineserver -p >"$state/wineserver.log" 2>&1 9>&- || true  # already running is fine
# A first program start finishes the prefix's own start-up work.
wine cmd /c exit 0 >/dev/null 2>&1 9>&- || true
echo "Wine ready: prefix $WINEPREFIX, display $DISPLAY"
