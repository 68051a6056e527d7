#!/usr/bin/env bash
# Builds all four builds from scratch and runs every test of every build:
# the binary checks of the shipped DLL and the Windows programs (mingw,
# mingw64), the i386 suite under qemu with the Wine tier, which runs the
# programs of both Windows builds (so these are built first), the native
# suite under ASan/UBSan, then each fuzzer for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/format.sh --check

for preset in mingw mingw64 i386 native; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

for preset in mingw mingw64 i386 native; do
  echo "== $preset: tests"
  ctest --preset "$preset"
done

if [[ -x scripts/fuzz.sh ]]; then
  echo "== native: fuzzers"
  bash scripts/fuzz.sh "${RA_FUZZ_SECONDS:-30}"
fi
