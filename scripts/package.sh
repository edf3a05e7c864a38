#!/usr/bin/env bash
# Builds the Debian package: the "package" preset (prefix /usr, no tests) with Debian's
# hardening flags, CPack's DEB generator (dependencies from dpkg-shlibdeps), then lintian
# on the result. Prints the package's path last; fails when lintian reports an error.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
# The compiler and linker flags a Debian package is built with (stack protector,
# fortified functions, read-only relocations, immediate binding).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS CXXFLAGS LDFLAGS
# The flags reach CMake only when it first configures the folder.
if [ -f build-package/CMakeCache.txt ] &&
  ! grep -q -- "-fstack-protector-strong" build-package/CMakeCache.txt; then
  rm -rf build-package
fi
cmake --preset package >/dev/null
cmake --build --preset package -j"$(nproc)"
rm -f build-package/*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/lumiveil-maker_*.deb)
echo "== lintian $deb"
lintian --info --display-info --pedantic --fail-on error "$deb"
echo "$deb"
