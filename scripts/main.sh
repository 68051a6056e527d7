#!/usr/bin/env bash
# The main job: build the shipped replay_autosave.vqp, then play the example
# race through the simulated game with that very DLL loaded, and show where
# the saved replay landed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

cmake --preset mingw >/dev/null
cmake --build --preset mingw
cmake --preset i386 >/dev/null
cmake --build --preset i386 --target replay-autosave-sim

vqp=build/mingw/src/replay_autosave.vqp
sim=build/i386/sim/simulator/replay-autosave-sim
game=build/demo-game

echo
echo "== built $vqp ($(stat -c %s "$vqp") bytes), exports:"
i686-w64-mingw32-objdump -p "$vqp" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed 1d

rm -rf "$game"
mkdir -p "$game"
cp examples/replay_autosave.ini "$game/"
cp -r examples/game/. "$game/" 2>/dev/null || true

echo
echo "== playing examples/race.ini through the game with $vqp loaded"
qemu-i386-static "$sim" --plugin "$vqp" --game-dir "$game" --race examples/race.ini \
  --clock 2026-03-07T21:05:09 --saves 2

echo
echo "== saved replays in $game/SaveData/Saves:"
ls -l "$game/SaveData/Saves"
