#!/usr/bin/env bash
# Checks under Wine where lumiveil.exe finds its plug-ins: the folder in the registry value
# "Path" under HKCU\Software\Quenbrook\Susie\Plug-in, SusiePlugin beside the program, the
# program's folder and the current directory, in that order, each library once per path.
#
#   scripts/check-win32-plugins.sh [BUILD_DIR]      (default build-win32)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-win32}")
export WINEPREFIX=${WINEPREFIX:-$(pwd)/build-win32/wine} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
key='HKCU\Software\Quenbrook\Susie\Plug-in'

work=$(mktemp -d "${TMPDIR:-/tmp}/lumiveil-places-XXXXXX")
cleanup() {
  wine reg delete "$key" /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/app/SusiePlugin" "$work/susie" "$work/current"
cp "$build/bin/lumiveil.exe" "$work/app/"
plugins=$build/bin/SusiePlugin
cp "$plugins/png.spi" "$work/susie/"
cp "$plugins/gif.spi" "$work/app/SusiePlugin/"
cp "$plugins/jpeg.spi" "$work/app/"
cp "$plugins/png.spi" "$work/current/"
win() { winepath -w "$1" 2>/dev/null; }

# The plug-in paths that `lumiveil.exe plugins` lists as loaded (up to the list of files
# it skipped), one a line, without the drive's carriage returns.
listed() {
  (cd "$1" && wine "$work/app/lumiveil.exe" plugins) | tr -d '\r' |
    sed -n '2,/^skipped:/p' | grep -v '^ ' | grep -v '^skipped:'
}

passed=0
failed=0
check() {
  local name=$1 expected=$2 actual=$3
  if [ "$expected" = "$actual" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\nexpected:\n%s\nlisted:\n%s\n' "$name" "$expected" "$actual"
  fi
}

wine reg delete "$key" /f >/dev/null 2>&1 || true
check "no registry value" \
  "$(printf '%s\n' "$(win "$work/app/SusiePlugin/gif.spi")" "$(win "$work/app/jpeg.spi")" \
    "$(win "$work/current/png.spi")")" \
  "$(listed "$work/current")"

wine reg add "$key" /v Path /d "$(win "$work/susie")" /f >/dev/null
check "every place, in order" \
  "$(printf '%s\n' "$(win "$work/susie/png.spi")" "$(win "$work/app/SusiePlugin/gif.spi")" \
    "$(win "$work/app/jpeg.spi")" "$(win "$work/current/png.spi")")" \
  "$(listed "$work/current")"

# The registry names the program's folder (with a trailing backslash), and the program is
# started there: the program's folder and the current directory add nothing new.
wine reg add "$key" /v Path /d "$(win "$work/app")\\" /f >/dev/null
check "the same folder through three places" \
  "$(printf '%s\n' "$(win "$work/app/jpeg.spi")" "$(win "$work/app/SusiePlugin/gif.spi")")" \
  "$(listed "$work/app")"

# A value that is not a string skips the place.
wine reg add "$key" /v Path /t REG_DWORD /d 7 /f >/dev/null
check "a value that is not a string" \
  "$(printf '%s\n' "$(win "$work/app/SusiePlugin/gif.spi")" "$(win "$work/app/jpeg.spi")")" \
  "$(listed "$work/app")"

wineserver -w
echo "plugin-places: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
