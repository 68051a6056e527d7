#!/usr/bin/env bash
# cpp-httplib as one header, for the companion's server. Debian 12 has
# 0.11.4, whose reader grows a request line without bound; Debian 13's
# source package of 0.18.7 has the caps on the request line, the headers and
# the body, and Debian's security fixes. Debian's binary package splits the
# library into a header and a shared object built for the host alone, which
# neither the 32-bit builds nor the Windows cross build can link, so the
# single header is taken from the source package, with Debian's patches and
# ours (httplib-read-deadline.patch: an overall deadline for reading one
# connection) applied. Fetched with apt's own client from Debian's archive,
# with a source list of its own (nothing in /etc/apt changes), into
# ${RA_HTTPLIB_HOME}; nothing happens when it is there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=debian_source.sh
source "$here/debian_source.sh"

version=0.18.7
suite=trixie
# The folder names the version and our patch's revision, so that a build
# never takes a header fetched before either changed.
home=${RA_HTTPLIB_HOME:-/usr/local/share/cpp-httplib/$version-ra1}
[[ -f $home/httplib.h ]] && exit 0
if [[ $(id -u) -ne 0 ]]; then
  echo "deps: cpp-httplib's header is missing from $home and fetching it needs root" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ra_debian_source cpp-httplib "$version" "$suite" "$work"
grep -q "CPPHTTPLIB_VERSION \"$version\"" "$work/src/httplib.h" || {
  echo "deps: the source package's httplib.h is not version $version" >&2
  exit 1
}
(cd "$work/src" && patch -s -p1 <"$here/httplib-read-deadline.patch") || {
  echo "deps: httplib-read-deadline.patch does not apply to cpp-httplib $version" >&2
  exit 1
}
mkdir -p "$home"
cp "$work/src/httplib.h" "$work/src/LICENSE" "$home/"
echo "deps: cpp-httplib $version's header is in $home"
