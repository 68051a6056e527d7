#!/usr/bin/env bash
# companion.sh EMULATOR SIM
# replay-autosave.exe on Wine, on a season of races played by the simulator
# SIM (run by EMULATOR, which may be empty) at the dates the season needs,
# into a game folder whose name has a letter beyond ASCII and a space. Each
# stage is one group of what players do: list, restore, prune, page, the
# double click (and from it the library app, until Ctrl+C), and a replay
# dropped from a folder the code page cannot spell. Needs the Wine tier's
# environment (WINEPREFIX, HOME, RA_WINE, RA_WINDOWS_BUILD, RA_TEST_TMP).
set -euo pipefail
emulator=$1 simulator=$2
sim=(${emulator:+"$emulator"} "$simulator")
here=$(cd "$(dirname "$0")" && pwd)
exe=$RA_WINDOWS_BUILD/src/replay-autosave.exe
hold=$RA_WINDOWS_BUILD/tests/mingw/hold_file.exe
for f in "$exe" "$hold"; do
  [[ -f $f ]] || { echo "companion.sh: $f is missing: build the mingw preset" >&2; exit 1; }
done
command -v tmux >/dev/null || { echo "companion.sh: tmux is missing: bash scripts/deps.sh" >&2; exit 1; }
# Unix file names are UTF-8 to Wine; the programs' ANSI code page is Windows-1252.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

work=$RA_TEST_TMP/companion
rm -rf "$work"
mkdir -p "$work"
game="$work/Jeux vidéo"
saves=$game/SaveData/Saves
trash=$HOME/.local/share/Trash
rm -rf "$trash"
failures=0
# How long a wait for the screen or a file may take, in tenths of a second:
# on a busy machine Wine can take tens of seconds to start a program in a
# console of its own. Each wait ends as soon as what it waits for is there.
waits=600

fail() {
  echo "FAIL [$stage]: $*" >&2
  failures=$((failures + 1))
}

# The Windows spelling of a Unix path: Wine's drive Z: is the root.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# run INPUT ARGS...: the program in the game folder with INPUT as what the
# player types; sets rc, out, err (the bytes as written: UTF-8 on a pipe).
run() {
  local input=$1
  shift
  rc=0
  (cd "$game" && printf '%s' "$input" | "$RA_WINE" replay-autosave.exe "$@" >"$work/out" 2>"$work/err") ||
    rc=$?
  # Text mode: the C library ends lines with "\r\n".
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}

expect_rc() { [[ $rc == "$1" ]] || fail "exit status $rc, want $1; out: $out; err: $err"; }
expect_in() { [[ $1 == *"$2"* ]] || fail "no '$2' in: $1"; }
expect_not_in() { [[ $1 != *"$2"* ]] || fail "unwanted '$2' in: $1"; }
expect_same() { cmp -s "$1" "$2" || fail "$1 is not the same as $2"; }

# Every file of the game but the race files, with its bytes.
snapshot() { (cd "$game" && find . -path ./races -prune -o -type f -print0 | sort -z | xargs -0 md5sum); }

# hold PATH: another Wine program keeps PATH open without sharing until release.
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

stage=season
bash "$here/../../cli/page/season.sh" "$emulator" "$simulator" "$game"
# One race more on a track and with a racer whose names are beyond ASCII, in
# Windows-1252; its file name keeps to ASCII, as Linux files are named in UTF-8.
printf '[ReplayAutosave]\r\nRecord = 1\r\nName = %%date%%_%%time%%_%%type%%_extra\r\n' \
  >"$game/replay_autosave.ini"
sed -e 's/^0 = Coast/0 = C\x9cur For\xeat/' -e 's/^2 = <script>/2 = Zo\xeb \x8cuvre/' \
  "$game/races/race0.ini" >"$game/races/extra.ini"
"${sim[@]}" --game-dir "$game" --race "$game/races/extra.ini" --clock 2026-03-28T20:30:00 >/dev/null
extra_when=$(tail -n 1 "$saves/replays.csv" | cut -d, -f2)
[[ $extra_when == "2026-03-28 20:30:00" ]] ||
  { echo "companion.sh: the extra race was recorded at '$extra_when', not 2026-03-28 20:30:00" >&2; exit 1; }
