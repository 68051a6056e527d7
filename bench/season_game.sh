# season_game WORK RACES: a game folder WORK/game whose save folder
# (SaveData\Saves, the default Dir) holds a long season of RACES recorded
# races (long_season.py), with Record = 1 in its INI; sets game and dir.
# Sourced by the benchmarks that need one.
season_game() {
  game=$1/game
  dir=$game/SaveData/Saves
  rm -rf "$1"
  mkdir -p "$dir"
  printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$game/replay_autosave.ini"
  python3 "$(dirname "${BASH_SOURCE[0]}")/long_season.py" "$dir" "$2"
}
