#!/usr/bin/env bash
# Builds the web page and runs its tests: the core's tests in WebAssembly under node, the
# page's files against the Linux tool's byte for byte (under node and in headless
# Chromium), no network request after load, and a slider step's time at 12 megapixels
# (printed). Needs the Linux build's tool (scripts/test.sh makes it; built here if not).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh web
if [ ! -x build/bin/lumiveil ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j2 --target lumiveil
fi
scripts/web.sh --build-only
export NODE_PATH=/usr/share/nodejs
cmake --build --preset web -j2
rc=0
ctest --preset web -V >build-web/ctest.log 2>&1 || rc=$?
grep -E 'slider step|[0-9]+ passed, [0-9]+ failed|Test +#|tests passed' build-web/ctest.log || true
if [ $rc -ne 0 ]; then
  tail -80 build-web/ctest.log
  exit $rc
fi
