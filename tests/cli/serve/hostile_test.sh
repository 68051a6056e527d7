#!/usr/bin/env bash
# hostile_test.sh EMULATOR SIM TOOL WORK [WINDOWS_TOOL]
# The library app (TOOL serve, or with WINDOWS_TOOL the Windows program on
# Wine) against other programs of the same computer, on a season played by
# the simulator: without the token of the address it printed, in the
# header the page sends it in, no route answers but the page's shell, which
# holds nothing, and the refusal names the command that starts the app
# again; a cookie or an address that holds the token counts for nothing;
# what is larger than the caps, a Range and a second Host are refused before
# anything is read; and while strangers flood it, hold connections open or
# send a byte now and then, and while two hundred of them hold connections
# open and open them again, the browser's own requests are answered within a
# second. EMULATOR runs the 32-bit programs, or is empty.
set -euo pipefail
emulator=$1 sim=$2 tool=$3 work=$4 windows_tool=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

mkdir -p "$work"
game=$work/game
bash "$here/../page/season.sh" "$emulator" "$sim" "$game" >/dev/null
saves=$game/SaveData/Saves
source "$here/start_server.sh"
if [[ -n $windows_tool ]]; then
  start_server "$game" "$work/serve.out" "${RA_WINE:?}" "$windows_tool"
else
  start_server "$game" "$work/serve.out" ${emulator:+"$emulator"} "$tool"
fi
let_in
authorization="Authorization: Bearer $token"
# The player's files. The index is not among them: it is a cache, which the
# player's own requests in between bring up to date (a replay saved in the
# last seconds gets its time stamp later), and a read may write to its
# shared memory.
files_now() { (cd "$saves" && ls -l --time-style=+%s --ignore='replays.index*' . | grep -v '^total'); }
before=$(files_now)

# raw SECONDS: sends standard input as it comes on a connection of its own;
# prints the answer's status line ("closed" for none) and the seconds the
# connection lasted, "|" between them.
raw() { python3 "$here/raw_request.py" "$port" "$1"; }
# The browser's own question, answered within two seconds, or the reason.
browser_answered() {
  local got
  got=$(curl -s -m 2 "${auth[@]}" -o /dev/null -w '%{http_code}' "$base/state" || true)
  [[ $got == 200 ]] || fail "$1: the browser's own request got '$got' within two seconds"
}

# 1. The token. Each rule: what is sent without the token in its header
# (with it as the old cookie, or in the address), the status it gets. A
# refused page says how to start the app; the shells hold no token, no
# folder and no race; no answer sets a cookie.
newest=$(cd "$saves" && ls -1 2026-*.rp4 | tail -1)
while IFS='|' read -r want method path data; do
  args=(-s -o "$work/body" -D "$work/head" -w '%{http_code}' -H "Cookie: ra_token_$port=$token")
  [[ $method == POST ]] && args+=(--data "$data")
  got=$(curl "${args[@]}" "$base$path")
  [[ $got == "$want" ]] || fail "$method $path without the token: $got, want $want"
  for secret in "$token" "$saves" "$newest"; do
    grep -qF "$secret" "$work/body" && fail "$method $path without the token gave away $secret"
  done
  if [[ $want == 403 && $method == GET ]]; then
    grep -qF 'replay-autosave serve' "$work/body" || fail "$path: the refusal does not say how to start the app"
  fi
  grep -qi '^Set-Cookie' "$work/head" && fail "$method $path set a cookie"
done <<CASES
200|GET|/|
200|GET|/race?file=$newest|
403|GET|/state|
403|GET|/api/rows|
403|GET|/api/race?file=$newest|
403|GET|/api/friends|
403|GET|/other|
403|GET|/api/rows?s=$token|
403|POST|/tidy|keep=0&apply=1
403|POST|/watch|file=$newest
403|POST|/friend/remove|friend=Ann
CASES
[[ $(files_now) == "$before" ]] || fail "a request without the token changed files"
# The token is after '#' in the printed address, which no browser sends.
[[ $address == "$base/#token=$token" ]] || fail "the printed address $address carries its token elsewhere"

