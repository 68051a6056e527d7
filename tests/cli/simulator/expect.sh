#!/usr/bin/env bash
# expect.sh [--game DIR EXAMPLES] STATUS PATTERN -- COMMAND...
# Runs COMMAND and passes when it exits with STATUS and its output (standard
# output and error together) matches the extended regular expression
# PATTERN. With --game, DIR is first made afresh as a copy of the example
# game folder: EXAMPLES/replay_autosave.ini and EXAMPLES/game.
set -uo pipefail

if [[ ${1:-} == --game ]]; then
  game=$2 examples=$3
  shift 3
  rm -rf "$game" && mkdir -p "$game" || exit 1
  cp "$examples/replay_autosave.ini" "$game/" && cp -r "$examples/game/." "$game/" || exit 1
fi
status=$1 pattern=$2
[[ ${3:-} == -- ]] || { echo "expect.sh: '--' before the command is missing" >&2; exit 1; }
shift 3

output=$("$@" 2>&1)
got=$?
printf '%s\n' "$output"
if [[ $got -ne $status ]]; then
  echo "expect.sh: exit status $got, expected $status" >&2
  exit 1
fi
if ! grep -Eq -- "$pattern" <<<"$output"; then
  echo "expect.sh: output does not match: $pattern" >&2
  exit 1
fi
