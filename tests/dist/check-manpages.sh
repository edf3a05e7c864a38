#!/usr/bin/env bash
# The manual pages against the programs: every command of `lumiveil --help` has its own
# subsection in lumiveil(1) that names every option of `lumiveil help COMMAND`; the
# options of `lumiveil --help` and `lumiveil-maker --help` are in the pages' OPTIONS
# sections; both pages render without a warning.
# Usage: check-manpages.sh BIN_DIR MAN_DIR (MAN_DIR holds lumiveil.1, lumiveil-maker.1)
set -uo pipefail
bin=$1
man_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=/dev/null
source "$here/help.sh"
# shellcheck source=/dev/null
source "$(dirname "$0")/failures.sh"

# The page's source with roff's escapes for hyphens and fonts taken out, so that
# \fB\-\-average\fR reads --average.
plain() {
  sed -E 's/\\-/-/g; s/\\f[BIRP]//g; s/\\e/\\/g' "$1"
}

# The lines of one section (".SH NAME") or subsection (".SS NAME") of a plain page.
section() {
  awk -v head="$1" '
    /^\.S[HS] / { on = ($0 == head || $0 == head " " || index($0, head " ") == 1) ; next }
    on { print }'
}

# Every option of the list $1 (one a line) is named in the text $3 (as a whole word).
# The list is an argument, not a pipe, so that fail counts in this shell.
expect_options() {
  local options=$1 where=$2 text=$3 option
  while read -r option; do
    [ -z "$option" ] && continue
    grep -qE -- "(^|[^A-Za-z0-9-])${option}([^A-Za-z0-9-]|$)" <<<"$text" ||
      fail "$where does not describe $option"
  done <<<"$options"
}

for page in lumiveil lumiveil-maker; do
  [ -f "$man_dir/$page.1" ] || { fail "no page $man_dir/$page.1"; continue; }
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man_dir/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
done

tool_page=$(plain "$man_dir/lumiveil.1")
commands=$(help_commands "$bin/lumiveil")
[ -n "$commands" ] || fail "no commands in lumiveil --help"
expect_options "$("$bin/lumiveil" --help | help_options)" "lumiveil(1) OPTIONS" \
  "$(section ".SH OPTIONS" <<<"$tool_page")"
for c in $commands; do
  text=$(section ".SS $c" <<<"$tool_page")
  if [ -z "$text" ]; then
    fail "lumiveil(1) has no subsection for the command $c"
    continue
  fi
  expect_options "$("$bin/lumiveil" help "$c" | help_options)" "lumiveil(1) on $c" "$text"
done
[ -n "$(section ".SS help" <<<"$tool_page")" ] || fail "lumiveil(1) does not describe help"
for s in "EXIT STATUS" "PLUG-INS" "EXAMPLES"; do
  [ -n "$(section ".SH $s" <<<"$tool_page")" ] || fail "lumiveil(1) has no section $s"
done
# Every exit status the tool documents.
for code in 0 1 2 3; do
  section ".SH EXIT STATUS" <<<"$tool_page" | grep -qx "\.B $code" ||
    fail "lumiveil(1) does not explain exit status $code"
done

maker_page=$(plain "$man_dir/lumiveil-maker.1")
expect_options "$(env -u DISPLAY "$bin/lumiveil-maker" --help | help_options)" \
  "lumiveil-maker(1) OPTIONS" "$(section ".SH OPTIONS" <<<"$maker_page")"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s): describe what is missing in dist/man/lumiveil.1.in (a command"
  echo "gets its own .SS subsection naming each of its options; options of every command go"
  echo "under .SH OPTIONS) or dist/man/lumiveil-maker.1.in"
  exit 1
fi
echo "the manual pages describe every command and option of --help"
