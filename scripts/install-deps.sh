#!/usr/bin/env bash
# Installs every Debian package the project needs (build, tests, window, CI checks).
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev
  xvfb xauth fonts-ipafont-gothic
  clang-format clang-14 libclang-rt-14-dev
  giflib-tools imagemagick
)

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
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
