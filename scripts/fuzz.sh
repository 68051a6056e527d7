#!/usr/bin/env bash
# Runs each fuzz target of the native build for SECONDS (default 30) on a
# copy of its seed corpus, and fails when any of them finds a crash or a
# broken property. Builds nothing: the native build must already be built
# (scripts/test.sh builds it and then runs this). The committed seeds in
# fuzz/corpus are never written to.
#
#   scripts/fuzz.sh [SECONDS]
#   RA_NATIVE_BUILD=/path/to/native/build scripts/fuzz.sh 600
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
build="${RA_NATIVE_BUILD:-build/native}"
# Every target is a file fuzz/NAME_fuzz.cpp (fuzz/CMakeLists.txt builds each).
mapfile -t targets < <(cd fuzz && ls -1 ./*_fuzz.cpp | sed 's|^\./||; s|_fuzz\.cpp$||')

if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 1)); then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi
for t in "${targets[@]}"; do
  if [[ ! -x $build/fuzz/fuzz_$t ]]; then
    echo "fuzz: $build/fuzz/fuzz_$t is missing: build the native preset first" \
      "(scripts/test.sh), or point RA_NATIVE_BUILD at a native build" >&2
    exit 2
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/ra-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=0
for t in "${targets[@]}"; do
  dir="$work/$t"
  mkdir -p "$dir/corpus" "$dir/crashes"
  cp fuzz/corpus/"$t"/* "$dir/corpus/"
  seeds=$(find "$dir/corpus" -type f | wc -l)
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$dir/crashes/")
  # A replay's scanned region is 6308 bytes: inputs must be able to pass it.
  [[ $t == scrub ]] && options+=(-max_len=8192)

  if "$build/fuzz/fuzz_$t" "${options[@]}" "$dir/corpus" >"$dir/log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
    found=$(find "$dir/corpus" -type f | wc -l)
    echo "fuzz $t: ok, ${runs:-?} runs in ${seconds}s, corpus $seeds -> $found inputs"
  else
    failed=1
    # Keep what crashed where it outlives the temporary folder.
    keep="$build/fuzz-crashes/$t"
    mkdir -p "$keep"
    cp "$dir"/crashes/* "$keep"/ 2>/dev/null || true
    echo "fuzz $t: FAILED (inputs kept in $keep); the end of its log:"
    tail -n 40 "$dir/log" | sed 's/^/    /'
  fi
done

exit "$failed"
