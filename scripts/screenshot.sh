#!/usr/bin/env bash
# Takes the README's pictures of the window on a virtual X server:
#   docs/screenshot.png            the bundled coffee cup (visible, scaled to 180 pixels wide)
#                                  and cat (hidden) loaded and synthesized, at natural size;
#   docs/screenshot-fit.png        a 12-megapixel pair (the same photos enlarged to
#                                  4243 x 2828) at Fit, the window at its start size;
#   docs/screenshot-fit-large.png  the same pair at Fit in a 1200 x 800 window.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -d build ] || cmake --preset default >/dev/null
cmake --build build --target gui_screenshot lumiveil -j2 >/dev/null
mkdir -p docs build/xdg-runtime build/screenshot
chmod 700 build/xdg-runtime
build/bin/lumiveil resize samples/coffee.bmp build/screenshot/visible-12mp.bmp 4243 2828
build/bin/lumiveil resize samples/chelsea.bmp build/screenshot/hidden-12mp.bmp 4243 2828
shot() {
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    env QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$(pwd)/build/xdg-runtime" \
    build/bin/gui_screenshot "$@"
}
shot samples/coffee.bmp samples/chelsea.bmp 180 docs/screenshot.png
shot --fit build/screenshot/visible-12mp.bmp build/screenshot/hidden-12mp.bmp 0 \
  docs/screenshot-fit.png
shot --window 1200x800 --fit build/screenshot/visible-12mp.bmp \
  build/screenshot/hidden-12mp.bmp 0 docs/screenshot-fit-large.png
echo "Wrote docs/screenshot.png docs/screenshot-fit.png docs/screenshot-fit-large.png"
