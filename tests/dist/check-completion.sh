#!/usr/bin/env bash
# The bash completion against the programs: it offers every command and every option of
# their --help, values of --reduction, --dither, --compression and --view that the tool
# accepts, and file names (also with spaces) where a file goes.
# Usage: check-completion.sh BIN_DIR COMPLETION_FILE SAMPLE_PICTURE
set -uo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=/dev/null
source "$here/help.sh"
# shellcheck source=/dev/null
source "$2"
sample=$3
tool=$bin/lumiveil
# The completion asks the program it completes for (as typed, found on the path) for lists
# that the program keeps.
PATH=$bin:$PATH
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=/dev/null
source "$(dirname "$0")/failures.sh"

# The words offered for the command line given; its last word is the one being completed.
offered() {
  local function=_lumiveil
  [ "$1" = lumiveil-maker ] && function=_lumiveil_maker
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  "$function" 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}"
}

# Every line of the first list is among the words offered for the rest.
expect_all() {
  local wanted=$1
  shift
  local got
  got=$(offered "$@")
  while read -r w; do
    [ -z "$w" ] && continue
    grep -qxF -- "$w" <<<"$got" || fail "'$*' does not offer $w (offers: $(tr '\n' ' ' <<<"$got"))"
  done <<<"$wanted"
}

commands=$(help_commands "$tool")
[ -n "$commands" ] || fail "no commands in lumiveil --help"
expect_all "$commands"$'\n'help lumiveil ""
expect_all "$("$tool" --help | help_options)" lumiveil -
for c in $commands; do
  expect_all "$("$tool" help "$c" | help_options)" lumiveil "$c" -
done
expect_all "$(env -u DISPLAY "$bin/lumiveil-maker" --help | help_options)" lumiveil-maker -

# A prefix narrows the words, and --name=value (three words for bash: --name, =, value)
# completes the value.
[ "$(offered lumiveil sy)" = synth ] || fail "'lumiveil sy' does not give synth alone"
[ "$(offered lumiveil gif a b --reduction = quantize2 | tr '\n' ' ')" = "quantize256 " ] ||
  fail "--reduction=quantize2 does not give quantize256 alone"

# Every value offered is one the tool takes (a usage error is exit status 1), and one the
# tool refuses is refused, so that this check can tell the two apart.
accepts() {
  "$tool" "$@" >/dev/null 2>&1
  [ $? -ne 1 ]
}
accepts gif "$sample" "$work/out.gif" --reduction no-such-mode &&
  fail "the tool takes an unknown --reduction"
for option in --reduction --dither --compression; do
  values=$(offered lumiveil gif in out "$option" "")
  [ -n "$values" ] || fail "no values for $option"
  for v in $values; do
    accepts gif "$sample" "$work/out.gif" "$option" "$v" || fail "lumiveil gif refuses $option $v"
  done
done
if "$tool" help reveal >/dev/null 2>&1; then
  "$tool" synth "$sample" "$sample" -o "$work/result.bmp" >/dev/null 2>&1
  # The views come from the tool (its help), so they are the tool's own list: the one its
  # message for an unknown view gives.
  values=$(offered lumiveil reveal in --view "")
  listed=$("$tool" reveal "$work/result.bmp" -o "$work/view.bmp" --view no-such-view 2>&1 |
    sed -n "s/.*--view must be \(.*\), not 'no-such-view'.*/\1/p" | sed 's/,\| or / /g')
  [ -n "$values" ] && [ "$(tr '\n' ' ' <<<"$values" | xargs)" = "$(xargs <<<"$listed")" ] ||
    fail "--view offers '$(tr '\n' ' ' <<<"$values")', the tool takes '$listed'"
  for v in $values; do
    accepts reveal "$work/result.bmp" -o "$work/view.bmp" --view "$v" ||
      fail "lumiveil reveal refuses --view $v"
  done
else
  echo "note: this tool has no reveal command; its --view values are not checked"
fi

# File names where files go, but not after an option that takes a number.
touch "$work/visible.bmp" "$work/with space.png"
(
  failures=0
  cd "$work" || exit 1
  expect_all $'visible.bmp\nwith space.png' lumiveil synth ""
  expect_all $'visible.bmp\nwith space.png' lumiveil synth a b -o ""
  expect_all $'visible.bmp\nwith space.png' lumiveil-maker ""
  [ -z "$(offered lumiveil synth a b --average "")" ] || fail "--average offers words"
  exit "$failures"
) || failures=$((failures + $?))

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "completion offers every command and option of --help"
