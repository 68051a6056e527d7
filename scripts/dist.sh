#!/usr/bin/env bash
# Makes the release package dist/replay_autosave-<version>.zip for players:
# the shipped replay_autosave.vqp (32-bit, as the game is),
# replay-autosave.exe for 64-bit Windows (the build the Wine tier tests on
# every machine), the example replay_autosave.ini, the players' guide as
# README.md and CHANGES.md (what changed for players in each version).
# Builds the mingw and mingw64 presets itself and runs their binary checks
# first. The version is the one in the plug-in's manifest, which must agree
# with the CMake project version.
#
# RA_DIST_BUILD_DIR and RA_DIST_BUILD64_DIR choose the build folders
# (default: the presets' build/mingw and build/mingw64).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

# The manifest's version: the first x.y.z text in the vq_manifest_data record.
manifest_version=$(awk '/vq_manifest vq_manifest_data = \{/ {on = 1}
                        on && match($0, /"[0-9]+\.[0-9]+\.[0-9]+"/) {
                            print substr($0, RSTART + 1, RLENGTH - 2); exit }
                        on && /^\};/ {exit}' src/host/exports.cpp)
project_version=$(sed -n 's/^project(replay_autosave VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [[ -z "$manifest_version" || -z "$project_version" ]]; then
    echo "dist: cannot find the version (manifest '$manifest_version', CMake '$project_version')" >&2
    exit 1
fi
if [[ "$manifest_version" != "$project_version" ]]; then
    echo "dist: the manifest says $manifest_version but CMakeLists.txt says $project_version" >&2
    exit 1
fi
version=$manifest_version
# Players read what changed in the version they get.
grep -q "^## $version\b" CHANGES.md || { echo "dist: CHANGES.md has no section for $version" >&2; exit 1; }

build=${RA_DIST_BUILD_DIR:-build/mingw}
build64=${RA_DIST_BUILD64_DIR:-build/mingw64}
for pair in "mingw $build" "mingw64 $build64"; do
  read -r preset dir <<<"$pair"
  cmake --preset "$preset" -B "$dir" >/dev/null
  cmake --build "$dir"
  ctest --test-dir "$dir" --output-on-failure
done

name=replay_autosave-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
cp "$build/src/replay_autosave.vqp" "$stage/$name/"
# Debug information is of no use to players and doubles the size.
x86_64-w64-mingw32-strip -o "$stage/$name/replay-autosave.exe" \
    "$build64/src/replay-autosave.exe"
# Windows line ends, so that every editor shows the lines.
sed 's/\r*$/\r/' examples/replay_autosave.ini >"$stage/$name/replay_autosave.ini"
sed 's/\r*$/\r/' docs/PLAYERS.md >"$stage/$name/README.md"
sed 's/\r*$/\r/' CHANGES.md >"$stage/$name/CHANGES.md"

# The same sources give the same archive: every file dated by the last commit.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
find "$stage/$name" -exec touch -d "@$stamp" {} +

mkdir -p dist
zip_path=$PWD/dist/$name.zip
rm -f "$zip_path"
(cd "$stage" && zip -q -X "$zip_path" "$name/" "$name/replay_autosave.vqp" \
    "$name/replay-autosave.exe" "$name/replay_autosave.ini" "$name/README.md" "$name/CHANGES.md")
echo "dist: made dist/$name.zip"
unzip -l "$zip_path"
