#!/usr/bin/env bash
# on_wine.sh COMMAND...
# Runs one test of the Wine tier, or skips it (status 77, which ctest shows
# as skipped) on a machine whose kernel refuses 32-bit x86 programs: Wine's
# loader for 32-bit Windows programs is itself one (wine32:i386), and some
# virtual machines run 64-bit code only. Under qemu-user it would take more
# than ten minutes to make a prefix, so the tier is not moved there. A
# missing Wine is a failure, never a skip: scripts/deps.sh installs it.
set -euo pipefail
loader=/usr/lib/wine/wine

if [[ ! -x $loader ]]; then
  echo "on_wine.sh: Wine's 32-bit loader $loader is missing; install it with: bash scripts/deps.sh" >&2
  exit 1
fi
status=0
why=$("$loader" --version 2>&1 >/dev/null) || status=$?
if ((status == 126)) && [[ $why == *"Exec format error"* ]]; then
  echo "on_wine.sh: SKIPPED: this kernel does not run 32-bit x86 programs ($loader: Exec format error), so Wine cannot run the Windows programs here"
  exit 77
fi
exec "$@"
