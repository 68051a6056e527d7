#!/usr/bin/env bash
# same_output.sh EMULATOR SIM VQP EXAMPLES WORK
# Plays the example race through the simulator twice, each time in a fresh
# copy of the example game folder below WORK: with the plug-in linked into
# the simulator, and with the shipped DLL VQP loaded by --plugin. Passes when
# both runs print the same lines and leave the same saved replays, byte for
# byte. EMULATOR runs the 32-bit simulator (qemu-i386-static), or is empty.
set -euo pipefail
emulator=$1 sim=$2 vqp=$3 examples=$4 work=$5

if [[ ! -f $vqp ]]; then
  echo "same_output.sh: the shipped plug-in $vqp does not exist;" \
       "build the mingw preset first (cmake --preset mingw && cmake --build --preset mingw)" >&2
  exit 1
fi

for variant in linked shipped; do
  game=$work/$variant
  rm -rf "$game"
  mkdir -p "$game"
  cp "$examples/replay_autosave.ini" "$game/"
  cp -r "$examples/game/." "$game/"
  plugin=()
  [[ $variant == shipped ]] && plugin=(--plugin "$vqp")
  ${emulator:+"$emulator"} "$sim" "${plugin[@]}" --game-dir "$game" --race "$examples/race.ini" \
    --clock 2026-03-07T21:05:09 --saves 3 >"$work/$variant.out"
done

cat "$work/shipped.out"
# Three saves, each reported: the comparison below is not of two empty runs.
saves=$(grep -c '(type=SR)$' "$work/linked.out" || true)
if [[ $saves -ne 3 ]]; then
  echo "same_output.sh: expected 3 saved replays in the output, found $saves" >&2
  exit 1
fi
diff -u "$work/linked.out" "$work/shipped.out"
diff -r "$work/linked/SaveData" "$work/shipped/SaveData"
