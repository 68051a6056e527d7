#!/usr/bin/env bash
# clang-format over our own C++ sources: --check reports files that differ
# from .clang-format and fails; without it, the files are rewritten in place.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == "--check" ]]; then
  clang-format --dry-run --Werror "${files[@]}"
  echo "format: ${#files[@]} files match .clang-format"
else
  clang-format -i "${files[@]}"
fi
