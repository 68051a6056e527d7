#!/usr/bin/env bash
# prefix.sh ROOT
# Makes a Wine tier's prefix afresh ($WINEPREFIX, below ROOT, of the
# architecture $WINEARCH, with the loader $RA_WINE) and the home folder that
# Wine's Recycle Bin lives in ($HOME), and waits until Wine has finished
# writing them. Fails when Wine is missing.
set -euo pipefail
root=${1:?usage: prefix.sh ROOT}

if [[ ! -x ${RA_WINE:-} ]] || ! command -v wineserver >/dev/null; then
  echo "prefix.sh: Wine is missing (loader '${RA_WINE:-}'); install it with: bash scripts/deps.sh" >&2
  exit 1
fi
: "${WINEPREFIX:?prefix.sh: WINEPREFIX is not set}" "${WINEARCH:?}" "${HOME:?}"
case $WINEPREFIX in "$root"/*) ;; *)
  echo "prefix.sh: WINEPREFIX $WINEPREFIX is not below $root" >&2
  exit 1
esac

# A server left from an earlier run would keep the old prefix open.
wineserver -k 2>/dev/null || true
rm -rf "$root"
mkdir -p "$root" "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
"$RA_WINE" wineboot -i
wineserver -w
for f in system.reg user.reg; do
  [[ -f $WINEPREFIX/$f ]] || { echo "prefix.sh: wineboot left no $f in $WINEPREFIX" >&2; exit 1; }
done
# The tests share one server. Left to itself it exits a few seconds after its
# last program ends, and a program starting in that moment is refused
# ("recvmsg: Connection reset by peer"), so it stays up until wine_server_stop.
# Wine's services start with the server's first program and live as long as
# the server; started here, they hold no test's output pipe open.
wineserver -p </dev/null >/dev/null 2>&1
"$RA_WINE" wineboot </dev/null >/dev/null 2>&1
echo "prefix.sh: Wine $("$RA_WINE" --version) ($WINEARCH) prefix ready in $WINEPREFIX"
