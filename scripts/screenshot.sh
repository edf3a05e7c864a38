#!/usr/bin/env bash
# Takes the README's pictures anew:
#   docs/screenshot.png            the window: the bundled coffee cup (visible, scaled to 180
#                                  pixels wide) and cat (hidden) loaded and synthesized, at
#                                  natural size;
#   docs/screenshot-fit.png        a 12-megapixel pair (the same photos enlarged to
#                                  4243 x 2828) at Fit, the window at its start size;
#   docs/screenshot-fit-large.png  the same pair at Fit in a 1200 x 800 window;
#   docs/reveal.png                the first with the contrast at 40 and the Reveal tool
#                                  window open beside the picture windows;
#   docs/reveal-fit.png            the 12-megapixel pair with the contrast at 40 and the
#                                  Reveal tool window at Fit, the window at its start size;
#   docs/demo-sheet.png            the reveal sheet that scripts/demo.sh writes.
# The window's pictures are taken on a virtual X server (xvfb-run).
#   scripts/screenshot.sh                      # into docs/, building what it needs in build/
#   scripts/screenshot.sh --into DIR --build BUILD_DIR
#                                              # into DIR, with BUILD_DIR's programs as they
#                                              # are (tests/gui/check-screenshots.sh)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=$source_dir/docs
build=""
while [ $# -gt 0 ]; do
  case $1 in
    --into) out=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    *) echo "usage: scripts/screenshot.sh [--into DIR] [--build BUILD_DIR]" >&2; exit 1 ;;
  esac
done
cd "$source_dir"
if [ -z "$build" ]; then
  build=$source_dir/build
  [ -d build ] || cmake --preset default >/dev/null
  cmake --build build --target gui_screenshot lumiveil -j2 >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/xdg-runtime"
chmod 700 "$work/xdg-runtime"
"$build/bin/lumiveil" resize samples/coffee.bmp "$work/visible-12mp.bmp" 4243 2828
"$build/bin/lumiveil" resize samples/chelsea.bmp "$work/hidden-12mp.bmp" 4243 2828
shot() {
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    env QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/xdg-runtime" \
    "$build/bin/gui_screenshot" "$@"
}
shot samples/coffee.bmp samples/chelsea.bmp 180 "$out/screenshot.png"
shot --fit "$work/visible-12mp.bmp" "$work/hidden-12mp.bmp" 0 "$out/screenshot-fit.png"
shot --window 1200x800 --fit "$work/visible-12mp.bmp" "$work/hidden-12mp.bmp" 0 \
  "$out/screenshot-fit-large.png"
shot --window 1180x560 --contrast 40 --reveal hidden samples/coffee.bmp samples/chelsea.bmp 180 \
  "$out/reveal.png"
shot --contrast 40 --reveal hidden "$work/visible-12mp.bmp" "$work/hidden-12mp.bmp" 0 \
  "$out/reveal-fit.png"
# The demo's sheet, as scripts/demo.sh makes it.
scripts/demo-pair.sh "$build/bin" "$work"
cp "$work/demo-sheet.png" "$out/demo-sheet.png"
echo "Wrote $out/{screenshot,screenshot-fit,screenshot-fit-large,reveal,reveal-fit,demo-sheet}.png"
