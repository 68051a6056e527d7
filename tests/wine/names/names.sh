#!/usr/bin/env bash
# names.sh
# replay-autosave.exe on Wine, where names go to the system and come from
# it in their wide form and the game's bytes are read in the ANSI code page
# (Windows-1252 in C.UTF-8): a game folder "Gry Łukasza" and a replay
# "Łukasz ゲーム.rp4" that code page cannot spell are listed, kept, unkept
# and watched by their names; a record a spreadsheet saved as UTF-8, after
# its mark, with a line the plug-in appended since in Windows-1252, lists
# its track as the page shows it; check says that an INI named in Polish
# cannot be read by the plug-in; the page names the folder as it is; and
# under code page 1250 (a Polish locale, made with localedef) a share holds
# a replay named in Japanese. Needs the Wine tier's environment
# (WINEPREFIX, HOME, RA_WINE, RA_WINDOWS_BUILD, RA_TEST_TMP).
set -euo pipefail
exe=$RA_WINDOWS_BUILD/src/replay-autosave.exe
[[ -f $exe ]] || { echo "names.sh: $exe is missing: build the mingw64 preset" >&2; exit 1; }
export LANG=C.UTF-8 LC_ALL=C.UTF-8

work=$RA_TEST_TMP/names
rm -rf "$work"
game="$work/Gry Łukasza"
saves=$game/SaveData/Saves
mkdir -p "$saves" "$game/Replays" "$work/locale"
cp "$exe" "$game/"
printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$game/replay_autosave.ini"
printf 'the race just driven' >"$game/Replays/replay.rp4"
touch -d '-1 hour' "$game/Replays/replay.rp4"
{
  printf '\xef\xbb\xbffile,saved,type,track,laps,source,player,name1,best_lap_car1\r\n'
  printf 'a.rp4,2026-03-07 21:05:09,SR,CœUR FORêT,3,Replays\\replay.rp4,1,Zoë,81.44\r\n'
  printf 'b.rp4,2026-03-08 21:05:09,SR,COAST,3,Replays\\replay.rp4,1,Zo\xeb,80.01\r\n'
} >"$saves/replays.csv"
for f in a b; do printf '%s' "$f" >"$saves/$f.rp4"; done
touch -d '2026-03-07 21:05:09' "$saves/a.rp4"
touch -d '2026-03-08 21:05:09' "$saves/b.rp4"
foreign="Łukasz ゲーム.rp4"
printf 'his' >"$saves/$foreign"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run ARGS...: the program in the game folder; sets rc, out, err (UTF-8 on a pipe).
run() {
  rc=0
  (cd "$game" && "$RA_WINE" replay-autosave.exe "$@" </dev/null >"$work/out" 2>"$work/err") || rc=$?
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}
expect_rc() { [[ $rc == "$1" ]] || fail "exit status $rc, want $1; out: $out; err: $err"; }
expect_in() { [[ $1 == *"$2"* ]] || fail "no '$2' in: $1"; }

# The game's folder from the program's wide name, not Dir's fault.
run list
expect_rc 0
expect_in "$out" 'Replays in Z:'"${work//\//\\}"'\Gry Łukasza\SaveData\Saves, newest first:'
expect_in "$out" "2026-03-07 21:05:09  SR    CœUR FORêT  3     1:21.44      a.rp4"
expect_in "$out" "$foreign"

# Keep, Unkeep and Watch of the replay by its own name.
run keep "$foreign"
expect_rc 0
grep -qF "$foreign" "$saves/replays.keep" || fail "replays.keep does not name $foreign in UTF-8"
run unkeep "$foreign"
expect_rc 0
grep -qF "$foreign" "$saves/replays.keep" && fail "unkeep left $foreign in replays.keep"
run restore "$foreign"
expect_rc 0
cmp -s "$saves/$foreign" "$game/Replays/replay.rp4" || fail "the game does not play $foreign: $out $err"

# An INI whose name the code page cannot spell.
cp "$game/replay_autosave.ini" "$game/ustawienia Łódź.ini"
run check "ustawienia Łódź.ini"
expect_rc 2
expect_in "$err" "cannot check ustawienia Łódź.ini: its path cannot be spelled in this system's code page"

run page
expect_rc 0
grep -qF '"dir":"Z:'"${work//\//\\\\}"'\\Gry Łukasza\\SaveData\\Saves"' "$saves/replays.html" ||
  fail "the page does not name the folder as it is"

# Under code page 1250: a share of a replay named in Japanese.
localedef -i pl_PL -f UTF-8 "$work/locale/pl_PL.UTF-8" >/dev/null 2>&1 || true
[[ -f $work/locale/pl_PL.UTF-8/LC_CTYPE ]] ||
  { echo "names.sh: cannot make the pl_PL.UTF-8 locale (the locales package's data)" >&2; exit 1; }
printf 'theirs' >"$saves/ゲーム.rp4"
share=$(echo "Z:${work//\//\\}\\names.rpshare")
LOCPATH=$work/locale LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8 run share a.rp4 "ゲーム.rp4" -o "$share"
expect_rc 0
expect_in "$out" "ゲーム.rp4: 6 bytes"

if ((failures)); then
  echo "names.sh: $failures check(s) failed" >&2
  exit 1
fi
echo "names.sh: all checks passed"
