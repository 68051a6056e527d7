# Sourced by the scripts that take a library from Debian's source packages
# (httplib.sh, sqlite.sh). ra_debian_source PACKAGE VERSION SUITE WORK
# fetches PACKAGE's source of VERSION from Debian's SUITE with apt's own
# client and unpacks it, Debian's patches applied, into WORK/src. It uses a
# source list of its own, so nothing in /etc/apt changes. apt's messages go
# to WORK/log; on failure their end is shown and the script exits.
ra_debian_source() {
  local package=$1 version=$2 suite=$3 work=$4
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  printf 'deb-src http://deb.debian.org/debian %s main\n' "$suite" >"$work/sources.list"
  local apt_own=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
                 -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
                 -o APT::Sandbox::User=root)
  if ! apt-get "${apt_own[@]}" update -qq >"$work/log" 2>&1 ||
     ! (cd "$work" && apt-get "${apt_own[@]}" source -qq --download-only "$package" \
          >>"$work/log" 2>&1); then
    tail -n 20 "$work/log" >&2
    echo "deps: cannot fetch the source package $package $version from Debian's $suite" >&2
    exit 1
  fi
  local dsc
  dsc=$(find "$work" -maxdepth 1 -name "${package}_$version-*.dsc" -print -quit)
  [[ -n $dsc ]] || {
    echo "deps: Debian's $suite has no source package $package $version" >&2
    exit 1
  }
  (cd "$work" && dpkg-source -x "$dsc" src >>"$work/log" 2>&1) || {
    tail -n 20 "$work/log" >&2
    echo "deps: cannot unpack $dsc" >&2
    exit 1
  }
}
