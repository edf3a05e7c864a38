#!/usr/bin/env bash
# Builds one preset and runs every test of it (default preset unless one is named).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/build.sh "$preset"
ctest --preset "$preset" -j"$(nproc)"
