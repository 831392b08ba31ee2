#!/bin/sh
# Brands copies of vexa.exe and vexa32.exe with the native Linux vexa-pack,
# checks that every refused input (crafted images among them) leaves the file
# untouched, puts a jar in, replaces it and takes it out again with a JDK
# reading the result, then runs the Windows-side checks of the branded copies
# under Wine.
#   pack.sh WINE_RUN BIN_DIR VEXA_PACK DATA_DIR WORK_DIR SEEDS_DIR
set -eu
run=$1 bin=$2 pack=$3 data=$4 work=$5 seeds=$6
rm -rf "$work"
mkdir -p "$work"
cd "$work"
printf '[Java Runtime Environment]\nMain Class=demo.Hello\n' >app.ini
cp "$bin/vexa.exe" MyApp.exe
cp "$bin/vexa32.exe" MyApp32.exe
for exe in MyApp.exe MyApp32.exe; do
    "$pack" brand "$exe" --icon "$data/app.ico" --file-version 1.2.3.4 --product-name 'My Äpp' --internal-name MyApp \
        --company 'Example Ltd' --description 'My application' --copyright '© 2026 Example Ltd' \
        --original-filename "$exe" --execution-level asInvoker --settings app.ini
done
# The console twins brand the same way and stay console programs (subsystem 3).
for exe in vexac.exe vexa32c.exe; do
    cp "$bin/$exe" "Tool-$exe"
    "$pack" brand "Tool-$exe" --icon "$data/app.ico" --product-name 'My Tool' --settings app.ini
    pe=$(od -An -tu4 -j60 -N4 "Tool-$exe" | tr -d ' ')
    [ "$(od -An -tu2 -j$((pe + 92)) -N2 "Tool-$exe" | tr -d ' ')" = 3 ] ||
        { echo "$exe is no console program after branding" >&2; exit 1; }
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
refuse MyApp.exe before.exe "version block of 64 KiB; the longest is --description (40000 characters)" brand MyApp.exe \
    --description "$(head -c 40000 /dev/zero | tr '\0' x)"
long=$(head -c 20000 /dev/zero | tr '\0' x)
refuse MyApp.exe before.exe "the longest is --copyright (20001" brand MyApp.exe --company "$long" --copyright "${long}y"
refuse MyApp.exe before.exe "does not start with a version" brand MyApp.exe --product-version SNAPSHOT-2.1
refuse MyApp.exe before.exe "no <assembly> element" brand MyApp.exe --manifest app.ini
refuse MyApp.exe before.exe "unknown option --colour" brand MyApp.exe --colour blue
refuse MyApp.exe before.exe "it is not a jar: it holds no zip end record" brand MyApp.exe --jar app.ini
# Crafted images: sections over the headers, a data directory count that
# wrapped a 32-bit size; and a launcher whose resources were moved into its
# headers. None may make vexa-pack write anywhere.
for seed in resources-in-headers directory-count-wraps section-without-data-far-away file-alignment-512-mib; do
    cp "$seeds/$seed" crafted.exe
    cp crafted.exe crafted-before.exe
    refuse crafted.exe crafted-before.exe "is not a launcher" brand crafted.exe --file-version 1.0
done
cp MyApp.exe crafted.exe
section=$(od -An -tu4 -j60 -N4 crafted.exe | tr -d ' ')  # e_lfanew
optional=$(od -An -tu2 -j$((section + 20)) -N2 crafted.exe | tr -d ' ')
table=$((section + 24 + optional))
count=$(od -An -tu2 -j$((section + 6)) -N2 crafted.exe | tr -d ' ')
i=0
while [ $i -lt "$count" ]; do
    [ "$(dd if=crafted.exe bs=1 skip=$((table + 40 * i)) count=5 2>/dev/null)" = .rsrc ] && break
    i=$((i + 1))
