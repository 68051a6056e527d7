#!/usr/bin/env bash
# cpp-httplib as one header, for the companion's server. Debian's binary
# package (libcpp-httplib-dev) splits the library into a header and a shared
# object built for the host alone, which neither the 32-bit builds nor the
# Windows cross build can link; the single header those need is the source
# package's, as Debian patches it. Fetched with apt's own client from
# Debian's archive into ${RA_HTTPLIB_HOME}; nothing happens when it is there.
set -euo pipefail

home=${RA_HTTPLIB_HOME:-/usr/local/share/cpp-httplib}
[[ -f $home/httplib.h ]] && exit 0
if [[ $(id -u) -ne 0 ]]; then
  echo "deps: cpp-httplib's header is missing from $home and fetching it needs root" >&2
  exit 1
fi

# Source indexes beside the binary ones, for the same suites.
sources=/etc/apt/sources.list.d/debian-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  cat >"$sources" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt-get update -qq || echo "deps: apt-get update reported errors; going on with the indexes it has" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq cpp-httplib >/dev/null 2>&1) || {
  echo "deps: cannot fetch the source package cpp-httplib" >&2
  exit 1
}
src=$(find "$work" -maxdepth 2 -name httplib.h -print -quit)
[[ -n $src ]] || { echo "deps: the source package cpp-httplib holds no httplib.h" >&2; exit 1; }
mkdir -p "$home"
cp "$src" "$(dirname "$src")/LICENSE" "$home/"
echo "deps: cpp-httplib's header is in $home"
