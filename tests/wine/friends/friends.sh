#!/usr/bin/env bash
# friends.sh EMULATOR SIM
# share, card, import, leaderboard and restore of a friend's replay with
# replay-autosave.exe on Wine. The first player is Łukasz, spelled in the
# Central European code page (1250) that Wine takes from a Polish locale,
# so that his folder is Friends\Łukasz; the locale is made here with
# localedef (LOCPATH), as a machine need not have it. Needs the Wine tier's
# environment (WINEPREFIX, HOME, RA_WINDOWS_BUILD, RA_TEST_TMP).
set -euo pipefail
emulator=$1 simulator=$2
here=$(cd "$(dirname "$0")" && pwd)
exe=$RA_WINDOWS_BUILD/src/replay-autosave.exe
hold=$RA_WINDOWS_BUILD/tests/mingw/hold_file.exe
for f in "$exe" "$hold"; do
  [[ -f $f ]] || { echo "friends.sh: $f is missing: build the mingw64 preset" >&2; exit 1; }
done

work=$RA_TEST_TMP/friends
rm -rf "$work"
mkdir -p "$work/locale"
# localedef's status is 1 for mere warnings: the locale made is what counts.
localedef -i pl_PL -f UTF-8 "$work/locale/pl_PL.UTF-8" >/dev/null 2>&1 || true
[[ -f $work/locale/pl_PL.UTF-8/LC_CTYPE ]] ||
  { echo "friends.sh: cannot make the pl_PL.UTF-8 locale (the locales package's data)" >&2; exit 1; }
export LOCPATH=$work/locale LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# "Łukasz" in code page 1250, as the game writes his name.
bash "$here/../../cli/friends/two_seasons.sh" "$emulator" "$simulator" "$work" $'\xa3ukasz' Bob
ann=$work/ann bob=$work/bob
ann_dir=$ann/SaveData/Saves bob_dir=$bob/SaveData/Saves
friend=$bob_dir/Friends/Łukasz

winpath() { local p=${1//\//\\}; echo "Z:$p"; }
# run ARGS...: the program; sets rc, out, err (UTF-8, as it writes to a pipe).
run() {
  rc=0
  (cd "$work" && "$RA_WINE" "$exe" "$@" </dev/null >"$work/out" 2>"$work/err") || rc=$?
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}
expect_rc() { [[ $rc == "$1" ]] || fail "exit status $rc, want $1; out: $out; err: $err"; }
expect_in() { [[ $1 == *"$2"* ]] || fail "no '$2' in: $1"; }
# hold PATH: another Windows program keeps PATH open without sharing until release.
hold() {
  coproc holder { "$RA_WINE" "$hold" "$(winpath "$1")"; }
  local said=""
  read -r said <&"${holder[0]}" || true
  [[ ${said%$'\r'} == held ]] || fail "hold_file could not hold $1"
}
release() {
  exec {holder[1]}>&-
  wait "$holder_PID" || true
}

mapfile -t replays < <(cd "$ann_dir" && ls ./*.rp4 | sed 's|^\./||' | sort)
ann_ini=$(winpath "$ann/replay_autosave.ini") bob_ini=$(winpath "$bob/replay_autosave.ini")
run share --ini "$ann_ini" "${replays[@]:1:3}" -o "$(winpath "$work/lukasz.rpshare")"
expect_rc 0
expect_in "$out" "as Łukasz:"
run card --ini "$ann_ini" -o "$(winpath "$work/lukasz.rpcard")"
expect_rc 0

# A share another program holds open is not called a stranger's file.
hold "$work/lukasz.rpshare"
run import --ini "$bob_ini" "$(winpath "$work/lukasz.rpshare")"
release
expect_rc 1
expect_in "$err" "cannot open $(winpath "$work/lukasz.rpshare"): it is in use by another program"
[[ ! -e $bob_dir/Friends/Łukasz ]] || fail "a refused import made Friends\Łukasz"

run import --ini "$bob_ini" "$(winpath "$work/lukasz.rpshare")"
expect_rc 0
run import --ini "$bob_ini" "$(winpath "$work/lukasz.rpcard")"
expect_rc 0
for name in "${replays[@]:1:3}"; do
  [[ -f $friend/$name ]] || fail "$name is not in Friends/Łukasz"
done
[[ $(grep -c '^' "$friend/replays.csv" 2>/dev/null) == 5 ]] || fail "want the header and 4 lines in Łukasz's record"
run import --ini "$bob_ini" "$(winpath "$work/lukasz.rpshare")"
expect_in "$out" "Nothing new"

run leaderboard --ini "$bob_ini"
expect_rc 0
expect_in "$out" "Łukasz"
expect_in "$out" "with its replay (watch to check), can be watched"
expect_in "$out" "Head to head, Bob against Łukasz: 2 races together, 1 won, 1 lost"

# Łukasz's replay played by Bob's game.
run restore --ini "$bob_ini" "Friends\\Łukasz\\${replays[2]}"
expect_rc 0
cmp -s "$bob/Replays/replay.rp4" "$friend/${replays[2]}" || fail "the game does not play Łukasz's replay"

if ((failures)); then
  echo "friends.sh: $failures check(s) failed" >&2
  exit 1
fi
echo "friends.sh: all checks passed"
