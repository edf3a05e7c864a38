#!/usr/bin/env bash
# Builds the web page, one self-contained file build-web/lumiveil.html (the core in
# WebAssembly inside it), and serves build-web/ on 127.0.0.1 for a look:
#   scripts/web.sh              # build, then serve on http://127.0.0.1:8030/lumiveil.html
#   scripts/web.sh --build-only # build only
#   PORT=9000 scripts/web.sh    # another port
# The file also works opened straight from disk (file://...); it asks the network for
# nothing, so it can be copied anywhere, a phone included.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh web
scripts/web-deps.sh
export NODE_PATH=/usr/share/nodejs
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER-ccache}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-ccache}
command -v ccache >/dev/null || unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
cmake --preset web >/dev/null
cmake --build --preset web -j"$(nproc)" --target page
echo "The page: $(pwd)/build-web/lumiveil.html ($(stat -c %s build-web/lumiveil.html) bytes)"
[ "${1:-}" = --build-only ] && exit 0
port=${PORT:-8030}
echo "Serving build-web/ on http://127.0.0.1:$port/lumiveil.html (Ctrl+C ends)"
exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web
