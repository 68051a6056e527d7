# Sourced by the serve tests: friend_share FRIEND GAME COMMAND... plays one
# race of the season in GAME as the friend Renée drove it (her name in the
# game's Windows-1252), into the fresh game folder FRIEND, with the
# simulator ($emulator $sim), and shares it with COMMAND (the companion, run
# in FRIEND) as FRIEND/friend.rpshare.
friend_share() {
  local friend=$1 game=$2 race
  shift 2
  rm -rf "$friend"
  mkdir -p "$friend/races"
  printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$friend/replay_autosave.ini"
  LC_ALL=C sed $'s/^1 = .*/1 = Ren\xe9e/' "$game/races/race2.ini" >"$friend/races/race.ini"
  ${emulator:+"$emulator"} "$sim" --game-dir "$friend" --race "$friend/races/race.ini" \
    --clock 2026-03-10T20:00:00 >/dev/null
  race=$(cd "$friend/SaveData/Saves" && ls -1 ./*.rp4 | head -1 | sed 's|^\./||')
  (cd "$friend" && "$@" share --ini replay_autosave.ini "$race" -o friend.rpshare) >/dev/null
}
