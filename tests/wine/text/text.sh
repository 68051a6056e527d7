#!/usr/bin/env bash
# text.sh EMULATOR SIM
# replay-autosave.exe on Wine with names its system's code page cannot
# spell, on a season played by the simulator SIM (run by EMULATOR, which may
# be empty): the game's folder, replays, a check INI, and a record a
# spreadsheet saved as UTF-8 with its mark. Each case is what a player meets:
#   - under 1250, "Gry Łukasza": the page names the folder in UTF-8;
#   - under 1252, "Gry Łukasza": list finds Dir in the game's folder;
#   - under 1252, "Łukasz ゲーム.rp4" is kept and watched by its own name;
#   - under 1250, "ゲーム.rp4" is shared;
#   - under 1252, a record in UTF-8 with its mark is listed in the console's
#     own letters, not as two letters each;
#   - under 1252, check of "ustawienia Łódź.ini" does not say it is missing.
# Needs the Wine tier's environment (WINEPREFIX, RA_WINE, RA_WINDOWS_BUILD,
# RA_TEST_TMP).
set -euo pipefail
emulator=$1 simulator=$2
here=$(cd "$(dirname "$0")" && pwd)
exe=$RA_WINDOWS_BUILD/src/replay-autosave.exe
[[ -f $exe ]] || { echo "text.sh: $exe is missing: build the mingw64 preset" >&2; exit 1; }

work=$RA_TEST_TMP/text
rm -rf "$work"
mkdir -p "$work/locale"
# Code page 1250 comes from a Polish locale, made here (friends.sh does the same).
localedef -i pl_PL -f UTF-8 "$work/locale/pl_PL.UTF-8" >/dev/null 2>&1 || true
[[ -f $work/locale/pl_PL.UTF-8/LC_CTYPE ]] ||
  { echo "text.sh: cannot make the pl_PL.UTF-8 locale (the locales package's data)" >&2; exit 1; }
failures=0
fail() {
  echo "FAIL [$case]: $*" >&2
  failures=$((failures + 1))
}
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# run CODE_PAGE GAME ARGS...: the program in the game folder GAME (beside
# its INI, as players put it) under Windows-1252 or -1250; sets rc, out and
# err (UTF-8, as the program writes to a pipe whatever the code page).
run() {
  local code_page=$1 game=$2
  shift 2
  [[ -f $game/replay-autosave.exe ]] || cp "$exe" "$game/"
  local locale=(LANG=C.UTF-8 LC_ALL=C.UTF-8)
  [[ $code_page == 1250 ]] && locale=(LOCPATH="$work/locale" LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8)
  rc=0
  (cd "$game" && env "${locale[@]}" "$RA_WINE" replay-autosave.exe "$@" </dev/null >"$work/out" 2>"$work/err") ||
    rc=$?
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}
expect_rc() { [[ $rc == "$1" ]] || fail "exit status $rc, want $1; out: $out; err: $err"; }
expect_in() { [[ $1 == *"$2"* ]] || fail "no '$2' in: $1"; }
expect_not_in() { [[ $1 != *"$2"* ]] || fail "unwanted '$2' in: $1"; }

season=$work/season
bash "$here/../../cli/page/season.sh" "$emulator" "$simulator" "$season" >/dev/null
saves=SaveData/Saves
first=$(cd "$season/$saves" && ls -1 2026-*.rp4 | head -1)

case="1250: the page names a game folder beyond 1252 in UTF-8"
polish="$work/Gry Łukasza"
cp -r "$season" "$polish"
run 1250 "$polish" page
expect_rc 0
grep -qF 'Gry Łukasza' "$polish/$saves/replays.html" ||
  fail "the page's data spells the folder $(grep -o '"dir":"[^"]*"' "$polish/$saves/replays.html")"

case="1252: a game folder beyond the code page is no fault of Dir"
run 1252 "$polish" list
expect_rc 0
expect_not_in "$err" "does not exist"

case="1252: a replay named beyond the code page is kept and watched"
plain=$work/plain
cp -r "$season" "$plain"
wide="Łukasz ゲーム.rp4"
cp "$plain/$saves/$first" "$plain/$saves/$wide"
printf ' and its own bytes' >>"$plain/$saves/$wide"
run 1252 "$plain" keep "$wide"
expect_rc 0
run 1252 "$plain" restore "$wide"
expect_rc 0
cmp -s "$plain/Replays/replay.rp4" "$plain/$saves/$wide" || fail "the game does not play $wide"

case="1250: a replay named beyond the code page is shared"
# A copy the player renamed has no record line (the plug-in never writes
# such a name): it goes with a race of the record, which names the sharer.
cp "$plain/$saves/$first" "$plain/$saves/ゲーム.rp4"
run 1250 "$plain" share "$first" "ゲーム.rp4" -o "$(winpath "$work/game.rpshare")"
expect_rc 0
expect_in "$out" "ゲーム.rp4: "
[[ -f $work/game.rpshare ]] || fail "no share was made"

case="1252: a record saved as UTF-8 with its mark is listed in the console's letters"
bom=$work/bom
cp -r "$season" "$bom"
{ printf '\xef\xbb\xbf'; sed 's/,COAST,/,CœUR FORêT,/' "$season/$saves/replays.csv"; } >"$bom/$saves/replays.csv"
run 1252 "$bom" list
expect_rc 0
expect_in "$out" "CœUR FORêT"
expect_not_in "$out" "CÅ“UR"

case="1252: check of an INI named beyond the code page"
cp "$season/replay_autosave.ini" "$plain/ustawienia Łódź.ini"
run 1252 "$plain" check "ustawienia Łódź.ini"
expect_not_in "$out$err" "does not exist"
expect_in "$out$err" "code page"

if ((failures)); then
  echo "text.sh: $failures check(s) failed" >&2
  exit 1
fi
echo "text.sh: all checks passed"
