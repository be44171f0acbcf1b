#!/usr/bin/env bash
# Puts every C++ file in the code's style (.clang-format); with --check,
# changes nothing and fails on a file that is not in it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -co --exclude-standard '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "Not in the code's style: run scripts/format.sh" >&2
    exit 1
  fi
else
  clang-format -i "${files[@]}"
fi
