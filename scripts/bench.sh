#!/usr/bin/env bash
# Builds the benchmark program of the release preset (the native build
# without sanitizers) and runs it: MD5 against
# OpenSSL, template expansion, the cost of probing for a free name, one whole
# autosave against a plain copy, and scrubbing. Prints the figures and, at
# the end, each ratio with its target. Arguments go to the program, e.g.
#   scripts/bench.sh --benchmark_filter=Md5
# RA_NATIVE_BUILD picks the build folder (default build/release); RA_BENCH_DIR
# the folder for the benchmark's files (default /dev/shm, else the temp folder).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${RA_NATIVE_BUILD:-build/release}"

bash scripts/deps.sh
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target ra_bench

echo "== $(nproc) x $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1), $(date -u '+%Y-%m-%d %H:%M UTC')"
"$build/bench/ra_bench" "$@"
