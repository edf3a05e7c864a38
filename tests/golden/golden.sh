#!/usr/bin/env bash
# Runs every command of the command-line tool on the bundled pictures and prints one line
# per output: the case's name and the SHA-256 of the file it wrote (or of its standard
# output for `info`). The list of expected lines, golden.txt beside this script, was
# recorded before any change that touches pixels or files; the test compares the two.
#
#   tests/golden/golden.sh BIN_DIR SAMPLES_DIR WORK_DIR
set -euo pipefail
bin=$(realpath "${1:?BIN_DIR}")/lumiveil
samples=$(realpath "${2:?SAMPLES_DIR}")
work=${3:?WORK_DIR}
rm -rf "$work"
mkdir -p "$work"
cd "$work"

run() {  # run NAME OUTPUT COMMAND... : runs the command, prints NAME and the output's hash
  local name=$1 out=$2
  shift 2
  local rc=0
  "$bin" "$@" >"$work/.stdout" 2>"$work/.stderr" || rc=$?
  if [ $rc -ne 0 ]; then
    echo "$name exit $rc: $(tr '\n' ' ' <"$work/.stderr")"
    return
  fi
  if [ "$out" = - ]; then
    echo "$name $(sed -e 's|^file: .*/|file: |' -e 's|plug-in /.*/|plug-in |' "$work/.stdout" |
      sha256sum | cut -c1-64)"
  else
    echo "$name $(sha256sum <"$out" | cut -c1-64)"
  fi
}

vis=$samples/coffee.bmp
hid=$samples/chelsea.bmp

# Pictures made once and used by the cases below: odd and degenerate sizes, and a
# 12-megapixel pair as a person would give it.
"$bin" resize "$vis" big.bmp 4000 3000 >/dev/null
"$bin" resize "$hid" bighid.bmp 2000 1500 >/dev/null
"$bin" resize "$vis" odd.bmp 1001 777 >/dev/null
"$bin" resize "$hid" oddhid.bmp 333 999 >/dev/null
"$bin" resize "$vis" one.bmp 1 1 >/dev/null
"$bin" resize "$vis" col.bmp 1 7 >/dev/null
"$bin" resize "$vis" row.bmp 7 1 >/dev/null

# convert, through the BMP reader and each shipped plug-in
for f in coffee.bmp chelsea.bmp astronaut.png rocket.jpg; do
  run "convert/$f" c.bmp convert "$samples/$f" c.bmp
done
run convert/big big.c.bmp convert big.bmp big.c.bmp

# resize, enlarging and shrinking on each axis, and the made pictures
for size in "1200 900" "300 200" "601 401" "1000 200" "200 1000" "1 1" "2 5" "5000 1"; do
  set -- $size
  run "resize/coffee/$1x$2" r.bmp resize "$vis" r.bmp "$1" "$2"
done
run resize/astronaut/640x480 r.bmp resize "$samples/astronaut.png" r.bmp 640 480
run resize/rocket/123x456 r.bmp resize "$samples/rocket.jpg" r.bmp 123 456
run resize/col/9x9 r.bmp resize col.bmp r.bmp 9 9
run resize/row/9x9 r.bmp resize row.bmp r.bmp 9 9
run resize/big/1000x750 r.bmp resize big.bmp r.bmp 1000 750

# synth to BMP and GIF, over the sliders' range and every option
for ac in "128 127" "128 128" "230 25" "200 127" "0 0" "255 9" "10 10" "129 126" "64 20"; do
  set -- $ac
  run "synth/A$1C$2.bmp" s.bmp synth "$vis" "$hid" -o s.bmp --average "$1" --contrast "$2"
