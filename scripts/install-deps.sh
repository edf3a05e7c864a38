#!/usr/bin/env bash
# Installs the Debian packages the project needs. With no argument: everything (build,
# tests, window, CI checks). With "build": only what building the programs and plug-ins
# needs (the quick start's first command). With "package": the build's packages and what
# scripts/package.sh and scripts/test-package.sh need. With "win32": those of the Windows
# cross build and its tests under Wine instead (which need the i386 architecture for
# wine32). With "web": the web page's (emscripten, and Chromium with its driver for the
# page's tests; node comes with the machine).
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

build=(
  g++ cmake make pkg-config
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev
)
packages=(
  "${build[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-ipafont-gothic
  clang-format clang-14 libclang-rt-14-dev
  giflib-tools imagemagick python3-pil
  desktop-file-utils appstream shared-mime-info librsvg2-bin man-db file
)

case "${1:-}" in
  build) packages=("${build[@]}") ;;
  package) packages=("${build[@]}" dpkg-dev lintian debootstrap) ;;
  win32)
    packages=(
      g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
      libz-mingw-w64-dev libgtest-dev cmake make dpkg-dev
      wine wine32:i386
    ) ;;
  web)
    packages=(
      emscripten cmake make dpkg-dev libgtest-dev ccache
      chromium chromium-driver python3-selenium
    ) ;;
esac

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
