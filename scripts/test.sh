#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private display.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

bash "$ROOT/scripts/setup.sh"
bash "$ROOT/scripts/format.sh" --check
prepare_wine_session -DVARNOSKLEN_WERROR=ON
cd "$BUILD_DIR"
ctest --output-on-failure -j 2 "$@"
