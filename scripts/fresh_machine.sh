#!/usr/bin/env bash
# scripts/fresh_machine.sh [ROOT]
# The README's test command on a machine that has nothing on it yet: builds
# a minbase Debian 12 root with debootstrap (in ROOT, default
# build/fresh-machine), mounts /proc and /dev into it (recursively: Wine and
# Chromium need /dev/shm), clones this checkout's committed HEAD into it and
# runs .ci/run there, which must install everything it calls itself. Prints
# how long that took. Run it before a change that adds a tool or a package
# lands; it takes a while, so CI does not run it. Needs root and the
# network to Debian's archive.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
root=$(realpath -m "${1:-build/fresh-machine}")
mirror=${RA_DEBIAN_MIRROR:-http://deb.debian.org/debian}
suite=bookworm

if [[ $(id -u) -ne 0 ]]; then
  echo "fresh_machine: debootstrap and chroot need root" >&2
  exit 1
fi
if ! command -v debootstrap >/dev/null; then
  bash scripts/deps.sh
fi

# Everything mounted below the root, deepest first.
mounts_below() {
  awk -v root="$root" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/self/mounts |
    sort -r
}
unmount_all() {
  local m
  for m in $(mounts_below); do
    umount -l "$m" || true
  done
}
trap unmount_all EXIT

# A root left by an earlier run goes, but never while anything is still
# mounted in it: that would remove the host's /dev.
unmount_all
if [[ -n $(mounts_below) ]]; then
  echo "fresh_machine: cannot unmount what is mounted below $root" >&2
  exit 1
fi
rm -rf "$root"
mkdir -p "$root"

start=$(date +%s)
echo "== debootstrap --variant=minbase $suite into $root"
debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$root.debootstrap.log" 2>&1 || {
  tail -n 20 "$root.debootstrap.log" >&2
  echo "fresh_machine: debootstrap failed (log: $root.debootstrap.log)" >&2
  exit 1
}
# The suites a fresh Debian 12 install reads: the release, its updates and
# its security updates.
cat >"$root/etc/apt/sources.list" <<SOURCES
deb $mirror $suite main
deb $mirror $suite-updates main
deb http://deb.debian.org/debian-security $suite-security main
SOURCES
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The network's own: the authorities this machine's administrator added
# (a proxy that signs with one of its own), which a fresh machine on the
# same network has too; ca-certificates takes them in once deps.sh
# installs it.
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
fi

mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"

echo "== cloning $(git rev-parse --short HEAD) into $root/work/replay_autosave"
mkdir -p "$root/work"
git clone -q --no-hardlinks "$repo" "$root/work/replay_autosave"

echo "== .ci/run in the fresh root"
status=0
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  bash -c 'cd /work/replay_autosave && .ci/run' || status=$?
minutes=$((($(date +%s) - start) / 60))
seconds=$((($(date +%s) - start) % 60))
if ((status == 0)); then
  echo "fresh_machine: .ci/run passed on a fresh $suite root in ${minutes} min ${seconds} s"
else
  echo "fresh_machine: .ci/run failed with status $status after ${minutes} min ${seconds} s" >&2
fi
exit "$status"
