#!/usr/bin/env bash
# serve_bench.sh [--races N] WORK [PROGRAM...]
# The library on a long season: N recorded races (default 5000; four
# racers each, four tracks, nine race types), listed and served by PROGRAM
# (e.g. the Linux companion of the release preset, whose times and memory
# are the ones to quote: build/release/tools/replay-autosave;
# "qemu-i386-static build/i386/tools/replay-autosave",
# or "wine build/mingw/src/replay-autosave.exe"). Prints, as figures and not
# as pass or fail:
#   the app's first start with no index (until the address, until the
#     facts); the index: its rebuild (the first list), list --track X, and one new
#     race read alone (a list after a line was appended);
#   the app: the first page (GET / and the first /api/rows), a page deep in
#     the list, a filter, the sorts, the facts of two racers in turn, a search, a racer's personal bests, an
#     action (keep / unkeep), a new race seen through /state?since=, each as
#     the best and the median of seven tries of curl's total time, with the
#     bytes of the answer; the first rows in headless Chromium, from asking
#     for the page (first_rows.py); and serve's peak memory (VmHWM) before
#     the page is opened and at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
races=5000
if [[ ${1:-} == --races ]]; then
  races=$2
  shift 2
fi
work=$1
shift
# Without a program: the release preset's, made when it is missing.
if (($# == 0)); then
  repo=$(cd "$here/.." && pwd)
  [[ -x $repo/build/release/tools/replay-autosave ]] ||
    { (cd "$repo" && cmake --preset release >/dev/null) && cmake --build "$repo/build/release" --target replay-autosave; }
  set -- "$repo/build/release/tools/replay-autosave"
fi
source "$here/season_game.sh"
season_game "$work" "$races"
# One more race as the plug-in saves it: its file, then its line.
append_race() {
  local stamp=$1 name=${1//[ :]/_}_SR_ALPINE_3L.rp4
  printf 'r' >"$dir/$name"
  tail -n 1 "$dir/replays.csv" | sed "s/^[^,]*,[^,]*,[^,]*,/$name,$stamp,$stamp,/" >>"$dir/replays.csv"
}
seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -n 1; }
stats() { sort -n | awk '{a[NR]=$1} END {printf "best %.3f s, median %.3f s\n", a[1], a[int((NR+1)/2)]}'; }

echo "library: $races races"
# The app's first start, with no index: until its address is told, and
# until its facts come (the index made). The index is made again below.
first_start() {
  local port=$((20000 + RANDOM % 20000)) started told address
  started=$(date +%s.%N)
  (cd "$game" && exec "$@" serve --ini replay_autosave.ini --no-open --port "$port") >"$work/first.out" 2>&1 &
  local first=$!
  until grep -q 'is at http' "$work/first.out" 2>/dev/null; do sleep 0.02; done
  told=$(date +%s.%N)
  address=$(grep -o 'http://127\.0\.0\.1:[0-9]*/#token=[0-9a-f]*' "$work/first.out")
  until curl -s -H "Authorization: Bearer ${address##*#token=}" "http://127.0.0.1:$port/api/facts" |
    grep -q '"cursor"'; do sleep 0.05; done
  echo "first start, no index: the address after $(echo "$told - $started" | bc) s, the facts after $(echo "$(date +%s.%N) - $started" | bc) s"
  kill "$first"
  wait "$first" 2>/dev/null || true
  rm -f "$dir"/replays.index*
}
first_start "$@"
cd "$game"
echo "index rebuild (the first list, which makes it): $(seconds "$@" list --ini replay_autosave.ini) s"
echo "list --track ALPINE: $(for _ in $(seq 5); do seconds "$@" list --ini replay_autosave.ini --track ALPINE; done | stats)"
echo "list --track NOWHERE (the index's own cost): $(for _ in $(seq 5); do seconds "$@" list --ini replay_autosave.ini --track NOWHERE; done | stats)"
echo "one new race read alone (list --track NOWHERE after it): $(for n in $(seq 5); do
  append_race "2030-01-0$n 12:00:00"; seconds "$@" list --ini replay_autosave.ini --track NOWHERE; done | stats)"
cd - >/dev/null

port=$((20000 + RANDOM % 20000))
(cd "$game" && exec "$@" serve --ini replay_autosave.ini --no-open --port "$port") >"$work/serve.out" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 600); do grep -q 'is at http' "$work/serve.out" && break; sleep 0.1; done
address=$(grep -o 'http://127\.0\.0\.1:[0-9]*/#token=[0-9a-f]*' "$work/serve.out")
base=http://127.0.0.1:$port
# As the page asks: the address's token in every request's header.
auth=(-H "Authorization: Bearer ${address##*#token=}")
# A request's time: best and median of seven, and its answer's bytes.
timed() {
  local what=$1 path=$2
  echo "$what ($(curl -s "${auth[@]}" "$base$path" | wc -c) bytes): $(for _ in $(seq 7); do
    curl -s "${auth[@]}" -o /dev/null -w '%{time_total}\n' "$base$path"; done | stats)"
}
timed "first page (GET /)" "/"
timed "first rows (/api/rows, 100 newest)" "/api/rows?offset=0&limit=100&sort=when&desc=1"
timed "facts (/api/facts)" "/api/facts"
timed "a page deep in the list (offset $((races / 2)))" "/api/rows?offset=$((races / 2))&limit=100"
timed "filter (track and weather)" "/api/rows?limit=100&track=alpine&weather=wet"
timed "sort (fastest lap, slowest first)" "/api/rows?limit=100&sort=lap&desc=1"
timed "sort (the racer's lap)" "/api/rows?limit=100&sort=yours&desc=0&racer=Ana"
timed "sort (laps, most first)" "/api/rows?limit=100&sort=laps&desc=1"
timed "sort (laps, fewest first, a page deep)" "/api/rows?offset=$((races / 2))&limit=100&sort=laps&desc=0"
timed "sort (cars)" "/api/rows?limit=100&sort=cars&desc=1"
timed "sort (file, Z to A, a page deep)" "/api/rows?offset=$((races / 2))&limit=100&sort=file&desc=1"
# Each page load asks for the facts and the facts of its racer: two racers in turn.
echo "facts, two racers in turn (/api/facts?racer=Player, then Ana): $(for n in $(seq 8); do
  curl -s "${auth[@]}" -o /dev/null -w '%{time_total}\n' \
    "$base/api/facts?racer=$([[ $((n % 2)) == 1 ]] && echo Player || echo Ana)"
