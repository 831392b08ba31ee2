#!/bin/sh
# Brands copies of vexa.exe and vexa32.exe with the native Linux vexa-pack,
# checks that every refused input leaves the file untouched, then runs the
# Windows-side checks of the branded copies under Wine.
#   pack.sh WINE_RUN BIN_DIR VEXA_PACK DATA_DIR WORK_DIR
set -eu
run=$1 bin=$2 pack=$3 data=$4 work=$5
rm -rf "$work"
mkdir -p "$work"
cd "$work"
printf '[Java Runtime Environment]\nMain Class=demo.Hello\n' >app.ini
cp "$bin/vexa.exe" MyApp.exe
cp "$bin/vexa32.exe" MyApp32.exe
for exe in MyApp.exe MyApp32.exe; do
    "$pack" brand "$exe" --icon "$data/app.ico" --file-version 1.2.3.4 --product-name 'My Äpp' \
        --company 'Example Ltd' --description 'My application' --copyright '© 2026 Example Ltd' \
        --original-filename "$exe" --execution-level asInvoker --settings app.ini
done
# A second run over its own output.
"$pack" brand MyApp.exe --product-version 5.6.7.8
"$pack" print MyApp.exe >printed.ini
printf '[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n' | cmp - printed.ini

# Refused inputs: a clear message, exit code 2, the file untouched.
head -c 100 "$data/app.ico" >damaged.ico
cp "$bin/vexa-ui.exe" NotALauncher.exe
cp MyApp.exe before.exe
cp NotALauncher.exe before-ui.exe
refuse() {
    file=$1 original=$2 expected=$3
    shift 3
    if "$pack" "$@" 2>message.txt; then echo "accepted: $*" >&2; exit 1; fi
    grep -q "$expected" message.txt || { echo "message for $*:" >&2; cat message.txt >&2; exit 1; }
    cmp "$file" "$original" || { echo "changed by: $*" >&2; exit 1; }
    [ -z "$(ls ./*.tmp 2>/dev/null)" ] || { echo "left a temporary file: $*" >&2; exit 1; }
}
refuse MyApp.exe before.exe "image 1 lies beyond its end" brand MyApp.exe --icon damaged.ico
refuse MyApp.exe before.exe "does not fit: at most four numbers" brand MyApp.exe --file-version 1.2.3.4.5
refuse MyApp.exe before.exe "does not fit: each number is at most 65535" brand MyApp.exe --product-version 1.70000
refuse MyApp.exe before.exe "does not fit: a text is longer" brand MyApp.exe \
    --description "$(head -c 40000 /dev/zero | tr '\0' x)"
refuse NotALauncher.exe before-ui.exe "is not a launcher" brand NotALauncher.exe --file-version 1.0
refuse NotALauncher.exe before-ui.exe "is not a launcher" write NotALauncher.exe app.ini
refuse app.ini app.ini "is not a launcher (a copy of vexa.exe or vexa32.exe): it is not a Windows executable" brand app.ini --file-version 1.0

windows=$(printf 'Z:%s' "$work" | tr / '\\')
VEXA_PACKED_DIR=$windows "$run" "$bin/vexa-e2e.exe" --gtest_filter='PackedLauncher.*'
