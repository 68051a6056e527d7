#!/usr/bin/env bash
# compare.sh LINUX_TOOL SOURCE_DIR [EMULATOR...]
# The check of the players' program must say the same on Windows as on
# Linux: runs `replay-autosave check` of the Windows build RA_WINDOWS_BUILD on Wine and the
# Linux one (on the stand-ins, under EMULATOR) over the example INI and the
# INIs beside this script, each from a folder holding only that INI, and
# fails on any difference in what they print or in their exit status. Over
# the INIs of readers_differ/, which the two systems read differently, each
# report must tell the player so, in the lines the INI lists.
set -euo pipefail
linux_tool=$(realpath "${1:?usage: compare.sh LINUX_TOOL SOURCE_DIR [EMULATOR...]}")
source_dir=$(realpath "${2:?usage: compare.sh LINUX_TOOL SOURCE_DIR [EMULATOR...]}")
shift 2
here=$(cd "$(dirname "$0")" && pwd)
windows_tool=${RA_WINDOWS_BUILD:?}/src/replay-autosave.exe
work=${RA_TEST_TMP:?}/check_report
for need in "$windows_tool" "$linux_tool"; do
  [[ -f $need ]] || { echo "compare.sh: $need is missing (build it first)" >&2; exit 1; }
done
[[ -x ${RA_WINE:-} ]] || { echo "compare.sh: Wine is missing (RA_WINE='${RA_WINE:-}')" >&2; exit 1; }

rm -rf "$work"
failed=0 count=0

# run_both INI: the two reports of INI, each checked from a folder holding
# only that INI, into $work/NAME.windows and $work/NAME.linux; their exit
# statuses into status_windows and status_linux. False when the Linux program
# gave no report at all.
run_both() {
  local ini=$1 name
  name=$(basename "$ini")
  for side in windows linux; do
    mkdir -p "$work/$side/${name%.ini}"
    cp "$ini" "$work/$side/${name%.ini}/"
  done
  # Wine's console output ends lines in CR LF.
  status_windows=0 status_linux=0
  (cd "$work/windows/${name%.ini}" && "$RA_WINE" "$windows_tool" check "$name") \
    2>&1 | tr -d '\r' >"$work/$name.windows" || status_windows=$?
  (cd "$work/linux/${name%.ini}" && "${emulator[@]}" "$linux_tool" check "$name") \
    >"$work/$name.linux" 2>&1 || status_linux=$?
  if ! grep -q "Settings the plug-in reads from $name:" "$work/$name.linux"; then
    echo "FAIL: $name: no report from the Linux program"
    return 1
  fi
}

emulator=("$@")
# Constructs INI readers agree on: the two reports are the same, byte for byte.
for ini in "$source_dir/examples/replay_autosave.ini" "$here"/*.ini; do
  name=$(basename "$ini")
  count=$((count + 1))
  run_both "$ini" || { failed=$((failed + 1)); continue; }
  if ! diff -u --label "Linux: $name" --label "Wine: $name" \
       "$work/$name.linux" "$work/$name.windows"; then
    echo "FAIL: $name: the reports differ"; failed=$((failed + 1))
  elif [[ $status_linux != "$status_windows" ]]; then
    echo "FAIL: $name: exit status $status_linux on Linux, $status_windows on Wine"
    failed=$((failed + 1))
  fi
done

# Constructs INI readers differ on (readers_differ/): each report says so,
# and what it says the plug-in reads is its own system's reading. Each INI
# lists in its comments the lines its reports must hold:
#   ; both: TEXT     in both reports      ; windows: TEXT  in the one from Wine
#   ; linux: TEXT    in the Linux one     ; never: TEXT    in neither
for ini in "$here"/readers_differ/*.ini; do
  name=$(basename "$ini")
  count=$((count + 1))
  run_both "$ini" || { failed=$((failed + 1)); continue; }
  bad=0
  while IFS= read -r rule; do
    side=${rule%%: *} text=${rule#*: }
    case $side in
      both) sides=(windows linux) want=yes ;;
      windows | linux) sides=("$side") want=yes ;;
      never) sides=(windows linux) want=no ;;
      *) echo "FAIL: $name: unknown rule '$rule'"; bad=1; continue ;;
    esac
    for s in "${sides[@]}"; do
      found=no
      grep -qF -- "$text" "$work/$name.$s" && found=yes
      if [[ $found != "$want" ]]; then
        [[ $want == yes ]] && echo "FAIL: $name: the $s report lacks: $text"
        [[ $want == no ]] && echo "FAIL: $name: the $s report says: $text"
        bad=1
      fi
    done
  done < <(LC_ALL=C sed -n 's/^\xEF\xBB\xBF//; s/\r$//; s/^; \(both\|windows\|linux\|never\): /\1: /p' "$ini")
  if ((bad)); then
    echo "  (reports: $work/$name.linux, $work/$name.windows)"
    failed=$((failed + 1))
  fi
done
echo "check_report: $count INIs, $failed failed"
[[ $failed -eq 0 ]]
