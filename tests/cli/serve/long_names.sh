# Sourced by the browser tests: a game at a long path, and names at length
# in it, on purpose. A player's game may sit in a folder named at length
# without a space, and a racer, a friend's alias or a file may be as long;
# the pages must wrap them on a phone. The names carry accents, as players'
# do.
#
# long_game_folder WORK: sets `game` to a fresh game folder in WORK below
# one folder name of 125 characters. WORK is below the tests' scratch folder
# (tests/CMakeLists.txt), whose path is of the same length wherever the
# checkout is, and so is the game's: the plug-in's paths in it stay below
# Windows' 260 characters.
long_game_folder() {
  game=$1/$(printf 'Racing%.0s' {1..15})_Season_2026_without_a_single_space/game
  rm -rf "$(dirname "$game")"
  mkdir -p "$(dirname "$game")"
}

# Names of about 60 characters without a space: a rival's (as a spreadsheet
# may leave the record; the game's own hold 12 bytes), a friend's alias,
# and a replay the player copied in under a name of their own.
long_racer=Jürgen_von_der_Nürburgring_Nordschleife_Qualifying_Champion
long_alias=Renée_who_always_wins_on_the_Coast_track_in_the_rain_at_night
long_file=Œuvre_complète_de_ma_meilleure_course_sur_la_côte_sans_espace.rp4

# give_long_names GAME: the rival Racer3 of the season in GAME named
# long_racer in the record (in the game's code page, Windows-1252, as the
# record keeps names), and a copy of a replay named long_file.
give_long_names() {
  local saves=$1/SaveData/Saves racer
  racer=$(iconv -f UTF-8 -t WINDOWS-1252 <<<"$long_racer")
  LC_ALL=C sed -i "s/,Racer3,/,$racer,/g" "$saves/replays.csv"
  cp "$saves/$(cd "$saves" && ls -1 2026-*.rp4 | head -1)" "$saves/$long_file"
}
