# Sourced by the browser tests: a game at a long path, and names at length
# in it, on purpose. A player's game may sit in a folder named at length
# without a space, and a racer, a friend's alias or a file may be as long;
# the pages must wrap them on a phone. The names carry accents, as players'
# do.
#
# long_game_folder WORK: sets `game` to a game folder at a path of the same
# length wherever the checkout is (a folder of WORK's own below
# ${TMPDIR:-/tmp}, then one folder name of 125 characters), and `spare` to
# a folder beside it for other game folders (a friend's). In the build tree
# the path would grow with the checkout's, and a deep one would take the
# plug-in's paths past Windows' 260 characters, which it then refuses as
# the game does. Made anew on each run; left after it for a look, as WORK is.
long_game_folder() {
  local work=$1 root
  root=${TMPDIR:-/tmp}/ra-$(printf %s "$work" | sha256sum | cut -c1-12)
  rm -rf "$root"
  mkdir -p "$root"
  printf '%s\n' "$work" >"$root/made-for"
  spare=$root/spare
  game=$root/$(printf 'Racing%.0s' {1..15})_Season_2026_without_a_single_space/game
  mkdir -p "$spare" "$(dirname "$game")"
}

# Names of about 60 characters without a space: a rival's (as a spreadsheet may
# leave the record; the game's own hold 12 bytes), a friend's alias, and a
# replay the player copied in under a name of their own.
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
