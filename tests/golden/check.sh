#!/usr/bin/env bash
# Compares every command's output on the bundled pictures with the recorded hashes.
#   tests/golden/check.sh BIN_DIR SAMPLES_DIR WORK_DIR
# To record them anew after a change that alters output on purpose:
#   tests/golden/golden.sh build/bin samples /tmp/golden > tests/golden/golden.txt
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
"$here/golden.sh" "$@" | diff -u "$here/golden.txt" -
rm -rf "$3"
