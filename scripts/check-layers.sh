#!/usr/bin/env bash
# Checks two rules of the tree that no compiler checks:
#  1. Every include of the project's own headers keeps the layer order: base, platform,
#     raster, then compose, susie and gif (side by side, none including another), then
#     reveal (on compose), then targets (on reveal), then export, then the front ends in
#     app/. A folder includes only its own headers and those of the layers below it; the
#     plug-in SDK's header (plugins/sdk) stands below them all, and the plug-ins include
#     nothing of the host.
#  2. No two tracked paths differ only in letter case (a checkout on a file system that
#     ignores case would lose one of them).
# Prints every breach and exits 1 when there is one.
#   scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The folders a folder's files may include, besides their own.
allowed() {
  case $1 in
    base) echo "plugins/sdk" ;;
    platform) echo "base plugins/sdk" ;;
    raster) echo "base platform plugins/sdk" ;;
    compose | gif) echo "base platform raster plugins/sdk" ;;
    susie) echo "base platform raster plugins/sdk" ;;
    reveal) echo "base platform raster compose plugins/sdk" ;;
    targets) echo "base platform raster compose reveal plugins/sdk" ;;
    export) echo "base platform raster compose susie gif reveal targets plugins/sdk" ;;
    app) echo "base platform raster compose susie gif reveal targets export plugins/sdk" ;;
    plugins) echo "plugins/sdk plugins/common" ;;
    *) echo "*" ;;  # tests, benchmarks, fuzz targets: anything
  esac
}

# The layer a path belongs to: its first folder (plugins/sdk and plugins/common by name).
layer_of() {
  case $1 in
    plugins/sdk/* | plugins/sdk) echo "plugins/sdk" ;;
    plugins/common/* | plugins/common) echo "plugins/common" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  files=$(git ls-files)
else
  files=$(find . -type f -not -path './build*' -not -path './.git/*' | sed 's|^\./||')
fi

breaches=0
while IFS= read -r file; do
  case $file in *.c | *.cc | *.cpp | *.h | *.hpp) ;; *) continue ;; esac
  from=$(layer_of "$file")
  [ -n "$from" ] || continue
  permitted=$(allowed "$from")
  [ "$permitted" = "*" ] && continue
  # "folder/..." includes of the project's headers (system headers use <...>).
  while IFS=: read -r line target; do
    to=$(layer_of "$target")
    [ -n "$to" ] || continue
    [ "$to" = "$from" ] && continue
    # Folders the tree does not have (yet) are not the project's.
    [ -d "$to" ] || continue
    case " $permitted " in *" $to "*) continue ;; esac
    echo "$file:$line: includes $target: $from may not include $to"
    breaches=$((breaches + 1))
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' "$file" |
    sed -E 's/^([0-9]+):.*"([^"]+)".*/\1:\2/')
done <<<"$files"

# Paths that differ only in letter case.
while IFS= read -r twin; do
  echo "paths differing only in letter case: $(grep -Fix -- "$twin" <<<"$files" | tr '\n' ' ')"
  breaches=$((breaches + 1))
done < <(tr '[:upper:]' '[:lower:]' <<<"$files" | sort | uniq -d)

if [ "$breaches" -ne 0 ]; then
  echo "check-layers: $breaches breach(es)" >&2
  exit 1
fi
echo "check-layers: includes keep the layer order; no paths differ only in case"
