#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private display.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

prepare_wine_session
cd "$BUILD_DIR"
ctest --output-on-failure -j 2 "$@"