# 2. Headers and sizes: refused before anything else, and nothing is read
# beyond the caps.
long_line=$(head -c 300000 /dev/zero | tr '\0' a)
many_headers=$(for n in $(seq 200); do printf 'X-%d: %s\\r\\n' "$n" "$(head -c 100 /dev/zero | tr '\0' b)"; done)
while IFS='|' read -r want what request; do
  got=$(printf "$request" | raw 8 || true)
  [[ ${got%%|*} == "HTTP/1.1 $want"* || ${got%%|*} == "$want" ]] || fail "$what: '$got', want $want"
  browser_answered "after $what"
done <<CASES
400|a second Host|GET / HTTP/1.1\r\nHost: 127.0.0.1:$port\r\nHost: evil.example\r\n$authorization\r\n\r\n
416|2700 ranges|GET / HTTP/1.1\r\nHost: 127.0.0.1:$port\r\n$authorization\r\nRange: bytes=$(printf '0-,%.0s' $(seq 2700))0-\r\n\r\n
413|a body of 1.5 GiB, announced|POST /tidy HTTP/1.1\r\nHost: 127.0.0.1:$port\r\n$authorization\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 1610612736\r\n\r\n
414|a long address|GET /?$(head -c 3000 /dev/zero | tr '\0' a) HTTP/1.1\r\nHost: 127.0.0.1:$port\r\n\r\n
closed|a request line without end|GET /$long_line
400|200 headers|GET / HTTP/1.1\r\nHost: 127.0.0.1:$port\r\n$many_headers\r\n\r\n
CASES
# A body of 1 MiB, sent whole, is refused by its length, never read.
got=$({ printf 'POST /keep HTTP/1.1\r\nHost: 127.0.0.1:%s\r\n%s\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 1048576\r\n\r\n' "$port" "$authorization"; head -c 1048576 /dev/zero | tr '\0' a; } | raw 8 || true)
[[ $got == "HTTP/1.1 413"* ]] || fail "a body of 1 MiB: '$got', want 413"
browser_answered "after a body of 1 MiB"
# Range answers stay small: nothing is sent in parts.
size=$(curl -s "${auth[@]}" -H "Range: bytes=$(printf '0-,%.0s' $(seq 500))0-" "$base/" | wc -c)
((size < 1000)) || fail "an answer to a Range is $size bytes"

# 3. Connections held by strangers: forty idle ones, and four that send a
# header line every 3 s. The browser is answered at once all the while, and
# the slow ones are closed within the read deadline.
idle=()
for n in $(seq 40); do
  exec {fd}<>"/dev/tcp/127.0.0.1/$port"
  idle+=("$fd")
done
slow=()
for n in 1 2 3 4; do
  ( printf 'GET /state HTTP/1.1\r\nHost: 127.0.0.1:%s\r\n' "$port"
    for line in $(seq 8); do sleep 3; printf 'X-Slow-%d: %d\r\n' "$line" "$line"; done ) 2>/dev/null |
    raw 30 >"$work/slow$n" &
  slow+=($!)
done
sleep 1
for n in $(seq 5); do
  browser_answered "while strangers hold 44 connections ($n)"
  sleep 1
done
for pid in "${slow[@]}"; do wait "$pid" || true; done
for n in 1 2 3 4; do
  lasted=$(cut -d'|' -f2 "$work/slow$n")
  [[ ${lasted%.*} -lt 10 ]] || fail "a connection that sends a line every 3 s was held $lasted s"
done
for fd in "${idle[@]}"; do exec {fd}>&-; done
browser_answered "after the strangers left"

# 4. Two hundred strangers hold connections open, opening them again as
# they are closed, a third of them asking for the page and never reading;
# at least 95 % of the player's requests are answered within a second.
python3 "$here/idle_flood.py" "$port" "$token" 200 40 || fail "the player was locked out by strangers"
browser_answered "after the flood"

[[ $(files_now) == "$before" ]] || fail "the hostile requests changed files: $(diff <(echo "$before") <(files_now))"
((failures == 0)) || exit 1
echo "serve against other programs: all cases pass"
