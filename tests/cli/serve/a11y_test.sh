#!/usr/bin/env bash
# a11y_test.sh EMULATOR SIM TOOL WORK ARTIFACTS
# The library app and the static page for a player who goes by keyboard,
# in the dark or on a phone (a11y_in_browser.py), checked by axe-core
# (scripts/axe.sh installs the pinned version) on a season played by the
# simulator into a game folder at a long path (long_names.sh). Keeps
# screenshots in ARTIFACTS. Fails, never skips, without Chromium or
# axe-core. EMULATOR runs the 32-bit programs, or is empty.
set -euo pipefail
emulator=$1 sim=$2 tool=$3 work=$4 artifacts=$5
here=$(cd "$(dirname "$0")" && pwd)
command -v chromium >/dev/null || { echo "a11y_test.sh: chromium is missing; run bash scripts/deps.sh" >&2; exit 1; }
axe=$(bash "$here/../../../scripts/axe.sh" --where)/axe.min.js
[[ -f $axe ]] || { echo "a11y_test.sh: $axe is missing; run bash scripts/deps.sh" >&2; exit 1; }

# The game at a long path, with a rival and a file named at length.
source "$here/long_names.sh"
long_game_folder "$work"
mkdir -p "$work" "$artifacts"
bash "$here/../page/season.sh" "$emulator" "$sim" "$game" >/dev/null
give_long_names "$game"
# A copy under a name of the player's, so that the pages show their table of
# other files too.
cp "$game/SaveData/Saves/2026-03-21_20-03-00_SR_COAST_3L.rp4" "$game/SaveData/Saves/best coast.rp4"
page=$(cd "$game" && ${emulator:+"$emulator"} "$tool" page --ini replay_autosave.ini)
# A friend imported, so that the Friends view shows a friend and a
# leaderboard, shown by a long alias.
source "$here/friend_share.sh"
friend_share "$work/friend" "$game" ${emulator:+"$emulator"} "$tool"
(cd "$game" && ${emulator:+"$emulator"} "$tool" import --ini replay_autosave.ini "$work/friend/friend.rpshare") >/dev/null
(cd "$game" && ${emulator:+"$emulator"} "$tool" alias --ini replay_autosave.ini Renée "$long_alias") >/dev/null
source "$here/start_server.sh"
start_server "$game" "$work/serve.out" ${emulator:+"$emulator"} "$tool"

python3 -B "$here/a11y_in_browser.py" "$address" "$page" "$axe" "$artifacts" "$long_alias"
echo "the library app by keyboard, in the dark and on a phone: all cases pass"