cp "$exe" "$game/"
# The simulated game writes the same bytes each race; tell the replays apart.
for f in "$saves"/*.rp4; do printf '%s' "${f##*/}" >>"$f"; done

stage=list
run "" list
expect_rc 0
expect_in "$out" "Replays in $(winpath "$saves"), newest first:"
expect_in "$out" "$extra_when  SR    CœUR FORêT"
expect_in "$out" "2026-03-10_19-28-00_SR_CITY_3L.rp4  (missing)"
[[ $(grep -c '[.]rp4' "$work/out") == 13 ]] || fail "want 13 replays listed: $out"
grep -q 'CœUR FORêT' "$work/out" || fail "the track is not in UTF-8 on a pipe"
run "" list --track "cœur forêt" --csv
expect_rc 0
expect_in "$out" $'when,type,track,laps,fastest_lap,file,state\n'"$extra_when,SR,CœUR FORêT,3,"
[[ $(wc -l <"$work/out") == 2 ]] || fail "--track: want one line: $out"
run "" list --type st --since 2026-03-16
expect_rc 0
expect_in "$out" "2026-03-16_22-49-00_ST_CITY_3L.rp4"
[[ $(grep -c '[.]rp4' "$work/out") == 1 ]] || fail "--type --since: want one replay: $out"
run "" list --since 2026-02-30
expect_rc 2
expect_in "$err" "--since wants a day as YYYY-MM-DD"

stage="restore, a game that saves and a link"
replay=$game/Replays/replay.rp4
cp -p "$replay" "$work/last_race.rp4"
# The game has just written a race the plug-in may still be copying: it stays.
printf 'a race the plug-in has not copied yet' >"$replay"
before=$(snapshot)
run "" restore 2026-03-01_19-00-00_SR_COAST_3L.rp4
expect_rc 1
expect_in "$err" "the game has just saved a race; try again in a moment. Nothing changed"
[[ $(snapshot) == "$before" ]] || fail "a refused restore changed files"
# Wine shows a Unix link to a folder as a reparse point (one to a file as a
# plain file): as the game's replay it is refused, nothing written through it.
rm "$replay"
mkdir "$work/elsewhere"
ln -s "$work/elsewhere" "$replay"
before=$(snapshot)
run "" restore 2026-03-01_19-00-00_SR_COAST_3L.rp4
expect_rc 1
expect_in "$err" "the game's replay $(winpath "$replay") is a link to another place, and restore never writes through a link"
[[ -z $(ls -A "$work/elsewhere") ]] || fail "restore wrote through the link: $(ls -A "$work/elsewhere")"
[[ $(snapshot) == "$before" ]] || fail "a refused restore changed files"
rm "$replay"
# Back to the last race, driven a while ago.
cp -p "$work/last_race.rp4" "$replay"
touch -d '-2 minutes' "$replay"

