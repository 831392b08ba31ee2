#!/bin/sh
# Ships an application from Linux with vexa-pack: a launcher with the jar
# inside, signed with a throwaway certificate (osslsigncode verifies it and a
# JDK still runs the jar), and an installer built from an application folder,
# which Wine installs, starts and removes again.
#   ship.sh WINE_RUN BIN_DIR VEXA_PACK DATA_DIR WORK_DIR
set -eu
run=$1 bin=$2 pack=$3 data=$4 work=$5
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() { echo "$*" >&2; exit 1; }

# Brand, add the jar, sign.
openssl req -x509 -newkey rsa:2048 -keyout key.pem -out cert.pem -days 2 -subj "/CN=Vexa Test" \
    -passout pass:secret 2>/dev/null
printf secret >pass.txt
printf wrong >wrong.txt
mkdir -p src/com/example classes
printf 'package com.example; public class Main { public static void main(String[] a) { System.out.println("signed " + a[0]); } }\n' \
    >src/com/example/Main.java
javac -d classes src/com/example/Main.java
jar cf app.jar -C classes com
cp "$bin/vexa.exe" MyApp.exe
"$pack" brand MyApp.exe --jar app.jar --product-name "My App"
"$pack" sign MyApp.exe --cert cert.pem --key key.pem --pass-file pass.txt >sign.log 2>&1 || { cat sign.log >&2; exit 1; }
osslsigncode verify -in MyApp.exe -CAfile cert.pem >verify.log 2>&1 || { cat verify.log >&2; fail "not verified"; }
[ "$(java -cp MyApp.exe com.example.Main x)" = "signed x" ] || fail "the signed executable's jar does not run"
"$pack" print MyApp.exe 2>&1 >/dev/null | grep -q "carries a jar" || fail "print finds no jar in the signed file"

# The launcher hands its own file to the runtime first on the class path, so
# that the runtime reads the application from the executable; the stand-in
# records the option and runs the class from the folder behind it.
mkdir -p jre/bin/server lib
cp "$bin/standin/jvm.dll" jre/bin/server/jvm.dll
printf 'stand-in java.dll: the runtime marker file\r\n' >jre/bin/java.dll
printf 'class demo.Hello\nmethod main\n    exit 5\n' >lib/app.jar
printf '[Java Runtime Environment]\r\nJRE Path=jre\r\nMain Class=demo.Hello\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n' \
    >MyApp.ini
code=0
VEXA_STANDIN_RECORD="$work/record.txt" "$run" "$work/MyApp.exe" -nosplash || code=$?
[ $code -eq 5 ] || fail "the launcher with the jar inside ended with $code, not 5"
grep -q ' option index=0 bytes=-Djava.class.path=Z:.*MyApp.exe;Z:.*lib.app.jar' record.txt ||
    { cat record.txt >&2; fail "the executable is not first on the class path"; }

# Refused: exit code 2 (1 for a wrong command line), the file untouched.
cp "$bin/vexa.exe" Other.exe
refuse() {
    file=$1 expected=$2
    shift 2
    cp "$file" before.exe
    code=0
    "$pack" "$@" 2>message.txt || code=$?
    [ $code -eq "${wanted:-2}" ] || fail "exit code $code for: $*"
    grep -q "$expected" message.txt || { cat message.txt >&2; fail "message for: $*"; }
    cmp "$file" before.exe || fail "changed by: $*"
}
refuse MyApp.exe "is signed already" sign MyApp.exe --cert cert.pem --key key.pem --pass-file pass.txt
refuse MyApp.exe "it is signed; brand it first" brand MyApp.exe --jar app.jar
refuse MyApp.exe "it is signed; brand it first" remove MyApp.exe --jar
refuse Other.exe "osslsigncode could not sign" sign Other.exe --cert cert.pem --key key.pem --pass-file wrong.txt
refuse Other.exe "cannot read nothing.pem" sign Other.exe --cert nothing.pem --key key.pem

