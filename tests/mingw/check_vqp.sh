#!/usr/bin/env bash
# Checks on the shipped replay_autosave.vqp itself: the host finds it by its
# DLL name and four exports, and the game's process gives it nothing but
# KERNEL32 and msvcrt. Since the DLL has no C runtime start-up, nothing in it
# may need one: no heap, no TLS, no static constructors, no pseudo-relocations.
# Usage: check_vqp.sh path/to/replay_autosave.vqp
set -u

vqp=${1:?usage: check_vqp.sh replay_autosave.vqp}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

[ -f "$vqp" ] || { echo "FAIL: no such file: $vqp"; exit 1; }
headers=$("$objdump" -p "$vqp") || { echo "FAIL: $objdump -p failed"; exit 1; }

# DLL name recorded in the export directory.
dll_name=$(awk '/^Name[ \t]/ {print $NF; exit}' <<<"$headers")
[ "$dll_name" = "replay_autosave.vqp" ] || fail "DLL name is '$dll_name', not replay_autosave.vqp"

# Exports: exactly these four, by name.
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
               on && /^\t\[ *[0-9]+\]/ {print $NF; next}
               on && NF == 0 {on = 0}' <<<"$headers" | sort)
wanted=$(printf '%s\n' VQ_Apply vq_def_count vq_def_table vq_manifest_data | sort)
[ "$exports" = "$wanted" ] || fail "exports are [$(echo $exports)], want [$(echo $wanted)]"

# Imports as "DLL function" lines.
imports=$(awk '/DLL Name:/ {dll = $NF; print dll " -"; next}
               /^[A-Z]/ {dll = ""}
               dll != "" && /^\t[0-9a-f]+\t/ {print dll " " $NF}' <<<"$headers")
echo "Imports of $(basename "$vqp"):"
awk '$2 == "-" {print "  " $1; next} {print "    " $2}' <<<"$imports"

while read -r dll fn; do
    [ -z "$dll" ] && continue
    case "$dll" in
    KERNEL32.dll | msvcrt.dll) ;;
    *) [ "$fn" = "-" ] && fail "imports from $dll" ;;
    esac
done <<<"$imports"

# Heap functions of every kind, and what only a runtime start-up would run.
# (operator new and delete appear mangled: _Znwj/_Znaj/_ZdlPv/_ZdaPv, or ??2/??3.)
heap='malloc|calloc|realloc|free|_aligned_malloc|_aligned_free|_expand|_msize'
heap+='|_strdup|strdup|_wcsdup|Heap[A-Za-z]*|GetProcessHeap|CoTaskMem[A-Za-z]*'
heap+='|Global(Alloc|ReAlloc|Free)|Local(Alloc|ReAlloc|Free)'
heap+='|_Zn[wa][jm].*|_Zd[la]Pv.*|\?\?[23_].*'
heap="^($heap)\$"
startup='atexit|_onexit|__dllonexit|_initterm|_initterm_e|__getmainargs|_cexit|_amsg_exit'
startup+='|__cxa_[a-z_]*|_lock|_unlock|__set_app_type|_set_invalid_parameter_handler'
startup+='|TlsAlloc|TlsGetValue|TlsSetValue'
startup="^($startup)\$"
while read -r dll fn; do
    [ -z "$dll" ] || [ "$fn" = "-" ] && continue
    [[ "$fn" =~ $heap ]] && fail "heap function imported: $dll!$fn"
    [[ "$fn" =~ $startup ]] && fail "runtime start-up function imported: $dll!$fn"
done <<<"$imports"

# No TLS directory: it would need the runtime's TLS callbacks.
tls=$(awk '/Thread Storage Directory/ {print $3 $4; exit}' <<<"$headers")
[ "$tls" = "0000000000000000" ] || fail "TLS directory present ($tls)"

# No sections that only a runtime start-up reads.
sections=$("$objdump" -h "$vqp" | awk '$1 ~ /^[0-9]+$/ {print $2}')
for s in $sections; do
    case "$s" in
    .CRT* | .tls* | .ctors* | .dtors* | .init_array* | .fini_array*) fail "section $s present" ;;
    esac
done

# The linker folds constructor lists into .text: ___CTOR_LIST__ is the
# marker -1, the constructors, then 0; with none it is 8 bytes long. Runtime
# pseudo-relocations, too, are applied only by a start-up.
symbols=$("$objdump" -t "$vqp" 2>/dev/null)
addr_of() { awk -v s="$1" '$NF == s {print $(NF - 1); exit}' <<<"$symbols"; }
ctors=$(addr_of ___CTOR_LIST__)
dtors=$(addr_of ___DTOR_LIST__)
if [ -n "$ctors" ] && [ -n "$dtors" ]; then
    [ $((dtors - ctors)) -eq 8 ] ||
        fail "static constructors present (___CTOR_LIST__ $ctors, ___DTOR_LIST__ $dtors)"
else
    echo "note: no symbol table; constructor list not checked"
fi
psrelocs=$(addr_of __rt_psrelocs_size)
if [ -n "$psrelocs" ] && [ $((psrelocs)) -ne 0 ]; then
    fail "runtime pseudo-relocations present ($psrelocs bytes)"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed for $vqp"
    exit 1
fi
echo "OK: $vqp"
