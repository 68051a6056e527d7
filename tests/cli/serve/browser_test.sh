#!/usr/bin/env bash
# browser_test.sh EMULATOR SIM TOOL WORK ARTIFACTS [WINDOWS_TOOL [GAME]]
# The library app in a real browser (app_in_browser.py) on a season played
# by the simulator into GAME (default: a folder at a long path,
# long_names.sh): served by TOOL, or with WINDOWS_TOOL by the Windows
# program on Wine. Keeps the screenshot in
# ARTIFACTS (serve.png, serve-wine.png). Fails, never skips, without
# Chromium. EMULATOR runs the 32-bit programs, or is empty.
set -euo pipefail
emulator=$1 sim=$2 tool=$3 work=$4 artifacts=$5 windows_tool=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/long_names.sh"
if [[ -n ${7:-} ]]; then game=$7; else long_game_folder "$work"; fi
command -v chromium >/dev/null || { echo "browser_test.sh: chromium is missing; run bash scripts/deps.sh" >&2; exit 1; }

mkdir -p "$work"
bash "$here/../page/season.sh" "$emulator" "$sim" "$game" >/dev/null
mkdir -p "$artifacts"
source "$here/start_server.sh"
if [[ -n $windows_tool ]]; then
  start_server "$game" "$work/serve.out" "${RA_WINE:?}" "$windows_tool"
else
  start_server "$game" "$work/serve.out" ${emulator:+"$emulator"} "$tool"
fi

# The companion as the test runs it beside the page, in the game folder.
if [[ -n $windows_tool ]]; then
  companion="$(printf %q "${RA_WINE:?}") $(printf %q "$windows_tool")"
else
  companion="${emulator:+$(printf %q "$emulator") }$(printf %q "$tool")"
fi

# One more race, saved by the simulator while the page is open.
race=$work/new_race.ini
sed 's/^timer_now = .*/timer_now = 20500/' "$game/races/race11.ini" >"$race"
new_race="${emulator:+$emulator }$sim --game-dir $game --race $race --clock 2026-04-02T20:00:00"

# A friend's share for the Friends view.
source "$here/friend_share.sh"
if [[ -n $windows_tool ]]; then
  friend_share "$work/friend" "$game" "${RA_WINE:?}" "$windows_tool"
else
  friend_share "$work/friend" "$game" ${emulator:+"$emulator"} "$tool"
fi

shot=$artifacts/serve${windows_tool:+-wine}.png
removal="deleted for good"
[[ -n $windows_tool ]] && removal="They go to the Recycle Bin"
python3 -B "$here/app_in_browser.py" "$address" "$game/SaveData/Saves" "$game/Replays/replay.rp4" \
  "$new_race" "$shot" "$companion" "$work/friend/friend.rpshare" "$removal"
echo "the library app in the browser: all cases pass (screenshot $shot)"
