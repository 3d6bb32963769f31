#!/bin/sh
# End-to-end checks of the Windows build (vorda.exe) under Wine, against the
# Linux build of the same sources:
#   wine_test.sh LINUX_BUILD WINDOWS_BUILD
# - the sample converts to the same messages, DAE (build date masked) and TGA
#   bytes as on Linux;
# - a scan over a tree whose names hold spaces and non-ASCII letters;
# - a params file and a script written with backslash paths and CRLF lines;
# - a save into a read-only location fails with the error line;
# - the reasons of failed reads and scans are Linux's words;
# - "wait" reads its line from standard input;
# - the exe imports only system DLLs and the zip holds what it must.
# Wine runs in a private prefix inside WINDOWS_BUILD with one persistent server.
set -u
LINUX_BUILD=$(cd "${1:?usage: wine_test.sh LINUX_BUILD WINDOWS_BUILD}" && pwd)
WINDOWS_BUILD=$(cd "${2:?usage: wine_test.sh LINUX_BUILD WINDOWS_BUILD}" && pwd)
VORDA="$LINUX_BUILD/vorda"
EXE="$WINDOWS_BUILD/vorda.exe"
MAKE_SAMPLE=$(find "$LINUX_BUILD" -name vorda_make_sample -type f | head -n 1)
WORK="$WINDOWS_BUILD/wine-tests"
failures=0

fail() {
    echo "FAIL (Windows build $EXE under Wine): $1"
    failures=$((failures + 1))
}

for f in "$VORDA" "$EXE" "$MAKE_SAMPLE"; do
    [ -f "$f" ] || { echo "FAIL (Windows build): missing $f"; exit 1; }
done

# The executable needs only DLLs every Windows has; the zip holds the exe, the
# guide and the licence texts.
dlls=$(x86_64-w64-mingw32-objdump -p "$EXE" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
for dll in $dlls; do
    case "$dll" in
    KERNEL32.DLL | MSVCRT.DLL | SHLWAPI.DLL | USER32.DLL | ADVAPI32.DLL) ;;
    *) fail "vorda.exe imports $dll, which Windows does not ship" ;;
    esac
done
zip=$(ls "$WINDOWS_BUILD"/vorda-*-win64.zip 2>/dev/null | head -n 1)
if [ -z "$zip" ]; then
    fail "no vorda-<version>-win64.zip"
else
    listing=$(python3 -m zipfile -l "$zip")
    for entry in vorda.exe README.md licences/TinyXML.txt licences/libsquish.txt licences/MinGW-w64-runtime.txt \
        licences/GCC-runtime-libstdc++-libgcc.txt licences/GPL-3.txt; do
        echo "$listing" | grep -q "/$entry " || fail "$(basename "$zip") lacks $entry"
    done
fi

export WINEPREFIX="$WINDOWS_BUILD/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
# One server for every run below: a run then starts in about 0.1 s.
wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1' EXIT
# The first start of a fresh prefix sets it up (seconds).
wine "$EXE" >/dev/null 2>"$WINDOWS_BUILD/wine-setup.log" </dev/null

rm -rf "$WORK"
mkdir -p "$WORK/in" "$WORK/linux" "$WORK/windows"
"$MAKE_SAMPLE" "$WORK/in" >/dev/null
cd "$WORK"

# Runs the same words with both builds, each in its own folder, so messages
# and outputs compare byte for byte.
both() {
    (cd linux && "$VORDA" "$@" >messages.txt 2>&1 </dev/null)
    (cd windows && wine "$EXE" "$@" >messages.txt 2>>../wine.log </dev/null)
}

# The files under both folders, with the build-date line of every DAE masked.
compare_outputs() {
    what=$1
    if ! cmp -s linux/messages.txt windows/messages.txt; then
        fail "$what: messages differ from Linux's"
        diff linux/messages.txt windows/messages.txt | head -n 10
    fi
    (cd linux && find . -type f | LC_ALL=C sort) > linux.files
    (cd windows && find . -type f | LC_ALL=C sort) > windows.files
    if ! cmp -s linux.files windows.files; then
        fail "$what: the written files differ from Linux's"
        diff linux.files windows.files | head -n 10
        return
    fi
    while IFS= read -r f; do
        case "$f" in
        *.dae)
            mask='s|<authoring_tool>VORDA .*</authoring_tool>|<authoring_tool>VORDA</authoring_tool>|'
            sed "$mask" "linux/$f" > linux.dae
            sed "$mask" "windows/$f" > windows.dae
            cmp -s linux.dae windows.dae || { fail "$what: $f differs from Linux's"; diff linux.dae windows.dae | head -n 6; }
            ;;
        *) cmp -s "linux/$f" "windows/$f" || fail "$what: $f differs from Linux's" ;;
        esac
    done < linux.files
}

fresh() { rm -rf linux windows && mkdir linux windows; }

# The sample, as the guide's first example converts it (a non-ASCII word on
# the command line too).
both '$CONVERT_IN=../in/sample.zem' '$CONVERT_OUT=out/größe/sample.dae' do=convert
grep -q '^Saving out/größe/sample.dae$' windows/messages.txt || fail "sample: no DAE saved"
[ "$(find windows/out/größe -name '*.TGA' | wc -l)" -ge 10 ] || fail "sample: texture files missing"
compare_outputs "sample conversion"

