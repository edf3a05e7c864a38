#!/usr/bin/env bash
# The quick start's first command: installs what building the programs needs, builds only
# the two programs and the plug-ins (no tests or benchmarks, which scripts/test.sh adds
# in the same folder), and runs the main job on the bundled sample pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
# Tests and benchmarks stay off when their packages are missing, so that the folder
# configures with the build's packages alone; `cmake --preset default` (scripts/test.sh)
# turns them on again and builds only what is missing.
options=()
if ! grep -qs '^LUMIVEIL_BUILD_TESTS:BOOL=ON' build/CMakeCache.txt; then
  options=(-DLUMIVEIL_BUILD_TESTS=OFF -DLUMIVEIL_BUILD_BENCH=OFF)
fi
cmake --preset default "${options[@]}" >/dev/null
cmake --build --preset default -j"$(nproc)" --target lumiveil lumiveil-maker susie_plugins
mkdir -p out
# The cat (hidden) inside the coffee cup (visible), with the window's starting sliders.
build/bin/lumiveil synth samples/coffee.bmp samples/chelsea.bmp -o out/lumiveil-demo.bmp
echo "Wrote $(pwd)/out/lumiveil-demo.bmp (coffee.bmp visible, chelsea.bmp hidden)"
