#!/usr/bin/env bash
# season.sh EMULATOR SIM GAME
# Plays a season of twelve races through the simulated game into the fresh
# game folder GAME, with Record = 1: three tracks, four weeks, lap times that
# improve with a little scatter, single races and one time trial, the
# player Zoë, a rival named "<script>" who sets the fastest lap of some
# races, and Jürgen and Renée in turn in the third car. The game writes the
# names in its code page, Windows-1252. Then removes the replay of the
# fifth race, so that the record names a file that is gone.
# EMULATOR runs the 32-bit simulator (qemu-i386-static), or is empty.
set -euo pipefail
emulator=$1 sim=$2 game=$3

rm -rf "$game"
mkdir -p "$game/races"
printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$game/replay_autosave.ini"

tracks=(Coast City Alpine)
# Lap times in the game's 1/64 s: the player's first lap on each track, and
# how much the player gains per race there; the rival is steady.
first=(6080 4550 5250)
gain=(30 22 26)
rival=(5990 4480 5120)
scatter=(0 40 -25 15 -10 30 -35 5 20 -15 10 -5)
# The racers' names in Windows-1252: "Zoë", "Jürgen", "Renée".
player=$'Zo\xeb' third=($'J\xfcrgen' $'Ren\xe9e')

for race in $(seq 0 11); do
  track=$((race % 3))
  round=$((race / 3))
  lap=$((first[track] - gain[track] * race + scatter[race]))
  type=$((race == 7 ? 1 : 0))  # one time trial ("ST")
  day=$((1 + race * 2 + race / 4))
  clock=$(printf '2026-03-%02dT%02d:%02d:00' "$day" $((19 + race % 4)) $((race * 7 % 60)))
  file=$game/races/race$race.ini
  cat >"$file" <<RACE
[game]
race_type = $type
laps = 3
track_index = $track
cars = 3
wet = $((race % 5 == 2 ? 1 : 0))
night = $((race % 2))
timer_start = 1000
timer_now = 20200
replay_dir = Replays\\
track_root = Tracks\\

[track_folders]
0 = ${tracks[0]}
1 = ${tracks[1]}
2 = ${tracks[2]}

[racers]
1 = $player
2 = <script>
3 = ${third[race % 2]}

[car1]
slot = 0
lap_times = $((lap + 90)), $lap, $((lap + 40))
total_time = $((lap * 3 + 130))
top_speed = 61.5
state = 3

[car2]
slot = 1
lap_times = $((rival[track] + 60 + round * 5)), $((rival[track] + round * 5)), $((rival[track] + 30))
total_time = $((rival[track] * 3 + 95))
top_speed = 60.25
state = 3

[car3]
slot = 2
lap_times = 6400, 6350, 6390
total_time = 19140
top_speed = 55.0
state = 3
RACE
  ${emulator:+"$emulator"} "$sim" --game-dir "$game" --race "$file" --clock "$clock" >/dev/null
done

# The record keeps the fifth race; its file is gone.
removed=$(ls "$game/SaveData/Saves" | grep -c '[.]rp4$' || true)
if [[ $removed -ne 12 ]]; then
  echo "season.sh: expected 12 saved replays, found $removed" >&2
  exit 1
fi
rm "$game/SaveData/Saves/"2026-03-10_*.rp4