stage=restore
run "" restore 2026-03-01_19-00-00_SR_COAST_3L.rp4
expect_rc 0
expect_in "$out" "The game will play 2026-03-01_19-00-00_SR_COAST_3L.rp4"
expect_same "$replay" "$saves/2026-03-01_19-00-00_SR_COAST_3L.rp4"
# The game's last replay is not in Dir as it is (the saved copy was told apart).
expect_in "$out" "The replay it had is kept as $(winpath "$saves")\\kept_"
# Twice in a row: the same one changes nothing, another one needs no copy.
run "" restore 2026-03-01_19-00-00_SR_COAST_3L.rp4
expect_rc 0
expect_in "$out" "The game already plays 2026-03-01_19-00-00_SR_COAST_3L.rp4"
run "" restore "$(winpath "$saves/2026-03-05_21-14-00_SR_ALPINE_3L.rp4")"
expect_rc 0
expect_same "$replay" "$saves/2026-03-05_21-14-00_SR_ALPINE_3L.rp4"
expect_in "$out" "saved already as $(winpath "$saves")\\2026-03-01_19-00-00_SR_COAST_3L.rp4"
# Dropped, and W (watch) chosen.
run $'W\r\n' "$(winpath "$saves/2026-03-07_22-21-00_SR_COAST_3L.rp4")"
expect_rc 0
expect_in "$out" "W and Enter: the game plays this replay next time."
expect_same "$replay" "$saves/2026-03-07_22-21-00_SR_COAST_3L.rp4"
kept=$(ls "$saves"/kept_*.rp4)
# Kept as the plug-in saved that race (scrubbed, ClearIp being on), which is
# its copy in Dir without the name added above.
head -c "$(stat -c %s "$work/last_race.rp4")" "$saves"/*_extra.rp4 >"$work/last_race_saved.rp4"
expect_same "$kept" "$work/last_race_saved.rp4"
cmp -s "$kept" "$work/last_race.rp4" && fail "the kept replay was not scrubbed"
# Dropped, and the window closed instead of a choice.
before=$(snapshot)
run "" "$(winpath "$saves/2026-03-12_20-35-00_SR_ALPINE_3L.rp4")"
expect_rc 1
expect_in "$out" "Nothing changed."
[[ $(snapshot) == "$before" ]] || fail "a closed window changed files"
# The game's replay held by another program: refused with the reason.
printf 'another race never saved' >"$replay"
touch -d '-2 minutes' "$replay"
before=$(snapshot)
hold "$replay"
run "" restore 2026-03-12_20-35-00_SR_ALPINE_3L.rp4
release
expect_rc 1
expect_in "$err" "cannot keep the game's replay $(winpath "$replay") in $(winpath "$saves"): it is in use by another program. Nothing changed"
expect_not_in "$err" "Success"
[[ $(snapshot) == "$before" ]] || fail "a refused restore changed files"
# The saved replay held: it cannot be read, and nothing changes.
hold "$saves/2026-03-12_20-35-00_SR_ALPINE_3L.rp4"
run "" restore 2026-03-12_20-35-00_SR_ALPINE_3L.rp4
release
expect_rc 1
expect_in "$err" "2026-03-12_20-35-00_SR_ALPINE_3L.rp4: it is in use by another program. Nothing changed"
[[ $(snapshot) == "$before" ]] || fail "a refused restore changed files"
# A file where the save folder should be.
: >"$game/SaveData/Blocked"
printf '[ReplayAutosave]\r\nDir = SaveData\\Blocked\r\n' >"$game/blocked.ini"
before=$(snapshot)
run "" restore "$(winpath "$saves/2026-03-12_20-35-00_SR_ALPINE_3L.rp4")" --ini blocked.ini
expect_rc 1
expect_in "$err" "in $(winpath "$game/SaveData/Blocked"): that is a file, not a folder. Nothing changed"
[[ $(snapshot) == "$before" ]] || fail "a refused restore changed files"
rm "$game/SaveData/Blocked" "$game/blocked.ini"
# The record held: the list says why it shows less.
hold "$saves/replays.csv"
run "" list
release
expect_rc 0
expect_in "$err" "warning: cannot read $(winpath "$saves")\\replays.csv: it is in use by another program; what it records is not shown"

stage=prune
cp "$saves/2026-03-01_19-00-00_SR_COAST_3L.rp4" "$saves/Best lap.rp4"
oldest=(2026-03-01_19-00-00_SR_COAST_3L.rp4 2026-03-03_20-07-00_SR_CITY_3L.rp4
        2026-03-05_21-14-00_SR_ALPINE_3L.rp4)
hold "$saves/${oldest[2]}"
run "" prune --keep 9 --apply
release
expect_rc 1
expect_in "$out" "Removing 3 replays"
# The failure under its summary.
expect_in "$out" "KB) moved to the Recycle Bin; the plug-in's replays left: 10.
1 replay could not be removed:
  cannot remove ${oldest[2]}: it is in use by another program
Close any program that has it open"
for f in "${oldest[@]:0:2}"; do
  [[ -f $trash/files/$f && ! -e $saves/$f ]] || fail "$f is not in the Recycle Bin"
  # The trash writes the path URL-encoded ("%20" for a blank).
  grep -q "^Path=.*/SaveData/Saves/$f\$" "$trash/info/$f.trashinfo" ||
    fail "$f: the Recycle Bin lost its place"
