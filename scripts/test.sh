#!/usr/bin/env bash
# Installs what is missing, builds one preset and runs every test of it (default preset
# unless one is named).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/install-deps.sh tests
scripts/build.sh "$preset"
ctest --preset "$preset" -j"$(nproc)"
