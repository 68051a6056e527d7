#!/usr/bin/env bash
# axe-core, the accessibility checker the library app's browser test runs
# inside the page (tests/cli/serve/a11y_in_browser.py). One pinned version
# from the npm registry, installed with npm into a folder of its own and
# checked against the sha512 below, the digest of that version's package as
# the registry published it (npm view axe-core@VERSION dist.integrity); npm
# writes the digest of what it fetched into its lockfile. The checker's
# script and licence land in ${RA_AXE_HOME}; nothing happens when they are
# there. Installed by scripts/deps.sh; "axe.sh --where" prints the folder
# for the test, which fails when the script is not in it.
set -euo pipefail

version=4.14.1
integrity=sha512-FHfa+lmNjQZfJz1q8wKqIDwC6DExcHt/pkjNQb09a3NPjCKg2rhu5qb2S4r76ASyFNNtuFooJpZe37OgudVGtQ==
home=${RA_AXE_HOME:-/usr/local/share/axe-core/$version}
if [[ ${1:-} == --where ]]; then
  echo "$home"
  exit 0
fi
[[ -f $home/axe.min.js ]] && exit 0
command -v npm >/dev/null || { echo "deps: npm is missing; run bash scripts/deps.sh" >&2; exit 1; }
mkdir -p "$(dirname "$home")" 2>/dev/null && [[ -w $(dirname "$home") ]] || {
  echo "deps: axe-core is missing from $home and installing it there needs root" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Node.js trusts its own list of authorities; the system's may hold more (a
# network whose proxy signs with an authority of its own).
system_authorities=/etc/ssl/certs/ca-certificates.crt
[[ -z ${NODE_EXTRA_CA_CERTS:-} && -f $system_authorities ]] &&
  export NODE_EXTRA_CA_CERTS=$system_authorities
# No scripts run at install: the package is a browser script and needs none.
if ! npm install --prefix "$work" --ignore-scripts --no-audit --no-fund --no-update-notifier \
     "axe-core@$version" >"$work/log" 2>&1; then
  tail -n 20 "$work/log" >&2
  echo "deps: npm cannot install axe-core@$version" >&2
  exit 1
fi
got=$(node -e '
  const lock = require(process.argv[1]);
  const p = (lock.packages || {})["node_modules/axe-core"] || {};
  console.log((p.version || "") + " " + (p.integrity || ""));' "$work/package-lock.json")
if [[ $got != "$version $integrity" ]]; then
  echo "deps: npm installed axe-core as '$got', want '$version $integrity'" >&2
  exit 1
fi
# Into place whole, so that a half-copied folder is never taken for one.
staged=$(mktemp -d "$(dirname "$home")/.axe-core.XXXXXX")
cp "$work/node_modules/axe-core/axe.min.js" "$work/node_modules/axe-core/LICENSE" "$staged/"
chmod 755 "$staged"
mv -T "$staged" "$home"
echo "deps: axe-core $version is in $home"