done
run synth/A230C25.gif s.gif synth "$vis" "$hid" -o s.gif --average 230 --contrast 25
run synth/default.gif s.gif synth "$vis" "$hid" -o s.gif
run synth/gifflag s.out synth "$vis" "$hid" -o s.out --gif
run synth/preview.bmp s.bmp synth "$vis" "$hid" -o s.bmp --preview
run synth/preview.gif s.gif synth "$vis" "$hid" -o s.gif --preview
run synth/width333 s.bmp synth "$vis" "$hid" -o s.bmp --width 333
run synth/height1201 s.bmp synth "$vis" "$hid" -o s.bmp --height 1201
run synth/png+jpg.bmp s.bmp synth "$samples/astronaut.png" "$samples/rocket.jpg" -o s.bmp
run synth/png+jpg.gif s.gif synth "$samples/astronaut.png" "$samples/rocket.jpg" -o s.gif
run synth/odd.bmp s.bmp synth odd.bmp oddhid.bmp -o s.bmp --average 100 --contrast 50
run synth/odd.gif s.gif synth odd.bmp oddhid.bmp -o s.gif --average 100 --contrast 50
run synth/one.bmp s.bmp synth one.bmp "$hid" -o s.bmp
run synth/col.gif s.gif synth col.bmp "$hid" -o s.gif
run synth/row.gif s.gif synth row.bmp "$hid" -o s.gif
run synth/big.bmp s.bmp synth big.bmp bighid.bmp -o s.bmp
run synth/big.gif s.gif synth big.bmp bighid.bmp -o s.gif
run synth/big-A230C25.gif s.gif synth big.bmp bighid.bmp -o s.gif --average 230 --contrast 25

# gif: every reduction with every ditherer, the bit counts, both encoders, interlace,
# the panel, and pictures of 8 bits or fewer
for r in none windows20 windows256 windowsgray monochrome grayscale netscape quantize quantize256; do
  for d in nearest floydsteinberg stucki sierra jajuni stevearche burkes; do
    run "gif/$r/$d" g.gif gif "$hid" g.gif --reduction "$r" --dither "$d"
  done
done
for b in 3 4 5 6 7 8; do
  run "gif/quantize/bits$b" g.gif gif "$vis" g.gif --reduction quantize --bits "$b"
done
run gif/rle g.gif gif "$vis" g.gif --compression rle
run gif/interlace g.gif gif "$vis" g.gif --interlace
run gif/rle-interlace g.gif gif "$vis" g.gif --compression rle --interlace
run gif/panel g.gif gif "$vis" g.gif --panel
run gif/panel-png g.gif gif "$samples/astronaut.png" g.gif --panel
run gif/panel-odd g.gif gif odd.bmp g.gif --panel
run gif/panel-big g.gif gif big.bmp g.gif --panel
run gif/big-fs g.gif gif big.bmp g.gif --reduction windows256 --dither floydsteinberg
run gif/big-quantize g.gif gif big.bmp g.gif --reduction quantize
run gif/jpg g.gif gif "$samples/rocket.jpg" g.gif
"$bin" gif "$hid" pal.gif --reduction windows256 >/dev/null
run gif/from-gif g.gif gif pal.gif g.gif --reduction none
run convert/from-gif c.bmp convert pal.gif c.bmp
"$bin" convert pal.gif c256.bmp >/dev/null
run gif/none/256-colours g.gif gif c256.bmp g.gif --reduction none
run gif/none/256-colours-rle g.gif gif c256.bmp g.gif --reduction none --compression rle

# info on each reader (the plug-in's path, which depends on the build folder, left out)
for f in coffee.bmp astronaut.png rocket.jpg; do
  run "info/$f" - info "$samples/$f"
done

