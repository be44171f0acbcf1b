#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private display.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

bash "$ROOT/scripts/setup.sh"
build
start_private_display
init_prefix
cd "$BUILD_DIR"
ctest --output-on-failure -j 2 "$@"
