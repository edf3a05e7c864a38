#!/usr/bin/env bash
# Builds the libraries that the Windows plug-ins, the tool and the tests link statically
# (libpng, libjpeg-turbo, giflib, libwebp, libdeflate), for 32-bit Windows, from Debian's
# own source packages (apt-get source: Debian's packaging with its patches applied), into
# build-win32/deps/prefix. zlib comes ready built for Windows from
# Debian's libz-mingw-w64-dev; GoogleTest is built by the cross build itself from the
# sources that libgtest-dev ships. Does nothing when the prefix is complete.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)/build-win32/deps
prefix=$root/prefix
# The stamp names the libraries built, so that a prefix made before one was added is made
# anew.
stamp=$prefix/.complete-png-jpeg-gif-webp-deflate
[ -f "$stamp" ] && exit 0

host=i686-w64-mingw32
cc=$host-gcc-posix
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
. scripts/debian-source.sh
enable_debian_sources

fresh_source_folder "$root" "$prefix"

fetch_debian_source libpng1.6
fetch_debian_source libjpeg-turbo
fetch_debian_source giflib
fetch_debian_source libwebp
fetch_debian_source libdeflate

# zlib for Windows, as Debian ships it (a static archive and its headers).
cp /usr/$host/include/zlib.h /usr/$host/include/zconf.h "$prefix/include/"
cp /usr/$host/lib/libz.a "$prefix/lib/"

toolchain=(-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86
  -DCMAKE_C_COMPILER=$cc -DCMAKE_RC_COMPILER=$host-windres
  -DCMAKE_FIND_ROOT_PATH="/usr/$host;$prefix" -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER
  -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix")

echo "Building libpng for Windows"
cmake -S libpng1.6-*/ -B png-build "${toolchain[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
  -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" \
  -DZLIB_INCLUDE_DIR="$prefix/include" >/dev/null
cmake --build png-build -j"$jobs" >/dev/null
cmake --install png-build >/dev/null

echo "Building libjpeg-turbo for Windows"
cmake -S libjpeg-turbo-*/ -B jpeg-build "${toolchain[@]}" -DENABLE_SHARED=OFF \
  -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF >/dev/null
cmake --build jpeg-build --target jpeg-static -j"$jobs" >/dev/null
cp jpeg-build/libjpeg.a "$prefix/lib/"
cp libjpeg-turbo-*/jpeglib.h libjpeg-turbo-*/jmorecfg.h libjpeg-turbo-*/jerror.h \
  jpeg-build/jconfig.h "$prefix/include/"

echo "Building giflib for Windows"
mkdir -p gif-build
for f in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray quantize; do
  $cc -O2 -c giflib-*/$f.c -o gif-build/$f.o
done
$host-ar rcs "$prefix/lib/libgif.a" gif-build/*.o
cp giflib-*/gif_lib.h "$prefix/include/"

echo "Building libwebp for Windows"
cmake -S libwebp-*/ -B webp-build "${toolchain[@]}" -DBUILD_SHARED_LIBS=OFF \
  -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
  -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
  -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF >/dev/null
cmake --build webp-build --target webp -j"$jobs" >/dev/null
cp webp-build/libwebp.a "$prefix/lib/"
mkdir -p "$prefix/include/webp"
cp libwebp-*/src/webp/decode.h libwebp-*/src/webp/encode.h libwebp-*/src/webp/types.h \
  "$prefix/include/webp/"

echo "Building libdeflate for Windows"
mkdir -p deflate-build
deflate=$(echo libdeflate-*/)
for f in "$deflate"lib/*.c "$deflate"lib/x86/cpu_features.c; do
  $cc -O2 -I"$deflate" -c "$f" -o "deflate-build/$(basename "$f" .c).o"
done
$host-ar rcs "$prefix/lib/libdeflate.a" deflate-build/*.o
cp "$deflate"libdeflate.h "$prefix/include/"

rm -rf "$root/src"
touch "$stamp"
