#!/usr/bin/env bash
# The players' replay-autosave.exe for 64-bit Windows on wine64: the
# library's index and the app of bench/serve_bench.sh (the index rebuild,
# list --track, the first rows, an action, ...) at each number of races
# given (default 5000 and 50000), the seasons generated as there. Prints the
# figures; bench/README.md keeps those of one run.
#
#   bash bench/wine/serve_wine64.sh [RACES...]
#
# RA_MINGW64_BUILD picks the mingw64 build (default build/mingw64), which
# must be built; RA_BENCH_DIR the folder for the seasons (default /dev/shm).
# Wine's prefix and HOME are kept in the build folder, made on the first run.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=$(realpath "${RA_MINGW64_BUILD:-build/mingw64}")
exe=$build/src/replay-autosave.exe
[[ -f $exe ]] || { echo "serve_wine64: $exe is missing: build the mingw64 preset" >&2; exit 1; }
wine64=/usr/lib/wine/wine64
[[ -x $wine64 ]] || { echo "serve_wine64: $wine64 is missing: bash scripts/deps.sh" >&2; exit 1; }
top="${RA_BENCH_DIR:-$([[ -d /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}"
(($#)) || set -- 5000 50000

export WINEPREFIX=$build/bench/wine-prefix WINEDEBUG=-all WINEARCH=win64 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME=$build/bench/wine-home XDG_DATA_HOME=$build/bench/wine-home/.local/share
mkdir -p "$XDG_DATA_HOME"
[[ -f $WINEPREFIX/system.reg ]] || { "$wine64" wineboot -i && wineserver -w; }
# One server for all runs, as on a desktop where Wine is already up. Wine's
# services start with the server's first program and outlive it: started
# here, they hold none of the timed commands' output pipes open.
wineserver -p 30 </dev/null >/dev/null 2>&1 || true
"$wine64" wineboot </dev/null >/dev/null 2>&1

echo "== $(nproc) x $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
     "$("$wine64" --version), $(date -u '+%Y-%m-%d %H:%M UTC'), load $(cut -d' ' -f1-3 /proc/loadavg)"
for races in "$@"; do
  bash bench/serve_bench.sh --races "$races" "$top/ra-serve-wine64-$races" "$wine64" "$exe"
  rm -rf "$top/ra-serve-wine64-$races"
done
echo "== load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
# Wine's services would keep the server, and themselves, alive.
wineserver -k || true
