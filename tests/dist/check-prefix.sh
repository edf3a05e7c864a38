#!/usr/bin/env bash
# An install under a prefix of its own (cmake --install --prefix DIR) finds its shipped
# plug-ins in DIR/lib/susie: DIR/bin/lumiveil plugins lists all three from there, run
# from a folder without plug-ins and with no Susie.conf.
# Usage: check-prefix.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=/dev/null
source "$(dirname "$0")/failures.sh"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install --prefix $prefix"
mkdir -p "$work/config" "$work/cwd"
out=$(cd "$work/cwd" && XDG_CONFIG_HOME=$work/config "$prefix/bin/lumiveil" plugins) ||
  fail "$prefix/bin/lumiveil plugins failed"
for name in png jpeg gif; do
  grep -qxF "$prefix/lib/susie/$name.spi" <<<"$out" ||
    fail "$prefix/bin/lumiveil plugins does not list $prefix/lib/susie/$name.spi"
done
if [ "$failures" -ne 0 ]; then
  echo "$out"
fi
exit "$failures"