done
for f in "Best lap.rp4" "$(basename "$kept")" "${oldest[2]}"; do
  [[ -f $saves/$f ]] || fail "prune took $f"
done
# Put back, the replays are listed as saved again.
mv "$trash/files/${oldest[0]}" "$saves/"
run "" list --csv
expect_in "$out" "${oldest[0]},saved"
expect_in "$out" "${oldest[1]},missing"

stage=page
run "" page
expect_rc 0
[[ $out == "$(winpath "$saves")\\replays.html" ]] || fail "page printed: $out"
# The page draws its rows from the JSON it carries: the names are there in
# UTF-8, whatever the console's code page.
grep -qF '"CœUR FORêT"' "$saves/replays.html" || fail "the page's data lacks the track CœUR FORêT"
grep -qF '"Zoë Œuvre"' "$saves/replays.html" || fail "the page's data lacks the racer Zoë Œuvre"
hold "$saves/replays.html"
run "" page
release
expect_rc 1
expect_in "$err" "cannot write $(winpath "$saves")\\replays.html: it is in use by another program"
# The tier's prefix has no program for web pages (Gecko is not installed):
# the player is told, with the page to open.
run "" page --open
expect_rc 1
expect_in "$err" "Windows could not open the page in a browser: no program is set to open web pages"
expect_in "$err" "open it yourself ($(winpath "$saves")\\replays.html)"
# With one set, the page is handed to it, as Windows hands it to the
# default browser: here a command that writes down what it was given.
opened=$work/opened.txt
"$RA_WINE" reg add 'HKCR\.html' /ve /d ra.testpage /f >/dev/null 2>&1
"$RA_WINE" reg add 'HKCR\ra.testpage\shell\open\command' /ve /f \
  /d "C:\\windows\\system32\\cmd.exe /c echo %1> $(winpath "$opened")" >/dev/null 2>&1
run "" page --open
expect_rc 0
[[ $out == "$(winpath "$saves")\\replays.html" ]] || fail "page --open printed: $out"
for _ in $(seq $waits); do [[ -s $opened ]] && break; sleep 0.1; done
# cmd writes in the console's code page: the path's ASCII end tells.
LC_ALL=C grep -qF 'SaveData\Saves\replays.html' "$opened" 2>/dev/null ||
  fail "the program for web pages was given: $(cat "$opened" 2>/dev/null)"
"$RA_WINE" reg delete 'HKCR\.html' /f >/dev/null 2>&1
"$RA_WINE" reg delete 'HKCR\ra.testpage' /f >/dev/null 2>&1

stage="dropped from a folder the code page cannot spell"
mkdir -p "$work/Łukasz"
cp "$saves/2026-03-14_21-42-00_SR_COAST_3L.rp4" "$work/Łukasz/"
run $'w\n' "$(winpath "$work/Łukasz/2026-03-14_21-42-00_SR_COAST_3L.rp4")"
expect_rc 0
expect_in "$out" "The game will play 2026-03-14_21-42-00_SR_COAST_3L.rp4"
expect_same "$replay" "$work/Łukasz/2026-03-14_21-42-00_SR_COAST_3L.rp4"

stage="double click, in a console"
# A terminal of its own: Wine gives the program a console that is its alone,
# as a double click does, and tmux shows what that console shows.
sock=$work/tmux.sock
screen() { tmux -S "$sock" capture-pane -p -J -S - -t companion; }
tmux -S "$sock" new-session -d -s companion -x 200 -y 60 \
  "cd '$game' && '$RA_WINE' replay-autosave.exe; echo \"exit \$?\" >'$work/double_click.rc'; sleep 60"
for _ in $(seq $waits); do
  [[ $(screen) == *"Press Enter to close this window."* ]] && break
  sleep 0.1
