#!/usr/bin/env bash
# Builds everything and measures what the program costs, under Wine on a
# private display: a table on the terminal, JSON in build/bench.json.
#   scripts/bench.sh [SECONDS [RUNS [WHICH]]]
# SECONDS per idle figure (60), RUNS per median (3), WHICH letters from abcdefgh (all).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

prepare_wine_session
describe_machine

cd "$BIN_DIR"
wine bench.exe '..\bench.json' "$@"
echo "JSON: $BUILD_DIR/bench.json"
