#!/usr/bin/env bash
# The quick start's first command: installs what is missing, builds, and runs the main
# job on the bundled sample pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh default
mkdir -p out
build/bin/lumiveil convert samples/coffee.bmp out/coffee-24.bmp
echo "Wrote $(pwd)/out/coffee-24.bmp"
