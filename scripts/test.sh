#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private display.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

bash "$ROOT/scripts/setup.sh"
bash "$ROOT/scripts/format.sh" --check
prepare_wine_session -DVARNOSKLEN_WERROR=ON
cd "$BUILD_DIR"
status=0
ctest --output-on-failure -j 2 -LE dpi "$@" || status=$?
# The layout again at 120 and 144 dpi, in the same prefix switched between runs.
for dpi in 120 144; do
  set_dpi "$dpi"
  VARNOSKLEN_DPI=$dpi ctest --output-on-failure -L dpi || status=$?
done
set_dpi 96
exit "$status"
