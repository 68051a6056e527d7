#!/usr/bin/env bash
# Times the whole autosave of a 1 MiB replay (Record = 1, ClearIp = 1) on
# Wine, through the Windows simulator's host code and the shipped
# replay_autosave.vqp, against a bare CopyFileA of the same file, both in
# turn in one loop; then counts the KERNEL32 calls of one save. Prints the
# figures (bench/README.md keeps those of one run). Arguments go to the
# program, e.g. scripts/bench_wine.sh --rounds 200.
# RA_MINGW_BUILD picks the mingw build (default build/mingw); RA_BENCH_DIR
# the folder for the game and its files (default /dev/shm, a memory file
# system, else the temp folder). Wine's prefix is kept in the build folder,
# made on the first run.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${RA_MINGW_BUILD:-build/mingw}"
bash scripts/deps.sh
cmake --preset mingw -B "$build" >/dev/null
cmake --build "$build" --target autosave-wine-bench replay_autosave

root="${RA_BENCH_DIR:-$([[ -d /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}/ra-wine-bench"
game=$root/game
rm -rf "$game"
mkdir -p "$game"
# The plug-in reads its settings beside the program that runs, as in the game.
cp "$build/bench/autosave-wine-bench.exe" "$game/"
printf '[ReplayAutosave]\r\nRecord = 1\r\nClearIp = 1\r\n' >"$game/replay_autosave.ini"

export WINEPREFIX=$(realpath "$build")/bench/wine-prefix WINEDEBUG=-all WINEARCH=win32 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[[ -f $WINEPREFIX/system.reg ]] || { wineboot -i && wineserver -w; }

# Z: is the host's root in every Wine prefix.
winpath() { printf 'Z:%s' "$(realpath "$1" | sed 's|/|\\|g')"; }
echo "== $(nproc) x $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
     "$(wine --version), $(date -u '+%Y-%m-%d %H:%M UTC'), files in $root"
race=$(winpath examples/race.ini) vqp=$(winpath "$build/src/replay_autosave.vqp")
(cd "$game" && wine ./autosave-wine-bench.exe --game-dir "$(winpath "$game")" --race "$race" \
   --plugin "$vqp" "$@")
