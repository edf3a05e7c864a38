# Sourced by the checks in this folder: fail says what failed and counts it in $failures,
# which each check reports and exits with at its end.
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
