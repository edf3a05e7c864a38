#!/usr/bin/env bash
# The quick start's first command: installs what building the programs needs, builds only
# the two programs and the plug-ins (no tests or benchmarks, which scripts/test.sh adds
# in the same folder), hides the cat in the coffee cup and writes a sheet of what viewers
# make of the result, both into out/.
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
echo "== Building the two programs and the plug-ins (build/bin/)"
cmake --preset default "${options[@]}" >/dev/null
cmake --build --preset default -j"$(nproc)" --target lumiveil lumiveil-maker susie_plugins
mkdir -p out
echo "== Hiding samples/chelsea.bmp (the cat) in samples/coffee.bmp (the cup)"
scripts/demo-pair.sh build/bin out
cat <<EOT

Wrote $(pwd)/out/demo.png
  the cup with the cat hidden in its darkest tones. Open it: you see only the cup (a
  little dim). Brighten it strongly in any picture viewer (levels, or gamma) and the cat
  comes out.
Wrote $(pwd)/out/demo-sheet.png
  what viewers make of it, side by side: "even", "average" and "thumbnail" show the cup
  alone, as thumbnails and the eye from a distance see it; "levels" is the result
  brightened (the cat over the cup); "hidden" is the cat brought back whole.
Next: build/bin/lumiveil-maker samples/coffee.bmp samples/chelsea.bmp (the window), or
  build/bin/lumiveil --help.
EOT
