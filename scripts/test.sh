#!/usr/bin/env bash
# Builds all three builds from scratch and runs every test of every build:
# the binary check of the shipped DLL, the i386 suite under qemu, the native
# suite under ASan/UBSan, then each fuzzer for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/format.sh --check

for preset in mingw i386 native; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

for preset in mingw i386 native; do
  echo "== $preset: tests"
  ctest --preset "$preset"
done

if [[ -x scripts/fuzz.sh ]]; then
  echo "== native: fuzzers"
  bash scripts/fuzz.sh "${RA_FUZZ_SECONDS:-30}"
fi
