#!/usr/bin/env bash
# Installs the Debian packages the three builds, the tests, the Wine tier and
# the scripts call, when they are missing: a minbase Debian 12 has none of
# them (scripts/fresh_machine.sh proves the list). Safe to run again: it
# installs nothing when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ make                 # the build itself
  g++-multilib                               # i386: 32-bit Linux build of the plug-in and tests
  g++-mingw-w64-i686 binutils-mingw-w64-i686 # mingw: the shipped replay_autosave.vqp
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 # mingw64: the players' replay-autosave.exe
  qemu-user-static                           # runs the i386 programs
  googletest                                 # GoogleTest sources in /usr/src/googletest
  libcli11-dev                               # the companion program's command line (header-only)
  nlohmann-json3-dev                         # the library app's answers in JSON (header-only)
  dpkg-dev patch                             # the companion's server: its source package (scripts/httplib.sh)
  libsqlite3-dev                             # the library's index, native build
  tcl                                        # makes SQLite's amalgamation for the other builds (scripts/sqlite.sh)
  clang-14 libclang-rt-14-dev                # native: sanitizers and libFuzzer
  libbenchmark-dev libssl-dev                # benchmarks, and OpenSSL's MD5 to compare with
  zip                                        # the release package
  clang-format                               # the source format check
  chromium                                   # the library page test: a real browser, headless
  git                                        # the format check and the release package list files
  curl                                       # the library app's request tests and benchmark
  python3                                    # the library app's browser test (standard library only)
  xz-utils                                   # unpacks the source packages of scripts/httplib.sh
  unzip                                      # the release package's check of itself
  bc                                         # the Wine benchmarks' arithmetic
  debootstrap                                # scripts/fresh_machine.sh
  ca-certificates                            # npm's TLS to the registry (scripts/axe.sh)
)
# The Wine tier: the mingw64 programs on wine64 (label wine), which every
# x86-64 kernel runs; the mingw build's 32-bit programs on wine32 (label
# wine32), a package of the i386 architecture, where the kernel runs them.
# tmux gives a companion test a terminal whose screen it can read; locales
# holds the data from which the text tests make a Polish locale (code page
# 1250 for Wine) with localedef.
wine_packages=(wine wine64 wine32:i386 tmux locales)
# npm installs axe-core for the library app's accessibility test
# (scripts/axe.sh). A machine whose Node.js came from elsewhere has an npm
# of its own, which Debian's npm package would fight with.
node_packages=(nodejs npm)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
command -v npm >/dev/null || missing+=("${node_packages[@]}")
missing_wine=()
for p in "${wine_packages[@]}"; do
  installed "$p" || missing_wine+=("$p")
done

# The pieces that come from elsewhere, each into a folder of its own.
fetch_pieces() {
  bash "$(dirname "$0")/httplib.sh"
  bash "$(dirname "$0")/sqlite.sh"
  bash "$(dirname "$0")/axe.sh"
}

if ((${#missing[@]} + ${#missing_wine[@]} == 0)); then
  fetch_pieces
  exit 0
fi
all_missing=("${missing[@]}" "${missing_wine[@]}")
echo "deps: installing ${all_missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "deps: these packages are missing and installing them needs root: ${all_missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ((${#missing_wine[@]})) && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# An index that fails to download (a mirror in the middle of a sync) leaves
# apt with the others; the installs below say whether that was enough.
apt-get update -qq || echo "deps: apt-get update reported errors; going on with the indexes it has" >&2

# One install for everything, so that apt pairs the libraries of both
# architectures in one go.
log=$(mktemp)
trap 'rm -f "$log" "${preferences:-}"' EXIT
if ! apt-get install -y -qq --no-install-recommends "${all_missing[@]}" >"$log" 2>&1; then
  if ((${#missing_wine[@]} == 0)); then
    tail -n 30 "$log" >&2
    echo "deps: cannot install ${all_missing[*]}" >&2
    exit 1
  fi
  # A library of both architectures must be of one version. When the
  # security suite's i386 index could not be read, its amd64 versions have
  # no i386 twin; taking both from the release and its updates pairs them.
  echo "deps: installing again with the versions of the release suites" >&2
  preferences=$(mktemp)
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$preferences"
  if ! apt-get install -y -qq --no-install-recommends -o Dir::Etc::Preferences="$preferences" \
       "${all_missing[@]}" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "deps: cannot install ${all_missing[*]}" >&2
    exit 1
  fi
fi

fetch_pieces
