#!/usr/bin/env bash
# Installs the Debian packages the project needs. With no argument: everything (build,
# tests, window, CI checks). With "build": only what building the programs and plug-ins
# needs (the quick start's first command). With "tests": what building and running every
# test needs (the second). With "package": the build's packages and what
# scripts/package.sh and scripts/test-package.sh need. With "win32": those of the Windows
# cross build and its tests under Wine instead (which need the i386 architecture for
# wine32).
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

build=(
  g++ cmake make pkg-config
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev libwebp-dev libdeflate-dev zlib1g-dev
)
# What building and running every test needs (scripts/test.sh): the test frameworks, a
# virtual X server and fonts for the window's tests, and the independent tools that the
# tests compare with.
tests=(
  "${build[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-ipafont-gothic
  giflib-tools imagemagick python3-pil libvips-tools libjpeg-turbo-progs webp pngquant
  desktop-file-utils appstream shared-mime-info librsvg2-bin man-db file
)
# Besides, for CI's checks: formatting, and clang for the fuzz targets.
packages=("${tests[@]}" clang-format clang-14 libclang-rt-14-dev)

purpose="the build, the tests and the checks"
case "${1:-}" in
  build) packages=("${build[@]}") purpose="building the programs and plug-ins" ;;
  tests) packages=("${tests[@]}") purpose="building and running the tests" ;;
  package) packages=("${build[@]}" dpkg-dev lintian debootstrap) purpose="the Debian package" ;;
  win32)
    purpose="the Windows cross build and its tests under Wine"
    packages=(
      g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
      libz-mingw-w64-dev libgtest-dev cmake make dpkg-dev
      wine wine32:i386
    ) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# Installing needs root: as root directly, else through sudo. With neither, say what to
# run instead of failing on a missing sudo.
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    cat >&2 <<EOT
$0: these Debian packages are missing, and installing them needs root:
  ${missing[*]}
There is no sudo here. Run this script as root once (for example:
  su -c '$(cd "$(dirname "$0")" && pwd)/$(basename "$0") ${1:-}'),
or as root install sudo and add yourself to the group sudo; then run your command again.
EOT
    exit 1
  fi
  sudo=(sudo)
  echo "Installing needs root: asking sudo."
fi
echo "== Installing ${#missing[@]} Debian packages for $purpose:"
echo "   ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ "${1:-}" = win32 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
# apt's own progress, one line per download and per package set up (-q: no progress bars,
# which a log or a pipe turns into noise).
echo "== apt-get update"
"${sudo[@]}" apt-get update -q
echo "== apt-get install"
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "== Installed ${#missing[@]} Debian packages"
