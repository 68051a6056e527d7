#!/usr/bin/env bash
# Times replay-autosave.exe prune of a save folder of N recorded replays
# (default 1000) on Wine: the dry run, then --apply with --keep 0, which
# moves all of them to Wine's Recycle Bin (the freedesktop trash in HOME).
# Each run gets a fresh folder; prints the real time of each run.
#
#   bash bench/wine/prune_wine.sh [REPLAYS] [RUNS]
#
# RA_MINGW_BUILD picks the mingw build (default build/mingw), which must be
# built; RA_BENCH_DIR the folder for the files (default /dev/shm; Wine puts
# what it trashes on another file system than HOME's into that file
# system's own .Trash-UID). With RA_BENCH_HOLD=K the K-th newest replay
# (1 the newest) is held open by another program during --apply, so that
# one file fails and the rest must still go. Wine's prefix and HOME are
# kept in the build folder, made on the first run.
set -euo pipefail
cd "$(dirname "$0")/../.."

replays=${1:-1000} runs=${2:-3} held=${RA_BENCH_HOLD:-0}
build=$(realpath "${RA_MINGW_BUILD:-build/mingw}")
exe=$build/src/replay-autosave.exe
hold=$build/tests/mingw/hold_file.exe
for f in "$exe" "$hold"; do
  [[ -f $f ]] || { echo "prune_wine: $f is missing: build the mingw preset" >&2; exit 1; }
done
top="${RA_BENCH_DIR:-$([[ -d /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}"
root=$top/ra-prune-wine

export WINEPREFIX=$build/bench/wine-prefix WINEDEBUG=-all WINEARCH=win32 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME=$build/bench/wine-home XDG_DATA_HOME=$build/bench/wine-home/.local/share
# Wine trashes nothing (it deletes) when the trash folder cannot be made.
mkdir -p "$XDG_DATA_HOME"
[[ -f $WINEPREFIX/system.reg ]] || { wineboot -i && wineserver -w; }
# One server for all runs, as on a desktop where Wine is already up.
wineserver -p 30 </dev/null >/dev/null 2>&1 || true

# A game folder with replays.csv and the replays, 16 KiB each.
make_folder() {
  rm -rf "$root" "$XDG_DATA_HOME/Trash" "$top/.Trash-$(id -u)"
  mkdir -p "$root/SaveData/Saves"
  cp "$exe" "$root/"
  printf '[ReplayAutosave]\r\nRecord = 1\r\n' >"$root/replay_autosave.ini"
  local saves=$root/SaveData/Saves
  head -c 16384 /dev/zero | tr '\0' 'r' >"$root/one.rp4"
  {
    printf 'file,saved,type,track,laps,source\r\n'
    for ((i = 0; i < replays; i++)); do
      local name day
      printf -v day '2026-%02d-%02d %02d:%02d:00' $((1 + i / 600 % 12)) $((1 + i / 24 % 25)) $((i % 24)) $((i % 60))
      printf -v name 'race_%05d_SR_ALPINE_3L.rp4' "$i"
      printf '%s,%s,SR,ALPINE,3,Replays\\replay.rp4\r\n' "$name" "$day"
      cp "$root/one.rp4" "$saves/$name"
    done
  } >"$saves/replays.csv"
}

# time_run ARGS...: seconds of real time of one run of the program.
time_run() {
  local start end
  start=$(date +%s.%N)
  (cd "$root" && ${RA_BENCH_TIME:-} wine replay-autosave.exe prune --keep 0 "$@" </dev/null >"$root/out" 2>&1) || true
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

echo "== $(nproc) x $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
     "$(wine --version), $(date -u '+%Y-%m-%d %H:%M UTC'), $replays replays in $root"
for ((r = 1; r <= runs; r++)); do
  make_folder
  dry=$(time_run)
  if ((held > 0)); then
    printf -v name 'race_%05d_SR_ALPINE_3L.rp4' $((replays - held))
    coproc holder { wine "$hold" "Z:${root//\//\\}\\SaveData\\Saves\\$name"; }
    read -r said <&"${holder[0]}" || true
  fi
  apply=$(time_run --apply)
  if ((held > 0)); then
    exec {holder[1]}>&-
    wait "$holder_PID" || true
  fi
  left=$(find "$root/SaveData/Saves" -name '*.rp4' | wc -l)
  # The trash of the file system the files are on: HOME's, or one at its top.
  trashed=$(find "$XDG_DATA_HOME/Trash/files" "$top/.Trash-$(id -u)/files" -name '*.rp4' 2>/dev/null | wc -l || true)
  echo "run $r: dry run ${dry}s, --apply ${apply}s; left $left, in the trash $trashed; $(tail -n 1 "$root/out" | tr -d '\r')"
done
rm -rf "$root" "$top/.Trash-$(id -u)"