done
printf '\100\0\0\0' | dd of=crafted.exe bs=1 seek=$((table + 40 * i + 20)) conv=notrunc 2>/dev/null
cp crafted.exe crafted-before.exe
refuse crafted.exe crafted-before.exe "section $((i + 1)) overlaps the headers" brand crafted.exe --file-version 1.0
# A link planted where a temporary file used to go is left alone.
echo victim >victim.txt
ln -s victim.txt MyApp.exe.vexa-pack.tmp
"$pack" brand MyApp.exe --file-version 1.2.3.4 2>/dev/null
[ "$(cat victim.txt)" = victim ] && rm MyApp.exe.vexa-pack.tmp
"$pack" --help | grep -q "vexa-pack msi" || { echo "--help says nothing of msi" >&2; exit 1; }

# A jar in, replaced, and out again: a JDK runs the executable as the jar,
# the embedded settings carry "Embedded Jar=Yes" while it is there.
mkdir -p jar/one/com/example jar/two/com/example
for n in one two; do
    printf 'package com.example; public class Main { public static void main(String[] a) { System.out.println("%s " + a[0]); } }\n' $n \
        >jar/$n/com/example/Main.java
    javac -d jar/$n jar/$n/com/example/Main.java
    jar cf jar/$n.jar -C jar/$n com/example/Main.class
done
cp MyApp.exe Jar.exe
check_jar() {
    expected=$1 settings=$2
    got=$(java -cp Jar.exe com.example.Main arg 2>&1 || true)
    [ "$got" = "$expected" ] || { echo "java -cp Jar.exe: '$got', not '$expected'" >&2; exit 1; }
    "$pack" print Jar.exe >printed.ini 2>/dev/null || true
    printf "$settings" | cmp - printed.ini || { echo "settings after '$expected':" >&2; cat printed.ini >&2; exit 1; }
}
"$pack" brand Jar.exe --jar jar/one.jar
check_jar "one arg" '[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n[Application]\r\nEmbedded Jar=Yes\r\n'
"$pack" brand Jar.exe --jar jar/two.jar --product-version 2.1.0-SNAPSHOT
check_jar "two arg" '[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n[Application]\r\nEmbedded Jar=Yes\r\n'
"$pack" brand Jar.exe --settings app.ini
check_jar "two arg" '[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n[Application]\r\nEmbedded Jar=Yes\r\n'
"$pack" print Jar.exe 2>&1 >/dev/null | grep -q "carries a jar of" || { echo "print names no jar" >&2; exit 1; }
"$pack" remove Jar.exe  # the settings go, the jar's key stays with the jar
check_jar "two arg" '[Application]\r\nEmbedded Jar=Yes\r\n'
"$pack" write Jar.exe app.ini
cp Jar.exe JarBefore.exe
refuse Jar.exe JarBefore.exe "unknown option --jars" remove Jar.exe --jars
"$pack" remove Jar.exe --jar
check_jar "Error: Could not find or load main class com.example.Main
Caused by: java.lang.ClassNotFoundException: com.example.Main" '[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n'
strings -el Jar.exe | grep -qx 2.1.0-SNAPSHOT || { echo "the product version text is not kept" >&2; exit 1; }
strings Jar.exe | grep -q 'name="My.pp"' || { echo "the manifest carries no product identity" >&2; exit 1; }
strings Jar.exe | grep -q '<description>My application</description>' || { echo "no manifest description" >&2; exit 1; }
# A manifest of the team's own; the launcher is still known by its messages.
printf '<?xml version="1.0"?>\n<assembly><description>Ours</description></assembly>\n' >own.manifest
"$pack" brand Jar.exe --manifest own.manifest
"$pack" brand Jar.exe --file-version 3.0
strings Jar.exe | grep -q '<description>Ours</description>' || { echo "the manifest is not ours" >&2; exit 1; }
refuse NotALauncher.exe before-ui.exe "is not a launcher" brand NotALauncher.exe --file-version 1.0
refuse NotALauncher.exe before-ui.exe "is not a launcher" write NotALauncher.exe app.ini
refuse app.ini app.ini "is not a launcher (a copy of vexa.exe, vexac.exe, vexa32.exe or vexa32c.exe): it is not a Windows executable" brand app.ini --file-version 1.0

windows=$(printf 'Z:%s' "$work" | tr / '\\')
VEXA_PACKED_DIR=$windows "$run" "$bin/vexa-e2e.exe" --gtest_filter='PackedLauncher.*'
