#!/usr/bin/env bash
# The Windows build's checks: installs the cross compilers and Wine when missing, builds
# the libraries for Windows from Debian's sources (once), cross-builds the "win32" preset,
# runs its tests under Wine in a prefix of its own (build-win32/wine, no display), checks
# where lumiveil.exe finds its plug-ins, and compares its output byte for byte with the
# Linux build's (built first when build/bin/lumiveil is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh win32
scripts/win32-deps.sh

export WINEPREFIX=$(pwd)/build-win32/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
ctest --preset win32 -j"$jobs"

scripts/check-win32-plugins.sh build-win32
if [ ! -x build/bin/lumiveil ] || [ ! -f build/bin/SusiePlugin/png.spi ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target lumiveil -j"$jobs"
fi
scripts/compare-win32.sh build/bin/lumiveil build-win32/bin/lumiveil.exe
