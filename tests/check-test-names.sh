#!/usr/bin/env bash
# ctest's list of this build stays readable: no test name carries a printed parameter
# (raw object bytes, which also change from run to run), and no name is so long that
# ctest's result lines, all padded to the longest name, grow past 150 columns.
# Usage: check-test-names.sh BUILD_DIR
set -uo pipefail
build=$1
list=$(ctest --test-dir "$build" -N) || { echo "FAIL: ctest -N"; exit 1; }
names=$(sed -n 's/^ *Test *#[0-9]*: //p' <<<"$list")
count=$(wc -l <<<"$names")
failures=0
if grep -E 'GetParam|byte object|TypeParam' <<<"$names"; then
  echo "FAIL: the names above carry a printed parameter; give the suite a name generator"
  failures=$((failures + 1))
fi
# A result line is "NNN/NNN Test #NNN: NAME ....   Passed   12.34 sec": the name padded
# with dots to the longest name and 44 columns besides it with three-digit counts.
digits=${#count}
longest=$(awk '{ if (length($0) > m) m = length($0) } END { print m + 0 }' <<<"$names")
width=$((longest + 3 * digits + 35))
if [ "$width" -gt 150 ]; then
  echo "FAIL: result lines would be $width columns wide; the longest names:"
  awk '{ print length($0), $0 }' <<<"$names" | sort -rn | head -n 5
  failures=$((failures + 1))
fi
echo "$count tests, the longest name $longest characters, result lines about $width columns"
exit "$failures"
