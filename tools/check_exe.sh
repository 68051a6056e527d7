#!/usr/bin/env bash
# Checks on replay-autosave-check.exe: a console program that players run
# beside the game with nothing else installed, and whose own image leaves
# the game's address range free for the stand-in of the game's memory.
# Usage: check_exe.sh path/to/replay-autosave-check.exe
set -u

exe=${1:?usage: check_exe.sh replay-autosave-check.exe}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

[ -f "$exe" ] || { echo "FAIL: no such file: $exe"; exit 1; }
headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump -p failed"; exit 1; }

# Console subsystem (3), so that its output shows in the console it runs in.
subsystem=$(awk '/^Subsystem/ {print $2; exit}' <<<"$headers")
[ "$((16#$subsystem))" = 3 ] || fail "subsystem is $subsystem, not 3 (console)"

# Loaded above the game's memory stand-in at 0x400000..0x900000.
base=$(awk '/^ImageBase/ {print $2; exit}' <<<"$headers")
(( 16#$base >= 16#900000 )) || fail "image base 0x$base overlaps the game's memory"

# Only DLLs every Windows has: no runtime DLL of the tool chain.
dlls=$(awk '/DLL Name:/ {print $NF}' <<<"$headers")
echo "DLLs imported by $(basename "$exe"):" $dlls
while read -r dll; do
    [ -z "$dll" ] && continue
    case "${dll,,}" in
        kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | api-ms-win-crt-*.dll) ;;
        *) fail "imports $dll, which players would not have" ;;
    esac
done <<<"$dlls"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
