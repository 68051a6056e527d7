#!/usr/bin/env bash
# compare.sh LINUX_PROBE SEED_DIR [EMULATOR...]
# Runs the profile probe of the Windows build RA_WINDOWS_BUILD on Wine and the Linux one (with
# the stand-ins, under EMULATOR) on the same cases and the fuzz seeds of
# SEED_DIR, and compares their answers line by line. An answer that differs
# passes only when known_differences.tsv lists it with exactly these two
# answers; anything else fails, with the lines to look into.
set -euo pipefail
linux_probe=${1:?usage: compare.sh LINUX_PROBE SEED_DIR [EMULATOR...]}
seed_dir=${2:?usage: compare.sh LINUX_PROBE SEED_DIR [EMULATOR...]}
shift 2
linux_probe=$(realpath "$linux_probe")
seed_dir=$(realpath "$seed_dir")
here=$(cd "$(dirname "$0")" && pwd)
known=$here/known_differences.tsv
windows_probe=${RA_WINDOWS_BUILD:?}/tests/mingw/profile_probe.exe
work=${RA_TEST_TMP:?}/profile_differential

for need in "$windows_probe" "$linux_probe"; do
  [[ -f $need ]] || { echo "compare.sh: $need is missing (build it first)" >&2; exit 1; }
done
[[ -x ${RA_WINE:-} ]] || { echo "compare.sh: Wine is missing (RA_WINE='${RA_WINE:-}')" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/windows" "$work/linux"
seeds=()
for seed in "$seed_dir"/*; do
  cp "$seed" "$work/windows/" && cp "$seed" "$work/linux/"
  seeds+=("$(basename "$seed")")
done

# Each probe writes its case files into its own folder and is given the
# seeds by name there. Wine's console output ends lines in CR LF.
(cd "$work/windows" && "$RA_WINE" "$windows_probe" "${seeds[@]}") | tr -d '\r' >"$work/windows.out"
(cd "$work/linux" && "$@" "$linux_probe" "${seeds[@]}") >"$work/linux.out"

# The known differences: KIND, the query, our answer, Wine's answer.
declare -A known_ours known_wine known_kind
while IFS=$'\t' read -r kind query ours theirs; do
  [[ -z $kind || $kind == \#* ]] && continue
  known_kind[$query]=$kind
  known_ours[$query]=$ours
  known_wine[$query]=$theirs
done <"$known"

total=0 agree=0 windows=0 unsettled=0 failed=0
declare -A seen
while IFS= read -r ours_line <&3 && IFS= read -r wine_line <&4; do
  total=$((total + 1))
  query=${ours_line%%: *}
  if [[ $query != "${wine_line%%: *}" ]]; then
    echo "FAIL: the probes asked different questions: '$query' / '${wine_line%%: *}'"
    exit 1
  fi
  ours=${ours_line#*: }
  theirs=${wine_line#*: }
  if [[ $ours == "$theirs" ]]; then
    agree=$((agree + 1))
    [[ -n ${known_kind[$query]:-} ]] && echo "note: listed but now agreed: $query"
    continue
  fi
  seen[$query]=1
  if [[ -n ${known_kind[$query]:-} && ${known_ours[$query]} == "$ours" &&
        ${known_wine[$query]} == "$theirs" ]]; then
    case ${known_kind[$query]} in
      windows) windows=$((windows + 1)) ;;
      unsettled) unsettled=$((unsettled + 1)) ;;
      *) echo "FAIL: unknown kind '${known_kind[$query]}' for $query"; failed=$((failed + 1)) ;;
    esac
    continue
  fi
  failed=$((failed + 1))
  printf 'FAIL: %s\n  stand-ins: %s\n  Wine:      %s\n' "$query" "$ours" "$theirs"
done 3<"$work/linux.out" 4<"$work/windows.out"

if [[ $(wc -l <"$work/linux.out") -ne $(wc -l <"$work/windows.out") ]]; then
  echo "FAIL: the probes gave different numbers of answers (see $work)"
  failed=$((failed + 1))
fi
echo "profile_differential: $total answers: $agree agree, $windows differ where Windows" \
     "agrees with the stand-ins, $unsettled unsettled, $failed failed"
[[ $failed -eq 0 ]]
