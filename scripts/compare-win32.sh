#!/usr/bin/env bash
# Runs the Linux and the Windows command-line tool (the latter under Wine) on the same
# inputs and options and checks that they agree byte for byte: the files written, the exit
# status, the messages on standard error and what goes to standard output. Covers synth to
# BMP, GIF and PNG (with its band chunk, and the palette form with either palette), resize
# and convert to BMP and PNG, convert through the PNG, JPEG and GIF plug-ins, gif with every
# reduction mode, every ditherer, the bit counts, both encoders, interlacing and the panel
# path, and reveal's views, bands and scores (standard output too). The PNG files are the
# same only when both builds compress with the same zlib and libdeflate: their versions are
# checked first (headers of this system and of scripts/win32-deps.sh's prefix).
#
#   scripts/compare-win32.sh [LINUX_TOOL [WINDOWS_TOOL]]
#
# Defaults: build/bin/lumiveil and build-win32/bin/lumiveil.exe. Prints one line per
# difference and closes with "N passed, M failed"; exits non-zero on any difference.
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build/bin/lumiveil}
windows=${2:-build-win32/bin/lumiveil.exe}
for tool in "$linux" "$windows"; do
  [ -x "$tool" ] || [ -f "$tool" ] || { echo "missing $tool" >&2; exit 2; }
done
# The same zlib and libdeflate on both sides, or the PNG files cannot agree.
win32_include=${LUMIVEIL_WIN32_INCLUDE:-build-win32/deps/prefix/include}
version_of() {  # version_of HEADER MACRO
  sed -n "s/^#define[[:space:]]\+$2[[:space:]]\+\"\(.*\)\".*/\1/p" "$1" | head -1
}
for library in "zlib.h ZLIB_VERSION" "libdeflate.h LIBDEFLATE_VERSION_STRING"; do
  set -- $library
  here=$(version_of "$(echo '#include <'"$1"'>' | cpp -H -o /dev/null 2>&1 | sed -n 's/^\. //p' | head -1)" "$2")
  there=$(version_of "$win32_include/$1" "$2")
  echo "$1: $here here, $there in the Windows build"
  if [ -z "$here" ] || [ "$here" != "$there" ]; then
    echo "the Windows build's $1 differs from this system's" >&2
    exit 2
  fi
done

linux=$(realpath "$linux")
windows=$(realpath "$windows")
export WINEPREFIX=${WINEPREFIX:-$(pwd)/build-win32/wine} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

