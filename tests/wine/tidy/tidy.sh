#!/usr/bin/env bash
# tidy.sh: replay-autosave.exe on Wine, one run per case, in a game folder of
# its own: check's warnings about Dir (a drive that does not exist, a file
# in the way, and nothing left behind where Dir is fine), restore's refusals
# (no name, an empty file, a replay prune moved to the Recycle Bin), a
# dropped folder or two files, and --version. Needs the Wine tier's
# environment (WINEPREFIX, RA_WINDOWS_BUILD, RA_TEST_TMP).
set -euo pipefail
exe=$RA_WINDOWS_BUILD/src/replay-autosave.exe
[[ -f $exe ]] || { echo "tidy.sh: $exe is missing: build the mingw preset" >&2; exit 1; }
export LANG=C.UTF-8 LC_ALL=C.UTF-8

work=$RA_TEST_TMP/tidy
rm -rf "$work"
game=$work/game
saves=$game/SaveData/Saves
mkdir -p "$saves" "$game/Replays"
cp "$exe" "$game/"
failures=0
fail() {
  echo "FAIL [$case]: $*" >&2
  failures=$((failures + 1))
}
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
run() {
  rc=0
  (cd "$game" && "$RA_WINE" replay-autosave.exe "$@" </dev/null >"$work/out" 2>"$work/err") || rc=$?
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}
expect_rc() { [[ $rc == "$1" ]] || fail "exit status $rc, want $1; out: $out; err: $err"; }
expect_in() { [[ $1 == *"$2"* ]] || fail "no '$2' in: $1"; }
ini() { printf '[ReplayAutosave]\r\n%s\r\n' "$1" >"$game/replay_autosave.ini"; }
# Wine has C: and Z:; Q: is no drive of this system.
case="check, a drive that does not exist"
ini 'Dir = Q:\Replays'
run check --quiet
expect_rc 1
expect_in "$out" "warning: Dir: the drive Q: of Q:\\Replays does not exist or has no disk in it"

case="check, a file in the way"
: >"$game/SaveData/Blocked"
ini 'Dir = SaveData\Blocked\Saves'
run check --quiet
expect_rc 1
expect_in "$out" "warning: Dir: $(winpath "$game")\\SaveData\\Blocked is a file, not a folder"
rm "$game/SaveData/Blocked"

case="check, a Dir it can make, and nothing left behind"
ini 'Dir = SaveData\Saves\Later'
before=$(cd "$game" && find . | sort)
run check --quiet
[[ $out != *"Dir:"* ]] || fail "a warning about a good Dir: $out"
[[ $(cd "$game" && find . | sort) == "$before" ]] || fail "check left files behind"

case="restore, what is no replay"
ini 'Record = 1'
printf 'file,saved,type,track,laps,source\r\npruned.rp4,2026-03-07 21:05:09,SR,ALPINE,3,Replays\\replay.rp4\r\n' \
  >"$saves/replays.csv"
printf 'the race just driven' >"$game/Replays/replay.rp4"
: >"$saves/notes.rp4"
run restore ""
expect_rc 2
expect_in "$err" "restore needs a replay"
run restore notes.rp4
expect_rc 2
expect_in "$err" "notes.rp4 is empty (0 bytes), so it holds no replay"
run restore pruned
expect_rc 1
expect_in "$err" "the replay pruned.rp4 was removed or moved: replays.csv records it, but it is no longer in $(winpath "$saves"); prune moves the replays it removes to the Recycle Bin"

case="a dropped folder, two dropped replays"
run "$(winpath "$saves")"
expect_rc 2
expect_in "$err" "replay-autosave takes dropped replays (.rp4), to watch one in the game or share them, or one dropped file"
# Two replays: watch is not offered, and the window closed does nothing.
run "$(winpath "$saves/a.rp4")" "$(winpath "$saves/b.rp4")"
expect_rc 1
expect_in "$out" "W: the game plays one replay at a time; drop one to watch it."
expect_in "$out" "S and Enter: share them with a friend"
expect_in "$out" "Nothing changed."

case="--version"
run --version
expect_rc 0
version=$(sed -n 's/^project(replay_autosave VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../../CMakeLists.txt")
[[ $out == "replay-autosave $version" ]] || fail "--version printed: $out"

if ((failures)); then
  echo "tidy.sh: $failures check(s) failed" >&2
  exit 1
fi
echo "tidy.sh: all checks passed"
