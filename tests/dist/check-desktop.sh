#!/usr/bin/env bash
# The window's desktop integration: the desktop entry and the metainfo pass Debian's
# validators (desktop-file-validate; appstreamcli, offline), both declare a MIME type for
# every file name pattern of the BMP reader and the shipped plug-ins, and an install into
# a staging folder holds every file the package ships, which appstreamcli validate-tree
# accepts as one application.
# Usage: check-desktop.sh BIN_DIR BUILD_DIR SOURCE_DIR
set -uo pipefail
bin=$1
build=$2
source_dir=$3
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)"; exit 77; }
done
[ -f /usr/share/mime/globs2 ] || { echo "shared-mime-info is missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=/dev/null
source "$(dirname "$0")/failures.sh"
desktop=$source_dir/dist/org.lumiveil.Maker.desktop
metainfo=$build/dist/org.lumiveil.Maker.metainfo.xml

desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"

# The MIME types declared, in both files.
declared=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
provided=$(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1|p' "$metainfo" | sort)
[ "$declared" = "$provided" ] ||
  fail "the desktop entry declares $(echo $declared), the metainfo $(echo $provided)"
# Every pattern the readers claim, through the system's MIME database.
patterns=$("$bin/lumiveil" plugins | sed -n 's/^  \(\*\.[A-Za-z0-9]*\): .*/\1/p')
[ -n "$patterns" ] || fail "lumiveil plugins lists no extension"
for pattern in '*.bmp' $patterns; do
  type=$(awk -F: -v p="$pattern" 'tolower($3) == tolower(p) { print $2; exit }' /usr/share/mime/globs2)
  if [ -z "$type" ]; then
    echo "note: the MIME database knows no type for $pattern"
  elif ! grep -qxF "$type" <<<"$declared"; then
    fail "$pattern ($type) is read but not declared"
  fi
done

# The install: every file the package ships, and the tree as a software centre sees it.
DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install"
for f in bin/lumiveil bin/lumiveil-maker lib/susie/png.spi lib/susie/jpeg.spi lib/susie/gif.spi \
  share/man/man1/lumiveil.1.gz share/man/man1/lumiveil-maker.1.gz \
  share/bash-completion/completions/lumiveil share/bash-completion/completions/lumiveil-maker \
  share/applications/org.lumiveil.Maker.desktop share/metainfo/org.lumiveil.Maker.metainfo.xml \
  share/icons/hicolor/scalable/apps/org.lumiveil.Maker.svg \
  share/icons/hicolor/48x48/apps/org.lumiveil.Maker.png \
  share/icons/hicolor/128x128/apps/org.lumiveil.Maker.png \
  share/icons/hicolor/256x256/apps/org.lumiveil.Maker.png \
  share/doc/lumiveil-maker/copyright share/doc/lumiveil-maker/changelog.gz \
  share/doc/lumiveil-maker/examples/LICENSES.md share/doc/lumiveil-maker/examples/coffee.bmp; do
  [ -f "$work/root/usr/$f" ] || fail "the install has no /usr/$f"
done
for size in 48 128 256; do
  got=$(file -b "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/org.lumiveil.Maker.png")
  grep -q "PNG image data, $size x $size," <<<"$got" || fail "the ${size}x${size} icon is $got"
done
gzip -t "$work/root/usr/share/man/man1/lumiveil.1.gz" || fail "lumiveil.1.gz is no gzip file"
appstreamcli validate-tree --no-net "$work/root" || fail "appstreamcli validate-tree"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "desktop entry, metainfo and install tree pass"
