#!/usr/bin/env bash
# The icon's PNG sizes in the repository are what scripts/render-icons.sh makes from the
# SVG now (compared pixel for pixel, so that another zlib's bytes do not matter).
# Usage: check-icons.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$source_dir/scripts/render-icons.sh" "$work" || exit 1
failures=0
for size in 48 128 256; do
  name=${size}x${size}/apps/org.lumiveil.Maker.png
  kept=$(convert "$source_dir/dist/icons/hicolor/$name" -depth 8 rgba:- | sha256sum)
  made=$(convert "$work/$name" -depth 8 rgba:- | sha256sum)
  if [ "$kept" != "$made" ]; then
    echo "FAIL: dist/icons/hicolor/$name differs from the SVG's rendering (run scripts/render-icons.sh)"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "the icon's PNG sizes match the SVG"
[ "$failures" -eq 0 ]
