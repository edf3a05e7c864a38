#!/usr/bin/env bash
# The quick start's first command: installs what is missing, builds, and runs the main
# job on the bundled sample pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh default
mkdir -p out
# The cat (hidden) inside the coffee cup (visible), with the window's starting sliders.
build/bin/lumiveil synth samples/coffee.bmp samples/chelsea.bmp -o out/lumiveil-demo.bmp
echo "Wrote $(pwd)/out/lumiveil-demo.bmp (coffee.bmp visible, chelsea.bmp hidden)"
