#!/usr/bin/env bash
# serve_bench.sh WORK PROGRAM...
# The library app on a long season: 5000 recorded races (four racers each,
# four tracks, nine race types), served by PROGRAM (e.g. the Linux
# companion, "qemu-i386-static build/i386/tools/replay-autosave", or
# "wine build/mingw/src/replay-autosave.exe"). Prints the best and the
# median of seven tries of opening the printed address (the token answered
# with the cookie), of the first page (GET /) and of the actions: POST
# /keep then /unkeep (which list Dir to check the name and write the
# marks), and POST /watch of two replays in turn (which also reads the
# record again and puts the replay in the game's place), each as curl's
# total time.
set -euo pipefail
work=$1
shift
dir=$work/game/SaveData/Saves
mkdir -p "$dir"
printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$work/game/replay_autosave.ini"
python3 - "$dir" <<'PY'
import sys, os
d = sys.argv[1]
head = ("file,saved,started,type,track,laps,cars,count,cops,traffic,tier,circ,seed,weather,night,"
        "direction,mirror,start_pos,index,track_tr_md5,track_trn_md5,source,player")
for col in ("name", "best_lap_car", "total_time_car", "max_speed_car"):
    head += "".join(",%s%d" % (col, c) for c in range(1, 17))
lines = [head]
tracks, types = ["ALPINE", "CITY", "COAST", "CANYON"], ["SR", "ST", "SK", "SC", "SE", "TR", "TT", "TK", "TC"]
rivals = ["Rival:One", "Racer?3", "Racer4", "Speedy", "<script>", "Ana"]
for i in range(5000):
    y, mo, day, h = 2026 + i // (12 * 28 * 3), 1 + i // (28 * 3) % 12, 1 + i // 3 % 28, 18 + i % 3
    when = "%04d-%02d-%02d %02d:05:09" % (y, mo, day, h)
    name = "%04d-%02d-%02d_%02d-05-09_%s_%s_3L.rp4" % (y, mo, day, h, types[i % 9], tracks[i % 4])
    open(os.path.join(d, name), "w").write("r")
    names = ["Player", rivals[i % 6], rivals[(i + 1) % 6], rivals[(i + 3) % 6]]
    cells = [name, when, when, types[i % 9], tracks[i % 4], "3", "4", "4", "2", "0", "0", "0", "1234ABCD",
             "DRY", "NIGHT", "NORMAL", "NORMAL", "4", "", "c81245ac40f414e699ab87189318e7b9",
             "af0d7dbf0a0e346a3c062d8571c1e0db", "Replays\\replay.rp4", "1"]
    for col in range(4):
        for car in range(1, 17):
            v = ""
            if car <= 4:
                lap = 8000 + car * 40 - (i // 10 if car == 1 else 0) + (i * 37 + car * 11) % 90
                v = [names[car - 1], "%d.%02d" % (lap // 100, lap % 100), "247.67", "221"][col]
            cells.append(v)
    lines.append(",".join(cells))
open(os.path.join(d, "replays.csv"), "w", newline="").write("\r\n".join(lines) + "\r\n")
PY
port=$((20000 + RANDOM % 20000))
(cd "$work/game" && exec "$@" serve --ini replay_autosave.ini --no-open --port "$port") >"$work/serve.out" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 300); do grep -q 'is at http' "$work/serve.out" && break; sleep 0.1; done
address=$(grep -o 'http://127\.0\.0\.1:[0-9]*/?s=[0-9a-f]*' "$work/serve.out")
base=http://127.0.0.1:$port
# In as the browser comes in: the address's token becomes the cookie, and
# the page holds the secret of the actions.
jar=$work/cookies
curl -s -c "$jar" -o /dev/null "$address"
secret=$(curl -s -b "$jar" "$base/" | grep -o 'data-secret="[0-9a-f]*"' | cut -d'"' -f2)
mkdir -p "$work/game/Replays"
printf 'r' >"$work/game/Replays/replay.rp4"
mapfile -t files < <(cd "$dir" && find . -maxdepth 1 -name "2026-*.rp4" -printf "%f\n" | sort | sed -n 1,2p)
file=${files[0]}
stats() { sort -n | awk '{a[NR]=$1} END {printf "best %.3f s, median %.3f s\n", a[1], a[int((NR+1)/2)]}'; }
echo "opening the address (its token set as the cookie): $(for _ in $(seq 7); do curl -s -o /dev/null -w '%{time_total}\n' "$address"; done | stats)"
echo "first page (GET /, $(curl -s -b "$jar" "$base/" | wc -c) bytes): $(for _ in $(seq 7); do curl -s -b "$jar" -o /dev/null -w '%{time_total}\n' "$base/"; done | stats)"
echo "action (POST /keep, /unkeep): $(for n in $(seq 7); do
  curl -s -b "$jar" -o /dev/null -w '%{time_total}\n' -d "secret=$secret&file=$file" "$base/$([[ $((n % 2)) == 1 ]] && echo keep || echo unkeep)"
done | stats)"
echo "action (POST /watch): $(for n in $(seq 7); do
  curl -s -b "$jar" -o /dev/null -w '%{time_total}\n' -d "secret=$secret&file=${files[$((n % 2))]}" "$base/watch"
done | stats)"
