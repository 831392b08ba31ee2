#!/bin/sh
# Stops what wine-up.sh started in the state folder $1: the prefix's
# wineserver (with its Wine processes) and the Xvfb it launched.
set -u
state=$1
export WINEPREFIX="$state/prefix"
if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid" "$state/display"
fi
exit 0
