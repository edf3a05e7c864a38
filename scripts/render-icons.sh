#!/usr/bin/env bash
# Renders the window's icon from its SVG source into the hicolor PNG sizes kept in the
# repository (dist/icons/hicolor/NxN/apps/). Run it after changing the SVG; the test
# icons_match_svg checks that the PNGs are what this script makes. Needs rsvg-convert
# (Debian's librsvg2-bin). With a folder as argument, renders there instead.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist/icons/hicolor}
svg=dist/icons/org.lumiveil.Maker.svg
for size in 48 128 256; do
  mkdir -p "$out/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$out/${size}x${size}/apps/org.lumiveil.Maker.png"
done
