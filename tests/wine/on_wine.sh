#!/usr/bin/env bash
# on_wine.sh COMMAND...
# Runs one test of the Wine tier with the loader $RA_WINE, after asking it
# to start. A loader that is missing or cannot start is a failure, with the
# reason (scripts/deps.sh installs Wine), except in the wine32 label
# (RA_WINE_SKIP_WITHOUT_32_BIT=1): wine32's loader is itself a 32-bit
# program, and a kernel that runs no 32-bit x86 program (some virtual
# machines run 64-bit code only) refuses it, so such a test skips (status
# 77, which ctest shows as skipped) and says why. Under qemu-user it would
# take more than ten minutes to make a prefix, so wine32 is not moved there.
set -euo pipefail
loader=${RA_WINE:?on_wine.sh: RA_WINE names no Wine loader}

if [[ ! -x $loader ]]; then
  echo "on_wine.sh: the Wine loader $loader is missing; install it with: bash scripts/deps.sh" >&2
  exit 1
fi
status=0
why=$("$loader" --version 2>&1 >/dev/null) || status=$?
if ((status != 0)); then
  if [[ ${RA_WINE_SKIP_WITHOUT_32_BIT:-} == 1 && $why == *"Exec format error"* ]]; then
    echo "on_wine.sh: SKIPPED: this kernel does not run 32-bit x86 programs ($loader: Exec format error), so the 32-bit Windows programs cannot run here"
    exit 77
  fi
  echo "on_wine.sh: $loader cannot start (status $status): $why" >&2
  exit 1
fi
exec "$@"
