#!/usr/bin/env bash
# differential.sh EMULATOR LINUX_SIM EXAMPLES
# Plays every case of cases.sh twice with the shipped replay_autosave.vqp:
# through the Linux simulator (our PE loader and the Windows stand-ins of
# sim/win32, under EMULATOR) and through the Windows simulator on Wine
# (Wine's loader and kernel32). The log lines, the exit status, every file's
# name and bytes and replays.csv must be the same on both, but for the clock
# fields: the Linux run's clock is fixed, the Windows run's is the system's,
# so each date and time the Windows run left must lie between the times read
# before and after it; then both sides' clock fields are blanked alike. Also
# on both sides, nothing a game folder held is lost: every earlier file
# keeps its bytes and replays.csv keeps every earlier byte.
# RA_WINDOWS_BUILD names the mingw build, RA_TEST_TMP a scratch folder.
set -uo pipefail
emulator=$1 linux_sim=$2 examples=$3
here=$(cd "$(dirname "$0")" && pwd)
vqp=${RA_WINDOWS_BUILD:?}/src/replay_autosave.vqp
win_sim=$RA_WINDOWS_BUILD/sim/replay-autosave-sim.exe
work=${RA_TEST_TMP:?}/plugin_differential
linux_clock=2001-02-03T04:05:06
source "$here/cases.sh"

for f in "$vqp" "$win_sim" "$linux_sim"; do
  [[ -f $f ]] || { echo "differential.sh: $f does not exist; build the mingw and i386 presets" >&2; exit 1; }
done
[[ -x ${RA_WINE:-} ]] || { echo "differential.sh: Wine is missing (RA_WINE='${RA_WINE:-}'; bash scripts/deps.sh)" >&2; exit 1; }

# Z: is the host's root in every Wine prefix.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$work"
mkdir -p "$work/races"

# Game folders, race files and the earlier files' checksums of every case.
for row in "${case_table[@]}"; do
  IFS='|' read -r name saves race settings <<<"$row"
  { cat "$examples/race.ini"; printf "\n%b" "$race"; } >"$work/races/$name.ini"
  for side in linux windows; do
    game=$work/$side/$name
    mkdir -p "$game"
    if [[ $settings == example ]]; then
      cp "$examples/replay_autosave.ini" "$game/"
    else
      printf "[ReplayAutosave]\n%b\n" "$settings" >"$game/replay_autosave.ini"
    fi
    (cd "$game" && case_setup "$name") || { echo "differential.sh: cannot set up $name" >&2; exit 1; }
    cp -a "$game" "$work/$side/$name.earlier"
  done
done

# The Linux runs go on in the background while Wine plays the same cases.
(
  for row in "${case_table[@]}"; do
    IFS='|' read -r name saves _ <<<"$row"
    ${emulator:+"$emulator"} "$linux_sim" --plugin "$vqp" --game-dir "$work/linux/$name" \
      --race "$work/races/$name.ini" --clock "$linux_clock" --saves "$saves" \
      >"$work/linux/$name.out" 2>"$work/linux/$name.err"
    echo $? >"$work/linux/$name.status"
  done
) &
linux_runs=$!

# The Windows simulator reads the settings beside itself, as the game does:
# it runs from inside each game folder. Wine stores file names in the
# character set of the host's locale: in a UTF-8 one, so that every
# Windows-1252 letter has a name on the host (in "C" Wine cannot make
# "Sauvegard\xe9es" and the copy fails with error 3). C.UTF-8 also gives the
# ANSI code page 1252.
for row in "${case_table[@]}"; do
  IFS='|' read -r name saves _ <<<"$row"
  game=$work/windows/$name
  ln "$win_sim" "$game/replay-autosave-sim.exe" 2>/dev/null || cp "$win_sim" "$game/"
  date +%s >"$work/windows/$name.before-time"
  (cd "$game" && LC_ALL=C.UTF-8 "$RA_WINE" ./replay-autosave-sim.exe --plugin "$(winpath "$vqp")" \
     --game-dir "$(winpath "$game")" --race "$(winpath "$work/races/$name.ini")" --saves "$saves" \
     >"$work/windows/$name.out" 2>"$work/windows/$name.err")
  echo $? >"$work/windows/$name.status"
  date +%s >"$work/windows/$name.after-time"
  rm -f "$game/replay-autosave-sim.exe"
