#!/usr/bin/env bash
# Builds the libraries that the web page's core links (zlib, libpng, libjpeg-turbo, libwebp,
# libdeflate), for WebAssembly with Debian's emscripten, from Debian's own source packages
# (apt-get source: the same versions and patches as the Linux build's libraries, so the PNG
# files come out byte for byte the same), into build-web/deps/prefix. emscripten's own ports
# would be downloaded, which a closed network cannot. Does nothing when the prefix is
# complete, and copies the libraries from the user's cache when they were built there before.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)/build-web/deps
prefix=$root/prefix
# The stamp names the libraries built, so that a prefix made before one was added is made
# anew.
stamp=$prefix/.complete-z-png-jpeg-webp-deflate
[ -f "$stamp" ] && exit 0

# emscripten's JavaScript tools run on the machine's node with Debian's node modules.
export NODE_PATH=/usr/share/nodejs
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
. scripts/debian-source.sh
enable_debian_sources

# The libraries are the same for every checkout of the same source versions and compiler:
# a copy kept in the user's cache serves the next checkout (a fresh CI clone) at once.
key=$(for p in zlib libpng1.6 libjpeg-turbo libwebp libdeflate; do
  apt-cache showsrc "$p" | sed -n 's/^Version: //p' | sort -rV | head -1
done; dpkg-query -W -f='${Version}' emscripten)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/lumiveil/web-deps/$(echo "$key" | sha256sum | cut -c1-16)
if [ -f "$cache/$(basename "$stamp")" ]; then
  mkdir -p "$root"
  rm -rf "$prefix"
  cp -a "$cache" "$prefix"
  exit 0
fi

fresh_source_folder "$root" "$prefix"
fetch_debian_source zlib
fetch_debian_source libpng1.6
fetch_debian_source libjpeg-turbo
fetch_debian_source libwebp
fetch_debian_source libdeflate

cflags=(-O2 -DNDEBUG)

# zlib and libpng are a handful of C files each: compiled straight, in parallel.
compile() {  # archive, then the sources; objects in the archive's own folder
  local archive=$1 dir
  shift
  dir=$(mktemp -d "$root/src/obj.XXXX")
  printf '%s\n' "$@" | xargs -P "$jobs" -I{} sh -c 'emcc "$@" -c "{}" -o "'"$dir"'/$(basename "{}" .c).o"' \
    sh "${cflags[@]}" -I"$prefix/include"
  emar rcs "$archive" "$dir"/*.o
}

echo "Building zlib for the web"
z=$(echo zlib-*/)
compile "$prefix/lib/libz.a" $(for f in adler32 compress crc32 deflate infback inffast inflate inftrees trees \
  uncompr zutil; do echo "$z$f.c"; done)
cp "$z"zlib.h "$z"zconf.h "$prefix/include/"

echo "Building libpng for the web"
p=$(echo libpng1.6-*/)
cp "$p"scripts/pnglibconf.h.prebuilt "$p"pnglibconf.h
compile "$prefix/lib/libpng.a" $(for f in png pngerror pngget pngmem pngpread pngread pngrio \
  pngrtran pngrutil pngset pngtrans pngwio pngwrite pngwtran pngwutil; do echo "$p$f.c"; done)
cp "$p"png.h "$p"pngconf.h "$p"pnglibconf.h "$prefix/include/"

echo "Building libjpeg-turbo for the web"
# (its type-size checks fail under emscripten: wasm32 has 4-byte size_t and long)
emcmake cmake -S libjpeg-turbo-*/ -B jpeg-build -DCMAKE_BUILD_TYPE=Release \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
  -DSIZE_T=4 -DUNSIGNED_LONG=4 >/dev/null
cmake --build jpeg-build --target jpeg-static -j"$jobs" >/dev/null
cp jpeg-build/libjpeg.a "$prefix/lib/"
cp libjpeg-turbo-*/jpeglib.h libjpeg-turbo-*/jmorecfg.h libjpeg-turbo-*/jerror.h \
  jpeg-build/jconfig.h "$prefix/include/"

echo "Building libwebp for the web"
# (its vector code is written for x86 and Arm: the plain C code here)
emcmake cmake -S libwebp-*/ -B webp-build -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
  -DWEBP_ENABLE_SIMD=OFF -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF \
  -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF \
  -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF \
  -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_WEBP_JS=OFF >/dev/null
cmake --build webp-build --target webp -j"$jobs" >/dev/null
cp webp-build/libwebp.a "$prefix/lib/"
mkdir -p "$prefix/include/webp"
cp libwebp-*/src/webp/decode.h libwebp-*/src/webp/encode.h libwebp-*/src/webp/types.h \
  "$prefix/include/webp/"

echo "Building libdeflate for the web"
# (its portable C code: the x86 and Arm paths are compiled out for wasm32)
d=$(echo libdeflate-*/)
cp "$d"libdeflate.h "$prefix/include/"  # its sources include it by name
compile "$prefix/lib/libdeflate.a" "$d"lib/*.c

rm -rf "$root/src"
touch "$stamp"
mkdir -p "$(dirname "$cache")"
rm -rf "$cache.new"
cp -a "$prefix" "$cache.new" && rm -rf "$cache" && mv "$cache.new" "$cache"
