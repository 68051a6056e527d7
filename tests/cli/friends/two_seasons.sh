#!/usr/bin/env bash
# two_seasons.sh EMULATOR SIM WORK NAME OTHER
# Two players' seasons played through the simulator SIM (run by EMULATOR,
# which may be empty) into WORK/ann and WORK/bob: NAME (ClearIp = 0) and
# OTHER, who drove two races together. Both are racer names as the game
# writes them (bytes of the system's code page).
set -euo pipefail
emulator=$1 sim=$2 work=$3 name=$4 other=$5
run() { ${emulator:+"$emulator"} "$@"; }

mkdir -p "$work"
ann=$work/ann bob=$work/bob

# race GAME N PLAYER OTHER TRACK CLOCK PLAYER_LAP OTHER_LAP PLAYER_TOTAL OTHER_TOTAL
# Lap times in the game's 1/64 s; the race started a minute before CLOCK.
race() {
  local game=$1 n=$2 me=$3 other=$4 track=$5 clock=$6
  local file=$game/races/race$n.ini
  local started
  started=$(date -d "${clock/T/ } 1 minute ago" +%Y-%m-%dT%H:%M:%S)
  cat >"$file" <<RACE
[game]
race_type = 0
laps = 3
track_index = $track
cars = 2
timer_start = 1000
timer_now = 20200
replay_dir = Replays\\
track_root = Tracks\\
replay_size = $((8000 + n))
replay_ip = 10.1.2.$n

[race_start]
clock = $started

[track_folders]
0 = Coast
1 = Alpine

[racers]
1 = $me
2 = $other

[car1]
slot = 0
lap_times = $(($7 + 50)), $7, $(($7 + 20))
total_time = $9
state = 3

[car2]
slot = 1
lap_times = $(($8 + 50)), $8, $(($8 + 20))
total_time = ${10}
state = 3
RACE
  run "$sim" --game-dir "$game" --race "$file" --clock "$clock" >/dev/null
}

for game in "$ann" "$bob"; do mkdir -p "$game/races"; done
printf '[ReplayAutosave]\r\nRecord = 1\r\nClearIp = 0\r\n' >"$ann/replay_autosave.ini"
printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$bob/replay_autosave.ini"

# NAME: two races alone on Coast and Alpine, then two with OTHER on Alpine.
race "$ann" 1 "$name" Racer3 0 2026-03-01T20:00:00 5000 5400 15500 16000
race "$ann" 2 "$name" Racer3 1 2026-03-02T20:00:00 5200 5500 16000 16500
race "$ann" 3 "$name" "$other" 1 2026-03-05T21:00:00 5150 5180 15900 15950
race "$ann" 4 "$name" "$other" 1 2026-03-06T21:00:00 5190 5120 16000 15800
# OTHER: the same two races, saved a few seconds later, and one alone.
race "$bob" 3 "$other" "$name" 1 2026-03-05T21:00:20 5180 5150 15950 15900
race "$bob" 4 "$other" "$name" 1 2026-03-06T21:00:15 5120 5190 15800 16000
race "$bob" 5 "$other" Racer3 0 2026-03-07T20:00:00 4990 5400 15400 16000

