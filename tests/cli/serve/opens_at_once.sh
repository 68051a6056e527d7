#!/usr/bin/env bash
# opens_at_once.sh EMULATOR TOOL WORK
# The library app on a long career with no index yet (TOOL serve, EMULATOR
# running the 32-bit program or empty): it tells its address before the
# index is made, says how far the making came while it runs, then answers
# with the whole library.
set -euo pipefail
emulator=$1 tool=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
races=10000
source "$here/../../../bench/season_game.sh"
season_game "$work" "$races" >/dev/null

port=$((20000 + RANDOM % 20000))
(cd "$game" && exec ${emulator:+"$emulator"} "$tool" serve --ini replay_autosave.ini --no-open \
  --port "$port") >"$work/serve.out" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 600); do
  grep -q 'is at http' "$work/serve.out" && break
  sleep 0.05
done
index_when_told=$([[ -e $dir/replays.index ]] && echo made || echo "not yet")
address=$(grep -o 'http://127\.0\.0\.1:[0-9]*/#token=[0-9a-f]*' "$work/serve.out" || true)
[[ -n $address ]] || { cat "$work/serve.out"; echo "FAIL: serve printed no address"; exit 1; }
auth=(-H "Authorization: Bearer ${address##*#token=}")
base=http://127.0.0.1:$port

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
[[ $index_when_told == "not yet" ]] || fail "the address came after the index was made"
told=""
for _ in $(seq 1200); do
  state=$(curl -s "${auth[@]}" "$base/state")
  [[ $state == *'"indexing":{'* ]] && told=$state
  [[ $state == *'"cursor"'* ]] && break
  sleep 0.05
done
[[ $told == *'"indexing":{"done":'* ]] || fail "no answer told how far the index came (last: $state)"
facts=$(curl -s "${auth[@]}" "$base/api/facts")
[[ $facts == *"\"races\":$races,"* ]] || fail "the facts after it: ${facts:0:300}"
[[ $failures == 0 ]] || { cat "$work/serve.out"; exit 1; }
echo "opens_at_once: the address before the index, its progress, then $races races"
