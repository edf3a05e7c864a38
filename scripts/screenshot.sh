#!/usr/bin/env bash
# Takes docs/screenshot.png: the window on a virtual X server with the bundled coffee cup
# (visible, scaled to 180 pixels wide) and cat (hidden) loaded and synthesized; and
# docs/reveal.png: the same with the Reveal tool window open beside the picture windows.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -d build ] || cmake --preset default >/dev/null
cmake --build build --target gui_screenshot -j2 >/dev/null
mkdir -p docs build/xdg-runtime
chmod 700 build/xdg-runtime
xvfb-run -a -s "-screen 0 1024x768x24" \
  env QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$(pwd)/build/xdg-runtime" \
  build/bin/gui_screenshot samples/coffee.bmp samples/chelsea.bmp 180 docs/screenshot.png
xvfb-run -a -s "-screen 0 1280x800x24" \
  env QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$(pwd)/build/xdg-runtime" \
  build/bin/gui_screenshot samples/coffee.bmp samples/chelsea.bmp 180 docs/reveal.png hidden
echo "Wrote docs/screenshot.png and docs/reveal.png"
