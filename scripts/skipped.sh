#!/usr/bin/env bash
# After a CTest run in BUILD (default build/): each case GoogleTest skipped,
# with its reason, so that no skipped case reads as passed.
set -euo pipefail
log="${1:-build}/Testing/Temporary/LastTest.log"
awk '{ sub(/\r$/, "") }  # as Windows writes it
     /^\[ RUN      \]/ { name = $4 }
     /: Skipped$/ { getline; sub(/\r$/, ""); printf "skipped: %s: %s\n", (name ? name : "every case of an entry"), $0; n++ }
     /^\[==========\] Running/ { name = "" }
     END { printf "%d cases skipped, each with its reason above\n", n }' "$log"
