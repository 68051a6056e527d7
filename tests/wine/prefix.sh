#!/usr/bin/env bash
# prefix.sh ROOT
# Makes the Wine tier's prefix afresh ($WINEPREFIX, below ROOT) and the home
# folder that Wine's Recycle Bin lives in ($HOME), and waits until Wine has
# finished writing them. Fails when Wine is missing.
set -euo pipefail
root=${1:?usage: prefix.sh ROOT}

if ! command -v wine >/dev/null || ! command -v wineboot >/dev/null; then
  echo "prefix.sh: Wine is missing; install it with: bash scripts/deps.sh" >&2
  exit 1
fi
: "${WINEPREFIX:?prefix.sh: WINEPREFIX is not set}" "${HOME:?}"
case $WINEPREFIX in "$root"/*) ;; *)
  echo "prefix.sh: WINEPREFIX $WINEPREFIX is not below $root" >&2
  exit 1
esac

# A server left from an earlier run would keep the old prefix open.
wineserver -k 2>/dev/null || true
rm -rf "$root"
mkdir -p "$root" "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
wineboot -i
wineserver -w
for f in system.reg user.reg; do
  [[ -f $WINEPREFIX/$f ]] || { echo "prefix.sh: wineboot left no $f in $WINEPREFIX" >&2; exit 1; }
done
echo "prefix.sh: Wine $(wine --version) prefix ready in $WINEPREFIX"
