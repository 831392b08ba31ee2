#!/bin/sh
# Runs each benchmark program under Wine in the build's private environment.
#   run.sh <wine state folder> <harness folder> <wine-run> <program>...
set -eu
state=$1 harness=$2 winerun=$3
shift 3
sh "$harness/wine-up.sh" "$state" >/dev/null
trap 'sh "$harness/wine-down.sh" "$state" >/dev/null' EXIT
for program in "$@"; do
    echo "== $(basename "$program")"
    "$winerun" "$program"
done
