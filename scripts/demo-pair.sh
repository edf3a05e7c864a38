#!/usr/bin/env bash
# The demo's two pictures, from the bundled photos: OUT_DIR/demo.png, the cat
# (samples/chelsea.bmp) hidden in the coffee cup (samples/coffee.bmp), and
# OUT_DIR/demo-sheet.png, the reveal sheet of it. Used by scripts/demo.sh and, for the
# README's copy of the sheet, by scripts/screenshot.sh.
#   scripts/demo-pair.sh BIN_DIR OUT_DIR
set -euo pipefail
bin=$1
out=$2
samples=$(cd "$(dirname "$0")/../samples" && pwd)
# The band: the cat's tones squeezed into 0..48 (average 24, contrast 24). Beside the cup's
# own cells such dark cells only dim the cup evenly, so seen normally the cat is not
# there; yet 49 levels per channel are plenty to bring it back. (The window's start band,
# 128/127, leaves the cat in plain sight.)
"$bin/lumiveil" synth "$samples/coffee.bmp" "$samples/chelsea.bmp" --average 24 --contrast 24 \
  -o "$out/demo.png"
"$bin/lumiveil" reveal "$out/demo.png" -o "$out/demo-sheet.png" \
  --visible "$samples/coffee.bmp" --hidden "$samples/chelsea.bmp" >/dev/null
