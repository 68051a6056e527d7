#!/usr/bin/env bash
# http_test.sh EMULATOR SIM TOOL WORK [WINDOWS_TOOL]
# The library app (TOOL serve, or with WINDOWS_TOOL the Windows program on
# Wine, $RA_WINE) over plain HTTP on a season played by the simulator: every
# request rule answers as it must (Host, token, method,
# replay names, the headers of every answer, a nonce of each answer's own;
# Remove takes no replay of the player's own, which Tidy alone removes),
# Watch restores as restore does, and one at a time when they come at once,
# a name that is no UTF-8 is acted on by its bytes (Linux only: Windows
# names are UTF-16), a Dir that does not exist
# yet is an empty library, Keep survives a Tidy that
# would remove the replay, the Tidy preview
# is prune's dry run word for word and Tidy removes only what it showed, an import is refused without the token,
# past the share's cap and for a hostile share, a second start on the same
# port is refused, and a stop ends it (Linux only: on Windows it is Ctrl+C,
# which the Wine tier's companion test gives in a console). EMULATOR runs
# the 32-bit programs, or is empty.
set -euo pipefail
emulator=$1 sim=$2 tool=$3 work=$4 windows_tool=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
on_windows() { [[ -n $windows_tool ]]; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

game=$work/game
bash "$here/../page/season.sh" "$emulator" "$sim" "$game" >/dev/null
saves=$game/SaveData/Saves
source "$here/start_server.sh"
if on_windows; then
  # The console of Windows ends its lines in CR LF.
  run() { (cd "$game" && "${RA_WINE:?}" "$windows_tool" "$@") | tr -d '\r'; }
  start_server "$game" "$work/serve.out" "$RA_WINE" "$windows_tool"
else
  run() { (cd "$game" && exec ${emulator:+"$emulator"} "$tool" "$@"); }
  start_server "$game" "$work/serve.out" ${emulator:+"$emulator"} "$tool"
fi
# A file as the program is given it on its command line.
program_path() {
  if on_windows; then
    local p="Z:${1//\//\\}"
    echo "$p"
  else
    echo "$1"
  fi
}
# The folder as the program names it, in a JSON string.
shown_path() {
  if on_windows; then
    local p="Z:${1//\//\\}"
    echo "${p//\\/\\\\}"
  else
    echo "$1"
  fi
}
let_in

oldest=$(cd "$saves" && ls -1 2026-*.rp4 | head -1)
newest=$(cd "$saves" && ls -1 2026-*.rp4 | tail -1)
# status METHOD PATH DATA [HOST]: the answer's HTTP status.
status() {
  local args=(-s "${auth[@]}" -o "$work/body" -w '%{http_code}' -H "Host: ${4:-127.0.0.1:$port}")
  [[ $1 == POST ]] && args+=(--data "$3")
  curl "${args[@]}" "$base$2"
}

# Each rule: what is sent, and the status it must get. No file changes.
# The player's files and the game's replay; the index is a cache, which any
# request may bring up to date.
player_files() { (cd "$saves" && ls -l --time-style=+%s --ignore='replays.index*' . | grep -v '^total'; md5sum ../../Replays/replay.rp4); }
before=$(player_files)
while IFS='|' read -r want method path data host; do
  got=$(status "$method" "$path" "$data" "$host")
  [[ $got == "$want" ]] || fail "$method $path '$data' Host '$host': $got, want $want ($(cat "$work/body"))"
done <<CASES
403|GET|/||evil.example:$port
403|GET|/||127.0.0.1:$((port + 1))
200|GET|/||localhost:$port
405|GET|/watch?file=$newest||
405|GET|/keep?file=$newest||
400|POST|/watch|file=../replay_autosave.ini|
400|POST|/watch|file=..|
400|POST|/watch|file=Replays%2Freplay.rp4|
400|POST|/watch|file=C:replay.rp4|
400|POST|/watch|file=CON.rp4|
400|POST|/keep|file=nul|
400|POST|/watch|file=not-in-the-list.rp4|
400|POST|/keep|file=Zo%C3%AB-not-in-the-list.rp4|
400|POST|/unkeep|file=not-in-the-list.rp4|
400|POST|/share|file=not-in-the-list.rp4|
400|POST|/remove|file=not-in-the-list.rp4|
400|GET|/api/race?file=Ren%C3%A9e-not-in-the-list.rp4||
409|POST|/remove|file=$newest|
404|GET|/api/friend-races?friend=Nobody||
400|GET|/api/race?file=..%2Freplay_autosave.ini||
404|GET|/other||
CASES
after=$(player_files)
[[ $before == "$after" ]] || fail "a refused request changed files: $(diff <(echo "$before") <(echo "$after"))"

# Every answer's headers; a page of another site is refused, without CORS.
curl -s -D "$work/head" -o "$work/page" "$base/"
headers=$(cat "$work/head")
for h in 'Content-Type: text/html' 'X-Content-Type-Options: nosniff' 'Referrer-Policy: no-referrer' \
  'X-Frame-Options: DENY' "frame-ancestors 'none'" "script-src 'nonce-"; do
  grep -qF "$h" <<<"$headers" || fail "the page's headers lack $h"
done
grep -qi 'Access-Control-Allow' <<<"$headers" && fail "the page carries CORS headers"
foreign=$(curl -s "${auth[@]}" -D - -o /dev/null -H "Origin: http://evil.example" "$base/api/rows")
[[ $foreign == 'HTTP/1.1 403'* ]] || fail "a request of another site's page was answered: $foreign"
grep -qi 'Access-Control-Allow' <<<"$foreign" && fail "a refusal carries CORS headers"
nonce=$(sed -n "s/.*script-src 'nonce-\([0-9a-f]*\)'.*/\1/p" <<<"$headers" | tr -d '\r')
grep -qF "<script nonce=\"$nonce\">" "$work/page" || fail "the page's script does not carry the nonce"
# Each answer has a nonce of its own.
again=$(curl -s "${auth[@]}" -D - -o /dev/null "$base/" | sed -n "s/.*script-src 'nonce-\([0-9a-f]*\)'.*/\1/p" | tr -d '\r')
[[ -n $again && $again != "$nonce" ]] || fail "two answers share the nonce $nonce"

# Watch is restore: the game plays the replay.
[[ $(status POST /watch "file=$oldest") == 200 ]] || fail "watch: $(cat "$work/body")"
cmp -s "$saves/$oldest" "$game/Replays/replay.rp4" || fail "watch did not put $oldest in the game's place"
grep -q "The game will play $oldest" "$work/body" || fail "watch said: $(cat "$work/body")"

# A renamed replay whose name is no UTF-8 (a letter of the game's code
# page) is kept and watched by its own bytes, which the page sends
# percent-encoded. Windows has no such names.
if ! on_windows; then
latin=$(printf 'caf\xe9.rp4')
mv "$saves/$(cd "$saves" && ls -1 2026-*.rp4 | sed -n 3p)" "$saves/$latin"
grep -qF '"id":"caf%E9.rp4"' <<<"$(curl -s "${auth[@]}" "$base/api/rows"; curl -s "${auth[@]}" "$base/api/rows?kind=other")" ||
  fail "the page's rows do not carry the name's own bytes"
for action in keep unkeep watch; do
  [[ $(status POST /$action "file=caf%E9.rp4") == 200 ]] ||
    fail "$action of a name that is no UTF-8: $(cat "$work/body")"
  [[ $action == keep ]] && { grep -qaF "$latin" "$saves/replays.keep" || fail "the mark is not the name's own bytes"; }
done
cmp -s "$saves/$latin" "$game/Replays/replay.rp4" || fail "watch did not put $latin in the game's place"
fi

# Watches at once, of two replays in turn: one after the other, each whole.
second_oldest=$(cd "$saves" && ls -1 2026-*.rp4 | sed -n 2p)
# Replays of some megabytes, so that the file steps take long enough to meet.
# They stay races saved a while ago: a replay written moments ago that Dir
# has no copy of may still be on its way there, and Watch leaves it alone.
for f in "$oldest" "$second_oldest"; do
  head -c 4000000 /dev/urandom >>"$saves/$f"
  touch -d '-2 minutes' "$saves/$f"
done
answers=$(for n in $(seq 16); do echo "$([[ $((n % 2)) == 1 ]] && echo "$oldest" || echo "$second_oldest")"; done |
  xargs -P 16 -I{} curl -s "${auth[@]}" -o /dev/null -w '%{http_code}\n' --data "file={}" "$base/watch" | sort | uniq -c)
[[ $answers == *" 16 200" ]] || fail "watches at once answered: $answers"
cmp -s "$saves/$oldest" "$game/Replays/replay.rp4" || cmp -s "$saves/$second_oldest" "$game/Replays/replay.rp4" ||
  fail "after watches at once the game's replay is neither replay"
ls "$game/Replays" | grep -q restoring && fail "watches at once left $(ls "$game/Replays")"

# Import takes the file's own bytes, behind the gate: not without the
# token, not past the share's cap (refused from Content-Length, before a
# byte of the body is read), and a hostile share (cut short) gets its
# sentence; none of them changes a file.
rm -f "$work/mine.rpshare"
run share --ini replay_autosave.ini "$newest" -o "$work/mine.rpshare" >/dev/null
head -c 3000 "$work/mine.rpshare" >"$work/cut.rpshare"
upload() {  # upload QUERY FILE [CURL ARGS]: the status of POST /import?QUERY
  local query=$1 file=$2
  shift 2
  curl -s -m 10 -o "$work/body" -w '%{http_code}' -H 'Content-Type: application/octet-stream' \
    --data-binary "@$file" "$@" "$base/import?$query"
}
tree_of() { (cd "$game" && find . -type f ! -name 'replays.index*' -print0 | sort -z | xargs -0 ls -l --time-style=+%s); }
before=$(tree_of)
[[ $(upload "" "$work/mine.rpshare") == 403 ]] || fail "an import without the token: $(cat "$work/body")"
[[ $(upload "" "$work/cut.rpshare" "${auth[@]}" -H 'Content-Length: 3000000000') == 413 ]] ||
  fail "an import past the cap: $(cat "$work/body")"
[[ $(upload "" "$work/cut.rpshare" "${auth[@]}") == 409 ]] || fail "a share cut short: $(cat "$work/body")"
grep -q 'damaged or cut short' "$work/body" || fail "a share cut short said: $(cat "$work/body")"
[[ $(tree_of) == "$before" ]] || fail "a refused import changed files"

# Keep, then the Tidy preview is prune's dry run, then applying it leaves the kept one.
[[ $(status POST /keep "file=$oldest") == 200 ]] || fail "keep: $(cat "$work/body")"
run list --ini replay_autosave.ini | grep "$oldest" | grep -q "kept by you" || fail "list does not show the mark"
status POST /tidy "keep=2" >/dev/null
dry=$(run prune --ini replay_autosave.ini --keep 2 2>&1)
# An action answers in JSON: its message is the console's words, and the
# preview names the replays it would remove, by their bytes percent-encoded.
field() { python3 -c 'import json, sys; v = json.load(sys.stdin)[sys.argv[1]]; print(v if isinstance(v, str) else json.dumps(v), end="")' "$1" <"$work/body"; }
would=$(field removed)
[[ $(field message) == "$dry" ]] || fail "the tidy preview is not prune's dry run:
$(field message)
---
$dry"
[[ $(field applied) == false && $would == '["'*'"]' ]] || fail "the preview's fields: $(cat "$work/body")"
plan=$(field plan)
# Applying takes the preview's plan back: without one, or with one that is
# not what the policy removes now, nothing goes, and the answer is the
# preview of now.
saved=$(cd "$saves" && ls -1 2026-*.rp4 | wc -l)
[[ $(status POST /tidy "keep=2&apply=1") == 409 ]] || fail "tidy without a plan: $(cat "$work/body")"
[[ $(status POST /tidy "keep=1&apply=1&plan=$plan") == 200 && $(field applied) == false &&
   $(field plan) != "$plan" ]] || fail "tidy of another plan: $(cat "$work/body")"
[[ $(cd "$saves" && ls -1 2026-*.rp4 | wc -l) == "$saved" ]] || fail "a tidy refused removed $(ls "$saves")"
[[ $(status POST /tidy "keep=2&apply=1&plan=$plan") == 200 ]] || fail "tidy: $(cat "$work/body")"
[[ $(field applied) == true && $(field removed) == "$would" ]] || fail "tidy removed other replays than it offered: $(cat "$work/body")"
[[ -f $saves/$oldest ]] || fail "tidy removed the kept replay $oldest"
[[ $(cd "$saves" && ls -1 2026-*.rp4 | wc -l) == 3 ]] || fail "tidy left $(ls "$saves")"

# A file copied into Dir after the names were checked can be acted on at once.
cp "$saves/$oldest" "$saves/copied_in.rp4"
[[ $(status POST /watch "file=copied_in.rp4") == 200 ]] ||
  fail "watch of a file copied in meanwhile: $(cat "$work/body")"

# The details name the race, not the file, and show every racer in
# finishing order, the player marked, with the gap and the speed's unit.
status GET "/api/race?file=$newest" >/dev/null
race=$(field title)
[[ $race == 'ALPINE, 2026-'* ]] || fail "the details' title does not name the race: $(cat "$work/body")"
details=$(field facts)
grep -qF 'Copied from' <<<"$details" && fail "the details show where the game keeps its replay"
for row in '<td>1</td><td>Zoë <span class="you">(you)</span></td>' \
           '<td>2</td><td>&lt;script&gt;</td>' '<td>3</td><td>Renée</td>' \
           '<td>+7.00 s</td><td>217 km/h</td>'; do
  grep -qF "$row" <<<"$details" || fail "the details of $newest lack $row"
done
# Its row names the race as the details do: each button of the row says
# it, for a screen reader that reads a button alone.
grep -qF "\"name\":\"$race\"" <<<"$(curl -s "${auth[@]}" "$base/api/rows")" || fail "no row is named '$race'"

# Names the game wrote in Windows-1252, asked for in UTF-8 as the page
# asks: the player Zoë's laps are hers ("yours") in every race, her
# personal bests are found, and a search finds Jürgen and Renée (in another
# letter case) in the six races each drove.
get() { curl -s "${auth[@]}" "$base$1"; }
py() { python3 -c "import json, sys; d = json.load(sys.stdin); print($1)"; }
mine=$(get '/api/rows?racer=Zo%C3%AB&limit=500' | py 'sum(1 for r in d["rows"] if r["yours"]), d["total"]')
[[ $mine == "12 12" ]] || fail "Zoë's own laps in the rows (races with one, races): $mine, want 12 12"
bests=$(run list --ini replay_autosave.ini --racer Zoë --csv | awk -F, '$8 == 1' | wc -l)
got=$(get '/api/rows?racer=Zo%C3%AB&pb=1' | py 'd["total"]')
((bests > 0)) && [[ $got == "$bests" ]] || fail "Zoë's personal bests in the rows: $got, want $bests (list), not 0"
for q in J%C3%BCrgen ren%C3%A9e; do
  got=$(get "/api/rows?q=$q" | py 'd["total"]')
  [[ $got == 6 ]] || fail "a search for $q finds $got races, want 6"
done

# A friend named Renée, her share imported: her races, her name shown as
# another (an alias), the chart of Zoë's laps compared with hers, and
# Remove of the friend, each asked for in UTF-8.
source "$here/friend_share.sh"
friend_share "$work/friend" "$game" ${emulator:+"$emulator"} "$tool"
run import --ini replay_autosave.ini "$(program_path "$work/friend/friend.rpshare")" >/dev/null
[[ $(status GET '/api/friend-races?friend=Ren%C3%A9e') == 200 && $(py 'd["total"]' <"$work/body") == 1 ]] ||
  fail "Renée's races: $(cat "$work/body")"
[[ $(status POST /alias "old=Ren%C3%A9e&new=Rennie") == 200 ]] || fail "alias: $(cat "$work/body")"
[[ $(get /api/friends | py '[f["shown"] for f in d["friends"] if f["name"] == "Renée"]') == "['Rennie']" ]] ||
  fail "the alias is not shown: $(get /api/friends)"
compared=$(get '/api/chart?track=ALPINE&type=SR&racer=Zo%C3%AB&friend=Ren%C3%A9e' |
           py 'd["overlay"]["racer"], len(d["overlay"]["points"]) > 0, len(d["points"]) > 0' 2>&1 || true)
[[ $compared == "Rennie True True" ]] || fail "Compare with Renée: $compared"
[[ $(status POST /friend/remove "friend=Ren%C3%A9e") == 200 ]] ||
  fail "Remove of Renée: $(cat "$work/body")"
[[ ! -e $saves/Friends/Renée ]] || fail "Remove of Renée left her folder"

# A big share imports while the app answers: every answer of the list
# within a second; then one sent slowly tells its progress while it comes,
# and Cancel leaves nothing of it.
python3 "$here/../friends/big_share.py" "$work/big.rpshare" share 5000 Łukasz
send_big() {
  curl -s "${auth[@]}" -H 'Content-Type: application/octet-stream' --data-binary @"$work/big.rpshare" \
    "$@" "$base/import?name=big.rpshare"
}
send_big -o "$work/big.out" &
sender=$!
late=0
while kill -0 "$sender" 2>/dev/null; do
  [[ $(curl -s "${auth[@]}" -o /dev/null -w '%{http_code}' --max-time 1 "$base/api/rows?limit=20") == 200 ]] ||
    late=$((late + 1))
done
wait "$sender"
py '"ok" if d["ok"] else d["message"]' <"$work/big.out" | grep -qx ok || fail "the big import: $(cat "$work/big.out")"
((late == 0)) || fail "$late of the list's answers took over a second while a big import ran"
[[ $(find "$saves/Friends/Łukasz" -name '*.rp4' | wc -l) == 5000 ]] || fail "the big import placed $(ls "$saves/Friends/Łukasz" | wc -l) files"
rm -rf "$saves/Friends/Łukasz"
friends_before=$(cd "$saves/Friends" && find . | sort)
send_big --limit-rate 200k -o "$work/big.out" &
sender=$!
told=
for _ in $(seq 50); do
  told=$(curl -s "${auth[@]}" "$base/api/import")
  [[ $told == *'"running":true'* ]] && break
  sleep 0.1
done
[[ $told == *'"stage":"receiving"'* ]] || fail "a big import's progress: $told"
[[ $(status POST /import/cancel "") == 200 ]] || fail "cancel: $(cat "$work/body")"
wait "$sender"
[[ $(py 'd["ok"]' <"$work/big.out") == False ]] || fail "a cancelled import: $(cat "$work/big.out")"
[[ $(cd "$saves/Friends" && find . | sort) == "$friends_before" ]] || fail "a cancelled import left $(ls -a "$saves/Friends")"

# A race saved meanwhile is among what changed since the page's cursor.
cursor=$(curl -s "${auth[@]}" "$base/api/facts" | sed 's/.*"cursor":\([0-9]*\).*/\1/')
cp -p "$saves/$newest" "$saves/new-$newest"
grep -aF "$newest" "$saves/replays.csv" | LC_ALL=C sed "s/^$newest/new-$newest/" >>"$saves/replays.csv"
grep -qF "\"id\":\"new-$newest\"" <<<"$(curl -s "${auth[@]}" "$base/state?since=$cursor")" ||
  fail "/state?since= does not tell of the race saved: $(curl -s "${auth[@]}" "$base/state?since=$cursor")"

# Dir changed in the INI while the app runs: the next answers show the new
# folder, and the page says it switched.
cp "$game/replay_autosave.ini" "$work/ini.kept"
mkdir -p "$game/Other Saves"
printf '[ReplayAutosave]\r\nRecord = 1\r\nDir = Other Saves\r\n' >"$game/replay_autosave.ini"
grep -qF "\"dir\":\"$(shown_path "$game/Other Saves")\"" <<<"$(curl -s "${auth[@]}" "$base/api/facts")" ||
  fail "the facts do not show the new Dir: $(curl -s "${auth[@]}" "$base/api/facts")"
grep -qF 'changed: this page now shows' <<<"$(curl -s "${auth[@]}" "$base/api/facts")" ||
  fail "the page does not say it switched folders"

# A Dir that does not exist yet, as on a fresh install: an empty library
# that says so, and the first race appears by itself.
printf '[ReplayAutosave]\r\nRecord = 1\r\nDir = First Saves\r\n' >"$game/replay_autosave.ini"
[[ $(curl -s "${auth[@]}" -o "$work/page" -w '%{http_code}' "$base/api/facts") == 200 ]] ||
  fail "the app refused a Dir that does not exist yet: $(cat "$work/page")"
grep -qF 'race once and it appears here' "$work/page" || fail "the empty library does not say how to fill it"
state=$(curl -s "${auth[@]}" "$base/state")
[[ $(curl -s "${auth[@]}" "$base/api/rows") == *'"total":0'* ]] || fail "the empty library has rows"
mkdir "$game/First Saves"
cp -p "$saves/$newest" "$game/First Saves/"
{ head -1 "$saves/replays.csv"; grep -aF "$newest" "$saves/replays.csv"; } >"$game/First Saves/replays.csv"
[[ $(curl -s "${auth[@]}" "$base/state") != "$state" ]] || fail "/state did not change with the first race"
grep -qF "\"id\":\"$newest\"" <<<"$(curl -s "${auth[@]}" "$base/api/rows")" || fail "the first race is not in the page's rows"
cp "$work/ini.kept" "$game/replay_autosave.ini"

# A second start on the same port, then a stop. A job started in the
# background of a script ignores Ctrl+C's SIGINT, so SIGTERM stands for it
# on Linux.
second=$(run serve --ini replay_autosave.ini --no-open --port "$port" 2>&1) && fail "a second serve on $port started"
grep -q "port is taken" <<<"$second" || fail "a second start said: $second"
if ! on_windows; then
  kill -TERM "$server"
  wait "$server" || fail "serve ended with $? when stopped"
  grep -q "The library app stopped." "$work/serve.out" || fail "serve did not say it stopped"
fi

((failures == 0)) || exit 1
echo "serve over HTTP: all cases pass"