work=$(mktemp -d "${TMPDIR:-/tmp}/lumiveil-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The inputs live in the work folder under short names, so that both tools are given the
# same relative paths (the messages name the files as given).
cp samples/coffee.bmp samples/chelsea.bmp samples/astronaut.png samples/rocket.jpg "$work/"
for f in palette.png rgba16.png grey16.png interlaced.png progressive.jpg grey.jpg \
  transparent.gif interlaced.gif multiframe.gif; do
  cp "tests/data/plugins/$f" "$work/"
done
cp tests/data/bmpsuite/g/pal8.bmp "$work/eight.bmp"
# A combined picture for reveal, and one of odd size.
"$linux" synth "$work/coffee.bmp" "$work/chelsea.bmp" -o "$work/rv.bmp" --average 100 \
  --contrast 40 >/dev/null
"$linux" resize "$work/chelsea.bmp" "$work/odd.bmp" 301 99 >/dev/null
"$linux" synth "$work/odd.bmp" "$work/coffee.bmp" -o "$work/rvodd.bmp" >/dev/null

# compare NAME OUTPUT ARGS...: runs both tools with ARGS in the work folder; the string
# OUT in ARGS stands for the output file. Each of two lanes takes every other case, so
# that two Wine processes run at a time.
compare() {
  index=$((index + 1))
  [ $((index % 2)) -eq "$lane" ] || return 0
  local name=$1 out=$2
  shift 2
  local dir=lane$lane args=("$@") largs=() wargs=() a
  for a in "${args[@]}"; do
    largs+=("${a//OUT/$dir/linux/$out}")
    wargs+=("${a//OUT/$dir/windows/$out}")
  done
  local lstatus=0 wstatus=0
  (cd "$work" && "$linux" "${largs[@]}" >"$dir/linux/stdout" 2>"$dir/linux/stderr") ||
    lstatus=$?
  (cd "$work" && wine "$windows" "${wargs[@]}" >"$dir/windows/stdout" 2>"$dir/windows/stderr") ||
    wstatus=$?
  local problem=""
  [ "$lstatus" = "$wstatus" ] || problem="exit status $lstatus vs $wstatus"
  # Messages name the output file by its folder; compare them with the folder put back
  # (and without the carriage returns of Windows text output).
  if [ -z "$problem" ] &&
    ! cmp -s <(sed "s|$dir/linux/$out|OUT|g" "$work/$dir/linux/stderr") \
      <(sed "s|$dir/windows/$out|OUT|g; s|\r\$||" "$work/$dir/windows/stderr"); then
    problem="standard error differs: $(head -c 300 "$work/$dir/linux/stderr") vs $(head -c 300 "$work/$dir/windows/stderr")"
  fi
  if [ -z "$problem" ] &&
    ! cmp -s "$work/$dir/linux/stdout" <(sed 's|\r$||' "$work/$dir/windows/stdout"); then
    problem="standard output differs: $(head -c 300 "$work/$dir/linux/stdout") vs $(head -c 300 "$work/$dir/windows/stdout")"
  fi
  if [ -z "$problem" ]; then
    if [ -f "$work/$dir/linux/$out" ] || [ -f "$work/$dir/windows/$out" ]; then
      if cmp -s "$work/$dir/linux/$out" "$work/$dir/windows/$out"; then
        written=$((written + 1))
      else
        problem="$out differs"
      fi
    fi
  fi
  if [ -z "$problem" ] && [ "$lstatus" = 0 ] && [ ! -s "$work/$dir/linux/$out" ]; then
    problem="no output written"
  fi
  rm -f "$work/$dir/linux/$out" "$work/$dir/windows/$out"
  if [ -n "$problem" ]; then
    echo "DIFFERS: $name: $problem"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}

cases() {
  compare "synth defaults" a.bmp synth coffee.bmp chelsea.bmp -o OUT
  compare "synth sliders" a.bmp synth coffee.bmp chelsea.bmp -o OUT --average 90 --contrast 60
  compare "synth width preview" a.bmp synth coffee.bmp chelsea.bmp -o OUT --width 300 --preview
  compare "synth height, contrast lowered" a.bmp synth coffee.bmp chelsea.bmp -o OUT \
    --average 200 --contrast 100 --height 100
  compare "synth enlarged" a.bmp synth chelsea.bmp coffee.bmp -o OUT --width 1001
  compare "synth through plug-ins" a.bmp synth astronaut.png rocket.jpg -o OUT --average 30
  compare "synth to GIF" a.gif synth coffee.bmp chelsea.bmp -o OUT
  compare "synth --gif" a.bmp synth chelsea.bmp coffee.bmp -o OUT --gif --contrast 20
  compare "synth to PNG" a.png synth coffee.bmp chelsea.bmp -o OUT --average 230 --contrast 25
  compare "synth to PNG, contrast lowered" a.PNG synth coffee.bmp chelsea.bmp -o OUT \
    --average 200 --contrast 100 --width 301
  compare "synth preview to PNG" a.png synth coffee.bmp chelsea.bmp -o OUT --preview
  compare "synth through plug-ins to PNG" a.png synth astronaut.png rocket.jpg -o OUT
  compare "synth --indexed" a.png synth coffee.bmp chelsea.bmp -o OUT --indexed --average 230 \
    --contrast 25
  compare "synth --indexed enlarged" a.png synth chelsea.bmp coffee.bmp -o OUT --indexed \
    --width 1001
  compare "synth --indexed to BMP" a.bmp synth coffee.bmp chelsea.bmp -o OUT --indexed
  compare "synth --indexed --palette adaptive" a.png synth astronaut.png rocket.jpg -o OUT \
    --indexed --palette adaptive --average 200 --contrast 40
  compare "synth adaptive preview" a.png synth coffee.bmp chelsea.bmp -o OUT --preview \
    --indexed --palette adaptive
  compare "synth bad slider" a.bmp synth coffee.bmp chelsea.bmp -o OUT --average 256
  compare "synth missing input" a.bmp synth coffee.bmp missing.bmp -o OUT
  for size in "1000 123" "37 511" "451 300" "1 1" "2000 1"; do
    compare "resize $size" r.bmp resize chelsea.bmp OUT $size
  done
  compare "resize through a plug-in" r.bmp resize rocket.jpg OUT 333 222
  compare "resize to PNG" r.png resize chelsea.bmp OUT 1000 123
  compare "resize to PNG through a plug-in" r.png resize rocket.jpg OUT 333 222
  for f in astronaut.png rocket.jpg palette.png transparent.gif eight.bmp; do
    compare "convert $f to PNG" c.png convert "$f" OUT
  done
  for f in astronaut.png rocket.jpg palette.png rgba16.png grey16.png interlaced.png \
    progressive.jpg grey.jpg transparent.gif interlaced.gif multiframe.gif eight.bmp; do
    compare "convert $f" c.bmp convert "$f" OUT
  done
  compare "gif --panel" p.gif gif coffee.bmp OUT --panel
  for reduction in none windows20 windows256 windowsgray monochrome grayscale netscape \
    quantize quantize256; do
    for dither in nearest floydsteinberg stucki sierra jajuni stevearche burkes; do
      compare "gif $reduction $dither" g.gif gif chelsea.bmp OUT --reduction "$reduction" \
        --dither "$dither"
    done
    compare "gif $reduction, 8-bit input" g.gif gif eight.bmp OUT --reduction "$reduction"
  done
  for bits in 1 3 6 8; do
    compare "gif quantize --bits $bits" g.gif gif chelsea.bmp OUT --reduction quantize \
      --bits "$bits" --dither floydsteinberg
  done
  compare "gif rle interlaced" g.gif gif eight.bmp OUT --compression rle --interlace
  compare "gif lzw" g.gif gif coffee.bmp OUT --reduction windows256 --compression lzw
  compare "gif defaults" g.gif gif coffee.bmp OUT
  for view in even odd average thumbnail levels hidden sheet; do
    compare "reveal $view" v.bmp reveal rv.bmp -o OUT --view "$view" --average 100 --contrast 40
    compare "reveal $view, odd size, band found" v.bmp reveal rvodd.bmp -o OUT --view "$view"
  done
  for filter in bilinear nearest; do
    compare "reveal sheet $filter" v.bmp reveal rvodd.bmp -o OUT --filter "$filter" --size 90
  done
  compare "reveal scores" v.bmp reveal rv.bmp -o OUT --visible coffee.bmp --hidden chelsea.bmp
  compare "reveal bad view" v.bmp reveal rv.bmp -o OUT --view sideways
}

# run_lane N: the cases of lane N; its counts go to lane N's folder.
run_lane() {
  lane=$1 index=0 passed=0 failed=0 written=0
  mkdir -p "$work/lane$lane/linux" "$work/lane$lane/windows"
  cases
  echo "$passed $failed $written" >"$work/lane$lane/counts"
}
run_lane 0 >"$work/lane0.log" &
lane0=$!
run_lane 1 >"$work/lane1.log" &
lane1=$!
status=0
wait "$lane0" || status=$?
wait "$lane1" || status=$?
cat "$work/lane0.log" "$work/lane1.log"
[ "$status" -eq 0 ] || { echo "a lane of the comparison stopped (status $status)" >&2; exit 1; }
read -r p0 f0 w0 <"$work/lane0/counts"
read -r p1 f1 w1 <"$work/lane1/counts"
passed=$((p0 + p1)) failed=$((f0 + f1)) written=$((w0 + w1))

wineserver -w
echo "identical files written by both tools: $written; the other runs failed alike"
echo "cli-compare: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
