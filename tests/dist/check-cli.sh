#!/usr/bin/env bash
# --version and help of both programs: the version is CMake's project version, the
# plug-in API is named, `lumiveil help COMMAND` prints exactly `lumiveil COMMAND --help`
# and its synopsis names the options it lists,
# bad use is exit status 1, and the window answers --help and --version without a display
# and loads the pictures given on its command line.
# Usage: check-cli.sh BIN_DIR VERSION SAMPLES_DIR
set -uo pipefail
bin=$1
version=$2
samples=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=/dev/null
source "$here/help.sh"
# shellcheck source=/dev/null
source "$(dirname "$0")/failures.sh"
status() {
  "$@" >/dev/null 2>&1
  echo $?
}

out=$("$bin/lumiveil" --version)
[ "$(head -n1 <<<"$out")" = "lumiveil $version" ] || fail "lumiveil --version says: $out"
grep -q "plug-in API 00IN" <<<"$out" || fail "lumiveil --version names no plug-in API"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$bin/lumiveil-maker" --version 2>&1)
[ "$(head -n1 <<<"$out")" = "lumiveil-maker $version" ] || fail "lumiveil-maker --version says: $out"
[ "$(env -u DISPLAY QT_QPA_PLATFORM=xcb "$bin/lumiveil-maker" --help 2>/dev/null | head -n1)" = \
  "usage: lumiveil-maker [OPTION...] [VISIBLE [HIDDEN]]" ] ||
  fail "lumiveil-maker --help needs a display or says something else"

[ "$("$bin/lumiveil" help)" = "$("$bin/lumiveil" --help)" ] || fail "lumiveil help differs from --help"
for c in $(help_commands "$bin/lumiveil"); do
  [ "$("$bin/lumiveil" help "$c")" = "$("$bin/lumiveil" "$c" --help)" ] ||
    fail "lumiveil help $c differs from lumiveil $c --help"
  [ "$(status "$bin/lumiveil" help "$c")" = 0 ] || fail "lumiveil help $c is not exit status 0"
  # The synopsis names the options that the help lists one a line (which are the ones the
  # parser takes: both come from the command's list).
  synopsis=$("$bin/lumiveil" help "$c" | sed '/^$/q' | help_options)
  listed=$("$bin/lumiveil" help "$c" | awk '/^  -/ { print $1 }' | sort -u)
  [ "$synopsis" = "$listed" ] ||
    fail "lumiveil $c: the synopsis names $(xargs <<<"$synopsis"), the help lists $(xargs <<<"$listed")"
done
[ "$(status "$bin/lumiveil" help no-such-command)" = 1 ] || fail "help of an unknown command"
[ "$(status "$bin/lumiveil" help synth gif)" = 1 ] || fail "help of two commands"
[ "$(status "$bin/lumiveil" --versions)" = 1 ] || fail "lumiveil --versions"

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
[ "$(status "$bin/lumiveil-maker" --no-such-option)" = 1 ] || fail "lumiveil-maker --no-such-option"
notes=$("$bin/lumiveil-maker" --quit-after-start "$samples/coffee.bmp" "$samples/chelsea.bmp" 2>&1 |
  grep '^lumiveil-maker:')
[ -z "$notes" ] || fail "the window did not load its two pictures: $notes"
notes=$("$bin/lumiveil-maker" --quit-after-start "$samples/no-such.bmp" 2>&1 | grep '^lumiveil-maker:')
[ "$notes" = "lumiveil-maker: $samples/no-such.bmp: no such file" ] ||
  fail "a missing picture on the window's command line gives: $notes"
# A FIFO as the plug-in configuration file and a thread setting that is no number: the
# window starts at once and says so, as the command-line tool does.
config=$(mktemp -d)
mkdir -p "$config/Quenbrook" && mkfifo "$config/Quenbrook/Susie.conf"
notes=$(XDG_CONFIG_HOME=$config LUMIVEIL_THREADS=two timeout 60 "$bin/lumiveil-maker" \
  --quit-after-start 2>&1 | grep '^lumiveil-maker:')
expected="lumiveil-maker: note: $config/Quenbrook/Susie.conf: not read: it is a FIFO; only a regular file is read
lumiveil-maker: note: LUMIVEIL_THREADS='two' is not a whole number from 1 up; the work runs on one thread per processor core ("
[[ $notes == "$expected"[0-9]*")" ]] || fail "the window's notes at the start: $notes"
rm -rf "$config"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "--version and help of both programs pass"