done
shown=$(screen)
tmux -S "$sock" send-keys -t companion Enter
for _ in $(seq $waits); do
  [[ -f $work/double_click.rc ]] && break
  sleep 0.1
done
tmux -S "$sock" kill-server 2>/dev/null || true
expect_in "$shown" "Settings the plug-in reads from $(winpath "$game")\\replay_autosave.ini:"
expect_in "$shown" "Replays in $(winpath "$saves"), newest first:"
expect_in "$shown" "$extra_when  SR    CœUR FORêT"
expect_in "$shown" "(the 10 newest of"
expect_in "$shown" "Press Enter to close this window."
[[ $(cat "$work/double_click.rc" 2>/dev/null) == "exit 0" ]] || fail "the window did not close on Enter"

stage="double click, then the library app, stopped by Ctrl+C"
# The browser Wine hands the address to (xdg-open) is a no-op here.
rm -f "$work/double_click.rc"
tmux -S "$sock" new-session -d -s companion -x 200 -y 60 \
  "cd '$game' && BROWSER=true '$RA_WINE' replay-autosave.exe; echo \"exit \$?\" >'$work/double_click.rc'; sleep 60"
for _ in $(seq $waits); do
  [[ $(screen) == *"Press Enter to close this window."* ]] && break
  sleep 0.1
done
tmux -S "$sock" send-keys -t companion A Enter
for _ in $(seq $waits); do
  [[ $(screen) == *"Press Ctrl+C to stop it."* ]] && break
  sleep 0.1
done
shown=$(screen)
# A player whose first Ctrl+C is not seen (Wine, on a busy machine, can let
# the first one pass before the console hands it on) presses it again.
for _press in 1 2; do
  tmux -S "$sock" send-keys -t companion C-c
  for _ in $(seq 150); do
    [[ -f $work/double_click.rc || $(screen) == *"The library app stopped."* ]] && break
    sleep 0.1
  done
  [[ $(screen) == *"The library app stopped."* ]] && break
done
for _ in $(seq $waits); do
  [[ -f $work/double_click.rc ]] && break
  sleep 0.1
done
stopped=$(screen)
tmux -S "$sock" kill-server 2>/dev/null || true
expect_in "$shown" "Type A and press Enter to open your library app in the browser."
expect_in "$shown" "The library app is at http://127.0.0.1:"
expect_in "$stopped" "The library app stopped."
[[ $(cat "$work/double_click.rc" 2>/dev/null) == "exit 0" ]] || fail "the app did not end on Ctrl+C"

stage="keep from two consoles at once, and a lock another program holds"
# Two consoles mark five replays each at the same time: every mark stays.
mapfile -t marked < <(cd "$saves" && ls -1 2026-*.rp4 | head -10)
keep_each() {
  local f
  for f in "$@"; do
    (cd "$game" && "$RA_WINE" replay-autosave.exe keep "$f" >/dev/null 2>>"$work/keep_err") ||
      echo "$f" >>"$work/keep_failed"
  done
}
rm -f "$work/keep_failed" "$work/keep_err"
keep_each "${marked[@]:0:5}" &
first=$!
keep_each "${marked[@]:5:5}" &
second=$!
wait "$first" "$second"
[[ ! -s $work/keep_failed ]] || fail "keep failed for $(cat "$work/keep_failed"): $(cat "$work/keep_err")"
run "" list
for f in "${marked[@]}"; do expect_in "$out" "$f  (kept by you)"; done
# Another program holds the lock: a clear refusal after a few seconds.
hold "$saves/replays.keep.lock"
run "" unkeep "${marked[0]}"
release
expect_rc 1
expect_in "$err" "cannot lock $(winpath "$saves")\\replays.keep.lock, which guards the replays you keep: another program held it for 5 seconds"
run "" list
expect_in "$out" "${marked[0]}  (kept by you)"
expect_not_in "$out" "replays.keep."

if ((failures)); then
  echo "companion.sh: $failures check(s) failed" >&2
  exit 1
fi
echo "companion.sh: all checks passed"
