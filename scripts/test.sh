#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private display: on
# the 32-bit program, or on its 64-bit twin where 32-bit programs cannot run
# (scripts/lib.sh says which, and why). The other build is made too, with
# warnings as errors, so that neither rots.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

run_setup
bash "$ROOT/scripts/format.sh" --check
bash "$ROOT/scripts/links.sh"
bash "$ROOT/scripts/check-workflow.sh"
prepare_wine_session -DVARNOSKLEN_WERROR=ON
build_other -DVARNOSKLEN_WERROR=ON
check_release_build

cd "$BUILD_DIR"
failed=()
# Wine's own services start with a server's first program and keep its
# output open while they run. Started here for the whole suite, they hold
# none of a test's, which CTest would otherwise wait for to the last test.
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --output-on-failure -j 2 -LE dpi "$@" || failed+=("the suite")
bash "$ROOT/scripts/skipped.sh" "$BUILD_DIR"
wineserver -k || true
# The layout again at 120 and 144 dpi, in the same prefix switched between runs.
for dpi in 120 144; do
  set_dpi "$dpi"
  VARNOSKLEN_DPI=$dpi ctest --output-on-failure -L dpi || failed+=("the layout at $dpi dpi")
done
set_dpi 96
if [ ${#failed[@]} -gt 0 ]; then
  echo "test.sh: tests failed on the ${VARNOSKLEN_ARCH}-bit build: ${failed[*]} (see ctest's output above)" >&2
  exit 1
fi
echo "test.sh: every test passed on the ${VARNOSKLEN_ARCH}-bit build."