done
wait "$linux_runs"

# What a run left, as text: exit status, log, every file with its checksum,
# the records in full. Wine and the stand-ins both keep the names'
# Windows-1252 letters in UTF-8 on the host: names are shown as they are.
report() {
  local side=$1 name=$2 game=$work/$1/$2 f
  shown() { printf '%s' "$1"; }
  echo "exit status $(cat "$work/$side/$name.status")"
  echo "--- log"
  cat "$work/$side/$name.out"
  echo "--- folders and files (records in full below)"
  (cd "$game" && find . -mindepth 1 ! -name replays.csv -printf '%y %P\n') | while read -r type f; do
    if [[ $type == d ]]; then
      printf '%s/\n' "$(shown "$f")"
    else
      printf '%s  %s\n' "$(shown "$f")" "$(md5sum <"$game/$f" | cut -c1-32)"
    fi
  done | LC_ALL=C sort
  (cd "$game" && find . -type f -name replays.csv -printf '%P\n') | while read -r f; do
    printf '%s\t%s\n' "$(shown "$f")" "$f"
  done | LC_ALL=C sort | while IFS=$'\t' read -r shown_name f; do
    echo "--- $shown_name"
    sed 's/\r$/<CR>/' "$game/$f"
    echo
  done
}

datetime='[0-9]{4}-[0-9]{2}-[0-9]{2}[_ ][0-9]{2}[-:][0-9]{2}[-:][0-9]{2}'
blank_clock() { sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}([_ ])[0-9]{2}[-:][0-9]{2}[-:][0-9]{2}/<date>\1<time>/g'; }

failures=0
fail() { echo "FAIL [$1]: $2"; failures=$((failures + 1)); }

for row in "${case_table[@]}"; do
  IFS='|' read -r name _ <<<"$row"
  for side in linux windows; do
    report "$side" "$name" >"$work/$side/$name.report"
    # Nothing lost: earlier files as they were, earlier records kept.
    earlier=$work/$side/$name.earlier
    while read -r f; do
      now=$work/$side/$name/$f
      case $f in
        Replays/replay.rp4) ;;  # the game's own save writes it
        */replays.csv)
          cmp -s -n "$(stat -c %s "$earlier/$f")" "$earlier/$f" "$now" ||
            fail "$name" "the $side run lost earlier lines of $f" ;;
        *) cmp -s "$earlier/$f" "$now" || fail "$name" "the $side run changed or lost $f" ;;
      esac
    done < <(cd "$earlier" && find . -type f -printf '%P\n')
  done

  # Every clock field of the Windows run lies in its window.
  from=$(cat "$work/windows/$name.before-time") to=$(cat "$work/windows/$name.after-time")
  while read -r stamp; do
    [[ -z $stamp ]] && continue
    day=${stamp:0:10} time=${stamp:11:8}
    at=$(date -d "$day ${time//-/:}" +%s)
    ((at >= from && at <= to)) ||
      fail "$name" "the Windows run's time $stamp is not between $(date -d @"$from" +%T) and $(date -d @"$to" +%T)"
  done < <(grep -aoE "$datetime" "$work/windows/$name.report" | sort -u)

  blank_clock <"$work/linux/$name.report" >"$work/linux/$name.compared"
  blank_clock <"$work/windows/$name.report" >"$work/windows/$name.compared"
  if ! diff -u --label "linux/$name (stand-ins)" --label "windows/$name (Wine)" \
       "$work/linux/$name.compared" "$work/windows/$name.compared"; then
    fail "$name" "the two runs differ (above)"
    for side in linux windows; do
      [[ -s $work/$side/$name.err ]] && { echo "$side standard error:"; cat "$work/$side/$name.err"; }
    done
  fi
done

# A run that saved nothing anywhere would compare equal too: the example
# must have saved its two replays on both sides.
for side in linux windows; do
  saved=$(grep -c '(type=SR)$' "$work/$side/example.out" || true)
  [[ $saved -eq 2 ]] || fail example "the $side run reported $saved saved replays, not 2"
done

echo "${#case_table[@]} cases, $failures failure(s)"
((failures == 0))
