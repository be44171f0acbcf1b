#!/usr/bin/env bash
# Builds everything and measures what the program costs, under Wine on a
# private display: a table on the terminal, JSON in build/bench.json.
#   scripts/bench.sh [SECONDS [RUNS [WHICH]]]
# SECONDS per idle figure (60), RUNS per median (3), WHICH letters from abcde (all).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

prepare_wine_session
# The figures depend on the machine, and on whatever else it is running.
VARNOSKLEN_MACHINE="$(nproc) CPUs; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'); $(wine --version); load $(cut -d' ' -f1-3 /proc/loadavg)"
export VARNOSKLEN_MACHINE
echo "Machine: $VARNOSKLEN_MACHINE"

cd "$BIN_DIR"
wine bench.exe '..\bench.json' "$@"
echo "JSON: $BUILD_DIR/bench.json"
