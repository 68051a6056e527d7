# Sourced by the serve tests: start_server GAME OUT COMMAND... starts
# COMMAND serve in GAME on a port of its own (the tests of other builds may
# run beside us), output in OUT, and waits for the address it prints. Sets
# port, server (its pid, killed on exit) and address; fails the test when
# no address comes.
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
  address=$(grep -o 'http://127\.0\.0\.1:[0-9]*/?s=[0-9a-f]*' "$out" || true)
  [[ -n $address ]] || { cat "$out"; echo "FAIL: serve printed no address"; exit 1; }
}

# let_in: opens the printed address as a browser does, so that its token
# becomes the app's cookie (kept in $jar for curl's -b), and reads from the
# page the secret every action carries. Sets base, jar and secret; fails the
# test when either is missing.
let_in() {
  base=http://127.0.0.1:$port
  jar=$(mktemp)
  trap 'kill "$server" 2>/dev/null || true; rm -f "$jar"' EXIT
  curl -s -c "$jar" -o /dev/null "$address"
  grep -q "ra_token_$port" "$jar" || { echo "FAIL: opening $address set no cookie"; exit 1; }
  local page
  page=$(curl -s -b "$jar" "$base/")
  secret=$(grep -o 'data-secret="[0-9a-f]*"' <<<"$page" | cut -d'"' -f2)
  [[ -n $secret ]] || { echo "FAIL: the page gave no secret"; exit 1; }
}
