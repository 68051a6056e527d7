#!/usr/bin/env bash
# friends_import_bench.sh WORK OLD NEW [RUNS]
# Imports of big shares and cards, and the memory of sharing and importing
# one long replay, by two builds of the companion side by side (OLD and NEW:
# replay-autosave programs, best built without sanitizers), alternately,
# RUNS times (default 3). Prints, as figures and not as pass or fail:
#   import of a share of 5,000 / 20,000 / 100,000 replays (640 bytes each,
#     a record line each) into a new Dir, and of a card of as many lines;
#   the peak memory (/usr/bin/time -f %M) of `share` of one 60 MB replay
#     and of its `import`;
# each as the median of the runs' wall-clock seconds (or KB), with the load
# average before and after. An import still running after LIMIT seconds
# (default 300) is stopped and shown as ">LIMIT".
set -euo pipefail
work=$1 old=$2 new=$3 runs=${4:-3}
limit=${LIMIT:-300}
rm -rf "$work"
mkdir -p "$work"

# The share and card files, in the format's exact schema, made once.
here=$(cd "$(dirname "$0")" && pwd)
python3 - "$work" "$here/../tests/cli/friends" <<'PY'
import os, sys
work = sys.argv[1]
sys.path.insert(0, sys.argv[2])
from big_share import head, line, make
for n in (5000, 20000, 100000):
    make(os.path.join(work, "share-%d.rpshare" % n), "share", n)
    make(os.path.join(work, "card-%d.rpcard" % n), "card", n)
# Ann's Dir with one replay of 60 MB and its line, to share.
ann = os.path.join(work, "ann", "SaveData", "Saves")
os.makedirs(ann)
open(os.path.join(work, "ann", "replay_autosave.ini"), "w").write("[ReplayAutosave]\r\nRecord = 1\r\n")
name = "2024-01-01_10-00-00_SR_LONG.rp4"
with open(os.path.join(ann, name), "wb") as f:
    block = os.urandom(1 << 20)
    for _ in range(60): f.write(block)
open(os.path.join(ann, "replays.csv"), "w").write(head + "\r\n" + line(0, name) + "\r\n")
PY

median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
# One import into a new Dir: seconds, or ">LIMIT".
import_time() {
  local program=$1 file=$2 game=$work/bob
  rm -rf "$game"
  mkdir -p "$game/SaveData/Saves"
  printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$game/replay_autosave.ini"
  local start end
  start=$(date +%s.%N)
  if ! timeout "$limit" $program import --ini "$game/replay_autosave.ini" "$file" >/dev/null; then
    echo ">$limit"
    return
  fi
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
# Peak memory in KB of one command.
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A got
for ((r = 1; r <= runs; ++r)); do
  for which in old new; do
    program=${!which}
    for n in 5000 20000 100000; do
      got[$which-share-$n]+="$(import_time "$program" "$work/share-$n.rpshare") "
      got[$which-card-$n]+="$(import_time "$program" "$work/card-$n.rpcard") "
    done
    rm -f "$work/long.rpshare"
    got[$which-share-mem]+="$(peak $program share --ini "$work/ann/replay_autosave.ini" \
      2024-01-01_10-00-00_SR_LONG.rp4 -o "$work/long.rpshare") "
    rm -rf "$work/bob" && mkdir -p "$work/bob/SaveData/Saves"
    printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$work/bob/replay_autosave.ini"
    got[$which-import-mem]+="$(peak $program import --ini "$work/bob/replay_autosave.ini" "$work/long.rpshare") "
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-28s %14s %14s   runs (old | new)\n' measure old new
for key in share-5000 share-20000 share-100000 card-5000 card-20000 card-100000 share-mem import-mem; do
  o=${got[old-$key]} n=${got[new-$key]}
  mo=$(tr ' ' '\n' <<<"$o" | grep -v '^$' | sed 's/^>.*/999999/' | median)
  mn=$(tr ' ' '\n' <<<"$n" | grep -v '^$' | sed 's/^>.*/999999/' | median)
  unit=s
  [[ $key == *mem ]] && unit=KB
  printf '%-28s %14s %14s   %s| %s\n' "$key ($unit)" "$mo" "$mn" "$o" "$n"
done
