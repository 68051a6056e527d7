#!/usr/bin/env bash
# compare.sh LINUX_TOOL SOURCE_DIR [EMULATOR...]
# The check of the players' program must say the same on Windows as on
# Linux: runs `replay-autosave check` of the mingw build on Wine and the
# Linux one (on the stand-ins, under EMULATOR) over the example INI and the
# INIs beside this script, each from a folder holding only that INI, and
# fails on any difference in what they print or in their exit status.
set -euo pipefail
linux_tool=$(realpath "${1:?usage: compare.sh LINUX_TOOL SOURCE_DIR [EMULATOR...]}")
source_dir=$(realpath "${2:?usage: compare.sh LINUX_TOOL SOURCE_DIR [EMULATOR...]}")
shift 2
here=$(cd "$(dirname "$0")" && pwd)
windows_tool=${RA_MINGW_BUILD:?}/src/replay-autosave.exe
work=${RA_TEST_TMP:?}/check_report
for need in "$windows_tool" "$linux_tool"; do
  [[ -f $need ]] || { echo "compare.sh: $need is missing (build it first)" >&2; exit 1; }
done
command -v wine >/dev/null || { echo "compare.sh: Wine is missing" >&2; exit 1; }

rm -rf "$work"
failed=0 count=0
for ini in "$source_dir/examples/replay_autosave.ini" "$here"/*.ini; do
  name=$(basename "$ini")
  count=$((count + 1))
  for side in windows linux; do
    mkdir -p "$work/$side/${name%.ini}"
    cp "$ini" "$work/$side/${name%.ini}/"
  done
  # Wine's console output ends lines in CR LF.
  status_windows=0 status_linux=0
  (cd "$work/windows/${name%.ini}" && wine "$windows_tool" check "$name") \
    2>&1 | tr -d '\r' >"$work/$name.windows" || status_windows=$?
  (cd "$work/linux/${name%.ini}" && "$@" "$linux_tool" check "$name") \
    >"$work/$name.linux" 2>&1 || status_linux=$?
  if ! grep -q "Settings the plug-in reads from $name:" "$work/$name.linux"; then
    echo "FAIL: $name: no report from the Linux program"; failed=$((failed + 1)); continue
  fi
  if ! diff -u --label "Linux: $name" --label "Wine: $name" \
       "$work/$name.linux" "$work/$name.windows"; then
    echo "FAIL: $name: the reports differ"; failed=$((failed + 1))
  fi
done
echo "check_report: $count INIs, $failed with reports that differ"
[[ $failed -eq 0 ]]
