#!/usr/bin/env bash
# The README's pictures (docs/*.png) still show what the programs show: retakes them all
# with scripts/screenshot.sh from this build and compares each with the committed one. A
# picture of another size, or with more than 0.1 % of its pixels off by more than 24 in
# a channel (room for the X server's and the font renderer's small differences), fails;
# the new pictures are then kept in BUILD_DIR/screenshot-check/. Debian's python3 with
# python3-pil compares them.
# Usage: check-screenshots.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
source_dir=$2
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (scripts/install-deps.sh)"; exit 77; }
/usr/bin/python3 -c 'import PIL' 2>/dev/null || { echo "python3-pil is missing (scripts/install-deps.sh)"; exit 77; }
new=$build/screenshot-check
rm -rf "$new"
"$source_dir/scripts/screenshot.sh" --into "$new" --build "$build" || exit 1
/usr/bin/python3 - "$source_dir/docs" "$new" <<'PY'
import os, sys
from PIL import Image, ImageChops

docs, new = sys.argv[1], sys.argv[2]
stale = []
for name in sorted(os.listdir(new)):
    old_path = os.path.join(docs, name)
    if not os.path.exists(old_path):
        stale.append(f"docs/{name} is missing")
        continue
    old = Image.open(old_path).convert("RGB")
    now = Image.open(os.path.join(new, name)).convert("RGB")
    if old.size != now.size:
        stale.append(f"docs/{name} is {old.size[0]} x {old.size[1]}, "
                     f"the new picture {now.size[0]} x {now.size[1]}")
        continue
    # A pixel is off when one of its channels differs by more than 24.
    diff = ImageChops.difference(old, now)
    off = sum(1 for p in diff.getdata() if max(p) > 24)
    share = off / (old.size[0] * old.size[1])
    print(f"docs/{name}: {off} pixels off ({share:.3%})")
    if share > 0.001:
        stale.append(f"docs/{name} differs in {off} pixels ({share:.2%})")
for line in stale:
    print("FAIL:", line)
if stale:
    print(f"The new pictures are in {new}/. If the change is meant, refresh the "
          "README's pictures with scripts/screenshot.sh and commit docs/.")
sys.exit(1 if stale else 0)
PY
status=$?
[ $status -eq 0 ] && rm -rf "$new"
exit $status
