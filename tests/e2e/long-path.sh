#!/bin/sh
# Starts the launcher from a folder whose Windows path is longer than 260
# characters, through Wine's own loader (the process creation call refuses
# such application paths under Wine), and checks that it found its settings
# file beside it and ran the application.
#   long-path.sh <wine-run> <bin folder> <scratch folder>
set -eu
winerun=$1 bin=$2 scratch=$3
rm -rf "$scratch"
folder="$scratch"
while [ ${#folder} -lt 320 ]; do folder="$folder/a-rather-long-folder-name-for-the-path"; done
mkdir -p "$folder/lib" "$folder/runtime/bin/server"
cp "$bin/vexa.exe" "$folder/LongPath.exe"
cp "$bin/standin/jvm.dll" "$folder/runtime/bin/server/jvm.dll"
: >"$folder/runtime/bin/java.dll"
cp "$bin/standin/examples/demo-app.jar" "$folder/lib/demo-app.jar"
printf '[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nJRE Path=runtime\r\n[Class Path]\r\nClass Path=\\lib\\*.jar\r\n[Application]\r\nOverride WorkingDir=Yes\r\nOutput File=out.txt\r\n' \
    >"$folder/LongPath.ini"
status=0
timeout 60 "$winerun" "$folder/LongPath.exe" one two >"$scratch/wine.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    echo "the launcher ended with $status"; cat "$scratch/wine.log"; exit 1
fi
grep -q 'Arguments (2): one two' "$folder/out.txt" || { echo "unexpected output:"; cat "$folder/out.txt"; exit 1; }
rm -rf "$scratch"
echo "started from a path of ${#folder} characters"
