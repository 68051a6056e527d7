#!/usr/bin/env bash
# cache_bench.sh [--races N] WORK PROGRAM [PREVIOUS]
# The companion's caches of the record on a long season of N races
# (long_season.py; default 50000), built with the release preset. Prints,
# as figures and not as pass or fail, each with its seconds and peak memory
# (/usr/bin/time's maximum resident set):
#   the library's index made from nothing (the first list);
#   the leaderboard's cache made from nothing (the first leaderboard);
#   with PREVIOUS (the program before, e.g. built at tag pre35): an index
#     PREVIOUS made, opened by PROGRAM (a migration of its schema), and
#     whether the list then shown is the one a rebuild shows.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
races=50000
if [[ ${1:-} == --races ]]; then
  races=$2
  shift 2
fi
work=$1
program=$2
previous=${3:-}
source "$here/season_game.sh"
season_game "$work" "$races"
cd "$game"

# "<seconds> s (<CPU> s of CPU), <peak> MB" of one run; its output in
# $work/out.txt. On a busy machine the CPU time is the steadier figure.
measured() {
  /usr/bin/time -o "$work/time.txt" -f '%e %U %S %M' "$@" >"$work/out.txt" 2>/dev/null
  awk '{printf "%.2f s (%.2f s of CPU), %.0f MB peak\n", $1, $2 + $3, $4 / 1024}' "$work/time.txt"
}
# The index's own work: a list of no race, which reads no row back.
nowhere=(list --ini replay_autosave.ini --track NOWHERE)
whole=(list --ini replay_autosave.ini)
drop_index() { rm -f "$dir"/replays.index "$dir"/replays.index-wal "$dir"/replays.index-shm; }
drop_board() { rm -rf "$dir/Friends"; }

echo "caches: $races races; load: $(uptime | sed 's/.*load average: //')"
drop_index
echo "index rebuild (list --track NOWHERE, no index): $(measured "$program" "${nowhere[@]}")"
echo "the same, index up to date: $(measured "$program" "${nowhere[@]}")"
echo "the whole list from the index: $(measured "$program" "${whole[@]}")"
cp "$work/out.txt" "$work/rebuilt.txt"
drop_board
echo "leaderboard cache made (no cache): $(measured "$program" leaderboard --ini replay_autosave.ini)"
echo "leaderboard again (cache up to date): $(measured "$program" leaderboard --ini replay_autosave.ini)"
if [[ -n $previous ]]; then
  drop_index
  echo "index made by the previous program: $(measured "$previous" "${nowhere[@]}")"
  echo "that index opened (migrated): $(measured "$program" "${nowhere[@]}")"
  "$program" "${whole[@]}" >"$work/out.txt"
  if cmp -s "$work/out.txt" "$work/rebuilt.txt"; then
    echo "list after the migration: the same as after a rebuild"
  else
    echo "list after the migration: DIFFERS from a rebuild"
  fi
fi
