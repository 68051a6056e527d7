#!/usr/bin/env bash
# Checks on a Windows program that holds the game's memory in its own image
# (game_space.cmake): a console program loaded at the game's base and never
# moved, whose first section, .game, is the game's memory (uninitialised,
# writable and executable) from above the headers to 0x900000, with every
# other section above it, and which needs no DLL of the tool chain: only
# KERNEL32 and msvcrt, and the system DLLs named after the program.
# Usage: check_game_space_exe.sh path/to/program.exe [DLL...]
set -u

exe=${1:?usage: check_game_space_exe.sh program.exe [DLL...]}
shift
allowed=(kernel32.dll msvcrt.dll "${@,,}")
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
game_first=$((16#401000)) game_end=$((16#900000))
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

[ -f "$exe" ] || { echo "FAIL: no such file: $exe"; exit 1; }
headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump -p failed"; exit 1; }
sections=$("$objdump" -h -w "$exe") || { echo "FAIL: $objdump -h failed"; exit 1; }

subsystem=$(awk '/^Subsystem/ {print $2; exit}' <<<"$headers")
[ "$((16#$subsystem))" = 3 ] || fail "subsystem is $subsystem, not 3 (console)"
base=$(awk '/^ImageBase/ {print $2; exit}' <<<"$headers")
[ "$((16#$base))" = "$((16#400000))" ] || fail "image base is 0x$base, not 0x400000"
characteristics=$(awk '/^DllCharacteristics/ {print $2; exit}' <<<"$headers")
(( (16#$characteristics & 16#40) == 0 )) || fail "dynamic base is on: the image may move"

# Section lines: index name size vma lma offset align flags.
first=1
while read -r _ name size vma _ _ _ flags; do
    start=$((16#$vma)) end=$((16#$vma + 16#$size))
    if ((first)); then
        first=0
        [ "$name" = .game ] || { fail "the first section is $name, not .game"; continue; }
        ((start <= game_first && end >= game_end)) ||
            fail ".game spans 0x$vma..$(printf 0x%X $end), not 0x401000..0x900000"
        case $flags in *CONTENTS* | *READONLY*) fail ".game is not uninitialised and writable: $flags" ;; esac
        case $flags in *CODE*) ;; *) fail ".game is not executable: $flags" ;; esac
    elif ((start < game_end)); then
        fail "section $name at 0x$vma lies in the game's memory"
    fi
done < <(awk '$1 ~ /^[0-9]+$/' <<<"$sections")
((first == 0)) || fail "no sections found"

dlls=$(awk '/DLL Name:/ {print $NF}' <<<"$headers")
echo "DLLs imported by $(basename "$exe"):" $dlls
while read -r dll; do
    [ -z "$dll" ] && continue
    case "${dll,,}" in
        api-ms-win-crt-*.dll) continue ;;
    esac
    [[ " ${allowed[*]} " == *" ${dll,,} "* ]] || fail "imports $dll, which a plain Windows would not have"
done <<<"$dlls"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
