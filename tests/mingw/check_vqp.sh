#!/usr/bin/env bash
# Checks on the shipped replay_autosave.vqp itself: the host finds it by its
# DLL name and four exports, and the game's process gives it nothing but
# KERNEL32 and msvcrt. Since the DLL has no C runtime start-up, nothing in it
# may need one: no heap, no TLS, no static constructors, no pseudo-relocations.
# It carries no symbol table, so the symbols these checks need come from the
# linker's map of the same link.
# Usage: check_vqp.sh path/to/replay_autosave.vqp path/to/replay_autosave.map
set -u

vqp=${1:?usage: check_vqp.sh replay_autosave.vqp replay_autosave.map}
map=${2:?usage: check_vqp.sh replay_autosave.vqp replay_autosave.map}
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

# Little-endian words of the file at a byte offset.
u16() { od -An -tu2 -j "$1" -N2 "$vqp" | tr -d ' '; }
u32() { od -An -tu4 -j "$1" -N4 "$vqp" | tr -d ' '; }

# No symbol table: the COFF header points at none, nothing follows the last
# section (where the table and its string table would lie), and objdump
# finds none.
pe=$(u32 60)
[ "$(u32 $((pe + 12)))" = 0 ] || fail "PointerToSymbolTable is $(u32 $((pe + 12))), not 0"
[ "$(u32 $((pe + 16)))" = 0 ] || fail "NumberOfSymbols is $(u32 $((pe + 16))), not 0"
section_count=$(u16 $((pe + 6)))
section_table=$((pe + 24 + $(u16 $((pe + 20)))))
raw_end=0
for ((i = 0; i < section_count; i++)); do
    entry=$((section_table + 40 * i))
    end=$(($(u32 $((entry + 20))) + $(u32 $((entry + 16)))))  # PointerToRawData + SizeOfRawData
    [ "$end" -gt "$raw_end" ] && raw_end=$end
done
file_size=$(stat -c %s "$vqp")
[ "$file_size" -eq "$raw_end" ] ||
    fail "$((file_size - raw_end)) bytes follow the last section (file $file_size, sections end $raw_end)"
"$objdump" -t "$vqp" 2>/dev/null | grep -qx 'no symbols' || fail "objdump -t lists symbols"

# The linker folds constructor lists into .text: ___CTOR_LIST__ is the
# marker -1, the constructors, then 0; with none it is 8 bytes long. Runtime
# pseudo-relocations, too, are applied only by a start-up. Both are read
# from the map, which must describe this image: its constructor list lies
# in the .text of the .vqp.
if [ -f "$map" ]; then
    addr_of() { awk -v s="$1" '$2 == s && $3 == "=" {print $1; exit}' "$map"; }
    ctors=$(addr_of ___CTOR_LIST__)
    dtors=$(addr_of ___DTOR_LIST__)
    psrelocs=$(addr_of __rt_psrelocs_size)
    read -r text_size text_vma < <("$objdump" -h "$vqp" | awk '$2 == ".text" {print $3, $4; exit}')
    if [ -z "$ctors" ] || [ -z "$dtors" ] || [ -z "$psrelocs" ] || [ -z "${text_vma:-}" ]; then
        fail "$map lacks ___CTOR_LIST__, ___DTOR_LIST__ or __rt_psrelocs_size, or no .text"
    elif [ $((ctors)) -lt $((0x$text_vma)) ] || [ $((ctors)) -ge $((0x$text_vma + 0x$text_size)) ]; then
        fail "$map is not the map of $vqp (___CTOR_LIST__ $ctors outside .text)"
    else
        [ $((dtors - ctors)) -eq 8 ] ||
            fail "static constructors present (___CTOR_LIST__ $ctors, ___DTOR_LIST__ $dtors)"
        [ $((psrelocs)) -eq 0 ] || fail "runtime pseudo-relocations present ($psrelocs bytes)"
    fi
else
    fail "no linker map at $map"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed for $vqp"
    exit 1
fi
echo "OK: $vqp"
