#!/usr/bin/env bash
# Checks on the players' replay-autosave.exe, which serves the library app
# on this computer's network: a console program for the machine it was
# built for (i386 or x86-64), that the system places anew at each start
# (dynamic base, with its relocations; on x86-64 anywhere in its address
# space, high entropy), that runs none of its data (no-execute, and no
# section both writable and executable), that may use more than 2 GiB
# (large address aware), and that needs no DLL of the tool chain: only
# KERNEL32 and msvcrt, and the system DLLs named after it.
# Usage: check_companion_exe.sh path/to/replay-autosave.exe i386|x86-64 [DLL...]
set -u

usage="usage: check_companion_exe.sh replay-autosave.exe i386|x86-64 [DLL...]"
exe=${1:?$usage}
machine=${2:?$usage}
shift 2
case $machine in
    i386) format=pei-i386 magic=010b objdump=${OBJDUMP:-i686-w64-mingw32-objdump} ;;
    x86-64) format=pei-x86-64 magic=020b objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump} ;;
    *) echo "$usage" >&2; exit 2 ;;
esac
allowed=(kernel32.dll msvcrt.dll "${@,,}")
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

[ -f "$exe" ] || { echo "FAIL: no such file: $exe"; exit 1; }
headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump -p failed"; exit 1; }
sections=$("$objdump" -h -w "$exe") || { echo "FAIL: $objdump -h failed"; exit 1; }

field() { awk -v f="$1" '$1 == f {sub(/^0x/, "", $2); print $2; exit}' <<<"$headers"; }
grep -q "file format $format\$" <<<"$headers" || fail "not a $machine program: $(grep -m1 'file format' <<<"$headers")"
[ "$(field Magic)" = "$magic" ] || fail "optional header magic is $(field Magic), not $magic"
subsystem=$(field Subsystem)
[ "$((16#$subsystem))" = 3 ] || fail "subsystem is $subsystem, not 3 (console)"
characteristics=$(field Characteristics)
(( (16#$characteristics & 16#20) != 0 )) || fail "not large address aware (Characteristics 0x$characteristics)"
(( (16#$characteristics & 16#1) == 0 )) || fail "its relocations are stripped: it cannot move"
dll_characteristics=$(field DllCharacteristics)
(( (16#$dll_characteristics & 16#40) != 0 )) || fail "no dynamic base (DllCharacteristics 0x$dll_characteristics)"
(( (16#$dll_characteristics & 16#100) != 0 )) || fail "not no-execute compatible (DllCharacteristics 0x$dll_characteristics)"
if [ "$machine" = x86-64 ]; then
    (( (16#$dll_characteristics & 16#20) != 0 )) || fail "no high-entropy address space (DllCharacteristics 0x$dll_characteristics)"
fi
grep -q '^Entry 5 [0-9a-f]* [0-9a-f]*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers" ||
    fail "it has no relocations"

# Section lines: index name size vma lma offset align flags.
while read -r _ name _ _ _ _ _ flags; do
    case $flags in *CODE*) case $flags in *READONLY*) ;; *) fail "section $name is writable and executable: $flags" ;; esac ;; esac
done < <(awk '$1 ~ /^[0-9]+$/' <<<"$sections")

dlls=$(awk '/DLL Name:/ {print $NF}' <<<"$headers")
echo "DLLs imported by $(basename "$exe"):" $dlls
while read -r dll; do
    [ -z "$dll" ] && continue
    [[ " ${allowed[*]} " == *" ${dll,,} "* ]] || fail "imports $dll, which a plain Windows would not have"
done <<<"$dlls"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
