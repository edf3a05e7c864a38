#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs fuzz targets, each on one core for SECONDS seconds (default 10), two at a time
# on a machine of two cores or more (one lane per core, at most two: each lane takes every
# other target). Every target first replays its regression inputs; its corpus lives in
# build-fuzz/corpus/TARGET and is seeded from the repository's test pictures and, when
# present, from the shared test material beside the repository (../shared). Crash inputs
# land in build-fuzz/artifacts/TARGET/. Exits non-zero when a target finds a fault.
#
#   scripts/fuzz.sh [-t SECONDS] [-s] [TARGET...]     (-s: seed and build only)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=10
seed_only=0
while getopts "t:s" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    s) seed_only=1 ;;
    *) exit 1 ;;
  esac
done
shift $((OPTIND - 1))

shared=${LUMIVEIL_SHARED:-$root/../shared}
all=(fuzz_bmp_reader fuzz_bmp_roundtrip fuzz_stored_picture fuzz_jpeg_header fuzz_spi_dib
  fuzz_plugin_png fuzz_plugin_jpeg fuzz_plugin_gif fuzz_stored_band fuzz_config_file)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

# Seeds and dictionary of each target: files or folders, relative to the repository or
# to the shared material.
seeds_of() {
  case $1 in
    fuzz_bmp_reader | fuzz_bmp_roundtrip)
      echo "tests/data/bmpsuite tests/data/sdl2-image/*.bmp @testdata/bmpsuite/g @testdata/bmpsuite/b"
      echo "@testdata/bmpsuite/x @testdata/gdk-pixbuf @testdata/sdl2-image/*.bmp @samples/*-320.bmp" ;;
    fuzz_stored_picture) echo "fuzz/seeds/fuzz_stored_picture" ;;
    fuzz_jpeg_header | fuzz_plugin_jpeg) echo "tests/data/plugins/*.jpg tests/data/sdl2-image/*.jpg" ;;
    fuzz_spi_dib) echo "fuzz/seeds/fuzz_spi_dib" ;;
    fuzz_plugin_png) echo "tests/data/plugins/*.png tests/data/sdl2-image/*.png" ;;
    fuzz_plugin_gif) echo "tests/data/plugins/*.gif tests/data/sdl2-image/*.gif" ;;
    fuzz_stored_band) echo "fuzz/seeds/fuzz_stored_band tests/data/plugins/*.png" ;;
    fuzz_config_file) echo "fuzz/seeds/fuzz_config_file" ;;
  esac
}
# The option bytes (hex) each seed is also copied with: a target reads its options from the
# end of the input, and a picture file's own last byte (the end marker of a JPEG or PNG)
# would otherwise choose them, and be missing from the picture.
options_of() {
  case $1 in
    fuzz_jpeg_header) echo "00 10 13 30" ;;
    fuzz_plugin_png | fuzz_plugin_jpeg | fuzz_plugin_gif) echo "00" ;;
  esac
}
dict_of() {
  case $1 in
    fuzz_bmp_reader | fuzz_bmp_roundtrip | fuzz_spi_dib) echo bmp ;;
    fuzz_stored_picture) echo stored_picture ;;
    fuzz_jpeg_header | fuzz_plugin_jpeg) echo jpeg ;;
    fuzz_plugin_png | fuzz_stored_band) echo png ;;
    fuzz_plugin_gif) echo gif ;;
    fuzz_config_file) echo config ;;
  esac
}

command -v clang++-14 >/dev/null || { echo "clang++-14 is missing (scripts/install-deps.sh)"; exit 1; }
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]}"

# Seeds, replays and fuzzes one target; prints what it found.
fuzz_one() {
  local t=$1 status=0 corpus artifacts s f o
  corpus=build-fuzz/corpus/$t
  artifacts=build-fuzz/artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  for s in $(seeds_of "$t"); do
    case $s in
      @testdata/*) s=$shared/testdata/${s#@testdata/} ;;
      @samples/*) s=$shared/samples/${s#@samples/} ;;
    esac
    for f in $s; do
      [ -e "$f" ] || continue
      find "$f" -type f ! -name '*.md' ! -name '*.txt' ! -name '*.md5' ! -name '*.png.ref*' \
        -size -300k -exec cp -n {} "$corpus/" \; 2>/dev/null || true
      for o in $(options_of "$t"); do
        find "$f" -type f ! -name '*.md' ! -name '*.txt' -size -300k | while read -r file; do
          out=$corpus/$(basename "$file").$o
          [ -e "$out" ] || { cat "$file"; printf "\\x$o"; } >"$out"
        done
      done
    done
  done
  [ "$seed_only" -eq 1 ] && return 0
  echo "== $t: ${seconds}s, corpus $(find "$corpus" -type f | wc -l) files"
  if [ -d "fuzz/regressions/$t" ] && [ -n "$(ls -A "fuzz/regressions/$t")" ]; then
    if ! build-fuzz/fuzz/"$t" -rss_limit_mb=2048 -malloc_limit_mb=128 fuzz/regressions/"$t"/* \
      >"$artifacts/replay.log" 2>&1; then
      echo "$t: a regression input fails again (see $artifacts/replay.log)"
      return 1
    fi
  fi
  # One job on one core. At the targets' 4 MiB picture limit a sound reader needs far less
  # than these bounds: one allocation above 128 MiB, or an input taking 20 s, is a fault.
  if ! build-fuzz/fuzz/"$t" "$corpus" -dict="fuzz/dict/$(dict_of "$t").dict" \
    -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
    -malloc_limit_mb=128 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    >"$artifacts/fuzz.log" 2>&1; then
    echo "$t: FAULT FOUND (see $artifacts/fuzz.log)"
    grep -E "ERROR|SUMMARY|check failed|Test unit written" "$artifacts/fuzz.log" | head -5
    status=1
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$artifacts/fuzz.log" |
    tr '\n' ' ' || true
  grep -oE "cov: [0-9]+ ft: [0-9]+" "$artifacts/fuzz.log" | tail -1 || true
  return $status
}

# Each lane runs its targets one after another and keeps their output in a log of its own,
# printed target by target when every lane is done.
lanes=$(( $(nproc) < 2 ? 1 : 2 ))
for lane in $(seq 0 $((lanes - 1))); do
  (
    for i in "${!targets[@]}"; do
      [ $((i % lanes)) -eq "$lane" ] || continue
      t=${targets[$i]}
      mkdir -p "build-fuzz/artifacts/$t"
      rm -f "build-fuzz/artifacts/$t/failed"
      fuzz_one "$t" >"build-fuzz/artifacts/$t/run.log" 2>&1 ||
        touch "build-fuzz/artifacts/$t/failed"
    done
  ) &
done
wait
failed=()
for t in "${targets[@]}"; do
  cat "build-fuzz/artifacts/$t/run.log"
  if [ -e "build-fuzz/artifacts/$t/failed" ]; then failed+=("$t"); fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
