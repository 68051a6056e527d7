#!/usr/bin/env bash
# Checks on replay-autosave.exe: a console program that players run
# beside the game with nothing else installed, and whose own image holds the
# stand-in of the game's memory at the game's addresses.
# Usage: check_exe.sh path/to/replay-autosave.exe
set -u

exe=${1:?usage: check_exe.sh replay-autosave.exe}
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

# Loaded at the game's base and never moved (no dynamic base, 0x40).
base=$(awk '/^ImageBase/ {print $2; exit}' <<<"$headers")
[ "$((16#$base))" = "$((16#400000))" ] || fail "image base is 0x$base, not 0x400000"
characteristics=$(awk '/^DllCharacteristics/ {print $2; exit}' <<<"$headers")
(( (16#$characteristics & 16#40) == 0 )) || fail "dynamic base is on: the image may move"

# The array that stands for the game's memory spans every game location the
# tool writes, from the track folder table (0x5BA21C) to the end of the
# builder's data area (0x900000): it starts below the one and the next symbol
# of the program lies beyond the other.
read -r space_at next_at < <("${NM:-i686-w64-mingw32-nm}" -n "$exe" |
                             awk '/sim_game_space/ {at = $1; next} at != "" {print at, $1; exit}')
if [ -z "${space_at:-}" ] || [ -z "${next_at:-}" ]; then
    fail "no sim_game_space symbol"
else
    (( 16#$space_at <= 16#5BA21C )) ||
        fail "game memory starts at 0x$space_at, above 0x5BA21C: the program's code and data grew too big"
    (( 16#$next_at >= 16#900000 )) || fail "0x$next_at, below 0x900000, is not game memory"
fi

# Only DLLs every Windows has: no runtime DLL of the tool chain.
dlls=$(awk '/DLL Name:/ {print $NF}' <<<"$headers")
echo "DLLs imported by $(basename "$exe"):" $dlls
while read -r dll; do
    [ -z "$dll" ] && continue
    case "${dll,,}" in
        # shell32 and ole32: the Recycle Bin of prune --apply, page --open.
        kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | shell32.dll | ole32.dll | api-ms-win-crt-*.dll) ;;
        *) fail "imports $dll, which players would not have" ;;
    esac
done <<<"$dlls"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
