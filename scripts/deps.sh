#!/usr/bin/env bash
# Installs the Debian packages the three builds need, when they are missing.
# Safe to run again: it installs nothing when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ make                 # the build itself
  g++-multilib                               # i386: 32-bit Linux build of the plug-in and tests
  g++-mingw-w64-i686 binutils-mingw-w64-i686 # mingw: the shipped replay_autosave.vqp
  qemu-user-static                           # runs the i386 programs; this kernel cannot
  googletest                                 # GoogleTest sources in /usr/src/googletest
  libcli11-dev                               # the companion program's command line (header-only)
  clang-14 libclang-rt-14-dev                # native: sanitizers and libFuzzer
  libbenchmark-dev libssl-dev                # benchmarks, and OpenSSL's MD5 to compare with
  zip                                        # the release package
  clang-format                               # the source format check
  chromium                                   # the library page test: a real browser, headless
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "deps: installing ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    echo "deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