# PNG outputs: synth with its band chunk (also lowered by the average's limit, and none for
# a preview), the palette form, convert and resize. The chunk names the program's version,
# so a new version changes the hashes of the synth cases.
run synth/A230C25.png s.png synth "$vis" "$hid" -o s.png --average 230 --contrast 25
run synth/default.PNG s.PNG synth "$vis" "$hid" -o s.PNG
run synth/lowered.png s.png synth "$vis" "$hid" -o s.png --average 200 --contrast 100
run synth/preview.png s.png synth "$vis" "$hid" -o s.png --preview
run synth/png+jpg.png s.png synth "$samples/astronaut.png" "$samples/rocket.jpg" -o s.png
run synth/odd.png s.png synth odd.bmp oddhid.bmp -o s.png --average 100 --contrast 50
run synth/one.png s.png synth one.bmp "$hid" -o s.png
run synth/big.png s.png synth big.bmp bighid.bmp -o s.png
run synth/indexed.png s.png synth "$vis" "$hid" -o s.png --indexed --average 230 --contrast 25
run synth/indexed-default.png s.png synth "$vis" "$hid" -o s.png --indexed
run synth/indexed-row.png s.png synth row.bmp "$hid" -o s.png --indexed
run synth/big-indexed.png s.png synth big.bmp bighid.bmp -o s.png --indexed
run synth/adaptive.png s.png synth "$vis" "$hid" -o s.png --indexed --palette adaptive --average 200 \
  --contrast 40
for f in coffee.bmp astronaut.png rocket.jpg; do
  run "convert/$f.png" c.png convert "$samples/$f" c.png
done
run convert/from-gif.png c.png convert pal.gif c.png
run resize/coffee/601x401.png r.png resize "$vis" r.png 601 401
run resize/rocket/123x456.png r.png resize "$samples/rocket.jpg" r.png 123 456
run resize/big/1000x750.png r.png resize big.bmp r.png 1000 750
# reveal: every view of a combined picture with the band given, found and lowered, the
# thumbnail's filters, the odd and degenerate sizes, the 12-megapixel pair, and the band and
# scores it prints; synth --report
"$bin" synth "$vis" "$hid" -o rv.bmp --average 100 --contrast 40 >/dev/null
"$bin" synth odd.bmp oddhid.bmp -o rvodd.bmp --average 230 --contrast 25 >/dev/null
"$bin" synth col.bmp "$hid" -o rvcol.bmp >/dev/null
"$bin" synth row.bmp "$hid" -o rvrow.bmp >/dev/null
"$bin" synth one.bmp "$hid" -o rvone.bmp >/dev/null
"$bin" synth big.bmp bighid.bmp -o rvbig.bmp --average 128 --contrast 60 >/dev/null
for v in even odd average thumbnail levels hidden sheet; do
  run "reveal/$v" r.bmp reveal rv.bmp -o r.bmp --view "$v" --average 100 --contrast 40
done
run reveal/found r.bmp reveal rv.bmp -o r.bmp
for f in area bilinear nearest; do
  run "reveal/thumbnail-$f-100" r.bmp reveal rv.bmp -o r.bmp --view thumbnail --filter "$f" --size 100
  run "reveal/sheet-$f" r.bmp reveal rvodd.bmp -o r.bmp --filter "$f"
done
for p in rvodd rvcol rvrow rvone; do
  for v in odd average hidden sheet; do
    run "reveal/$p/$v" r.bmp reveal "$p.bmp" -o r.bmp --view "$v"
  done
done
run reveal/big-sheet r.bmp reveal rvbig.bmp -o r.bmp --average 128 --contrast 60
run reveal/big-hidden r.bmp reveal rvbig.bmp -o r.bmp --view hidden --average 128 --contrast 60
run reveal/big-found - reveal rvbig.bmp -o r.bmp --view odd
run reveal/lowered - reveal rv.bmp -o r.bmp --view levels --average 200 --contrast 99
run reveal/scores - reveal rv.bmp -o r.bmp --view even --visible "$vis" --hidden "$hid"
run reveal/scores-found - reveal rvodd.bmp -o r.bmp --view even --visible odd.bmp --hidden oddhid.bmp
run synth/report - synth "$vis" "$hid" -o s.bmp --average 100 --contrast 40 --report
run synth/report-preview - synth "$vis" "$hid" -o s.bmp --preview --report

# reveal on synth's PNG: the band it stored (the lines name the program's version too)
"$bin" synth "$vis" "$hid" -o rvs.png --average 230 --contrast 25 >/dev/null
run reveal/stored.png r.bmp reveal rvs.png -o r.bmp --view hidden
run reveal/stored-lines.png - reveal rvs.png -o r.bmp --view hidden --hidden "$hid"
