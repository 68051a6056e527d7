#!/usr/bin/env bash
# SQLite's amalgamation (one sqlite3.c and its sqlite3.h), for the builds
# that cannot link Debian's library: the Windows cross build, and the
# static 32-bit Linux build (an i386 libsqlite3-dev must be of exactly the
# amd64 package's version, which a mirror's security suite does not always
# give both of). Made from Debian 12's source package of 3.40.1, the same
# source as the native build's libsqlite3-dev, with Debian's patches
# applied: "./configure && make sqlite3.c" (which needs tclsh). Fetched with
# apt's own client from Debian's archive, with a source list of its own
# (nothing in /etc/apt changes), into ${RA_SQLITE_HOME}; nothing happens
# when it is there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=debian_source.sh
source "$here/debian_source.sh"

version=3.40.1
suite=bookworm
home=${RA_SQLITE_HOME:-/usr/local/share/sqlite-amalgamation/$version}
[[ -f $home/sqlite3.c && -f $home/sqlite3.h ]] && exit 0
if [[ $(id -u) -ne 0 ]]; then
  echo "deps: SQLite's amalgamation is missing from $home and making it needs root" >&2
  exit 1
fi
command -v tclsh >/dev/null || {
  echo "deps: making SQLite's amalgamation needs tclsh (the package tcl)" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ra_debian_source sqlite3 "$version" "$suite" "$work"
# Out of the source tree, as SQLite's own build instructions do it.
mkdir "$work/build"
(cd "$work/build" && ../src/configure --disable-tcl >>"$work/log" 2>&1 &&
   make sqlite3.c >>"$work/log" 2>&1) || {
  tail -n 20 "$work/log" >&2
  echo "deps: cannot make sqlite3.c from the source package" >&2
  exit 1
}
grep -q "#define SQLITE_VERSION *\"$version\"" "$work/build/sqlite3.h" || {
  echo "deps: the amalgamation made is not SQLite $version" >&2
  exit 1
}
mkdir -p "$home"
cp "$work/build/sqlite3.c" "$work/build/sqlite3.h" "$home/"
echo "deps: SQLite $version's amalgamation is in $home"
