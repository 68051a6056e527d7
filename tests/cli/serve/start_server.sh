# Sourced by the serve tests: start_server GAME OUT COMMAND... starts
# COMMAND serve in GAME on a port of its own (the tests of other builds may
# run beside us), output in OUT, and waits for the address it prints. Sets
# port, server (its pid, killed on exit) and address; fails the test when
# no address comes, or the library is never read.
start_server() {
  local game=$1 out=$2
  shift 2
  port=$((20000 + RANDOM % 20000))
  (cd "$game" && exec "$@" serve --ini replay_autosave.ini --no-open --port "$port") >"$out" 2>&1 &
  server=$!
  trap 'kill "$server" 2>/dev/null || true' EXIT
  for _ in $(seq 300); do
    grep -q 'is at http' "$out" 2>/dev/null && break
    sleep 0.1
  done
  address=$(grep -o 'http://127\.0\.0\.1:[0-9]*/#token=[0-9a-f]*' "$out" || true)
  [[ -n $address ]] || { cat "$out"; echo "FAIL: serve printed no address"; exit 1; }
  # The app listens before its first look at the library: the tests start
  # from a library it has read, as a player's page waits for it.
  local state=""
  for _ in $(seq 300); do
    state=$(curl -s -H "Authorization: Bearer ${address##*#token=}" "http://127.0.0.1:$port/state" || true)
    [[ $state != *'"indexing":{'* && $state == *'"cursor"'* ]] && return 0
    sleep 0.1
  done
  cat "$out"
  echo "FAIL: the app never finished reading the library: $state"
  exit 1
}

# let_in: what the page does with the printed address: it takes the token
# after '#', which every request then carries in its Authorization header
# (curl "${auth[@]}"). Sets base, token and auth.
let_in() {
  base=http://127.0.0.1:$port
  token=${address##*#token=}
  auth=(-H "Authorization: Bearer $token")
}
