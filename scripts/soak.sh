#!/usr/bin/env bash
# Builds everything and drives the real program for a while on a flapping
# stand-in, under Wine on a private display, watching its handles and memory:
# a table on the terminal, JSON in build/soak.json. Fails if the program dies,
# stops answering or ends badly.
#   scripts/soak.sh [SECONDS]   (3600)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

prepare_wine_session
describe_machine

cd "$BIN_DIR"
status=0
wine soak.exe '..\soak.json' "$@" || status=$?
echo "JSON: $BUILD_DIR/soak.json"
exit "$status"