done | stats)"
timed "search (q=speedy)" "/api/rows?limit=100&q=speedy"
timed "personal bests only (pb=1, racer Player)" "/api/rows?limit=100&pb=1&racer=Player"
timed "chart (ALPINE SR, a year)" "/api/chart?track=ALPINE&type=SR&window=365"
echo "serve's peak memory before the page is opened: $(grep VmHWM /proc/$server/status | awk '{print $2 / 1024 " MB"}')"
echo "first rows in Chromium, from asking for the page: $(python3 "$here/first_rows.py" "$address")"
file=$(curl -s "${auth[@]}" "$base/api/rows?limit=1" | grep -o '"id":"[^"]*"' | head -n 1 | cut -d'"' -f4)
echo "action (POST /keep, /unkeep): $(for n in $(seq 7); do
  curl -s "${auth[@]}" -o /dev/null -w '%{time_total}\n' -d "file=$file" \
    "$base/$([[ $((n % 2)) == 1 ]] && echo keep || echo unkeep)"
done | stats)"
cursor=$(curl -s "${auth[@]}" "$base/state" | grep -o '"cursor":[0-9]*' | cut -d: -f2)
append_race "2030-02-01 12:00:00"
# The page asks every 2 seconds; this is the answer that shows the race.
start=$(date +%s.%N)
bytes=$(curl -s "${auth[@]}" "$base/state?since=$cursor" | tee "$work/state.json" | wc -c)
grep -q '2030-02-01_12_00_00' "$work/state.json" || echo "(the new race is not in the answer!)"
echo "a new race seen through /state?since= ($bytes bytes): $(echo "$(date +%s.%N) - $start" | bc) s"
echo "serve's peak memory: $(grep VmHWM /proc/$server/status | awk '{print $2 / 1024 " MB"}')"