# The installer: the launcher, its settings, the application and a bundled
# (stand-in) runtime.
mkdir -p app/lib app/jre/bin/server
cp "$bin/vexa.exe" app/MyApp.exe
"$pack" brand app/MyApp.exe --icon "$data/app.ico" --product-name "My App"
cp "$bin/standin/jvm.dll" app/jre/bin/server/jvm.dll
printf 'stand-in java.dll: the runtime marker file\r\n' >app/jre/bin/java.dll
printf 'class demo.Hello\nmethod main\n    exit 7\n' >app/lib/app.jar
printf '[Java Runtime Environment]\r\nJRE Path=jre\r\nMain Class=demo.Hello\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n' \
    >app/MyApp.ini
refuse app/MyApp.exe "not an installer version" msi --app-dir app --exe MyApp.exe --output MyApp.msi \
    --product-name "My App" --manufacturer "Example Ltd" --version 2.1.0.0
wanted=1 refuse app/MyApp.exe "unknown option --assoc" msi --app-dir app --exe MyApp.exe --output MyApp.msi \
    --product-name "My App" --manufacturer "Example Ltd" --version 2.1.0 --assoc .myapp
"$pack" msi --app-dir app --exe MyApp.exe --output MyApp.msi --product-name "My App" --manufacturer "Example Ltd" \
    --version 2.1.0 --associate .myapp --icon "$data/app.ico"
[ -z "$(ls -a | grep vexa-pack)" ] || fail "left intermediate files: $(ls -a | grep vexa-pack)"

windows=$(printf 'Z:%s' "$work" | tr / '\\')
prefix="$(sed -n "s/^state='\(.*\)'$/\1/p" "$run")/prefix"
installed="$prefix/drive_c/Program Files/My App"
# Windows puts a machine-wide installation's shortcut in the common Start menu,
# Wine in the user's.
shortcuts="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/My App.lnk
$(ls -d "$prefix"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs)/My App.lnk"
shortcut() { echo "$shortcuts" | while read -r f; do [ ! -f "$f" ] || echo "$f"; done; }
"$run" msiexec /i "$windows\\MyApp.msi" /qn || fail "msiexec /i failed"
for f in MyApp.exe MyApp.ini lib/app.jar jre/bin/server/jvm.dll; do
    cmp "$installed/$f" "app/$f" || fail "not installed: $f"
done
[ -n "$(shortcut)" ] || fail "no Start-menu shortcut"
"$run" reg query 'HKLM\Software\Classes\.myapp' /ve | grep -q MyApp.myapp || fail "no file type .myapp"
"$run" reg query 'HKLM\Software\Classes\MyApp.myapp\shell\open\command' /ve |
    grep -qF '"C:\Program Files\My App\MyApp.exe" "%1"' || fail "the file type does not open with the launcher"
code=0
"$run" 'C:\Program Files\My App\MyApp.exe' -nosplash || code=$?
[ $code -eq 7 ] || fail "the installed application ended with $code, not 7"
# The next version, from another folder, takes the place of the first.
cp -r app next
printf '; next\r\n' >>next/MyApp.ini
"$pack" msi --app-dir next --exe MyApp.exe --output Next.msi --product-name "My App" --manufacturer "Example Ltd" \
    --version 2.2.0 --associate .myapp --icon "$data/app.ico"
"$run" msiexec /i "$windows\\Next.msi" /qn || fail "msiexec /i of the next version failed"
cmp "$installed/MyApp.ini" next/MyApp.ini || fail "the next version's files are not installed"
[ "$("$run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | grep -c 'DisplayName.*My App')" -eq 1 ] ||
    fail "both versions are installed"
"$run" msiexec /x "$windows\\Next.msi" /qn || fail "msiexec /x failed"
[ ! -e "$installed" ] || fail "left after removal: $(ls -R "$installed")"
[ -z "$(shortcut)" ] || fail "the shortcut is left after removal"
if "$run" reg query 'HKLM\Software\Classes\.myapp' >/dev/null 2>&1; then fail "the file type is left after removal"; fi
