#!/usr/bin/env bash
# seasons_test.sh EMULATOR SIM TOOL WORK
# Two players' seasons played through the simulator: Renée (ClearIp = 0)
# and Zoë, who drove two races together, their names in the game's
# Windows-1252. Renée shares three races and her card, Zoë imports them;
# then Zoë's own files, the shared replays, the leaderboard and head to
# head, and a second import are checked.
# EMULATOR runs the 32-bit programs (qemu-i386-static), or is empty.
set -euo pipefail
emulator=$1 sim=$2 tool=$3 work=$4
run() { ${emulator:+"$emulator"} "$@"; }
fail() { echo "seasons_test: $*" >&2; exit 1; }

rm -rf "$work"
bash "$(dirname "$0")/two_seasons.sh" "$emulator" "$sim" "$work" $'Ren\xe9e' $'Zo\xeb'
ann=$work/ann bob=$work/bob

ann_dir=$ann/SaveData/Saves bob_dir=$bob/SaveData/Saves
mapfile -t ann_replays < <(cd "$ann_dir" && ls ./*.rp4 | sed 's|^\./||' | sort)
[[ ${#ann_replays[@]} -eq 4 ]] || fail "Renée has ${#ann_replays[@]} replays, want 4"
grep -q '10[.]1[.]2[.]1' "$ann_dir/${ann_replays[0]}" || fail "Renée's own replay lost its address (ClearIp = 0)"

# Renée shares her last three races and writes her card.
out=$(cd "$work" && run "$tool" share --ini "$ann/replay_autosave.ini" "${ann_replays[@]:1:3}" -o ann.rpshare)
grep -q 'as Renée:' <<<"$out" || fail "no privacy report: $out"
grep -q '1 address found and cleared' <<<"$out" || fail "the report does not count the address: $out"
grep -q 'names: Renée, Zoë' <<<"$out" || fail "the report does not name the racers: $out"
run "$tool" card --ini "$ann/replay_autosave.ini" -o "$work/ann.rpcard" >/dev/null
# Streamer mode: Zoë is "Rival 1" in what is shared, and Renée is told the
# replay still holds her name.
out=$(cd "$work" && run "$tool" share --ini "$ann/replay_autosave.ini" "${ann_replays[2]}" -o hidden.rpshare --hide-names)
grep -q 'names: Renée, Rival 1$' <<<"$out" || fail "--hide-names shares Zoë's name: $out"
grep -q 'replays themselves still hold the names' <<<"$out" || fail "--hide-names does not warn: $out"

# Zoë's own files before the imports.
snapshot() { (cd "$bob" && find . -path ./SaveData/Saves/Friends -prune -o -type f -print0 | sort -z | xargs -0 sha256sum); }
before=$(snapshot)
run "$tool" import --ini "$bob/replay_autosave.ini" "$work/ann.rpshare" >/dev/null
run "$tool" import --ini "$bob/replay_autosave.ini" "$work/ann.rpcard" >/dev/null
[[ "$(snapshot)" == "$before" ]] || fail "Zoë's own files changed on import"
friend=$bob_dir/Friends/Renée
for name in "${ann_replays[@]:1:3}"; do
  [[ -f $friend/$name ]] || fail "$name not imported"
  if grep -q '10[.]1[.]2[.]' "$friend/$name"; then fail "$name was shared with its address"; fi
done
[[ ! -e $friend/${ann_replays[0]} ]] || fail "the race Renée did not share was imported"
[[ $(grep -c '^' "$friend/replays.csv") -eq 5 ]] || fail "want the header and Renée's 4 lines in her record"
# Her record is UTF-8 after its mark, whatever code page she shared from.
[[ $(head -c 3 "$friend/replays.csv" | od -An -tx1 | tr -d ' ') == efbbbf ]] || fail "her record has no UTF-8 mark"
grep -q 'Renée' "$friend/replays.csv" || fail "her record does not name her in UTF-8"

# A player whose game has saved no race yet has no Dir: the import makes it.
new_pc=$work/Jürgen
mkdir -p "$new_pc"
printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$new_pc/replay_autosave.ini"
out=$(run "$tool" import --ini "$new_pc/replay_autosave.ini" "$work/ann.rpshare" 2>&1) ||
  fail "an import into a game without Dir failed: $out"
[[ -f $new_pc/SaveData/Saves/Friends/Renée/${ann_replays[1]} ]] || fail "nothing imported without Dir: $out"

# Importing again changes nothing.
tree() { (cd "$bob_dir/Friends" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
friends_before=$(tree)
out=$(run "$tool" import --ini "$bob/replay_autosave.ini" "$work/ann.rpshare")
grep -q 'Nothing new' <<<"$out" || fail "a second import says: $out"
[[ "$(tree)" == "$friends_before" ]] || fail "a second import changed Friends"

# Leaderboard: on Alpine Zoë's 5120/64 s leads Renée's 5150; on Coast
# Zoë's 4990 leads Renée's 5000. Renée's Alpine best is in a shared race
# whose line the plug-in bound to its replay, her Coast best in the race she
# did not share (without its replay).
out=$(run "$tool" leaderboard --ini "$bob/replay_autosave.ini")
echo "$out"
grep -Eq '^ALPINE SR$' <<<"$out" || fail "no Alpine board"
grep -Eq '1[.] Zoë \(you\) +1:20[.]00 +2026-03-06 +leader' <<<"$out" || fail "Zoë should lead Alpine"
grep -Eq '2[.] Renée +1:20[.]4[67] +2026-03-05 +\+0[.]4[67] +with its replay \(watch to check\), can be watched' <<<"$out" ||
  fail "Renée's Alpine lap should be second, with its replay"
grep -Eq '2[.] Renée +1:18[.]1[23] +2026-03-01 .* without its replay$' <<<"$out" ||
  fail "Renée's Coast lap came without its replay"
grep -q 'Head to head, Zoë against Renée: 2 races together, 1 won, 1 lost' <<<"$out" ||
  fail "head to head is wrong"
out=$(run "$tool" leaderboard --ini "$bob/replay_autosave.ini" --track coast)
if grep -q ALPINE <<<"$out"; then fail "--track coast shows Alpine"; fi

# An alias is shown everywhere, the name given in another letter case.
run "$tool" alias --ini "$bob/replay_autosave.ini" RENéE "Rennie" >/dev/null
out=$(run "$tool" leaderboard --ini "$bob/replay_autosave.ini")
grep -q 'Zoë against Rennie: 2 races' <<<"$out" || fail "the alias is not shown: $out"
# A name that ends its sentence gets no second full stop.
out=$(run "$tool" alias --ini "$new_pc/replay_autosave.ini" Jürgen "Jürgen Ż.")
[[ $out == "Jürgen is shown as Jürgen Ż." ]] || fail "alias says: $out"

# A replay changed after the import no longer backs its time.
printf 'X' | dd of="$friend/${ann_replays[2]}" bs=1 seek=7000 conv=notrunc status=none
out=$(run "$tool" leaderboard --ini "$bob/replay_autosave.ini" --track alpine)
grep -Eq "2[.] Rennie .* its replay is not shown to be this race's, can be watched" <<<"$out" ||
  fail "a changed replay still backs its time: $out"

# A friend's replay is watched, kept and removed as the player's own are.
shared=${ann_replays[1]}
out=$(run "$tool" restore --ini "$bob/replay_autosave.ini" "Friends\\Rennie\\x.rp4" 2>&1) &&
  fail "a friend nobody imported was restored from: $out"
out=$(run "$tool" restore --ini "$bob/replay_autosave.ini" "Friends\\Renée\\$shared")
cmp -s "$bob/Replays/replay.rp4" "$friend/$shared" || fail "the game does not play Renée's replay: $out"
run "$tool" keep --ini "$bob/replay_autosave.ini" "Friends/Renée/$shared" >/dev/null
out=$(run "$tool" remove --ini "$bob/replay_autosave.ini" "Friends/Renée/$shared" 2>&1) &&
  fail "a kept replay was removed: $out"
run "$tool" unkeep --ini "$bob/replay_autosave.ini" "Friends/Renée/$shared" >/dev/null
run "$tool" remove --ini "$bob/replay_autosave.ini" "Friends/Renée/$shared" >/dev/null
[[ ! -e $friend/$shared ]] || fail "$shared was not removed"
if grep -q "$shared" "$friend/replays.csv"; then fail "$shared is still in Renée's record"; fi

# Prune of Zoë's own folder never touches Friends.
out=$(run "$tool" prune --ini "$bob/replay_autosave.ini" --keep 0)
if grep -q 'Friends' <<<"$out"; then fail "prune would touch Friends: $out"; fi
echo "seasons_test: ok"