# A tree with blanks and non-ASCII letters in folder and file names.
fresh
mkdir -p "tree/Sub Folder/Ünïcode ß" "tree/日本" "tree/~skipped"
cp in/sample.zem "tree/Sub Folder/Ünïcode ß/Schiff é.zem"
cp in/sample.MAD "tree/Sub Folder/Ünïcode ß/Schiff é.MAD"
cp in/sample.zem "tree/日本/船.ZEM"
cp in/sample.zem "tree/a b.zem"
cp in/sample.zem "tree/~skipped/x.zem"
echo text > "tree/notes é.txt"
both setmask='*.zem' \
    '$SCAN_PARAMS=echo=[$[SCAN_SUB_PATH]|$[SCAN_REL_PATH]|$[SCAN_FILE]|$[SCAN_TYPE]]$[CR],$CONVERT_IN=$[SCAN_FULL_PATH],$CONVERT_OUT=out/$[SCAN_REL_PATH]/$[SCAN_FILE].dae,do=convert' \
    scan=../tree
grep -q '^\[Sub Folder/Ünïcode ß/Schiff é.zem|Sub Folder/Ünïcode ß|Schiff é|zem\]$' windows/messages.txt ||
    fail "scan: the non-ASCII path did not come through"
[ -f "windows/out/日本/船.dae" ] || fail "scan: out/日本/船.dae not written"
compare_outputs "scan of names with blanks and non-ASCII letters"

# A params file and a script as written on Windows: backslashes, CRLF lines.
fresh
mkdir -p "jobs/ship list"
printf 'action=convert\r\nscript=jobs\\ship list/list.txt\r\n' > jobs/run.txt
printf '# made on Windows\r\n@$CONVERT_IN,$CONVERT_OUT\r\n..\\in\\sample.zem,out\\sub dir\\ship.dae\r\n' \
    > "jobs/ship list/list.txt"
cp -r jobs linux/ && cp -r jobs windows/
both 'params=jobs\run.txt'
grep -q '^Saving out\\sub dir\\ship.dae$' windows/messages.txt || fail "script: out\\sub dir\\ship.dae not saved"
[ -f "windows/out/sub dir/ship.dae" ] || fail "script: out/sub dir/ship.dae not written"
compare_outputs "params file and script with backslash paths and CRLF lines"

# The reasons of failures read as on Linux: a missing file, a missing folder
# to scan, a folder where a file is expected, a file where a folder is
# expected, and a file without read access (when Wine is kept out of it:
# not as root).
fresh
for d in linux windows; do
    mkdir -p $d/dir.zem $d/dir.dae $d/ships && cp in/sample.zem $d/ships/hull.zem && cp in/sample.zem $d/locked.zem &&
        chmod 000 $d/locked.zem
done
# A scan first: an earlier failure must not lend it its reason.
both scan=nope missing.zem script=nosuch.txt params=no/such.txt dir.zem dir.zem/inner.zem \
    scan=ships/hull.zem '$CONVERT_IN=ships/hull.zem' '$CONVERT_OUT=dir.dae' do=convert locked.zem
for line in 'Error - Cannot read model file missing.zem - No such file or directory' \
    'Error - Cannot scan folder nope - No such file or directory' \
    'Error - Cannot read model file dir.zem - Is a directory' \
    'Error - Cannot scan folder ships/hull.zem - Not a directory' \
    'Error - Cannot write DAE file dir.dae - Is a directory'; do
    grep -qxF "$line" windows/messages.txt || fail "reasons: no line [$line]"
done
grep -q 'locked.zem - Permission denied$' linux/messages.txt &&
    { grep -q 'locked.zem - Permission denied$' windows/messages.txt || fail "reasons: no access is not Permission denied"; }
chmod 644 linux/locked.zem windows/locked.zem
compare_outputs "reasons of failures"

# A save into a read-only location (a folder of /proc, as Wine's drive Z:).
(cd windows && wine "$EXE" '$CONVERT_IN=..\in\sample.zem' '$CONVERT_OUT=Z:\proc\vorda\ship.dae' do=convert \
    >messages.txt 2>>../wine.log </dev/null)
grep -q '^Error - Cannot write Z:\\proc\\vorda\\ship.dae$' windows/messages.txt ||
    { fail "read-only location: no error line"; head -n 5 windows/messages.txt; }

# "wait" takes one line (CRLF as a Windows console sends it); end of input
# returns at once.
out=$(printf 'go\r\nnext\r\n' | wine "$EXE" wait echo=after 2>>wine.log)
[ "$out" = "Press Enter to continue . . . after" ] || fail "wait: printed [$out]"
out=$(wine "$EXE" wait echo=after 2>>wine.log </dev/null)
[ "$out" = "Press Enter to continue . . . after" ] || fail "wait at end of input: printed [$out]"

if [ "$failures" -ne 0 ]; then
    echo "$failures Windows end-to-end check(s) failed (Wine messages: $WORK/wine.log)"
    exit 1
fi
echo "Windows build: all end-to-end checks passed under Wine"
