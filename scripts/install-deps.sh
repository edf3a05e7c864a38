#!/usr/bin/env bash
# Installs every Debian package the project needs (build, tests, window, CI checks);
# with the argument "win32", those of the Windows cross build and its tests under Wine
# instead (which need the i386 architecture for wine32).
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev
  xvfb xauth fonts-ipafont-gothic
  clang-format clang-14 libclang-rt-14-dev
  giflib-tools imagemagick python3-pil
)

if [ "${1:-}" = win32 ]; then
  packages=(
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    libz-mingw-w64-dev libgtest-dev cmake make dpkg-dev
    wine wine32:i386
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ "${1:-}" = win32 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
